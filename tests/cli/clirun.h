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
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace clirun {

namespace fs = std::filesystem;

struct Result {
    int Status = -1;  // the exit status, or 128 + the signal
    std::string Out, Err;
    long MaxRssKiB = 0;
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

// Runs Program with Args (Args[0] is the program name); standard input is Input, or what Feed
// generates when given.
inline Result Run(const std::string& Program, const std::vector<std::string>& Args, const std::string& Input = "",
                  const Generator& Feed = nullptr) {
    const fs::path Dir = fs::temp_directory_path() / ("clirun-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    WriteAll(Dir / "in", Input);
    int Pipe[2] = {-1, -1};
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    if (Feed) {
        if (pipe(Pipe) != 0)
            return {};
        posix_spawn_file_actions_adddup2(&Actions, Pipe[0], 0);
        posix_spawn_file_actions_addclose(&Actions, Pipe[0]);
        posix_spawn_file_actions_addclose(&Actions, Pipe[1]);
    } else {
        posix_spawn_file_actions_addopen(&Actions, 0, (Dir / "in").c_str(), O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&Actions, 1, (Dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, (Dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> All = Args;
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    pid_t Pid = 0;
    Result R;
    const int Spawned = posix_spawnp(&Pid, Program.c_str(), &Actions, nullptr, Argv.data(), environ);
    posix_spawn_file_actions_destroy(&Actions);
    if (Feed) {
        close(Pipe[0]);
        if (Spawned == 0) {
            // A reader that stops early makes writes fail with EPIPE instead of killing the test.
            std::signal(SIGPIPE, SIG_IGN);
            for (std::string Chunk = Feed(); !Chunk.empty(); Chunk = Feed()) {
                std::size_t At = 0;
                while (At < Chunk.size()) {
                    const ssize_t Put = write(Pipe[1], Chunk.data() + At, Chunk.size() - At);
                    if (Put <= 0) break;
                    At += static_cast<std::size_t>(Put);
                }
                if (At < Chunk.size()) break;
            }
        }
        close(Pipe[1]);
    }
    if (Spawned == 0) {
        int Status = 0;
        rusage Usage{};
        wait4(Pid, &Status, 0, &Usage);
        R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
        R.MaxRssKiB = Usage.ru_maxrss;
    }
    R.Out = ReadAll(Dir / "out");
    R.Err = ReadAll(Dir / "err");
    fs::remove_all(Dir);
    return R;
}

// Runs quandrel-qr with the arguments (without the program name).
inline Result RunQr(const std::vector<std::string>& Args, const std::string& Input = "", const Generator& Feed = nullptr) {
    std::vector<std::string> All{QUANDREL_QR};
    All.insert(All.end(), Args.begin(), Args.end());
    return Run(QUANDREL_QR, All, Input, Feed);
}

}  // namespace clirun
