// The batch's list on POSIX systems: a descriptor, waited for with poll(2) beside the stop
// signals' pipe.

#include "listfile.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "writefile.h"

namespace qrcli::batch {

Result<ListFile> ListFile::Open(const std::string& Name) {
    ListFile List;
    List.FFd = STDIN_FILENO;
    if (Name != "-") {
        List.FOpened = qrfiles::Descriptor(open(Name.c_str(), O_RDONLY | O_CLOEXEC));
        if (!List.FOpened)
            return qrfiles::Cannot("open the list", Name, errno);
        List.FFd = List.FOpened.Get();
    }
    // A read of nothing says whether the list can be read at all: a folder cannot (EISDIR), nor a
    // standard input that was closed (EBADF, as it is kept closed), and neither waits.
    if (read(List.FFd, nullptr, 0) < 0)
        return qrfiles::Cannot("open the list", Name, errno);
    struct stat Status{};
    List.FRegular = fstat(List.FFd, &Status) == 0 && S_ISREG(Status.st_mode);
    return List;
}

ReadFn ListFile::Reader(const StopSignals& Stop) const {
    return [Fd = FFd, Regular = FRegular, &Stop](char* Buffer, std::size_t Size) -> long {
        while (!Regular) {
            if (Stop.Caught())
                return 0;
            pollfd Wait[2] = {{Fd, POLLIN, 0}, {Stop.WakeFd(), POLLIN, 0}};
            if (poll(Wait, Stop.WakeFd() >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
                break;  // read will say what is wrong
            if (Stop.Caught())
                return 0;
            if (Wait[0].revents != 0)
                break;
        }
        return static_cast<long>(read(Fd, Buffer, Size));
    };
}

long ListFile::ReadAt(char* Buffer, std::size_t Size, std::uint64_t Offset) const {
    return static_cast<long>(pread(FFd, Buffer, Size, static_cast<off_t>(Offset)));
}

}  // namespace qrcli::batch
