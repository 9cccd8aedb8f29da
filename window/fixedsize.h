#pragma once
// Keeping a fixed-size window at its size when something asks to maximize it (or make it full
// screen). Where the toolkit draws the title bar itself, as Qt does on Wayland, the bar has a
// maximize button whatever the window allows, and a compositor that then configures the window
// maximized ends the connection unless the window takes the configured size. So the size limit
// is lifted while the request is pending, the window takes the size it is given, at once asks
// to be normal again, and is fixed to its size once it is back at it. A compositor that refuses
// the request brings the window straight back, at its size.

namespace qrwindow {

enum class TFixedSizeAction {
    None,
    LiftSizeLimit,  // let the window take any size the compositor gives it
    AskForNormal,   // ask for the normal state (not maximized, not full screen)
    FixSizeAgain,   // fix the window to its size again
};

class TFixedSizeKeeper {
public:
    // The window's state changed (Maximized: maximized or full screen); AtFixedSize: it has its
    // fixed size now.
    TFixedSizeAction StateChanged(bool Maximized, bool AtFixedSize);
    // The window's size changed, in the state given.
    TFixedSizeAction Resized(bool Maximized, bool AtFixedSize);

private:
    bool FLifted = false;
};

}  // namespace qrwindow
