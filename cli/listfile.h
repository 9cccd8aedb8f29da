#pragma once
// The batch's list as the run reads it: a file, or standard input.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "batchlist.h"
#include "descriptor.h"
#include "stopsignals.h"

namespace qrcli::batch {

class ListFile {
public:
    // Opens Name ("-": standard input). Fails with "cannot open the list "<Name>": <reason>" when
    // it cannot be opened, or is a folder.
    static Result<ListFile> Open(const std::string& Name);

    // Whether the list is a regular file, which can be read a second time to count its rows.
    bool Regular() const { return FRegular; }

    // Reads the list in order. Waits for more of it together with Stop's wake-up, so that a
    // stopping signal ends the wait; at a signal the list ends.
    ReadFn Reader(const StopSignals& Stop) const;

    // The rows of a regular list in Format, counted by reading it a second time from its own
    // offset while the run reads it; none when Stopped says so before the end, or the list
    // cannot be read to its end.
    std::optional<std::uint64_t> CountRows(const ListFormat& Format, const std::function<bool()>& Stopped) const;

private:
    ListFile() = default;

    qrfiles::Descriptor FOpened;  // the list, unless it is standard input
    int FFd = 0;
    bool FRegular = false;
};

}  // namespace qrcli::batch
