// Messages and the standard streams on POSIX systems.

#include "messages.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "posixfile.h"

namespace qrcli {

int Message(std::string_view Text) {
    // Formatted whole first, then handed to the system at once.
    const std::string Line = "quandrel-qr: " + Escaped(Text) + "\n";
    return qrfiles::posix::WriteQuietly(STDERR_FILENO, {reinterpret_cast<const unsigned char*>(Line.data()), Line.size()});
}

void HoldClosedStandardStreams() {
    for (int Fd = STDIN_FILENO; Fd <= STDERR_FILENO; ++Fd) {
        if (fcntl(Fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        // A descriptor opened only as a path refuses reads and writes with EBADF, as a closed one.
        // The lowest free number is Fd itself, since the lower ones are open by now.
        const int Held = open("/", O_PATH | O_CLOEXEC);
        if (Held >= 0 && Held != Fd) {
            dup2(Held, Fd);
            close(Held);
        }
    }
}

}  // namespace qrcli
