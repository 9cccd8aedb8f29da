#pragma once
// quandrel-qr's exit statuses, and what each means, in one table that --help is made from and the
// README's tables are checked against.

#include <csignal>
#include <span>
#include <string>

namespace qrcli {

// The numbers of the signals that stop a batch, as Linux has them. Windows has no such signals
// (its C library defines SIGINT and SIGTERM alone), but a batch it stops ends with the status a
// Linux one would, so that scripts read it alike on both.
#ifdef _WIN32
inline constexpr int kSignalHangUp = 1;
inline constexpr int kSignalInterrupt = 2;
inline constexpr int kSignalQuit = 3;
inline constexpr int kSignalBrokenPipe = 13;
inline constexpr int kSignalTerminate = 15;
#else
inline constexpr int kSignalHangUp = SIGHUP;
inline constexpr int kSignalInterrupt = SIGINT;
inline constexpr int kSignalQuit = SIGQUIT;
inline constexpr int kSignalBrokenPipe = SIGPIPE;
inline constexpr int kSignalTerminate = SIGTERM;
#endif

enum class ExitStatus : int {
    Done = 0,
    Failed = 1,
    Usage = 2,
    // The batch, stopped by a signal: 128 and the signal's number, as a shell reports a program
    // that a signal ended.
    HungUp = 128 + kSignalHangUp,
    Interrupted = 128 + kSignalInterrupt,
    Quit = 128 + kSignalQuit,
    BrokenPipe = 128 + kSignalBrokenPipe,
    Terminated = 128 + kSignalTerminate,
};

struct ExitStatusMeaning {
    ExitStatus Status;
    const char* Single;  // for a single symbol; nullptr when it never ends so
    const char* Batch;   // for --batch; nullptr when it never ends so
};

// Every status, in order.
std::span<const ExitStatusMeaning> ExitStatusMeanings();

// The help's sections on the exit statuses: "Exit status:" and "Exit status of --batch:", a line
// for each status ("  0    done, ...").
std::string ExitStatusHelp();

}  // namespace qrcli
