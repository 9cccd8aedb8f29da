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
    // Only a character device can be a console. Opened without access rights first, which reads
    // nothing and writes nothing, so that a file or a folder is told apart without being opened
    // for writing; a console's mode can only be asked through a handle that may read and write it.
    if (const UniqueHandle Probe = Open(Wide, 0); !Probe || GetFileType(Probe.get()) != FILE_TYPE_CHAR)
        return false;
    const UniqueHandle Device = Open(Wide, GENERIC_READ | GENERIC_WRITE);
    return IsConsole(Device.get());
}

}  // namespace qrcli
