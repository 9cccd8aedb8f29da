// The batch run in the test's own process, its writer held at its stopping points while the test
// changes the folder under it as another local user could: a link, a named pipe or a second name
// for a file of the run planted where a row's file goes, a folder swapped for a link; and a
// signal that comes once every row is done. Nothing here waits on timing: each change is made
// while the writer is held, and the writer goes on once it is made.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "arguments.h"
#include "batchrun.h"
#include "heldwriter.h"
#include "testfolder.h"

namespace {

using qrcli::ExitStatus;
using testfolder::Folder;

struct Ran {
    ExitStatus Status = ExitStatus::Done;
    std::vector<std::string> Said;
};

// Runs the batch that Args describe, its messages collected.
Ran Batch(const std::vector<std::string>& Args) {
    auto Parsed = qrcli::ParseArguments(Args);
    EXPECT_TRUE(Parsed) << Parsed.Error();
    Ran R;
    std::mutex Lock;
    R.Status = qrcli::batch::RunBatch(Parsed->Opts, [&](const std::string& Text) {
        const std::lock_guard Held(Lock);
        R.Said.push_back(Text);
        return 0;
    });
    return R;
}

// A stopping point's action that runs Action at its Nth call (from 1) only.
std::function<void()> AtCall(int N, std::function<void()> Action) {
    auto Calls = std::make_shared<std::atomic<int>>(0);
    return [=] {
        if (++*Calls == N)
            Action();
    };
}

// Where the writer is held while the folder is changed: once the row's path is checked, or once
// its file is written and before it takes its name.
enum class At { PathChecked, ContentsFlushed };

heldwriter::Hold HoldAt(At Where, std::function<void()> Action) {
    heldwriter::Hold Hold;
    (Where == At::PathChecked ? Hold.PathChecked : Hold.ContentsFlushed) = std::move(Action);
    return Hold;
}

const std::string Secret = "root's own file, outside the batch's folder";

struct RaceCase {
    const char* Name;
    At Where;
    const char* Template;  // below the test's folder
    // Changes the folder while row 2 is held; the folder's path is given.
    std::function<void(const Folder&)> Plant;
    const char* Fails;  // row 2's message after "row 2: \"<folder>/", or nullptr when it is written
    std::function<void(const Folder&)> Check;
};

void PrintTo(const RaceCase& Case, std::ostream* Out) { *Out << Case.Name; }

class BatchRace : public ::testing::TestWithParam<RaceCase> {};

TEST_P(BatchRace, WhatIsPlantedAfterTheCheckNeverLeadsTheWriteAstray) {
    const RaceCase& Case = GetParam();
    const Folder F;
    F.Put("secret", Secret, 0600);
    F.Dir("elsewhere");
    F.Put("list.txt", "one\ntwo\nthree\n");
    const heldwriter::Holding Held(HoldAt(Case.Where, AtCall(2, [&] { Case.Plant(F); })));
    const Ran R = Batch({"--batch", F / "list.txt", "-j", "1", "--quiet", "-o", F / Case.Template});

    std::vector<std::string> Expected;
    if (Case.Fails)
        Expected.push_back("row 2: \"" + F.Root() + "/" + Case.Fails);
    Expected.push_back(Case.Fails ? "3 rows read, 2 files written, 1 row failed"
                                  : "3 rows read, 3 files written, 0 rows failed");
    EXPECT_EQ(R.Said, Expected);
    EXPECT_EQ(R.Status, Case.Fails ? ExitStatus::Failed : ExitStatus::Done);
    EXPECT_EQ(F.Read("secret"), Secret);
    EXPECT_EQ(F.Stat("secret").st_mode & 07777, 0600u);
    EXPECT_TRUE(F.Listing().count("elsewhere/x.png") == 0 && F.Listing().count("elsewhere/2.png") == 0);
    if (Case.Check)
        Case.Check(F);
}

// A named pipe at out/2.png with a reader, so that a writer that opened it would not hang but
// leave its bytes there.
int PipeReader = -1;
void PlantPipe(const Folder& F) {
    ASSERT_EQ(mkfifo((F / "out/2.png").c_str(), 0666), 0);
    PipeReader = open((F / "out/2.png").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(PipeReader, 0);
}
void PipeGotNothing(const Folder& F) {
    char Byte;
    EXPECT_LE(read(PipeReader, &Byte, 1), 0) << "the row was written into the pipe";
    close(PipeReader);
    EXPECT_TRUE(S_ISFIFO(F.Stat("out/2.png").st_mode));
}

void PlantLink(const Folder& F) { F.Link(F / "secret", "out/2.png"); }

const RaceCase RaceCases[] = {
    {"LinkOnceChecked", At::PathChecked, "out/{n}.png", PlantLink, "out/2.png\" is a symbolic link", nullptr},
    {"LinkOnceWritten", At::ContentsFlushed, "out/{n}.png", PlantLink, "out/2.png\" is a symbolic link", nullptr},
    {"PipeOnceChecked", At::PathChecked, "out/{n}.png", PlantPipe,
     "out/2.png\" exists and is not a regular file", PipeGotNothing},
    {"PipeOnceWritten", At::ContentsFlushed, "out/{n}.png", PlantPipe,
     "out/2.png\" exists and is not a regular file", PipeGotNothing},
    {"FolderSwappedOnceChecked", At::PathChecked, "out/{n}/x.png",
     [](const Folder& F) {
         ASSERT_EQ(rmdir((F / "out/2").c_str()), 0);
         F.Link(F / "elsewhere", "out/2");
     },
     "out/2\" is a symbolic link", nullptr},
    // Once its file is made, the row goes into the folder it checked, wherever that folder went.
    {"FolderSwappedOnceWritten", At::ContentsFlushed, "out/{n}/x.png",
     [](const Folder& F) {
         ASSERT_EQ(rename((F / "out/2").c_str(), (F / "out/moved").c_str()), 0);
         F.Link(F / "elsewhere", "out/2");
     },
     nullptr,
     [](const Folder& F) {
         EXPECT_EQ(F.Listing().count("out/moved/x.png"), 1u);
         EXPECT_EQ(F.LinkTarget("out/2"), F / "elsewhere");
     }},
};

INSTANTIATE_TEST_SUITE_P(Cases, BatchRace, ::testing::ValuesIn(RaceCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// On a file system that ignores case, "Bolt" and "bolt" name one file; here a second hard link
// stands for the second spelling, made where the file system would see the same file.
TEST(BatchRepeats, ASecondNameForAFileOfTheRunIsARepeatedNameAndKeepsTheFirstFile) {
    for (const At Where : {At::PathChecked, At::ContentsFlushed}) {
        const Folder F;
        F.Put("list.csv", "text,name\none,a\ntwo,b\nthree,c\n");
        std::string First;
        const heldwriter::Holding Held(HoldAt(Where, AtCall(2, [&] {
            First = F.Read("out/a.png");
            ASSERT_EQ(link((F / "out/a.png").c_str(), (F / "out/b.png").c_str()), 0);
        })));
        const Ran R = Batch({"--batch", F / "list.csv", "--csv", "--header", "--name-column", "name", "-j", "1",
                             "--quiet", "-o", F / "out/{name}.png"});
        EXPECT_EQ(R.Said, (std::vector<std::string>{"row 2: \"" + F / "out/b.png" + "\" is already the file of row 1",
                                                     "3 rows read, 2 files written, 1 row failed"}));
        EXPECT_EQ(F.Read("out/a.png"), First);
        EXPECT_EQ(F.Stat("out/a.png").st_ino, F.Stat("out/b.png").st_ino);
    }
}

TEST(BatchRepeats, TheEarlierRowKeepsTheNameWhicheverIsWrittenFirst) {
    // Two workers: whichever row reaches its name first waits there until the other's file has
    // its own name, then gives that file its second name; the earlier row keeps the name either
    // way, and the later one is the repeat.
    const Folder F;
    F.Put("list.csv", "text,name\none,a\ntwo,b\n");
    std::atomic<int> Arrived{0};
    heldwriter::Hold Hold;
    Hold.ContentsFlushed = [&] {
        if (++Arrived != 1)
            return;
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::string Other;
        while (std::chrono::steady_clock::now() < Deadline && Other.empty()) {
            for (const char* Name : {"a.png", "b.png"})
                if (F.Listing().count(std::string("out/") + Name))
                    Other = Name;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_FALSE(Other.empty()) << "the other row was never written";
        const std::string Second = Other == "a.png" ? "b.png" : "a.png";
        ASSERT_EQ(link((F / ("out/" + Other)).c_str(), (F / ("out/" + Second)).c_str()), 0);
    };
    const heldwriter::Holding Held(std::move(Hold));
    const Ran R = Batch({"--batch", F / "list.csv", "--csv", "--header", "--name-column", "name", "-j", "2",
                         "--quiet", "-o", F / "out/{name}.png"});
    EXPECT_EQ(R.Said, (std::vector<std::string>{"row 2: \"" + F / "out/b.png" + "\" is already the file of row 1",
                                                 "2 rows read, 1 file written, 1 row failed"}));
    EXPECT_EQ(R.Status, ExitStatus::Failed);
    // Row 1's file has the name a.png: a run of row 1 alone makes the same bytes.
    const Folder Alone;
    Alone.Put("list.csv", "text,name\none,a\n");
    EXPECT_EQ(Batch({"--batch", Alone / "list.csv", "--csv", "--header", "--name-column", "name", "--quiet", "-o",
                     Alone / "out/{name}.png"})
                  .Status,
              ExitStatus::Done);
    EXPECT_EQ(F.Read("out/a.png"), Alone.Read("out/a.png"));
}

TEST(BatchSignals, ASignalOnceEveryRowIsWrittenDoesNotStopTheRun) {
    for (const int Signal : {SIGINT, SIGTERM, SIGHUP}) {
        const Folder F;
        F.Put("list.txt", "one\ntwo\nthree\n");
        heldwriter::Hold Hold;
        Hold.FlushingAll = [Signal] { raise(Signal); };
        const heldwriter::Holding Held(std::move(Hold));
        const Ran R = Batch({"--batch", F / "list.txt", "--quiet", "-o", F / "out/{n}.png"});
        EXPECT_EQ(R.Status, ExitStatus::Done) << Signal;
        EXPECT_EQ(R.Said, std::vector<std::string>{"3 rows read, 3 files written, 0 rows failed"}) << Signal;
    }
}

}  // namespace
