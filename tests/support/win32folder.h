#pragma once
// A Windows test's own temporary folder, and the names in a folder, for tests of what a run
// leaves there. Windows only.

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace testsupport {

// A new folder in the system's temporary folder, named Name, the process and the time (so that
// tests running at once never share one); empty when it cannot be made.
inline std::wstring NewTemporaryFolder(const std::wstring& Name) {
    wchar_t Temp[MAX_PATH];
    if (GetTempPathW(MAX_PATH, Temp) == 0)
        return {};
    std::wstring Folder = std::wstring(Temp) + Name + L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                          std::to_wstring(GetTickCount64());
    return CreateDirectoryW(Folder.c_str(), nullptr) ? Folder : std::wstring();
}

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
