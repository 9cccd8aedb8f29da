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
    sigaction(SIGINT, &Action, &FOldInt);
    sigaction(SIGTERM, &Action, &FOldTerm);
}

StopSignals::~StopSignals() {
    sigaction(SIGINT, &FOldInt, nullptr);
    sigaction(SIGTERM, &FOldTerm, nullptr);
    Active = nullptr;
    if (FWakeWrite >= 0)
        close(FWakeWrite);
    if (FWakeRead >= 0)
        close(FWakeRead);
}

void StopSignals::OnSignal(int Signal) {
    StopSignals* Run = Active;
    if (!Run)
        return;
    const int SavedErrno = errno;
    int None = 0;
    Run->FCaught.compare_exchange_strong(None, Signal);
    if (Run->FWakeWrite >= 0 && write(Run->FWakeWrite, "", 1) < 0) {
        // The pipe is full: a wake-up is already waiting.
    }
    errno = SavedErrno;
}

}  // namespace qrcli::batch
