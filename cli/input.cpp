#include "input.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "writefile.h"

namespace qrcli {

Result<std::string> ReadInput(int Fd, std::size_t Limit) {
    std::string Bytes;
    // Read until the end, or until one byte past the limit tells "more than the limit" from
    // "exactly the limit". The buffer grows as the input does, so a short text costs little.
    std::size_t Filled = 0;
    while (Filled <= Limit) {
        if (Filled == Bytes.size())
            Bytes.resize(std::min(Limit + 1, std::max<std::size_t>(std::size_t{1} << 16, 2 * Filled)));
        const ssize_t Got = read(Fd, Bytes.data() + Filled, Bytes.size() - Filled);
        if (Got == 0)
            break;
        if (Got < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // Left non-blocking by whoever opened it: wait for the next bytes.
                pollfd Ready{Fd, POLLIN, 0};
                poll(&Ready, 1, -1);
                continue;
            }
            return qrfiles::Cannot("read standard input", errno);
        }
        Filled += static_cast<std::size_t>(Got);
    }
    if (Filled > Limit)
        return Failure{"text too long for a QR symbol: more than " + std::to_string(Limit) + " bytes of input"};
    Bytes.resize(Filled);
    return Bytes;
}

}  // namespace qrcli
