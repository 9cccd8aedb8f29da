#pragma once
// Runs the real quandrel-qr executable (QUANDREL_QR) and other programs as processes, for tests:
// standard input from a string or from a generator through a pipe, standard output and error
// into files, the exit status and the peak memory.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string_view>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

namespace clirun {

namespace fs = std::filesystem;

struct Result {
    int Status = -1;  // the exit status, or 128 + the signal
    std::string Out, Err;
    long MaxRssKiB = 0;
};

// A folder of the test's own, named Name and the process ID, emptied first and removed at the end.
struct TempDir {
    fs::path Path;
    explicit TempDir(const std::string& Name)
        : Path(fs::temp_directory_path() / (Name + "-" + std::to_string(getpid()))) {
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
};

inline std::string ReadAll(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

inline void WriteAll(const fs::path& Path, const std::string& Bytes) {
    std::ofstream(Path, std::ios::binary) << Bytes;
}

// Writes chunks to the pipe until the generator returns an empty one or the reader is gone.
using Generator = std::function<std::string()>;

// A program started with its standard output and error going to files.
struct Process {
    pid_t Pid = -1;
    int Input = -1;  // the write end of its standard input, when it reads a pipe
    fs::path Dir;    // where its input, output and error files are
    int Spawned = -1;
};

// Starts Program with Args (Args[0] is the program name); standard input is Input, or a pipe
// left open for the caller when PipeInput.
inline Process Start(const std::string& Program, const std::vector<std::string>& Args, const std::string& Input = "",
                     bool PipeInput = false) {
    static int Started = 0;
    Process P;
    P.Dir = fs::temp_directory_path() / ("clirun-" + std::to_string(getpid()) + "-" + std::to_string(Started++));
    fs::create_directories(P.Dir);
    WriteAll(P.Dir / "in", Input);
    int Pipe[2] = {-1, -1};
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    if (PipeInput) {
        if (pipe2(Pipe, O_CLOEXEC) != 0)
            return P;
        posix_spawn_file_actions_adddup2(&Actions, Pipe[0], 0);
    } else {
        posix_spawn_file_actions_addopen(&Actions, 0, (P.Dir / "in").c_str(), O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&Actions, 1, (P.Dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, (P.Dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> All = Args;
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    // Every signal at its default and none held back, as a shell starts a program, whatever the
    // test's own process has set.
    posix_spawnattr_t Attributes;
    posix_spawnattr_init(&Attributes);
    sigset_t All_, None;
    sigfillset(&All_);
    sigemptyset(&None);
    posix_spawnattr_setsigdefault(&Attributes, &All_);
    posix_spawnattr_setsigmask(&Attributes, &None);
    posix_spawnattr_setflags(&Attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    P.Spawned = posix_spawnp(&P.Pid, Program.c_str(), &Actions, &Attributes, Argv.data(), environ);
    posix_spawnattr_destroy(&Attributes);
    posix_spawn_file_actions_destroy(&Actions);
    if (PipeInput) {
        close(Pipe[0]);
        P.Input = Pipe[1];
        // A reader that stops early makes writes fail with EPIPE instead of killing the test.
        std::signal(SIGPIPE, SIG_IGN);
    }
    return P;
}

// Writes Bytes to the process's standard input; false when it stopped reading.
inline bool Send(const Process& P, std::string_view Bytes) {
    std::size_t At = 0;
    while (At < Bytes.size()) {
        const ssize_t Put = write(P.Input, Bytes.data() + At, Bytes.size() - At);
        if (Put <= 0) return false;
        At += static_cast<std::size_t>(Put);
    }
    return true;
}

// Waits for it to end and collects what it left. Its standard input is closed first, unless
// KeepInputOpen: then only after it ended, so that it never sees the end of its input.
inline Result Finish(Process& P, bool KeepInputOpen = false) {
    if (P.Input >= 0 && !KeepInputOpen) close(std::exchange(P.Input, -1));
    Result R;
    if (P.Spawned == 0) {
        int Status = 0;
        rusage Usage{};
        wait4(P.Pid, &Status, 0, &Usage);
        R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
        R.MaxRssKiB = Usage.ru_maxrss;
    }
    if (P.Input >= 0) close(std::exchange(P.Input, -1));
    R.Out = ReadAll(P.Dir / "out");
    R.Err = ReadAll(P.Dir / "err");
    fs::remove_all(P.Dir);
    return R;
}

// Runs Program with Args (Args[0] is the program name); standard input is Input, or what Feed
// generates when given.
inline Result Run(const std::string& Program, const std::vector<std::string>& Args, const std::string& Input = "",
                  const Generator& Feed = nullptr) {
    Process P = Start(Program, Args, Input, static_cast<bool>(Feed));
    if (Feed && P.Spawned == 0)
        for (std::string Chunk = Feed(); !Chunk.empty() && Send(P, Chunk); Chunk = Feed()) {}
    return Finish(P);
}

// Runs Program with Args as Run does, but started by fork and exec, with Prepare called in the
// child first (async-signal-safe calls only: setrlimit, setuid and the like); a Prepare that
// returns false ends the child with status 125.
inline Result RunPrepared(const std::string& Program, const std::vector<std::string>& Args,
                          const std::function<bool()>& Prepare, const std::string& Input = "") {
    static int Started = 0;
    const fs::path Dir = fs::temp_directory_path() / ("clirun-" + std::to_string(getpid()) + "-p" + std::to_string(Started++));
    fs::create_directories(Dir);
    WriteAll(Dir / "in", Input);
    std::vector<std::string> All = Args;
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    const std::string In = Dir / "in", Out = Dir / "out", Err = Dir / "err";
    Result R;
    const pid_t Child = fork();
    if (Child == 0) {
        const int Fds[3] = {open(In.c_str(), O_RDONLY), open(Out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666),
                            open(Err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666)};
        for (int Fd = 0; Fd < 3; ++Fd)
            if (Fds[Fd] < 0 || dup2(Fds[Fd], Fd) != Fd)
                _exit(124);
        sigset_t None;
        sigemptyset(&None);
        for (int Signal = 1; Signal < NSIG; ++Signal)
            signal(Signal, SIG_DFL);
        sigprocmask(SIG_SETMASK, &None, nullptr);
        if (!Prepare())
            _exit(125);
        execv(Program.c_str(), Argv.data());
        _exit(126);
    }
    int Status = 0;
    rusage Usage{};
    wait4(Child, &Status, 0, &Usage);
    R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    R.MaxRssKiB = Usage.ru_maxrss;
    R.Out = ReadAll(Dir / "out");
    R.Err = ReadAll(Dir / "err");
    fs::remove_all(Dir);
    return R;
}

// quandrel-qr's argument list: the program name, then Args.
inline std::vector<std::string> QrArgs(const std::vector<std::string>& Args) {
    std::vector<std::string> All{QUANDREL_QR};
    All.insert(All.end(), Args.begin(), Args.end());
    return All;
}

// Runs quandrel-qr with the arguments (without the program name).
inline Result RunQr(const std::vector<std::string>& Args, const std::string& Input = "", const Generator& Feed = nullptr) {
    return Run(QUANDREL_QR, QrArgs(Args), Input, Feed);
}

}  // namespace clirun
