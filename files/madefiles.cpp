#include "madefiles.h"

#include <algorithm>

namespace qrfiles {

namespace {

constexpr std::uint64_t kMostRows = (std::uint64_t{1} << 48) - 1;
constexpr std::size_t kMostDevices = 0xFFFF;
constexpr std::size_t kFirstSlots = 16;

}  // namespace

long MadeFiles::DeviceNumber(std::uint64_t Device, bool Add) {
    const auto Found = std::find(FDevices.begin(), FDevices.end(), Device);
    if (Found != FDevices.end())
        return Found - FDevices.begin();
    if (!Add || FDevices.size() == kMostDevices)
        return -1;
    FDevices.push_back(Device);
    return static_cast<long>(FDevices.size()) - 1;
}

std::uint64_t MadeFiles::Hash(std::uint64_t Inode, std::uint64_t DeviceNumber) {
    // The finaliser of SplitMix64: every bit of the inode number moves every bit of the hash.
    std::uint64_t H = Inode ^ DeviceNumber * 0x9E3779B97F4A7C15ULL;
    H = (H ^ H >> 30) * 0xBF58476D1CE4E5B9ULL;
    H = (H ^ H >> 27) * 0x94D049BB133111EBULL;
    return H ^ H >> 31;
}

void MadeFiles::Grow(Part& P) {
    std::vector<Slot> Old = std::move(P.Slots);
    P.Slots = std::vector<Slot>(Old.empty() ? kFirstSlots : Old.size() + (Old.size() + 3) / 4);
    for (const Slot& S : Old) {
        if (S.Tag == 0)
            continue;
        std::size_t i = Home(P, Hash(S.Inode, S.Tag & 0xFFFF));
        while (P.Slots[i].Tag != 0) i = (i + 1) % P.Slots.size();
        P.Slots[i] = S;
    }
}

void MadeFiles::Add(FileId File, std::uint64_t Row) {
    const long Device = DeviceNumber(File.Device, true);
    if (Device < 0 || Row == 0 || Row > kMostRows)
        return;
    const std::uint64_t H = Hash(File.Inode, static_cast<std::uint64_t>(Device));
    Part& P = FParts[H >> (64 - kPartBits)];
    // Grown before it is more than 85 % full, by a quarter: at least 68 % full afterwards.
    if (20 * (P.Used + 1) > 17 * P.Slots.size())
        Grow(P);
    const std::uint64_t Tag = Row << 16 | static_cast<std::uint64_t>(Device);
    for (std::size_t i = Home(P, H);; i = (i + 1) % P.Slots.size()) {
        Slot& S = P.Slots[i];
        if (S.Tag == 0) {
            S = {File.Inode, Tag};
            ++P.Used;
            ++FCount;
            return;
        }
        if (S.Inode == File.Inode && (S.Tag & 0xFFFF) == static_cast<std::uint64_t>(Device)) {
            S.Tag = Tag;
            return;
        }
    }
}

std::uint64_t MadeFiles::Find(FileId File) const {
    const auto Found = std::find(FDevices.begin(), FDevices.end(), File.Device);
    if (Found == FDevices.end())
        return 0;
    const auto Device = static_cast<std::uint64_t>(Found - FDevices.begin());
    const std::uint64_t H = Hash(File.Inode, Device);
    const Part& P = FParts[H >> (64 - kPartBits)];
    if (P.Slots.empty())
        return 0;
    for (std::size_t i = Home(P, H);; i = (i + 1) % P.Slots.size()) {
        const Slot& S = P.Slots[i];
        if (S.Tag == 0)
            return 0;
        if (S.Inode == File.Inode && (S.Tag & 0xFFFF) == Device)
            return S.Tag >> 16;
    }
}

void MadeFiles::Remove(FileId File) {
    const long Device = DeviceNumber(File.Device, false);
    if (Device < 0)
        return;
    const std::uint64_t H = Hash(File.Inode, static_cast<std::uint64_t>(Device));
    Part& P = FParts[H >> (64 - kPartBits)];
    if (P.Slots.empty())
        return;
    const std::size_t Size = P.Slots.size();
    std::size_t i = Home(P, H);
    for (;; i = (i + 1) % Size) {
        if (P.Slots[i].Tag == 0)
            return;
        if (P.Slots[i].Inode == File.Inode && (P.Slots[i].Tag & 0xFFFF) == static_cast<std::uint64_t>(Device))
            break;
    }
    // The entries after it that could not sit where they belong move back into the gap, so that
    // every entry stays reachable from its home slot without markers for removed ones.
    for (std::size_t j = (i + 1) % Size; P.Slots[j].Tag != 0; j = (j + 1) % Size) {
        const std::size_t Want = Home(P, Hash(P.Slots[j].Inode, P.Slots[j].Tag & 0xFFFF));
        // Whether Want lies cyclically in (i, j]: then the entry is fine where it is.
        const bool Stays = i < j ? (Want > i && Want <= j) : (Want > i || Want <= j);
        if (!Stays) {
            P.Slots[i] = P.Slots[j];
            i = j;
        }
    }
    P.Slots[i] = {};
    --P.Used;
    --FCount;
}

std::size_t MadeFiles::MemoryBytes() const {
    std::size_t Bytes = sizeof *this + FDevices.capacity() * sizeof(std::uint64_t);
    for (const Part& P : FParts) Bytes += P.Slots.capacity() * sizeof(Slot);
    return Bytes;
}

}  // namespace qrfiles
