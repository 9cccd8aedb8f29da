#pragma once
// SIGTERM ends the program as closing the window does: the event loop ends, the window is
// destroyed, the exit status is 0. A session that logs out, or a test, ends it this way.

namespace qrapp {

// Call once the application object exists. Where no notifier can be made, SIGTERM keeps its
// default action.
void QuitOnTerminationSignal();

}  // namespace qrapp
