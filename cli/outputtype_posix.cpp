// Whether the output is a terminal, on POSIX systems.

#include "outputtype.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "descriptor.h"

namespace qrcli {

bool OutputIsTerminal(const Options& Opts) {
    if (ToStandardOutput(Opts))
        return isatty(STDOUT_FILENO);
    // Only a character device can be a terminal; opening it so, without waiting and without
    // making it the controlling terminal, has no effect of its own.
    struct stat Status{};
    if (stat(Opts.OutputFile->c_str(), &Status) != 0 || !S_ISCHR(Status.st_mode))
        return false;
    const qrfiles::Descriptor File(open(Opts.OutputFile->c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    return File && isatty(File.Get());
}

}  // namespace qrcli
