// The progress line's console on Windows: its width from GetConsoleScreenBufferInfo, read at
// every drawing (the console sends no signal when its window is resized; ten reads a second cost
// nothing), and the end of a longer line before it blanked out without control sequences.

#include "batchprogress.h"

#include <windows.h>

#include <io.h>

namespace qrcli::batch {

namespace {

HANDLE ConsoleOf(int Fd) { return reinterpret_cast<HANDLE>(_get_osfhandle(Fd)); }

}  // namespace

bool IsTerminal(int Fd) {
    DWORD Mode = 0;
    return GetConsoleMode(ConsoleOf(Fd), &Mode) != 0;
}

ProgressLine::ProgressLine(int Fd, bool Enabled) : FFd(Fd), FEnabled(Enabled) {
    if (FEnabled)
        FColumns = Width();
}

ProgressLine::~ProgressLine() = default;

std::size_t ProgressLine::Width() const {
    CONSOLE_SCREEN_BUFFER_INFO Info{};
    if (!GetConsoleScreenBufferInfo(ConsoleOf(FFd), &Info))
        return 0;
    // The window's width, not the buffer's, which may be far wider and scroll sideways.
    const int Columns = Info.srWindow.Right - Info.srWindow.Left + 1;
    return Columns > 0 ? static_cast<std::size_t>(Columns) : 0;
}

void ProgressLine::FollowWidth() { FColumns = Width(); }

std::string ProgressLine::Erased(std::size_t Length) const {
    if (Length >= FShownLength)
        return {};
    const std::size_t Rest = FShownLength - Length;
    return std::string(Rest, ' ') + std::string(Rest, '\b');
}

}  // namespace qrcli::batch
