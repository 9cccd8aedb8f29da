// The batch's signals on Windows: the console's events, which the system hands to the handlers of
// SetConsoleCtrlHandler on a thread of its own, and an event that wakes the reader.

#include "stopsignals.h"

#include <windows.h>

#include <mutex>

namespace qrcli::batch {

namespace {

// The StopSignals that lives, for the handler; the lock keeps it from going while the handler
// uses it.
std::mutex ActiveLock;
StopSignals* Active = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD Event) {
    int Signal = 0;
    switch (Event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT: Signal = SIGINT; break;
        case CTRL_CLOSE_EVENT:
        case CTRL_LOGOFF_EVENT:
        case CTRL_SHUTDOWN_EVENT: Signal = SIGTERM; break;
        default: return FALSE;
    }
    {
        const std::lock_guard Held(ActiveLock);
        if (!Active)
            return FALSE;  // no run: the system's own handler ends the program
        Active->Request(Signal);
        Active->CancelWaitingRead();
    }
    // For these the system ends the process as soon as the handler returns (and at the latest
    // after its time-out, 5 seconds for a closed console): held here, so that the run finishes its
    // files, says its summary and ends the program with its own status first.
    if (Signal == SIGTERM)
        Sleep(INFINITE);
    return TRUE;
}

}  // namespace

StopSignals::StopSignals()
    : FWake(CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      FReader(OpenThread(THREAD_TERMINATE, FALSE, GetCurrentThreadId())) {
    {
        const std::lock_guard Held(ActiveLock);
        Active = this;
    }
    // A Ctrl+C that the process was started to ignore (SetConsoleCtrlHandler(NULL, TRUE) in the
    // program that started it, or a new process group) is not handed to handlers: it stays ignored.
    SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
}

StopSignals::~StopSignals() {
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
    const std::lock_guard Held(ActiveLock);
    Active = nullptr;
}

void StopSignals::CancelWaitingRead() const {
    // The reader looks at Caught() just before it starts the read: a cancel that comes before the
    // read has started finds nothing to cancel, so it is tried again while the reader is still in
    // its read (a second at most).
    for (int Tries = 0; Tries < 20 && FInRead && FReader; ++Tries) {
        CancelSynchronousIo(FReader.get());
        Sleep(50);
    }
}

void StopSignals::Request(int Signal) {
    int None = 0;
    FCaught.compare_exchange_strong(None, Signal);
    if (FWake)
        SetEvent(FWake.get());
}

}  // namespace qrcli::batch
