#include "console_win32.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>

namespace qrcli {

namespace {

// The console's code page before the program changed it; 0 when it did not.
std::atomic<UINT> OldCodePage{0};

void RestoreCodePage() {
    if (const UINT Old = OldCodePage.exchange(0))
        SetConsoleOutputCP(Old);
}

// Runs on a thread of its own when Ctrl+C, Ctrl+Break or closing the console is about to end the
// program; FALSE lets the next handler (in the end the system's, which ends it) go on.
BOOL WINAPI OnConsoleEvent(DWORD) {
    RestoreCodePage();
    return FALSE;
}

}  // namespace

WindowsStreams::WindowsStreams() {
    for (const int Fd : {0, 1, 2}) _setmode(Fd, _O_BINARY);
    // Without a console (output to a file or a pipe, no console window) there is nothing to set.
    const UINT Old = GetConsoleOutputCP();
    if (Old != 0 && Old != CP_UTF8 && SetConsoleOutputCP(CP_UTF8)) {
        OldCodePage = Old;
        SetConsoleCtrlHandler(OnConsoleEvent, TRUE);
    }
}

WindowsStreams::~WindowsStreams() {
    RestoreCodePage();
    SetConsoleCtrlHandler(OnConsoleEvent, FALSE);
}

}  // namespace qrcli
