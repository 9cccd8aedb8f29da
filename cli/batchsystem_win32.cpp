// The batch's questions to Windows: the process's affinity, and a reservation of address space
// that is released at once.

#include "batchsystem.h"

#include <windows.h>

#include <bit>
#include <thread>

namespace qrcli::batch {

int CoreCount() {
    // The affinity mask covers the processor group the process runs in, which is every processor
    // it may use unless the system spreads it over several groups (more than 64 processors):
    // then the processors of all groups.
    DWORD_PTR Process = 0, System = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &Process, &System) && Process != 0) {
        USHORT Groups = 0;
        if (!GetProcessGroupAffinity(GetCurrentProcess(), &Groups, nullptr) && GetLastError() == ERROR_INSUFFICIENT_BUFFER &&
            Groups > 1) {
            const DWORD All = GetActiveProcessorCount(ALL_PROCESSOR_GROUPS);
            if (All > 0)
                return static_cast<int>(All);
        }
        return std::popcount(static_cast<unsigned long long>(Process));
    }
    const unsigned Cores = std::thread::hardware_concurrency();
    return Cores > 0 ? static_cast<int>(Cores) : 1;
}

bool RoomFor(std::size_t Bytes) {
    void* Probe = VirtualAlloc(nullptr, Bytes, MEM_RESERVE, PAGE_NOACCESS);
    if (!Probe)
        return false;
    VirtualFree(Probe, 0, MEM_RELEASE);
    return true;
}

}  // namespace qrcli::batch
