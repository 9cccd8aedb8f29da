#include "fixedsize.h"

namespace qrwindow {

TFixedSizeAction TFixedSizeKeeper::StateChanged(bool Maximized, bool AtFixedSize) {
    if (Maximized && !FLifted) {
        FLifted = true;
        return TFixedSizeAction::LiftSizeLimit;
    }
    // Refused, or back: normal again at the fixed size.
    if (!Maximized && FLifted && AtFixedSize) {
        FLifted = false;
        return TFixedSizeAction::FixSizeAgain;
    }
    return TFixedSizeAction::None;
}

TFixedSizeAction TFixedSizeKeeper::Resized(bool Maximized, bool AtFixedSize) {
    if (!FLifted)
        return TFixedSizeAction::None;
    // Granted: the window has taken the configured size, and asks to be normal again.
    if (Maximized)
        return TFixedSizeAction::AskForNormal;
    if (AtFixedSize) {
        FLifted = false;
        return TFixedSizeAction::FixSizeAgain;
    }
    return TFixedSizeAction::None;
}

}  // namespace qrwindow
