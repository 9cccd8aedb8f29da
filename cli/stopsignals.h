#pragma once
// The batch's signals. While a run lives, nothing that asks the program to stop ends it at once:
// the run is asked to stop, so that the files being written are finished, the rest are not
// started, the files are flushed and the summary is said.
//
// On POSIX systems SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE only ask the run to stop; every
// other signal whose default is to end the process is held back in every thread of the run and
// takes effect when the run is over. Faults (SIGSEGV and the like), job control (Ctrl+Z),
// SIGCHLD, SIGURG and SIGWINCH keep their usual effect. A stopping signal that was ignored when
// the program started (nohup, a background job of a script) stays ignored.
//
// On Windows the console's events take their place (SetConsoleCtrlHandler): Ctrl+C and Ctrl+Break
// stop the run as SIGINT does, and a console closed, a user logged off or the system shut down
// as SIGTERM does; for those the system ends the process a few seconds after asking, so the
// handler holds it until the run is over, as long as the system lets it.

#include <atomic>
#include <csignal>
#include <thread>
#include <utility>

#ifdef _WIN32
#include "win32handle.h"
#else
#include <pthread.h>

#include "posixfile.h"
#endif

namespace qrcli::batch {

#ifdef _WIN32
// Windows has no SIGPIPE: a run stopped because standard error's reader went away ends with the
// status that Linux gives it (128 + 13).
inline constexpr int kBrokenPipe = 13;
// The signals that stop a run, as their numbers stand in its exit status.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, kBrokenPipe};
#else
inline constexpr int kBrokenPipe = SIGPIPE;
// The signals that stop a run.
inline constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// The signals a run holds back in its threads: every catchable one whose default is to end the
// process, but the stopping ones, which are caught.
sigset_t RunSignals();

// While it lives, the calling thread holds back the signals of a run.
class HeldRunSignals : public qrfiles::posix::BlockedSignals {
public:
    HeldRunSignals() : BlockedSignals(RunSignals()) {}
};
#endif

// "SIGINT", "SIGTERM", "SIGHUP", "SIGQUIT" or "SIGPIPE"; "a signal" for any other.
const char* SignalName(int Signal);

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
#ifdef _WIN32
    // An event set once a signal has been caught (a HANDLE); null when none could be made.
    void* WakeEvent() const { return FWake.get(); }

    // While it lives, the thread that made the StopSignals (the reader) is in a read of the list
    // that waits without a way to be woken (a line typed at the console, a pipe that cannot be
    // looked into): a Ctrl+C or a closed console cancels that read (CancelSynchronousIo).
    class WaitingRead {
    public:
        explicit WaitingRead(const StopSignals& Stop) : FStop(Stop) { FStop.FInRead = true; }
        ~WaitingRead() { FStop.FInRead = false; }
        WaitingRead(const WaitingRead&) = delete;
        WaitingRead& operator=(const WaitingRead&) = delete;

    private:
        const StopSignals& FStop;
    };
    // Cancels the reader's waiting read, if it is in one; from the console's handler.
    void CancelWaitingRead() const;
#else
    // Readable once a signal has been caught; -1 when no pipe could be made.
    int WakeFd() const { return FWakeRead; }
#endif

    // Stops the run as Signal would; from any thread (standard error's reader went away: SIGPIPE).
    void Request(int Signal);

    // A thread that holds the run's signals as the reading thread does. Throws std::system_error
    // when the system cannot start it.
    template <typename Fn>
    static std::thread StartThread(Fn&& Body) {
#ifndef _WIN32
        const HeldRunSignals Held;
#endif
        return std::thread(std::forward<Fn>(Body));
    }

private:
    // Every thread reads it; a lock-free atomic may be written from a signal handler.
    std::atomic<int> FCaught{0};
#ifdef _WIN32
    qrfiles::win32::UniqueHandle FWake;
    qrfiles::win32::UniqueHandle FReader;  // the thread that made it
    mutable std::atomic<bool> FInRead{false};
#else
    static void OnSignal(int Signal);

    int FWakeRead = -1;
    int FWakeWrite = -1;
    struct sigaction FOld[std::size(kStopSignals)]{};
    bool FCatching[std::size(kStopSignals)]{};
    HeldRunSignals FHeld;
#endif
};

}  // namespace qrcli::batch
