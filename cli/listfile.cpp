// The batch's list: what is the same on every system.

#include "listfile.h"

namespace qrcli::batch {

std::optional<std::uint64_t> ListFile::CountRows(const ListFormat& Format,
                                                 const std::function<bool()>& Stopped) const {
    std::uint64_t Offset = 0;
    ListReader Count(Format, [&](char* Buffer, std::size_t Size) -> long {
        if (Stopped())
            return 0;
        const long Got = ReadAt(Buffer, Size, Offset);
        Offset += Got > 0 ? static_cast<std::uint64_t>(Got) : 0;
        return Got;
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
