// The confined folder against what a list's names and the file system put in its way: links,
// files and devices where folders would go, links and folders where the file would go, and
// folders that cannot be made. The folder itself may be reached through a link; below it, nothing
// but real folders.

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <set>
#include <string>

#include <sys/stat.h>

#include "confinedfolder.h"
#include "testfolder.h"

namespace {

using testfolder::Folder;

struct PrepareCase {
    const char* Name;
    std::function<void(const Folder&)> Setup;
    std::string Confined;  // the folder, relative to the test's folder
    std::string Rest;      // the path below it
    // The failure's message with "ROOT" for the test's folder; empty when the path is ready.
    std::string Fails;
    bool Exists;                  // when ready: a regular file is there
    std::set<std::string> Added;  // the entries the preparation adds
};

void PrintTo(const PrepareCase& Case, std::ostream* Out) { *Out << Case.Name; }

class Confined : public ::testing::TestWithParam<PrepareCase> {};

TEST_P(Confined, PreparesOnlyRealFoldersBelowItsFolder) {
    const PrepareCase& Case = GetParam();
    const Folder F;
    if (Case.Setup)
        Case.Setup(F);
    if (HasFatalFailure())
        return;
    std::set<std::string> Expected = F.Listing();
    Expected.insert(Case.Added.begin(), Case.Added.end());

    const qrfiles::ConfinedFolder Below(F / Case.Confined);
    const auto Path = Below.PathOf(Case.Rest);
    ASSERT_TRUE(Path) << Path.Error();
    const auto Ready = Below.Prepare(*Path);
    if (Case.Fails.empty()) {
        ASSERT_TRUE(Ready) << Ready.Error();
        EXPECT_EQ(*Ready, Case.Exists);
    } else {
        ASSERT_FALSE(Ready);
        std::string Message = Case.Fails;
        Message.replace(Message.find("ROOT"), 4, F.Root());
        EXPECT_EQ(Ready.Error(), Message);
    }
    EXPECT_EQ(F.Listing(), Expected);
}

const PrepareCase PrepareCases[] = {
    {"MissingFoldersAreMade", nullptr, "out/", "a/b/x.png", "", false, {"out", "out/a", "out/a/b"}},
    {"AnExistingFileIsReported", [](const Folder& F) {
         F.Dir("out");
         F.Put("out/x.png", "old");
     },
     "out/", "x.png", "", true, {}},
    {"TheFolderItselfMayBeALink", [](const Folder& F) {
         F.Dir("real");
         F.Link("real", "out");
     },
     "out/", "a/x.png", "", false, {"real/a"}},
    {"ALinkOnTheWay", [](const Folder& F) {
         F.Dir("out");
         F.Dir("elsewhere");
         F.Link("../elsewhere", "out/a");
     },
     "out/", "a/x.png", "\"ROOT/out/a\" is a symbolic link", false, {}},
    {"ALinkAtTheEnd", [](const Folder& F) {
         F.Dir("out");
         F.Put("outside.txt", "keep");
         F.Link("../outside.txt", "out/x.png");
     },
     "out/", "x.png", "\"ROOT/out/x.png\" is a symbolic link", false, {}},
    {"ADanglingLinkAtTheEnd", [](const Folder& F) {
         F.Dir("out");
         F.Link("../new.png", "out/x.png");
     },
     "out/", "x.png", "\"ROOT/out/x.png\" is a symbolic link", false, {}},
    {"AFolderAtTheEnd", [](const Folder& F) {
         F.Dir("out");
         F.Dir("out/x.png");
     },
     "out/", "x.png", "\"ROOT/out/x.png\" exists and is not a regular file", false, {}},
    {"ADeviceAtTheEnd", [](const Folder& F) {
         F.Dir("out");
         F.Node("out/x.png", 1, 3);
     },
     "out/", "x.png", "\"ROOT/out/x.png\" exists and is not a regular file", false, {}},
    {"AFileWhereAFolderWouldGo", [](const Folder& F) {
         F.Dir("out");
         F.Put("out/a", "in the way");
     },
     "out/", "a/x.png", "cannot create the folder \"ROOT/out/a\" (a file of that name is in the way)", false, {}},
    {"TheFolderCannotBeMade", [](const Folder& F) { F.Put("file", "in the way"); }, "file/out/", "x.png",
     "cannot create the folder \"ROOT/file/out/\" Not a directory", false, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, Confined, ::testing::ValuesIn(PrepareCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

}  // namespace
