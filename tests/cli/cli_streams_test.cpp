// quandrel-qr's standard streams, its -o paths and its messages, run as a process the way a
// careless script or a hostile file system would: links through "..", pipes and device nodes,
// open files reached through /proc, names that are not UTF-8, standard input that is a folder,
// closed or failing, output that is full or closed, and paths that try to forge lines. Cases that
// need an unprivileged user run the program as uid/gid 65534. Device nodes are made with mknod
// in the test's own folder, and links there stand for /dev/stdout and /dev/fd.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <csignal>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include "testfolder.h"

namespace {

using testfolder::Folder;
using testfolder::Nobody;

// ---- Running the program ------------------------------------------------------------------

// What standard input is.
struct Source {
    enum Kind { Text, Closed, Entry, ResetAfter } What = Text;
    std::string Value;  // the text (also what arrives before the reset), or the folder's entry
};
Source InText(std::string Text) { return {Source::Text, std::move(Text)}; }
Source InClosed() { return {Source::Closed, {}}; }
Source InEntry(std::string Name) { return {Source::Entry, std::move(Name)}; }
// A TCP connection on the loopback that delivers Text and is then reset: reads get the text,
// then fail with ECONNRESET.
Source InResetAfter(std::string Text) { return {Source::ResetAfter, std::move(Text)}; }

// What standard output or error is.
struct Sink {
    enum Kind { Captured, Closed, Entry } What = Captured;
    std::string Name;  // the folder's entry, opened for writing
};
Sink Captured() { return {}; }
Sink SinkClosed() { return {Sink::Closed, {}}; }
Sink SinkEntry(std::string Name) { return {Sink::Entry, std::move(Name)}; }

struct Outcome {
    int Status = -1;  // the exit status, or 128 + the signal
    std::string Out, Err;
};

struct Launch {
    std::vector<std::string> Argv;  // Argv[0] is run from PATH, or is QUANDREL_QR when empty
    Source In;
    Sink Out, Err;
    bool AsNobody = false;
    std::string Folder;  // the working folder
    // Called with the child's process id while it runs.
    std::function<void(pid_t)> While;
    // Variables added to the environment.
    std::vector<std::string> Environment = {};
};

int Anonymous(const char* Name) { return memfd_create(Name, MFD_CLOEXEC); }

std::string ReadPath(const std::string& Path) {
    std::string Bytes;
    const int Fd = open(Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (Fd >= 0) {
        testfolder::ReadAll(Fd, Bytes);
        close(Fd);
    }
    return Bytes;
}

// What was written to the anonymous file Fd, which is closed.
std::string Contents(int Fd) {
    std::string Bytes;
    if (Fd >= 0) {
        lseek(Fd, 0, SEEK_SET);
        testfolder::ReadAll(Fd, Bytes);
        close(Fd);
    }
    return Bytes;
}

// The client end of a loopback connection whose server sent Text and then reset it.
int ResetConnection(const std::string& Text) {
    const int Server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in Address{};
    Address.sin_family = AF_INET;
    Address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t Length = sizeof Address;
    if (bind(Server, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0 || listen(Server, 1) != 0 ||
        getsockname(Server, reinterpret_cast<sockaddr*>(&Address), &Length) != 0)
        return -1;
    const int Client = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (connect(Client, reinterpret_cast<sockaddr*>(&Address), sizeof Address) != 0)
        return -1;
    const int Accepted = accept4(Server, nullptr, nullptr, SOCK_CLOEXEC);
    close(Server);
    if (write(Accepted, Text.data(), Text.size()) != static_cast<ssize_t>(Text.size()))
        return -1;
    const linger Abort{1, 0};  // close with a reset instead of an orderly end
    setsockopt(Accepted, SOL_SOCKET, SO_LINGER, &Abort, sizeof Abort);
    close(Accepted);
    // Wait until the reset has arrived (poll reports it without clearing it).
    pollfd Reset{Client, POLLERR, 0};
    poll(&Reset, 1, 5000);
    return Client;
}

Outcome Start(const Launch& L) {
    Outcome R;
    const std::string Folder = L.Folder.empty() ? std::string(".") : L.Folder;
    int In = -1;
    switch (L.In.What) {
        case Source::Text:
            In = Anonymous("in");
            if (write(In, L.In.Value.data(), L.In.Value.size()) != static_cast<ssize_t>(L.In.Value.size()))
                return R;
            lseek(In, 0, SEEK_SET);
            break;
        case Source::Closed: break;
        case Source::Entry: In = open((Folder + "/" + L.In.Value).c_str(), O_RDONLY | O_CLOEXEC); break;
        case Source::ResetAfter: In = ResetConnection(L.In.Value); break;
    }
    const auto OpenSink = [&](const Sink& S, const char* Name) {
        return S.What == Sink::Captured ? Anonymous(Name)
               : S.What == Sink::Entry  ? open((Folder + "/" + S.Name).c_str(), O_WRONLY | O_CLOEXEC)
                                        : -1;
    };
    const int Out = OpenSink(L.Out, "out"), Err = OpenSink(L.Err, "err");

    std::vector<std::string> Args = L.Argv;
    if (Args[0].empty())
        Args[0] = QUANDREL_QR;
    std::vector<char*> Argv;
    for (auto& A : Args) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    std::vector<std::string> Variables = L.Environment;
    for (char** Variable = environ; *Variable; ++Variable) {
        const std::string_view Inherited(*Variable);
        const auto Replaced = [&](const std::string& Added) {
            return Inherited.substr(0, Inherited.find('=') + 1) == Added.substr(0, Added.find('=') + 1);
        };
        if (std::none_of(L.Environment.begin(), L.Environment.end(), Replaced))
            Variables.emplace_back(Inherited);
    }
    std::vector<char*> Envp;
    for (auto& V : Variables) Envp.push_back(V.data());
    Envp.push_back(nullptr);

    const pid_t Child = fork();
    if (Child == 0) {
        // Only async-signal-safe calls from here to exec.
        const int Fds[3] = {In, Out, Err};
        for (int Fd = 0; Fd < 3; ++Fd)
            if (Fds[Fd] < 0)
                close(Fd);
            else if (dup2(Fds[Fd], Fd) != Fd)
                _exit(120);
        if (chdir(Folder.c_str()) != 0)
            _exit(121);
        if (L.AsNobody && (setgroups(0, nullptr) != 0 || setgid(Nobody) != 0 || setuid(Nobody) != 0))
            _exit(122);
        execvpe(Argv[0], Argv.data(), Envp.data());
        _exit(123);
    }
    if (In >= 0)
        close(In);
    if (L.While)
        L.While(Child);
    int Status = 0;
    waitpid(Child, &Status, 0);
    R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    R.Out = L.Out.What == Sink::Captured ? Contents(Out) : (close(Out), "");
    R.Err = L.Err.What == Sink::Captured ? Contents(Err) : (close(Err), "");
    return R;
}

// What the program writes to standard output for these arguments, made once per test program.
const std::string& Reference(const std::vector<std::string>& Args) {
    static std::map<std::vector<std::string>, std::string> Made;
    auto Found = Made.find(Args);
    if (Found == Made.end()) {
        std::vector<std::string> Argv{""};
        Argv.insert(Argv.end(), Args.begin(), Args.end());
        Found = Made.emplace(Args, Start({Argv, InText(""), Captured(), Captured(), false, "", nullptr}).Out).first;
    }
    return Found->second;
}

const std::string& HelloJpeg() { return Reference({"-t", "jpeg", "hello"}); }

// The line the program writes for a message (already escaped).
std::string Said(const std::string& Text) { return "quandrel-qr: " + Text + "\n"; }

const std::string Old = "the user's old picture";

// ---- The table of cases -------------------------------------------------------------------

struct CliCase {
    const char* Name;
    bool AsNobody;
    std::function<void(const Folder&)> Setup;
    std::vector<std::string> Args;  // run in the folder
    Source In;
    Sink Out, Err;
    int Status;
    // The whole of standard error when it is captured; none: empty.
    std::function<std::string(const Folder&)> Says;
    const char* Creates;  // the entry the run adds to the folder, if any
    const char* Fifo;     // a named pipe the runner makes and reads from while the program runs
    std::function<void(const Folder&, const Outcome&)> Check;
};

void PrintTo(const CliCase& Case, std::ostream* Out) { *Out << Case.Name; }

class CommandLine : public ::testing::TestWithParam<CliCase> {};

TEST_P(CommandLine, StreamsPathsAndMessages) {
    const CliCase& Case = GetParam();
    const Folder F;
    if (Case.Setup)
        Case.Setup(F);
    if (HasFatalFailure())
        return;
    int Reader = -1;
    if (Case.Fifo) {
        ASSERT_EQ(mkfifo((F / Case.Fifo).c_str(), 0666), 0);
        // Open before the program starts, so its open finds a reader; the pipe's buffer holds
        // what it writes until it is read below.
        Reader = open((F / Case.Fifo).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        ASSERT_GE(Reader, 0);
    }
    std::set<std::string> Expected = F.Listing();
    if (Case.Creates)
        Expected.insert(Case.Creates);

    std::vector<std::string> Argv{""};
    Argv.insert(Argv.end(), Case.Args.begin(), Case.Args.end());
    Outcome R = Start({Argv, Case.In, Case.Out, Case.Err, Case.AsNobody, F.Root(), nullptr});
    if (Reader >= 0)
        R.Out = Contents(Reader);  // what came through the pipe stands for standard output

    EXPECT_EQ(R.Status, Case.Status) << R.Err;
    if (Case.Err.What == Sink::Captured) {
        EXPECT_EQ(R.Err, Case.Says ? Case.Says(F) : std::string());
    }
    EXPECT_EQ(F.Listing(), Expected) << "entries added or removed";
    if (Case.Check)
        Case.Check(F, R);
}

void LinkedFolders(const Folder& F) {
    F.Dir("a");
    F.Dir("a/b");
    F.Link("a/b", "sl");
    F.Put("z.jpg", "decoy");
}

void KeepsOld(const Folder& F, const std::string& Name) { EXPECT_EQ(F.Read(Name), Old) << Name; }
void HasHello(const Folder& F, const std::string& Name) { EXPECT_TRUE(F.Read(Name) == HelloJpeg()) << Name << " is not the picture of hello"; }
void OutIsHello(const Folder&, const Outcome& R) { EXPECT_TRUE(R.Out == HelloJpeg()) << "standard output is not the picture of hello"; }

std::function<std::string(const Folder&)> Says(std::string Text) {
    return [Line = Said(Text)](const Folder&) { return Line; };
}
std::function<std::string(const Folder&)> FileError(const char* Stage, std::string Shown, int Error) {
    return [=](const Folder& F) { return Said(F.Message(Stage, Shown, Error)); };
}

// A path that tries to forge a line, erase it and clear the screen, and holds a byte that is not
// UTF-8; its folder does not exist, so the message names it.
const std::string Forging = "bad\nquandrel-qr: saved OK\x1B[2K\r\xC2\x9B" "2J\xE9/x.jpg";
const std::string ForgingShown = "bad\\nquandrel-qr: saved OK\\x1B[2K\\r\\xC2\\x9B2J\\xE9/x.jpg";

const CliCase Cases[] = {
    // -o reaches the file open(2) reaches, with the name as given.
    {"LinkWhoseTargetGoesThroughDotDot", false,
     [](const Folder& F) {
         LinkedFolders(F);
         F.Link("sl/../z.jpg", "zl");
     },
     {"-o", "zl", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, "a/z.jpg", nullptr,
     [](const Folder& F, const Outcome&) {
         HasHello(F, "a/z.jpg");
         EXPECT_EQ(F.Read("z.jpg"), "decoy");
     }},
    {"DotDotAfterALink", false, LinkedFolders, {"-o", "sl/../x.jpg", "hello"}, InText(""), Captured(), Captured(), 0,
     nullptr, "a/x.jpg", nullptr, [](const Folder& F, const Outcome&) { HasHello(F, "a/x.jpg"); }},
    {"LoopOfLinks", false, [](const Folder& F) { F.Link("loop", "loop"); }, {"-o", "loop", "hello"}, InText(""),
     Captured(), Captured(), 1, FileError("create", "loop", ELOOP), nullptr, nullptr, nullptr},
    {"NameThatIsNotUtf8", false, [](const Folder& F) { F.Put("caf\xEF\xBF\xBD.jpg", Old); },
     {"-o", "caf\xE9.jpg", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, "caf\xE9.jpg", nullptr,
     [](const Folder& F, const Outcome&) {
         HasHello(F, "caf\xE9.jpg");
         KeepsOld(F, "caf\xEF\xBF\xBD.jpg");
     }},
    {"DashIsStandardOutput", false, nullptr, {"-o", "-", "hello"}, InText(""), Captured(), Captured(), 0, nullptr,
     nullptr, nullptr, OutIsHello},
    {"DotSlashDashIsAFile", false, nullptr, {"-o", "./-", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, "-",
     nullptr, [](const Folder& F, const Outcome& R) {
         HasHello(F, "-");
         EXPECT_TRUE(R.Out.empty());
     }},

    // What exists and is not a regular file is written, never replaced.
    {"NamedPipe", false, nullptr, {"-o", "pipe", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, nullptr,
     "pipe", [](const Folder& F, const Outcome& R) {
         EXPECT_EQ(R.Out, HelloJpeg());
         EXPECT_TRUE(S_ISFIFO(F.Stat("pipe").st_mode));
     }},
    {"NullDevice", false, [](const Folder& F) { F.Node("null", 1, 3); }, {"-o", "null", "hello"}, InText(""),
     Captured(), Captured(), 0, nullptr, nullptr, nullptr,
     [](const Folder& F, const Outcome&) { EXPECT_EQ(F.Stat("null").st_rdev, makedev(1, 3)); }},
    {"FullDevice", false, [](const Folder& F) { F.Node("full", 1, 7); }, {"-o", "full", "hello"}, InText(""),
     Captured(), Captured(), 1, FileError("write", "full", ENOSPC), nullptr, nullptr,
     [](const Folder& F, const Outcome&) { EXPECT_TRUE(S_ISCHR(F.Stat("full").st_mode)); }},
    // "stdout" and "fd" link where /dev/stdout and /dev/fd do.
    {"StandardOutputThroughProc", false, [](const Folder& F) { F.Link("/proc/self/fd/1", "stdout"); },
     {"-o", "stdout", "-t", "jpeg", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, nullptr, nullptr,
     OutIsHello},
    {"DescriptorThroughProc", false, [](const Folder& F) { F.Link("/proc/self/fd", "fd"); },
     {"-o", "fd/2", "-t", "ascii", "hello"}, InText(""), Captured(), Captured(), 0,
     [](const Folder&) { return Reference({"-t", "ascii", "hello"}); }, nullptr, nullptr,
     [](const Folder&, const Outcome& R) { EXPECT_TRUE(R.Out.empty()); }},
    {"NobodyStandardOutputThroughProc", true, [](const Folder& F) { F.Link("/proc/self/fd/1", "stdout"); },
     {"-o", "stdout", "-t", "jpeg", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, nullptr, nullptr,
     OutIsHello},

    // A read error on standard input ends the run before any file is touched.
    {"InputIsAFolder",
     false,
     [](const Folder& F) {
         F.Dir("dir");
         F.Put("in.jpg", Old);
     },
     {"-o", "in.jpg"}, InEntry("dir"), Captured(), Captured(), 1, Says("cannot read standard input: Is a directory"),
     nullptr, nullptr, [](const Folder& F, const Outcome&) { KeepsOld(F, "in.jpg"); }},
    {"InputClosed", false, [](const Folder& F) { F.Put("in.jpg", Old); }, {"-o", "in.jpg"}, InClosed(), Captured(),
     Captured(), 1, Says("cannot read standard input: Bad file descriptor"), nullptr, nullptr,
     [](const Folder& F, const Outcome&) { KeepsOld(F, "in.jpg"); }},
    {"InputFailsAfterSomeBytes", false, [](const Folder& F) { F.Put("in.jpg", Old); }, {"-o", "in.jpg"},
     InResetAfter("hello"), Captured(), Captured(), 1, Says("cannot read standard input: Connection reset by peer"),
     nullptr, nullptr, [](const Folder& F, const Outcome&) { KeepsOld(F, "in.jpg"); }},
    {"InputWhole", false, [](const Folder& F) { F.Put("in.jpg", Old); }, {"-o", "in.jpg"}, InText("hello"),
     Captured(), Captured(), 0, nullptr, nullptr, nullptr, [](const Folder& F, const Outcome&) { HasHello(F, "in.jpg"); }},

    // Output asked for and lost is a failure with the reason.
    {"HelpIntoAFullDevice", false, [](const Folder& F) { F.Node("full", 1, 7); }, {"--help"}, InText(""),
     SinkEntry("full"), Captured(), 1, Says("cannot write standard output: No space left on device"), nullptr, nullptr,
     nullptr},
    {"VersionIntoAClosedOutput", false, nullptr, {"--version"}, InText(""), SinkClosed(), Captured(), 1,
     Says("cannot write standard output: Bad file descriptor"), nullptr, nullptr, nullptr},
    {"SymbolIntoAFullDevice", false, [](const Folder& F) { F.Node("full", 1, 7); }, {"-o", "-", "hello"}, InText(""),
     SinkEntry("full"), Captured(), 1, Says("cannot write standard output: No space left on device"), nullptr, nullptr,
     nullptr},
    {"InfoIntoAFullStandardError", false, [](const Folder& F) { F.Node("full", 1, 7); },
     {"--info", "-o", "out.png", "hello"}, InText(""), Captured(), SinkEntry("full"), 1, nullptr, nullptr, nullptr,
     nullptr},

    // Messages are escaped, whole lines.
    {"PathThatTriesToForgeLines", false, nullptr, {"-o", Forging, "hello"}, InText(""), Captured(), Captured(), 1,
     FileError("create", ForgingShown, ENOENT), nullptr, nullptr, nullptr},
    {"ArgumentWithAnEscapeSequence", false, nullptr, {"-t", "gif\x1B[31m", "hello"}, InText(""), Captured(),
     Captured(), 2,
     Says("--type: 'gif\\x1B[31m' is not one of png, svg, eps, pdf, jpeg, jpg, utf8, ascii, matrix "
          "(see quandrel-qr --help)"),
     nullptr, nullptr, nullptr},

    // Characters an encoding cannot hold are left out, as in the window, with a warning.
    {"AlphanumericLeavesOutLowerCase", false, nullptr, {"--encoding", "alphanumeric", "-t", "matrix", "Hello"},
     InText(""), Captured(), Captured(), 0,
     Says("warning: 4 characters left out of the symbol: alphanumeric holds only 0-9, A-Z, space and $%*+-./:"),
     nullptr, nullptr,
     [](const Folder&, const Outcome& R) {
         EXPECT_EQ(R.Out, Reference({"--encoding", "alphanumeric", "-t", "matrix", "H"}));
     }},
    {"NumericOfLettersIsEmpty", false, nullptr, {"--encoding", "numeric", "-t", "matrix", "abc"}, InText(""),
     Captured(), Captured(), 0, Says("warning: 3 characters left out of the symbol: numeric holds only the digits 0-9"),
     nullptr, nullptr,
     [](const Folder&, const Outcome& R) { EXPECT_EQ(R.Out, Reference({"--encoding", "numeric", "-t", "matrix", ""})); }},

    // A replaced file keeps its permission bits and, as root, its owner and group.
    {"ReplacedFileKeepsModeAndOwner", false, [](const Folder& F) { F.Put("p.jpg", Old, 0444, Nobody); },
     {"-o", "p.jpg", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, nullptr, nullptr,
     [](const Folder& F, const Outcome&) {
         HasHello(F, "p.jpg");
         EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0444u);
         EXPECT_EQ(F.Stat("p.jpg").st_uid, Nobody);
         EXPECT_EQ(F.Stat("p.jpg").st_gid, Nobody);
     }},
    {"NobodyReplacesItsOwnOwnerOnlyFile", true,
     [](const Folder& F) {
         F.Dir("mine");
         ASSERT_EQ(chown((F / "mine").c_str(), Nobody, Nobody), 0);
         F.Put("mine/p.jpg", Old, 0600, Nobody);
     },
     {"-o", "mine/p.jpg", "hello"}, InText(""), Captured(), Captured(), 0, nullptr, nullptr, nullptr,
     [](const Folder& F, const Outcome&) {
         HasHello(F, "mine/p.jpg");
         EXPECT_EQ(F.Stat("mine/p.jpg").st_mode & 07777, 0600u);
         EXPECT_EQ(F.Stat("mine/p.jpg").st_uid, Nobody);
     }},
    // A file the user may not write is not replaced, as a shell's > would refuse it.
    {"NobodyCannotReplaceItsOwnReadOnlyFile", true,
     [](const Folder& F) {
         F.Dir("mine");
         ASSERT_EQ(chown((F / "mine").c_str(), Nobody, Nobody), 0);
         F.Put("mine/p.jpg", Old, 0444, Nobody);
     },
     {"-o", "mine/p.jpg", "hello"}, InText(""), Captured(), Captured(), 1, FileError("create", "mine/p.jpg", EACCES),
     nullptr, nullptr,
     [](const Folder& F, const Outcome&) {
         KeepsOld(F, "mine/p.jpg");
         EXPECT_EQ(F.Stat("mine/p.jpg").st_mode & 07777, 0444u);
     }},

    // The batch's list on a closed standard input, as the single symbol's text.
    {"BatchListOnAClosedInput", false, nullptr, {"--batch", "-", "-o", "out/{n}.png"}, InClosed(), Captured(),
     Captured(), 2, Says("cannot open the list \"-\": Bad file descriptor"), nullptr, nullptr, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cases, CommandLine, ::testing::ValuesIn(Cases),
                         [](const auto& Info) { return std::string(Info.param.Name); });

// ---- Beyond the table ---------------------------------------------------------------------

TEST(CommandLineNames, EveryTypeWritesTheNameByteForByte) {
    const Folder F;
    for (const char* Type : {"png", "svg", "eps", "pdf", "jpeg", "utf8", "ascii", "matrix"}) {
        const std::string Name = std::string("caf\xE9.") + Type;
        const Outcome R = Start({{"", "-t", Type, "-o", Name, "Ol\xC3\xA1"}, InText(""), Captured(), Captured(), false,
                             F.Root(), nullptr});
        EXPECT_EQ(R.Status, 0) << Type << R.Err;
        EXPECT_EQ(F.Read(Name), Reference({"-t", Type, "Ol\xC3\xA1"})) << Type;
    }
    EXPECT_EQ(F.Listing().size(), 8u);
}

// Runs the program under strace with Options, the trace written to the folder's "trace".
Outcome Traced(const Folder& F, std::vector<std::string> Options, const std::vector<std::string>& Args,
           const std::function<void(pid_t)>& While = nullptr) {
    std::vector<std::string> Argv{"strace", "-f", "-qq", "-o", F / "trace"};
    Argv.insert(Argv.end(), Options.begin(), Options.end());
    Argv.push_back(QUANDREL_QR);
    Argv.insert(Argv.end(), Args.begin(), Args.end());
    // LeakSanitizer, in sanitizer builds, cannot work in a traced process and says so on
    // standard error; the other sanitizers stay on.
    const char* Sanitizer = std::getenv("ASAN_OPTIONS");
    const std::string NoLeakCheck = "ASAN_OPTIONS=" + std::string(Sanitizer ? Sanitizer : "") + ":detect_leaks=0";
    return Start({Argv, InText(""), Captured(), Captured(), false, F.Root(), While, {NoLeakCheck}});
}

TEST(CommandLineMessages, EachIsWrittenInOneCall) {
    for (const std::vector<std::string>& Args :
         {std::vector<std::string>{"-o", Forging, "hello"}, {"--encoding", "numeric", "-t", "matrix", "x1"}}) {
        const Folder F;
        const Outcome R = Traced(F, {"-e", "trace=write,writev,pwrite64,pwritev,pwritev2", "-e", "signal=none"}, Args);
        ASSERT_FALSE(R.Err.empty()) << Args[1];
        // Every call that wrote to standard error, with what it returned.
        const std::string Trace = F.Read("trace");
        std::vector<long> Written;
        std::istringstream Lines(Trace);
        for (std::string Line; std::getline(Lines, Line);) {
            // "PID CALL(FD, ...) = RESULT", only write calls being traced
            const auto Call = Line.find(' ') + 1, Open = Line.find('('), Result = Line.rfind(" = ");
            if (Open != std::string::npos && Open > Call && Result != std::string::npos &&
                Line.substr(Call, Open - Call).find("write") != std::string::npos && Line.compare(Open, 4, "(2, ") == 0)
                Written.push_back(std::stol(Line.substr(Result + 3)));
        }
        EXPECT_EQ(Written, std::vector<long>{static_cast<long>(R.Err.size())}) << Trace;
    }
}

TEST(CommandLineSignals, NoTemporaryFileIsLeftAndTheNewFileIsWhole) {
    // strace holds the program for a second just before the rename, while the replacement has
    // its short temporary name; the signal arrives then and takes effect after the rename.
    for (const int Signal : {SIGINT, SIGTERM, SIGHUP}) {
        const Folder F;
        F.Put("p.jpg", Old, 0640, Nobody);
        const auto SendWhenNamed = [&](pid_t Strace) {
            const std::string Children = "/proc/" + std::to_string(Strace) + "/task/" + std::to_string(Strace) +
                                         "/children";
            const auto Until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            while (std::chrono::steady_clock::now() < Until) {
                bool Named = false;
                for (const auto& Entry : F.Listing()) Named |= Entry.rfind(".qr-", 0) == 0;
                const std::string Program = ReadPath(Children);
                if (Named && !Program.empty()) {
                    kill(static_cast<pid_t>(std::stol(Program)), Signal);
                    return;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
            ADD_FAILURE() << "the temporary name never appeared";
        };
        const Outcome R = Traced(F, {"-e", "trace=linkat", "-e", "inject=linkat:delay_exit=1000000"},
                             {"-o", "p.jpg", "hello"}, SendWhenNamed);
        EXPECT_EQ(R.Status, 128 + Signal) << R.Err;
        std::set<std::string> Left = F.Listing();
        Left.erase("trace");
        EXPECT_EQ(Left, std::set<std::string>{"p.jpg"}) << Signal;
        HasHello(F, "p.jpg");
        EXPECT_EQ(F.Stat("p.jpg").st_mode & 07777, 0640u);
    }
}

TEST(CommandLineStreams, ANonBlockingStandardOutputIsWaitedForNotCut) {
    // A pipe that whoever made it left non-blocking, read slowly: the whole symbol comes through.
    const std::vector<std::string> Args = {"-t", "ascii", "-m", "100", std::string(2900, 'a')};
    const std::string& Whole = Reference(Args);
    ASSERT_GT(Whole.size(), 100000u);
    int Pipe[2];
    ASSERT_EQ(pipe2(Pipe, O_NONBLOCK | O_CLOEXEC), 0);
    std::vector<std::string> All{QUANDREL_QR};
    All.insert(All.end(), Args.begin(), Args.end());
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    const int Err = Anonymous("err");
    const pid_t Child = fork();
    if (Child == 0) {
        if (dup2(Pipe[1], 1) != 1 || dup2(Err, 2) != 2)
            _exit(124);
        execv(QUANDREL_QR, Argv.data());
        _exit(126);
    }
    close(Pipe[1]);
    fcntl(Pipe[0], F_SETFL, 0);
    std::string Got;
    char Buffer[4096];
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    for (ssize_t N; (N = read(Pipe[0], Buffer, sizeof Buffer)) > 0;) {
        Got.append(Buffer, static_cast<std::size_t>(N));
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    close(Pipe[0]);
    int Status = 0;
    waitpid(Child, &Status, 0);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Contents(Err);
    EXPECT_EQ(Got.size(), Whole.size());
    EXPECT_TRUE(Got == Whole);
}

// Runs the program in a session of its own whose controlling terminal is a new pseudo-terminal;
// its standard output is that terminal when OutputIsTerminal, else an anonymous file. Gives the
// outcome, with what reached the terminal as Out.
Outcome OnTerminal(const Folder& F, const std::vector<std::string>& Args, bool OutputIsTerminal) {
    Outcome R;
    int Master = -1, Slave = -1;
    if (openpty(&Master, &Slave, nullptr, nullptr, nullptr) != 0)
        return R;
    std::vector<std::string> All{QUANDREL_QR};
    All.insert(All.end(), Args.begin(), Args.end());
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    const int Err = Anonymous("err"), Out = Anonymous("out");
    const pid_t Child = fork();
    if (Child == 0) {
        if (setsid() < 0 || ioctl(Slave, TIOCSCTTY, 0) != 0 || chdir(F.Root().c_str()) != 0)
            _exit(124);
        if (dup2(Slave, 0) != 0 || dup2(OutputIsTerminal ? Slave : Out, 1) != 1 || dup2(Err, 2) != 2)
            _exit(125);
        close(Master);
        execv(QUANDREL_QR, Argv.data());
        _exit(126);
    }
    close(Slave);
    // Read while it runs, so that a full terminal never holds it; the reads end once the
    // terminal has no other end left (EIO).
    std::thread Reader([&] {
        char Buffer[4096];
        for (ssize_t N; (N = read(Master, Buffer, sizeof Buffer)) > 0;) R.Out.append(Buffer, static_cast<std::size_t>(N));
    });
    int Status = 0;
    waitpid(Child, &Status, 0);
    Reader.join();
    R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    close(Master);
    close(Out);
    R.Err = Contents(Err);
    return R;
}

TEST(CommandLineStreams, BinaryOutputReachesNoTerminalWhateverThePathCallsIt) {
    const Folder F;
    const std::string Refused = Said("will not write a binary picture to a terminal; use -o FILE");
    const struct {
        std::vector<std::string> Args;
        bool OutputIsTerminal;
    } Cases[] = {
        {{"-o", "/dev/tty", "-t", "png", "hello"}, false},
        {{"-o", "/dev/stdout", "-t", "pdf", "hello"}, true},
        {{"-o", "/proc/self/fd/0", "hello"}, false},  // the JPEG, to standard input's terminal
        {{"-t", "png", "hello"}, true},
    };
    for (const auto& C : Cases) {
        const Outcome R = OnTerminal(F, C.Args, C.OutputIsTerminal);
        EXPECT_EQ(R.Status, 2) << C.Args[1] << ": " << R.Err;
        EXPECT_EQ(R.Err, Refused) << C.Args[1];
        EXPECT_EQ(R.Out, "") << C.Args[1];
    }
    // Text is for terminals, whatever path leads there.
    const Outcome Text = OnTerminal(F, {"-o", "/dev/tty", "-t", "ascii", "hello"}, false);
    EXPECT_EQ(Text.Status, 0) << Text.Err;
    EXPECT_FALSE(Text.Out.empty());
    EXPECT_TRUE(F.Listing().empty());
}

}  // namespace
