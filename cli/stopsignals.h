#pragma once
// The batch's signals. While a run lives, no catchable signal ends the process: SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and SIGPIPE only ask the run to stop, so that the files being written are
// finished, the rest are not started, the files are flushed and the summary is said; every other
// signal whose default is to end the process is held back in every thread of the run and takes
// effect when the run is over. Faults (SIGSEGV and the like), job control (Ctrl+Z), SIGCHLD,
// SIGURG and SIGWINCH keep their usual effect. A stopping signal that was ignored when the
// program started (nohup, a background job of a script) stays ignored.

#include <pthread.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <utility>

#include "posixfile.h"

namespace qrcli::batch {

// The signals that stop a run.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT" or "SIGPIPE"; "a signal" for any other.
const char* SignalName(int Signal);

// The signals a run holds back in its threads: every catchable one whose default is to end the
// process, but the stopping ones, which are caught.
sigset_t RunSignals();

// While it lives, the calling thread holds back the signals of a run.
class HeldRunSignals : public qrfiles::posix::BlockedSignals {
public:
    HeldRunSignals() : BlockedSignals(RunSignals()) {}
};

// One run's signals, from the thread that reads the list. The stopping signals record which came
// first and wake a reader that waits for the list, on whichever thread they arrive. One at a time:
// a signal handler takes no argument, so the handler reaches the one that lives through a single
// pointer.
class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // The first stopping signal caught (or asked for), or 0.
    int Caught() const { return FCaught; }
    // Readable once a signal has been caught; -1 when no pipe could be made.
    int WakeFd() const { return FWakeRead; }

    // Stops the run as Signal would; from any thread (standard error's reader went away: SIGPIPE).
    void Request(int Signal);

    // A thread that holds the run's signals as the reading thread does. Throws std::system_error
    // when the system cannot start it.
    template <typename Fn>
    static std::thread StartThread(Fn&& Body) {
        const HeldRunSignals Held;
        return std::thread(std::forward<Fn>(Body));
    }

private:
    static void OnSignal(int Signal);

    // Every thread reads it; a lock-free atomic may be written from a signal handler.
    std::atomic<int> FCaught{0};
    int FWakeRead = -1;
    int FWakeWrite = -1;
    struct sigaction FOld[std::size(kStopSignals)]{};
    bool FCatching[std::size(kStopSignals)]{};
    HeldRunSignals FHeld;
};

}  // namespace qrcli::batch
