#pragma once
// quandrel-qr's exit statuses, and what each means, in one table that --help is made from and the
// README's tables are checked against.

#include <csignal>
#include <span>
#include <string>

namespace qrcli {

enum class ExitStatus : int {
    Done = 0,
    Failed = 1,
    Usage = 2,
    // The batch, stopped by a signal: 128 and the signal's number, as a shell reports a program
    // that a signal ended.
    HungUp = 128 + SIGHUP,
    Interrupted = 128 + SIGINT,
    Quit = 128 + SIGQUIT,
    BrokenPipe = 128 + SIGPIPE,
    Terminated = 128 + SIGTERM,
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
