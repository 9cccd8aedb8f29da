// The batch's signals: what is the same on every system.

#include "stopsignals.h"

namespace qrcli::batch {

const char* SignalName(int Signal) {
    switch (Signal) {
        case SIGINT: return "SIGINT";
        case SIGTERM: return "SIGTERM";
#ifndef _WIN32
        case SIGHUP: return "SIGHUP";
        case SIGQUIT: return "SIGQUIT";
#endif
        case kBrokenPipe: return "SIGPIPE";
        default: return "a signal";
    }
}

}  // namespace qrcli::batch
