#pragma once
// The batch's list as the run reads it: a file, or standard input.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "batchlist.h"
#include "stopsignals.h"
#ifdef _WIN32
#include "win32handle.h"
#else
#include "descriptor.h"
#endif

namespace qrcli::batch {

class ListFile {
public:
    // Opens Name ("-": standard input). Fails with "cannot open the list "<Name>": <reason>" when
    // it cannot be opened, or is a folder.
    static Result<ListFile> Open(const std::string& Name);

    // Whether the list is a regular file, which can be read a second time to count its rows.
    bool Regular() const { return FRegular; }

    // Reads the list in order, as bytes (no text mode's line ends or Ctrl+Z on Windows). Waits for
    // more of it together with Stop's wake-up, so that a stopping signal ends the wait; at a
    // signal the list ends.
    ReadFn Reader(const StopSignals& Stop) const;

    // The rows of a regular list in Format, counted by reading it a second time from its own
    // offset while the run reads it; none when Stopped says so before the end, or the list
    // cannot be read to its end.
    std::optional<std::uint64_t> CountRows(const ListFormat& Format, const std::function<bool()>& Stopped) const;

private:
    ListFile() = default;

    // Reads up to Size bytes of a regular list at Offset, leaving the position the run reads from
    // as it was: the count, 0 at the end, or -1 with errno set.
    long ReadAt(char* Buffer, std::size_t Size, std::uint64_t Offset) const;

#ifdef _WIN32
    qrfiles::win32::UniqueHandle FOpened;  // the list, unless it is standard input
    void* FHandle = nullptr;
    unsigned long FType = 0;   // GetFileType's: a disk file, a pipe or a character device
    std::uint64_t FStart = 0;  // where a regular list starts being read
#else
    qrfiles::Descriptor FOpened;  // the list, unless it is standard input
    int FFd = 0;
#endif
    bool FRegular = false;
};

}  // namespace qrcli::batch
