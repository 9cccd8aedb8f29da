// The batch's signals on POSIX systems: handlers for the stopping signals, a pipe that wakes the
// reader, the others held back in the run's threads.

#include "stopsignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace qrcli::batch {

namespace {

// The StopSignals that lives, for its handler.
std::atomic<StopSignals*> Active{nullptr};
static_assert(std::atomic<StopSignals*>::is_always_lock_free);
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

sigset_t RunSignals() {
    // The catchable ones, less job control and those whose default is to do nothing.
    sigset_t Set = qrfiles::posix::CatchableSignals();
    for (int Kept : {SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT, SIGCHLD, SIGURG, SIGWINCH})
        sigdelset(&Set, Kept);
    for (int Stop : kStopSignals) sigdelset(&Set, Stop);
    return Set;
}

StopSignals::StopSignals() {
    int Pipe[2];
    if (pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
        FWakeRead = Pipe[0];
        FWakeWrite = Pipe[1];
    }
    Active = this;
    struct sigaction Action{};
    Action.sa_handler = OnSignal;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i) {
        sigaction(kStopSignals[i], nullptr, &FOld[i]);
        FCatching[i] = FOld[i].sa_handler != SIG_IGN;
        if (FCatching[i])
            sigaction(kStopSignals[i], &Action, nullptr);
    }
}

StopSignals::~StopSignals() {
    for (std::size_t i = 0; i < std::size(kStopSignals); ++i)
        if (FCatching[i])
            sigaction(kStopSignals[i], &FOld[i], nullptr);
    Active = nullptr;
    if (FWakeWrite >= 0)
        close(FWakeWrite);
    if (FWakeRead >= 0)
        close(FWakeRead);
}

void StopSignals::Request(int Signal) {
    int None = 0;
    FCaught.compare_exchange_strong(None, Signal);
    if (FWakeWrite >= 0 && write(FWakeWrite, "", 1) < 0) {
        // The pipe is full: a wake-up is already waiting.
    }
}

void StopSignals::OnSignal(int Signal) {
    StopSignals* Run = Active;
    if (!Run)
        return;
    const int SavedErrno = errno;
    Run->Request(Signal);
    errno = SavedErrno;
}

}  // namespace qrcli::batch
