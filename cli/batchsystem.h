#pragma once
// What the batch asks of the system before it starts its threads.

#include <cstddef>

namespace qrcli::batch {

// The processors this process may run on (its affinity), at least 1: the default of -j.
int CoreCount();

// Whether the address space has room for Bytes more (a limit such as ulimit -v): a reservation
// that takes no memory, made and dropped at once.
bool RoomFor(std::size_t Bytes);

}  // namespace qrcli::batch
