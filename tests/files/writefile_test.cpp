// The one file writer against what users and file systems put in its way: links, loops, devices,
// pipes, sockets, odd names, permissions, folders that refuse new names, signals and threads.
// Cases that need an unprivileged user run in a child process as uid/gid 65534. Device nodes and
// pipes are made inside the test's own folder only.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "heldwriter.h"
#include "testfolder.h"
#include "writefile.h"

namespace {

namespace fs = std::filesystem;
using testfolder::Folder;
using testfolder::Nobody;
using testfolder::ReadAll;

std::vector<unsigned char> Pattern(std::size_t Size, unsigned Seed) {
    std::vector<unsigned char> Bytes(Size);
    for (std::size_t i = 0; i < Size; ++i)
        Bytes[i] = static_cast<unsigned char>((i * 131 + Seed * 17 + i / 251) % 256);
    return Bytes;
}

// Larger than a pipe's buffer, so that pipes take it in several writes.
const std::vector<unsigned char> NewBytes = Pattern(100000, 1);

std::string AsText(const std::vector<unsigned char>& Bytes) { return std::string(Bytes.begin(), Bytes.end()); }

// What a write came to: nothing (success) or the error message.
using Outcome = std::optional<std::string>;

Outcome Write(const std::string& Path, std::span<const unsigned char> Bytes = NewBytes,
              qrfiles::Durability When = qrfiles::Durability::EachFile) {
    try {
        qrfiles::SaveFile(Path, Bytes, When);
        return std::nullopt;
    } catch (const qrfiles::FileError& E) {
        return std::string(E.what());
    }
}

// Runs the writer in a child process that has become uid and gid 65534 with no other groups.
Outcome WriteAsNobody(const std::string& Path) {
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return "<no pipe>";
    const pid_t Child = fork();
    if (Child == 0) {
        close(Pipe[0]);
        if (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0)
            _exit(3);
        const Outcome Result = Write(Path);
        const std::string Report = Result ? "E" + *Result : "S";
        _exit(write(Pipe[1], Report.data(), Report.size()) == static_cast<ssize_t>(Report.size()) ? 0 : 4);
    }
    close(Pipe[1]);
    std::string Report;
    ReadAll(Pipe[0], Report);
    close(Pipe[0]);
    int Status = 0;
    waitpid(Child, &Status, 0);
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
        return "<child failed with status " + std::to_string(Status) + ">";
    return Report == "S" ? Outcome() : Outcome(Report.substr(1));
}

// ---- The table of cases ------------------------------------------------------------------

struct WriterCase {
    const char* Name;
    bool AsNobody;
    std::function<void(const Folder&)> Setup;
    std::string Path;         // relative to the folder
    const char* Fails;        // nullptr, "create" or "write"
    int Error;                // when it fails
    std::string Shown;        // the path the message names, relative to the folder
    const char* Creates;      // the entry the write adds to the folder, if any
    std::function<void(const Folder&)> Check;
};

void PrintTo(const WriterCase& Case, std::ostream* Out) { *Out << Case.Name; }

class Writer : public ::testing::TestWithParam<WriterCase> {};

TEST_P(Writer, ReachesWhatOpenReachesAndLeavesNothingBehind) {
    const WriterCase& Case = GetParam();
    const Folder F;
    Case.Setup(F);
    if (HasFatalFailure())
        return;
    std::set<std::string> Expected = F.Listing();
    if (Case.Creates)
        Expected.insert(Case.Creates);

    const Outcome Result = Case.AsNobody ? WriteAsNobody(F / Case.Path) : Write(F / Case.Path);
    if (Case.Fails)
        EXPECT_EQ(Result, F.Message(Case.Fails, Case.Shown, Case.Error));
    else
        EXPECT_EQ(Result, std::nullopt);
    EXPECT_EQ(F.Listing(), Expected) << "entries added or removed";
    if (Case.Check)
        Case.Check(F);
}

const std::string Old = "the user's old picture, longer than nothing";

void KeepsOld(const Folder& F, const std::string& Name) { EXPECT_EQ(F.Read(Name), Old) << Name; }
void HasNew(const Folder& F, const std::string& Name) { EXPECT_EQ(F.Read(Name), AsText(NewBytes)) << Name; }

// Two pictures on either side of the link through "..": a/b is what sl points to, so sl/.. is a.
void LinkedFolders(const Folder& F) {
    F.Dir("a");
    F.Dir("a/b");
    F.Link("a/b", "sl");
    F.Put("z.jpg", "decoy");
}

const WriterCase WriterCases[] = {
    {"NewFileGetsTheUsualMode", false, [](const Folder&) {}, "new.jpg", nullptr, 0, "", "new.jpg",
     [](const Folder& F) {
         HasNew(F, "new.jpg");
         const mode_t Mask = umask(0);
         umask(Mask);
         EXPECT_EQ(F.Stat("new.jpg").st_mode & 07777, 0666u & ~Mask);
     }},
    {"ReplacesALongerFileWhole", false,
     [](const Folder& F) { F.Put("old.jpg", std::string(3 * NewBytes.size(), 'x')); }, "old.jpg", nullptr, 0, "",
     nullptr, [](const Folder& F) { HasNew(F, "old.jpg"); }},

    // Links are followed by the system, never cleaned as text.
    {"LinkWhoseTargetGoesThroughDotDot", false,
     [](const Folder& F) {
         LinkedFolders(F);
         F.Link("sl/../z.jpg", "zl");
     },
     "zl", nullptr, 0, "", "a/z.jpg",
     [](const Folder& F) {
         HasNew(F, "a/z.jpg");
         EXPECT_EQ(F.Read("z.jpg"), "decoy");
         EXPECT_EQ(F.LinkTarget("zl"), "sl/../z.jpg");
     }},
    {"DotDotAfterALinkInThePath", false, LinkedFolders, "sl/../x.jpg", nullptr, 0, "", "a/x.jpg",
     [](const Folder& F) { HasNew(F, "a/x.jpg"); }},
    {"LinkToAnExistingFileKeepsTheLink", false,
     [](const Folder& F) {
         F.Dir("a");
         F.Put("a/m.jpg", Old, 0640, Nobody);
         F.Link("a/m.jpg", "ml");
     },
     "ml", nullptr, 0, "", nullptr,
     [](const Folder& F) {
         HasNew(F, "a/m.jpg");
         EXPECT_EQ(F.LinkTarget("ml"), "a/m.jpg");
         EXPECT_EQ(F.Stat("a/m.jpg").st_mode & 07777, 0640u);
         EXPECT_EQ(F.Stat("a/m.jpg").st_uid, Nobody);
     }},
    {"DanglingLinkCreatesItsTarget", false,
     [](const Folder& F) {
         F.Dir("a");
         F.Link("a/new.jpg", "dl");
     },
     "dl", nullptr, 0, "", "a/new.jpg", [](const Folder& F) { HasNew(F, "a/new.jpg"); }},
    {"LinkToItself", false, [](const Folder& F) { F.Link("loop", "loop"); }, "loop", "create", ELOOP, "loop",
     nullptr, [](const Folder& F) { EXPECT_EQ(F.LinkTarget("loop"), "loop"); }},
    {"LinksInACircle", false,
     [](const Folder& F) {
         F.Link("l2", "l1");
         F.Link("l1", "l2");
     },
     "l1", "create", ELOOP, "l1", nullptr, nullptr},
    {"LoopInTheFolderPart", false, [](const Folder& F) { F.Link("loop", "loop"); }, "loop/x.jpg", "create", ELOOP,
     "loop/x.jpg", nullptr, nullptr},

    // Existing things that are not regular files are written directly, never replaced.
    {"NullDevice", false, [](const Folder& F) { F.Node("null", 1, 3); }, "null", nullptr, 0, "", nullptr,
     [](const Folder& F) {
         EXPECT_TRUE(S_ISCHR(F.Stat("null").st_mode));
         EXPECT_EQ(F.Stat("null").st_rdev, makedev(1, 3));
     }},
    {"FullDevice", false, [](const Folder& F) { F.Node("full", 1, 7); }, "full", "write", ENOSPC, "full",
     nullptr, [](const Folder& F) { EXPECT_TRUE(S_ISCHR(F.Stat("full").st_mode)); }},
    {"LinkToADevice", false,
     [](const Folder& F) {
         F.Node("null", 1, 3);
         F.Link("null", "nl");
     },
     "nl", nullptr, 0, "", nullptr,
     [](const Folder& F) {
         EXPECT_TRUE(S_ISCHR(F.Stat("null").st_mode));
         EXPECT_EQ(F.LinkTarget("nl"), "null");
     }},
    {"Socket", false,
     [](const Folder& F) {
         const int S = socket(AF_UNIX, SOCK_STREAM, 0);
         sockaddr_un Address{};
         Address.sun_family = AF_UNIX;
         const std::string P = F / "sock";
         ASSERT_LT(P.size(), sizeof Address.sun_path);
         std::memcpy(Address.sun_path, P.c_str(), P.size() + 1);
         ASSERT_EQ(bind(S, reinterpret_cast<const sockaddr*>(&Address), sizeof Address), 0);
         close(S);
     },
     "sock", "create", ENXIO, "sock", nullptr, [](const Folder& F) { EXPECT_TRUE(S_ISSOCK(F.Stat("sock").st_mode)); }},
    {"Directory", false, [](const Folder& F) { F.Dir("dir"); }, "dir", "create", EISDIR, "dir", nullptr, nullptr},
    {"DirectoryWithSlash", false, [](const Folder& F) { F.Dir("dir"); }, "dir/", "create", EISDIR, "dir", nullptr,
     nullptr},
    {"DotDot", false, [](const Folder& F) { F.Dir("dir"); }, "dir/..", "create", EISDIR, "", nullptr, nullptr},

    // Paths that lead nowhere.
    {"MissingFolder", false, [](const Folder&) {}, "missing/x.jpg", "create", ENOENT, "missing/x.jpg", nullptr,
     nullptr},
    {"BelowAFile", false, [](const Folder& F) { F.Put("notes.txt", Old); }, "notes.txt/x.jpg", "create", ENOTDIR,
     "notes.txt/x.jpg", nullptr, [](const Folder& F) { KeepsOld(F, "notes.txt"); }},
    {"FileWithSlash", false, [](const Folder& F) { F.Put("old.jpg", Old); }, "old.jpg/", "create", ENOTDIR,
     "old.jpg/", nullptr, [](const Folder& F) { KeepsOld(F, "old.jpg"); }},
    {"MissingFolderAfterDotDot", false, LinkedFolders, "sl/../missing/x.jpg", "create", ENOENT, "a/missing/x.jpg",
     nullptr, nullptr},

    // Names pass byte for byte: a name that is not UTF-8 does not collide with its lookalike.
    {"NameThatIsNotUtf8", false, [](const Folder& F) { F.Put("caf\xEF\xBF\xBD.jpg", Old); }, "caf\xE9.jpg", nullptr,
     0, "", "caf\xE9.jpg",
     [](const Folder& F) {
         HasNew(F, "caf\xE9.jpg");
         KeepsOld(F, "caf\xEF\xBF\xBD.jpg");
     }},
    {"LongestNameReplaced", false, [](const Folder& F) { F.Put(std::string(251, 'n') + ".jpg", Old); },
     std::string(251, 'n') + ".jpg", nullptr, 0, "", nullptr,
     [](const Folder& F) { HasNew(F, std::string(251, 'n') + ".jpg"); }},
    {"NameTooLong", false, [](const Folder&) {}, std::string(252, 'n') + ".jpg", "create", ENAMETOOLONG,
     std::string(252, 'n') + ".jpg", nullptr, nullptr},

    // The replacement keeps the old file's permission bits and, as root, its owner and group;
    // set-user-ID and set-group-ID bits are not carried over.
    {"ReadOnlyFileOfAnotherUser", false, [](const Folder& F) { F.Put("p.jpg", Old, 0444, Nobody); }, "p.jpg",
     nullptr, 0, "", nullptr,
     [](const Folder& F) {
         HasNew(F, "p.jpg");
         EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0444u);
         EXPECT_EQ(F.Stat("p.jpg").st_uid, Nobody);
         EXPECT_EQ(F.Stat("p.jpg").st_gid, Nobody);
     }},
    {"OwnerOnly", false, [](const Folder& F) { F.Put("p.jpg", Old, 0400); }, "p.jpg", nullptr, 0, "", nullptr,
     [](const Folder& F) { EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0400u); }},
    {"Executable", false, [](const Folder& F) { F.Put("p.jpg", Old, 0555); }, "p.jpg", nullptr, 0, "", nullptr,
     [](const Folder& F) { EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0555u); }},
    {"SetUserIdDropped", false, [](const Folder& F) { F.Put("p.jpg", Old, 06755); }, "p.jpg", nullptr, 0, "",
     nullptr, [](const Folder& F) { EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0755u); }},
    {"HardLinkKeepsTheOldContents", false,
     [](const Folder& F) {
         F.Put("p.jpg", Old);
         ASSERT_EQ(link((F / "p.jpg").c_str(), (F / "hard.jpg").c_str()), 0);
     },
     "p.jpg", nullptr, 0, "", nullptr,
     [](const Folder& F) {
         HasNew(F, "p.jpg");
         KeepsOld(F, "hard.jpg");
     }},

    // As an unprivileged user.
    // A file the user may not write is not replaced, even in a folder the user may write, as a
    // shell's > would refuse it; root keeps its power to replace it (ReadOnlyFileOfAnotherUser).
    {"NobodyCannotReplaceItsOwnReadOnlyFile", true,
     [](const Folder& F) {
         F.Dir("mine", 0755);
         ASSERT_EQ(chown((F / "mine").c_str(), Nobody, Nobody), 0);
         F.Put("mine/p.jpg", Old, 0444, Nobody);
     },
     "mine/p.jpg", "create", EACCES, "mine/p.jpg", nullptr,
     [](const Folder& F) {
         KeepsOld(F, "mine/p.jpg");
         EXPECT_EQ(F.Stat("mine/p.jpg").st_mode & 07777, 0444u);
     }},
    {"NobodyCannotReplaceAnotherUsersReadOnlyFileInItsFolder", true,
     [](const Folder& F) {
         F.Dir("mine", 0755);
         ASSERT_EQ(chown((F / "mine").c_str(), Nobody, Nobody), 0);
         F.Put("mine/p.jpg", Old, 0644);
     },
     "mine/p.jpg", "create", EACCES, "mine/p.jpg", nullptr, [](const Folder& F) { KeepsOld(F, "mine/p.jpg"); }},
    {"NobodyReplacesAWritableFileOfAnotherUserInItsFolder", true,
     [](const Folder& F) {
         F.Dir("mine", 0755);
         ASSERT_EQ(chown((F / "mine").c_str(), Nobody, Nobody), 0);
         F.Put("mine/p.jpg", Old, 0666);
     },
     "mine/p.jpg", nullptr, 0, "", nullptr, [](const Folder& F) { HasNew(F, "mine/p.jpg"); }},
    {"NobodyInAFolderItCanWriteButNotList", true,
     [](const Folder& F) {
         F.Dir("drop", 0733);
         F.Put("drop/p.jpg", Old, 0666, Nobody);
     },
     "drop/p.jpg", nullptr, 0, "", nullptr, [](const Folder& F) { HasNew(F, "drop/p.jpg"); }},
    {"NobodyOverwritesAWritableFileInAReadOnlyFolder", true,
     [](const Folder& F) {
         F.Dir("ro", 0755);
         F.Put("ro/p.jpg", std::string(NewBytes.size() + 5000, 'o'), 0644, Nobody);
     },
     "ro/p.jpg", nullptr, 0, "", nullptr, [](const Folder& F) { HasNew(F, "ro/p.jpg"); }},
    {"NobodyOverwritesAnotherUsersWritableFileInAStickyFolder", true,
     [](const Folder& F) {
         F.Dir("tmp", 01777);
         F.Put("tmp/p.jpg", Old, 0666);
     },
     "tmp/p.jpg", nullptr, 0, "", nullptr,
     [](const Folder& F) {
         HasNew(F, "tmp/p.jpg");
         EXPECT_EQ(F.Stat("tmp/p.jpg").st_uid, 0u);
     }},
    {"NobodyCannotCreateInAReadOnlyFolder", true, [](const Folder& F) { F.Dir("ro", 0755); }, "ro/p.jpg", "create",
     EACCES, "ro/p.jpg", nullptr, nullptr},
    {"NobodyCannotReplaceAReadOnlyFileInAReadOnlyFolder", true,
     [](const Folder& F) {
         F.Dir("ro", 0755);
         F.Put("ro/p.jpg", Old, 0644);
     },
     "ro/p.jpg", "create", EACCES, "ro/p.jpg", nullptr, [](const Folder& F) { KeepsOld(F, "ro/p.jpg"); }},
};

