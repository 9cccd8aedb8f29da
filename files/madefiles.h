#pragma once
// The files one batch run has made, each known by its identity on the disk rather than by its
// name, with the row that made it: a name that leads to one of them again, in whatever spelling
// (a file system that ignores case takes "Bolt" and "bolt" for one name), is found to be that
// row's file.

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qrfiles {

// A file's identity on the disk: the device that holds it and its number there (the inode); or,
// in a folder that ignores case, a mark of its own for the device and a hash of the file's path.
struct FileId {
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    bool operator==(const FileId&) const = default;
};

// A hash table of 16 bytes an entry (the inode number; the row and a short number for the
// device), kept between 68 % and 85 % full, and cut into 64 parts that grow one at a time by a
// quarter, so that growing never holds two copies of the whole: at most 24 bytes a file, once the
// run has made a few thousand. Rows up to 2^48 - 1 and 65,535 devices are remembered; a file
// beyond them is not. Not thread-safe: the caller serialises.
class MadeFiles {
public:
    // File is Row's file, whatever was recorded for it before.
    void Add(FileId File, std::uint64_t Row);
    // The row whose file File is, or 0.
    std::uint64_t Find(FileId File) const;
    // File is no longer a file of the run (another row's file took its name).
    void Remove(FileId File);

    std::size_t Count() const { return FCount; }
    // The memory the table holds, in bytes.
    std::size_t MemoryBytes() const;

private:
    struct Slot {
        std::uint64_t Inode = 0;
        std::uint64_t Tag = 0;  // the row << 16 | the device's number; 0: free
    };
    struct Part {
        std::vector<Slot> Slots;
        std::size_t Used = 0;
    };
    static constexpr int kPartBits = 6;

    // The device's number, added when Add is true; -1 when it is not known (or no more fit).
    long DeviceNumber(std::uint64_t Device, bool Add);
    static std::uint64_t Hash(std::uint64_t Inode, std::uint64_t DeviceNumber);
    // Where File is in its part, or where it would go.
    static std::size_t Home(const Part& P, std::uint64_t Hash) { return (Hash << kPartBits) % P.Slots.size(); }
    static void Grow(Part& P);

    std::array<Part, std::size_t{1} << kPartBits> FParts;
    std::vector<std::uint64_t> FDevices;
    std::size_t FCount = 0;
};

}  // namespace qrfiles
