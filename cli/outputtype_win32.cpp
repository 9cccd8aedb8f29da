// Whether the output is a terminal, on Windows: a console.

#include "outputtype.h"

#include <windows.h>

#include <io.h>

#include <memory>
#include <string>

namespace qrcli {

namespace {

struct HandleCloser {
    void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle Open(const std::wstring& Path, DWORD Access) {
    const HANDLE Handle = CreateFileW(Path.c_str(), Access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return UniqueHandle(Handle == INVALID_HANDLE_VALUE ? nullptr : Handle);
}

// A console answers for its mode; a file, a pipe or a serial port does not.
bool IsConsole(HANDLE Handle) {
    DWORD Mode = 0;
    return Handle && Handle != INVALID_HANDLE_VALUE && GetConsoleMode(Handle, &Mode);
}

}  // namespace

bool OutputIsTerminal(const Options& Opts) {
    if (ToStandardOutput(Opts))
        return IsConsole(reinterpret_cast<HANDLE>(_get_osfhandle(1)));
    const std::string& Path = *Opts.OutputFile;
    const int Length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Path.data(), static_cast<int>(Path.size()), nullptr, 0);
    if (Length <= 0)
        return false;
    std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, Path.data(), static_cast<int>(Path.size()), Wide.data(), Length);
    // Only a name in the device namespace can be a console: the system's full path of CON,
    // CON.txt or any folder's CON is \\.\CON, of CONOUT$ \\.\CONOUT$. A file on a drive or a
    // share is never one, and is not opened to be asked.
    std::wstring Full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Got = GetFullPathNameW(Wide.c_str(), static_cast<DWORD>(Full.size()), Full.data(), nullptr);
        if (Got == 0)
            return false;
        const bool Fits = Got < Full.size();
        Full.resize(Got);
        if (Fits)
            break;
    }
    if (Full.size() < 4 || (Full.compare(0, 4, L"\\\\.\\") != 0 && Full.compare(0, 4, L"\\\\?\\") != 0))
        return false;
    const std::wstring Device = Full.substr(4, Full.find(L'\\', 4) - 4);
    const auto Is = [&](const wchar_t* Name) { return CompareStringOrdinal(Device.c_str(), -1, Name, -1, TRUE) == CSTR_EQUAL; };
    // A drive or a share in the long form holds files; a named pipe is not opened, which would
    // take one of its instances from the program that waits on it.
    if ((Device.size() == 2 && Device[1] == L':') || Is(L"UNC") || Is(L"pipe"))
        return false;
    // CON is the console of whoever opens it, for writing its output buffer: this program's, when
    // it has one.
    const UniqueHandle Opened = Open(Is(L"CON") ? std::wstring(L"CONOUT$") : Full, GENERIC_READ | GENERIC_WRITE);
    return IsConsole(Opened.get());
}

}  // namespace qrcli
