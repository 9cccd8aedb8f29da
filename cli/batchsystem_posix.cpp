// The batch's questions to a POSIX system: sched_getaffinity and an mmap that is dropped at once.

#include "batchsystem.h"

#include <sched.h>
#include <sys/mman.h>

#include <algorithm>
#include <thread>

namespace qrcli::batch {

int CoreCount() {
    cpu_set_t Set;
    if (sched_getaffinity(0, sizeof Set, &Set) == 0)
        return std::max(1, CPU_COUNT(&Set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool RoomFor(std::size_t Bytes) {
    void* Probe = mmap(nullptr, Bytes, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (Probe == MAP_FAILED)
        return false;
    munmap(Probe, Bytes);
    return true;
}

}  // namespace qrcli::batch
