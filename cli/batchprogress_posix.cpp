// The progress line's terminal on POSIX systems: its width from TIOCGWINSZ, read again after
// SIGWINCH.

#include "batchprogress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <csignal>

namespace qrcli::batch {

namespace {

// Set by SIGWINCH: the terminal's width is read again at the next drawing.
std::atomic<bool> WidthChanged{false};
static_assert(std::atomic<bool>::is_always_lock_free);
struct sigaction OldWinch{};

void OnWindowChange(int) { WidthChanged = true; }

}  // namespace

bool IsTerminal(int Fd) { return isatty(Fd); }

ProgressLine::ProgressLine(int Fd, bool Enabled) : FFd(Fd), FEnabled(Enabled) {
    if (!FEnabled)
        return;
    struct sigaction Action{};
    Action.sa_handler = OnWindowChange;
    sigemptyset(&Action.sa_mask);
    Action.sa_flags = SA_RESTART;
    sigaction(SIGWINCH, &Action, &OldWinch);
    FColumns = Width();
}

ProgressLine::~ProgressLine() {
    if (FEnabled)
        sigaction(SIGWINCH, &OldWinch, nullptr);
}

std::size_t ProgressLine::Width() const {
    winsize Size{};
    return ioctl(FFd, TIOCGWINSZ, &Size) == 0 ? Size.ws_col : 0;
}

std::string ProgressLine::Erased(std::size_t) const { return "\x1b[K"; }

void ProgressLine::FollowWidth() {
    if (WidthChanged.exchange(false))
        FColumns = Width();
}

}  // namespace qrcli::batch
