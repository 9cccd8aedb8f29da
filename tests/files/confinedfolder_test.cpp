// The confined folder against what a list's names and the file system put in its way: links,
// files and devices where folders would go, links and folders where the file would go, and
// folders that cannot be made. The folder itself may be reached through a link; below it, nothing
// but real folders. Then what is at a name when a file takes it, put there while the writer is
// held after writing the file: a link, a pipe, another program's file, or another name for a file
// of the run, as a file system that ignores case gives one (two hard links stand for it here).

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "confinedfolder.h"
#include "heldwriter.h"
#include "madefiles.h"
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
    qrfiles::ConfinedFiles Files(Below, true);
    const auto Ready = Files.Prepare(*Path, 1);
    if (Case.Fails.empty()) {
        ASSERT_TRUE(Ready) << Ready.Error();
        EXPECT_EQ(Ready->Exists, Case.Exists);
        EXPECT_EQ(Ready->Earlier, 0u);
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
     "cannot create the folder \"ROOT/file/out/\": Not a directory", false, {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, Confined, ::testing::ValuesIn(PrepareCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// ---- What is at the name when the file takes it -----------------------------------------

std::vector<unsigned char> Bytes(const std::string& Text) { return {Text.begin(), Text.end()}; }

using Step = std::function<void(const Folder&, qrfiles::ConfinedFiles&)>;

struct SaveCase {
    const char* Name;
    Step Before;     // before row 2 is written
    Step Meanwhile;  // once row 2's file is written, before it takes the name out/x.png
    std::string Fails;  // with "ROOT" for the test's folder; empty when it does not fail
    std::uint64_t Earlier, Displaced;
    std::function<void(const Folder&)> Check;
};

void PrintTo(const SaveCase& Case, std::ostream* Out) { *Out << Case.Name; }

class ConfinedSave : public ::testing::TestWithParam<SaveCase> {};

TEST_P(ConfinedSave, TakesOnlyAFreeNameOrAFileItMayReplace) {
    const SaveCase& Case = GetParam();
    const Folder F;
    F.Dir("out");
    F.Put("secret", "outside", 0600);
    qrfiles::ConfinedFiles Files(qrfiles::ConfinedFolder(F / "out/"), true);
    if (Case.Before)
        Case.Before(F, Files);
    heldwriter::Hold Hold;
    Hold.ContentsFlushed = [&] { Case.Meanwhile(F, Files); };
    const auto Saved = [&] {
        const heldwriter::Holding Held(Hold);
        return Files.Save(F / "out/x.png", Bytes("row two"), 2);
    }();
    if (!Case.Fails.empty()) {
        ASSERT_FALSE(Saved);
        std::string Message = Case.Fails;
        Message.replace(Message.find("ROOT"), 4, F.Root());
        EXPECT_EQ(Saved.Error(), Message);
    } else {
        ASSERT_TRUE(Saved) << Saved.Error();
        EXPECT_EQ(Saved->Earlier, Case.Earlier);
        EXPECT_EQ(Saved->Displaced, Case.Displaced);
        EXPECT_EQ(F.Read("out/x.png"), Case.Earlier ? F.Read("out/a.png") : "row two");
    }
    EXPECT_EQ(F.Read("secret"), "outside");
    for (const std::string& Entry : F.Listing())
        EXPECT_NE(Entry.rfind("out/.qr-", 0), 0u) << Entry;
    if (Case.Check)
        Case.Check(F);
}

void SaveRow(qrfiles::ConfinedFiles& Files, const Folder& F, const char* Name, const char* Text, std::uint64_t Row) {
    const auto Saved = Files.Save(F / (std::string("out/") + Name), Bytes(Text), Row);
    ASSERT_TRUE(Saved) << Saved.Error();
}

void SecondName(const Folder& F, const char* Name) {
    ASSERT_EQ(link((F / (std::string("out/") + Name)).c_str(), (F / "out/x.png").c_str()), 0);
}

const SaveCase SaveCases[] = {
    {"AFreeName", nullptr, [](const Folder&, qrfiles::ConfinedFiles&) {}, "", 0, 0, nullptr},
    {"ALinkPutThere", nullptr, [](const Folder& F, qrfiles::ConfinedFiles&) { F.Link(F / "secret", "out/x.png"); },
     "\"ROOT/out/x.png\" is a symbolic link", 0, 0, nullptr},
    {"APipePutThere", nullptr,
     [](const Folder& F, qrfiles::ConfinedFiles&) { ASSERT_EQ(mkfifo((F / "out/x.png").c_str(), 0666), 0); },
     "\"ROOT/out/x.png\" exists and is not a regular file", 0, 0,
     [](const Folder& F) { EXPECT_TRUE(S_ISFIFO(F.Stat("out/x.png").st_mode)); }},
    {"AnotherProgramsFilePutThere", nullptr,
     [](const Folder& F, qrfiles::ConfinedFiles&) { F.Put("out/x.png", "theirs", 0640); }, "", 0, 0,
     [](const Folder& F) { EXPECT_EQ(F.Stat("out/x.png").st_mode & 07777, 0640u); }},
    {"AnEarlierRowsFileByASecondName",
     [](const Folder& F, qrfiles::ConfinedFiles& Files) { SaveRow(Files, F, "a.png", "row one", 1); },
     [](const Folder& F, qrfiles::ConfinedFiles&) { SecondName(F, "a.png"); }, "", 1, 0,
     [](const Folder& F) { EXPECT_EQ(F.Read("out/a.png"), "row one"); }},
    {"ALaterRowsFileByASecondName",
     [](const Folder& F, qrfiles::ConfinedFiles& Files) { SaveRow(Files, F, "c.png", "row three", 3); },
     [](const Folder& F, qrfiles::ConfinedFiles&) { SecondName(F, "c.png"); }, "", 0, 3, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConfinedSave, ::testing::ValuesIn(SaveCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(ConfinedSave, ANameThatLeadsToAnEarlierRowsFileIsNotWrittenAtAll) {
    const Folder F;
    F.Dir("out");
    qrfiles::ConfinedFiles Files(qrfiles::ConfinedFolder(F / "out/"), true);
    SaveRow(Files, F, "a.png", "row one", 1);
    SecondName(F, "a.png");
    for (const std::uint64_t Row : {2, 7}) {
        const auto Prepared = Files.Prepare(F / "out/x.png", Row);
        ASSERT_TRUE(Prepared) << Prepared.Error();
        EXPECT_EQ(Prepared->Earlier, 1u);
        const auto Saved = Files.Save(F / "out/x.png", Bytes("later"), Row);
        ASSERT_TRUE(Saved) << Saved.Error();
        EXPECT_EQ(Saved->Earlier, 1u);
    }
    EXPECT_EQ(F.Read("out/a.png"), "row one");
    // A run that remembers nothing (names that cannot repeat) replaces it as any file.
    qrfiles::ConfinedFiles Forgetful(qrfiles::ConfinedFolder(F / "out/"), false);
    const auto Replaced = Forgetful.Save(F / "out/x.png", Bytes("replaced"), 2);
    ASSERT_TRUE(Replaced) << Replaced.Error();
    EXPECT_TRUE(Replaced->Exists);
    EXPECT_EQ(F.Read("out/x.png"), "replaced");
}

TEST(MadeFiles, FindsEveryFileItWasToldOfAndNoneItWasNot) {
    // Enough files that every part of the table grows many times, on two devices whose inode
    // numbers overlap; every third is removed again, as when a file loses its name.
    qrfiles::MadeFiles Made;
    const std::uint64_t Files = 200000;
    for (std::uint64_t i = 1; i <= Files; ++i) {
        Made.Add({1, i * 7}, i);
        Made.Add({2, i * 7}, Files + i);
    }
    for (std::uint64_t i = 3; i <= Files; i += 3) Made.Remove({1, i * 7});
    Made.Add({1, 14}, 99);  // told again: the newer row
    std::uint64_t Wrong = 0;
    for (std::uint64_t i = 1; i <= Files; ++i) {
        const std::uint64_t Expected = i == 2 ? 99 : i % 3 == 0 ? 0 : i;
        Wrong += Made.Find({1, i * 7}) != Expected;
        Wrong += Made.Find({2, i * 7}) != Files + i;
        Wrong += Made.Find({1, i * 7 + 1}) != 0;
    }
    EXPECT_EQ(Wrong, 0u);
    EXPECT_EQ(Made.Find({3, 7}), 0u);
    EXPECT_EQ(Made.Count(), 2 * Files - Files / 3);
}

}  // namespace
