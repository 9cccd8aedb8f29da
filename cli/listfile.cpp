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

std::optional<std::uint64_t> ListFile::CountRows(const ListFormat& Format,
                                                 const std::function<bool()>& Stopped) const {
    off_t Offset = 0;
    ListReader Count(Format, [&](char* Buffer, std::size_t Size) -> long {
        if (Stopped())
            return 0;
        const ssize_t Got = pread(FFd, Buffer, Size, Offset);
        Offset += Got > 0 ? Got : 0;
        return static_cast<long>(Got);
    });
    for (;;) {
        auto Row = Count.Next();
        if (!Row)
            return std::nullopt;
        if (!*Row)
            break;
    }
    if (Stopped())
        return std::nullopt;
    return Count.Rows();
}

}  // namespace qrcli::batch