INSTANTIATE_TEST_SUITE_P(Cases, Writer, ::testing::ValuesIn(WriterCases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(WriterInPlace, KeepsTheFileItselfAndCutsItToTheNewLength) {
    // The one case where the file is not replaced: the same inode, the old tail gone.
    const Folder F;
    F.Dir("ro", 0755);
    F.Put("ro/p.jpg", std::string(NewBytes.size() * 2, 'o'), 0644, Nobody);
    const ino_t Before = F.Stat("ro/p.jpg").st_ino;
    EXPECT_EQ(WriteAsNobody(F / "ro/p.jpg"), std::nullopt);
    EXPECT_EQ(F.Stat("ro/p.jpg").st_ino, Before);
    HasNew(F, "ro/p.jpg");
}

TEST(WriterReplace, GivesTheNameANewFileSoOpenReadersKeepTheOldOne) {
    const Folder F;
    F.Put("p.jpg", Old);
    const int Reader = open((F / "p.jpg").c_str(), O_RDONLY);
    ASSERT_GE(Reader, 0);
    EXPECT_EQ(Write(F / "p.jpg"), std::nullopt);
    std::string Seen;
    ReadAll(Reader, Seen);
    close(Reader);
    EXPECT_EQ(Seen, Old);
    HasNew(F, "p.jpg");
}

TEST(WriterReplace, EmptyContentsEmptyTheFile) {
    const Folder F;
    F.Put("p.jpg", Old);
    EXPECT_EQ(Write(F / "p.jpg", {}), std::nullopt);
    EXPECT_EQ(F.Read("p.jpg"), "");
    EXPECT_EQ(F.Listing(), std::set<std::string>{"p.jpg"});
}

TEST(WriterPaths, RelativePathsAreShownFromTheWorkingFolder) {
    const Folder F;
    LinkedFolders(F);
    const std::string Saved = fs::current_path();
    ASSERT_EQ(chdir(F.Root().c_str()), 0);
    const Outcome Missing = Write("sl/../missing/x.jpg");
    const Outcome Plain = Write("./gone/x.jpg");
    const Outcome Written = Write("sl/../y.jpg");
    ASSERT_EQ(chdir(Saved.c_str()), 0);
    EXPECT_EQ(Missing, F.Message("create", "a/missing/x.jpg", ENOENT));
    EXPECT_EQ(Plain, F.Message("create", "gone/x.jpg", ENOENT));
    EXPECT_EQ(Written, std::nullopt);
    HasNew(F, "a/y.jpg");
}

TEST(WriterPaths, AZeroByteCannotCutThePathShort) {
    const Folder F;
    EXPECT_EQ(Write(F / std::string("x.jpg\0.png", 10)), F.Message("create", "x.jpg", EINVAL));
    EXPECT_TRUE(F.Listing().empty());
}

// ---- Pipes and open files ----------------------------------------------------------------

TEST(WriterPipes, ANamedPipeIsWrittenToItsReader) {
    const Folder F;
    ASSERT_EQ(mkfifo((F / "pipe").c_str(), 0644), 0);
    std::string Received;
    std::thread Reader([&] {
        const int Fd = open((F / "pipe").c_str(), O_RDONLY);
        ReadAll(Fd, Received);
        close(Fd);
    });
    const Outcome Result = Write(F / "pipe");
    Reader.join();
    EXPECT_EQ(Result, std::nullopt);
    EXPECT_EQ(Received, AsText(NewBytes));
    EXPECT_TRUE(S_ISFIFO(F.Stat("pipe").st_mode));
    EXPECT_EQ(F.Listing(), std::set<std::string>{"pipe"});
}

TEST(WriterPipes, AReaderThatGoesAwayIsAnErrorNotASignal) {
    const Folder F;
    ASSERT_EQ(mkfifo((F / "pipe").c_str(), 0644), 0);
    std::thread Reader([&] { close(open((F / "pipe").c_str(), O_RDONLY)); });
    const Outcome Result = Write(F / "pipe");
    Reader.join();
    EXPECT_EQ(Result, F.Message("write", "pipe", EPIPE));
    sigset_t Pending;
    sigpending(&Pending);
    EXPECT_FALSE(sigismember(&Pending, SIGPIPE));
}

TEST(WriterPipes, OpenFilesThroughProcAreWrittenNotReplaced) {
    // What /dev/stdout and /dev/fd/N lead to; a link in the test's folder stands for /dev/stdout.
    const Folder F;
    F.Put("out.jpg", "head:");
    const int File = open((F / "out.jpg").c_str(), O_WRONLY | O_APPEND);
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    const ino_t Inode = F.Stat("out.jpg").st_ino;
    F.Link("/proc/self/fd/" + std::to_string(File), "stdout");

    std::string Received;
    std::thread Reader([&] { ReadAll(Pipe[0], Received); });
    const Outcome ToPipe = Write("/proc/self/fd/" + std::to_string(Pipe[1]));
    close(Pipe[1]);
    Reader.join();
    close(Pipe[0]);
    EXPECT_EQ(ToPipe, std::nullopt);
    EXPECT_EQ(Received, AsText(NewBytes));

    EXPECT_EQ(Write(F / "stdout"), std::nullopt);
    close(File);
    EXPECT_EQ(F.Stat("out.jpg").st_ino, Inode);
    EXPECT_EQ(F.Read("out.jpg"), "head:" + AsText(NewBytes));
    EXPECT_EQ(F.LinkTarget("stdout").rfind("/proc/self/fd/", 0), 0u);
}

// ---- Signals -----------------------------------------------------------------------------

struct SignalCase {
    const char* Name;
    int Signal;
    bool NamedTemporary;
    bool AtRename;   // stopped just before the rename, else once the contents are flushed
    bool Replaced;   // the signal is held back until the rename is done
};

void PrintTo(const SignalCase& Case, std::ostream* Out) { *Out << Case.Name; }

class WriterSignals : public ::testing::TestWithParam<SignalCase> {};

// Named temporary files, as on file systems without unnamed ones, or not.
heldwriter::Hold NamedTemporaries(bool Named) {
    heldwriter::Hold Hold;
    Hold.NamedTemporary = Named;
    return Hold;
}

TEST_P(WriterSignals, LeaveNoTemporaryFile) {
    const SignalCase& Case = GetParam();
    const Folder F;
    F.Put("picture.jpg", Old);
    int Stopped[2], Release[2];
    ASSERT_EQ(pipe(Stopped), 0);
    ASSERT_EQ(pipe(Release), 0);
    const pid_t Child = fork();
    if (Child == 0) {
        close(Stopped[0]);
        close(Release[1]);
        // Tells the parent where it is, then waits until the parent closes the release pipe.
        const auto Stop = [&] {
            char Byte = 's';
            if (write(Stopped[1], &Byte, 1) == 1)
                while (read(Release[0], &Byte, 1) < 0 && errno == EINTR) {
                }
        };
        heldwriter::Hold Hold;
        Hold.NamedTemporary = Case.NamedTemporary;
        (Case.AtRename ? Hold.BeforeRename : Hold.ContentsFlushed) = Stop;
        const heldwriter::Holding Held(std::move(Hold));
        _exit(Write(F / "picture.jpg") ? 5 : 0);
    }
    close(Stopped[1]);
    close(Release[0]);
    char Byte = 0;
    ASSERT_EQ(read(Stopped[0], &Byte, 1), 1);
    kill(Child, Case.Signal);
    close(Release[1]);
    int Status = 0;
    waitpid(Child, &Status, 0);
    close(Stopped[0]);

    ASSERT_TRUE(WIFSIGNALED(Status)) << "status " << Status;
    EXPECT_EQ(WTERMSIG(Status), Case.Signal);
    EXPECT_EQ(F.Listing(), std::set<std::string>{"picture.jpg"});
    EXPECT_EQ(F.Read("picture.jpg"), Case.Replaced ? AsText(NewBytes) : Old);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriterSignals,
    ::testing::Values(SignalCase{"IntWhileUnnamed", SIGINT, false, false, false},
                      SignalCase{"TermWhileUnnamed", SIGTERM, false, false, false},
                      SignalCase{"HupWhileUnnamed", SIGHUP, false, false, false},
                      SignalCase{"IntBeforeRename", SIGINT, false, true, true},
                      SignalCase{"TermBeforeRename", SIGTERM, false, true, true},
                      SignalCase{"HupBeforeRename", SIGHUP, false, true, true},
                      SignalCase{"IntWhileNamed", SIGINT, true, false, true},
                      SignalCase{"TermWhileNamed", SIGTERM, true, false, true},
                      SignalCase{"HupWhileNamed", SIGHUP, true, false, true},
                      SignalCase{"TermNamedBeforeRename", SIGTERM, true, true, true}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST(WriterSignals, NamedTemporariesWorkLikeUnnamedOnes) {
    // The path taken on file systems without unnamed files: the same results.
    const Folder F;
    F.Put("p.jpg", Old, 0440, Nobody);
    const heldwriter::Holding Named(NamedTemporaries(true));
    EXPECT_EQ(Write(F / "p.jpg"), std::nullopt);
    EXPECT_EQ(Write(F / "new.jpg"), std::nullopt);
    HasNew(F, "p.jpg");
    HasNew(F, "new.jpg");
    EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0440u);
    EXPECT_EQ(F.Stat("p.jpg").st_uid, Nobody);
    EXPECT_EQ(F.Listing(), (std::set<std::string>{"new.jpg", "p.jpg"}));
}

TEST(WriterDurability, NewFilesLaterWritesTheSameFiles) {
    // Only when the disk is waited for differs: new files, replacements (their owner and mode
    // kept) and both kinds of temporary give the same names and contents, and nothing else.
    for (const bool Named : {false, true}) {
        const Folder F;
        F.Put("p.jpg", Old, 0440, Nobody);
        const heldwriter::Holding Temporary(NamedTemporaries(Named));
        for (const char* Name : {"p.jpg", "new.jpg"})
            EXPECT_EQ(Write(F / Name, NewBytes, qrfiles::Durability::NewFilesLater), std::nullopt);
        HasNew(F, "p.jpg");
        HasNew(F, "new.jpg");
        EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0440u);
        EXPECT_EQ(F.Stat("p.jpg").st_uid, Nobody);
        EXPECT_EQ(F.Listing(), (std::set<std::string>{"new.jpg", "p.jpg"}));
        EXPECT_TRUE(qrfiles::SyncFileSystem(F.Root()));
        const auto Missing = qrfiles::SyncFileSystem(F / "missing/x");
        ASSERT_FALSE(Missing);
        EXPECT_EQ(Missing.Error(), "cannot flush the written files to the disk: " + qrfiles::ErrorText(ENOENT));
    }
}

// ---- Threads -----------------------------------------------------------------------------

TEST(WriterThreads, ConcurrentReplacementsAreEachWhole) {
    // Twenty threads replace the same file again and again while another reads it: every read
    // finds one writer's contents whole, and at the end nothing but the file is left.
    const Folder F;
    F.Put("shared.jpg", AsText(Pattern(30000, 100)));
    std::vector<std::vector<unsigned char>> Contents;
    std::set<std::string> Known{AsText(Pattern(30000, 100))};
    for (unsigned i = 0; i < 20; ++i) {
        Contents.push_back(Pattern(20000 + i * 997, i));
        Known.insert(AsText(Contents.back()));
    }
    std::atomic<bool> Done{false};
    std::atomic<int> Torn{0}, Failed{0};
    std::thread Reader([&] {
        while (!Done)
            Torn += Known.count(F.Read("shared.jpg")) == 0;
    });
    std::vector<std::thread> Writers;
    for (unsigned i = 0; i < 20; ++i)
        Writers.emplace_back([&, i] {
            for (int Round = 0; Round < 10; ++Round)
                Failed += Write(F / "shared.jpg", Contents[i]).has_value();
            Failed += Write(F / ("own" + std::to_string(i) + ".jpg"), Contents[i]).has_value();
        });
    for (auto& W : Writers)
        W.join();
    Done = true;
    Reader.join();
    EXPECT_EQ(Failed, 0);
    EXPECT_EQ(Torn, 0);
    EXPECT_EQ(Known.count(F.Read("shared.jpg")), 1u);
    EXPECT_EQ(F.Listing().size(), 21u);
    for (unsigned i = 0; i < 20; ++i)
        EXPECT_EQ(F.Read("own" + std::to_string(i) + ".jpg"), AsText(Contents[i]));
}

}  // namespace
