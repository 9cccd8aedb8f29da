#pragma once
// The names in a Windows folder, for tests of what a run leaves there. Windows only.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// The names in Folder ("." and ".." aside), sorted; none when it cannot be listed.
inline std::vector<std::wstring> NamesIn(const std::wstring& Folder) {
    std::vector<std::wstring> List;
    WIN32_FIND_DATAW Found;
    HANDLE Find = FindFirstFileW((Folder + L"\\*").c_str(), &Found);
    if (Find == INVALID_HANDLE_VALUE)
        return List;
    do {
        if (std::wstring(Found.cFileName) != L"." && std::wstring(Found.cFileName) != L"..")
            List.emplace_back(Found.cFileName);
    } while (FindNextFileW(Find, &Found));
    FindClose(Find);
    std::sort(List.begin(), List.end());
    return List;
}

}  // namespace testsupport
