// Messages and the standard streams on Windows.

#include "messages.h"

#include <unistd.h>

#include "writefile.h"

namespace qrcli {

int Message(std::string_view Text) {
    // Formatted whole first, then handed to the system at once. Windows has no SIGPIPE: a pipe
    // whose reader went away fails the write with EPIPE (or EINVAL), which is given back.
    const std::string Line = "quandrel-qr: " + Escaped(Text) + "\n";
    return qrfiles::WriteAll(STDERR_FILENO, {reinterpret_cast<const unsigned char*>(Line.data()), Line.size()});
}

void HoldClosedStandardStreams() {
    // Nothing to hold: every file the program opens is a Windows handle (the file writer's
    // CreateFileW), never a C descriptor that could take a missing stream's number.
}

}  // namespace qrcli
