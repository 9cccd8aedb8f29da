#pragma once
// The batch's stopping signals: while a run lives, SIGINT and SIGTERM do not end the process but
// ask the run to stop, so that the files being written are finished and no temporary file is left.

#include <pthread.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <utility>

namespace qrcli::batch {

// While it lives, SIGINT and SIGTERM only record which came first and wake a reader that waits
// for the list, in the thread that created it; every thread it starts through StartThread holds
// them back, so that no signal's default action can end the process while a worker's file has a
// temporary name. One at a time: a signal handler takes no argument, so the handler reaches the
// one that lives through a single pointer.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first stopping signal caught, or 0.
    int Caught() const { return FCaught; }
    // Readable once a signal has been caught; -1 when no pipe could be made.
    int WakeFd() const { return FWakeRead; }

    // A thread that never receives SIGINT or SIGTERM.
    template <typename Fn>
    static std::thread StartThread(Fn&& Body) {
        sigset_t Stop, Old;
        sigemptyset(&Stop);
        sigaddset(&Stop, SIGINT);
        sigaddset(&Stop, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &Stop, &Old);
        std::thread Thread(std::forward<Fn>(Body));
        pthread_sigmask(SIG_SETMASK, &Old, nullptr);
        return Thread;
    }

private:
    static void OnSignal(int Signal);

    // Every thread reads it; a lock-free atomic may be written from a signal handler.
    std::atomic<int> FCaught{0};
    int FWakeRead = -1;
    int FWakeWrite = -1;
    struct sigaction FOldInt{}, FOldTerm{};
};

}  // namespace qrcli::batch
