// The batch's list on Windows: a handle read as bytes, whatever the C library's text mode. A
// pipe is looked into (PeekNamedPipe) before it is read, so that the wait for more of it can end
// at a stop (Windows has no poll() for pipes); a file is read at offsets of its own; the console is read as UTF-16 and handed on as
// UTF-8, a line of Ctrl+Z ending the list as it ends a console's input.

#include "listfile.h"

#include <windows.h>

#include <cerrno>

#include "win32file.h"
#include "writefile.h"

namespace qrcli::batch {

namespace {

// The C library's number for the error of a failed read, for the list's message.
int ErrorNumber(DWORD Error) {
    switch (Error) {
        case ERROR_ACCESS_DENIED: return EACCES;
        case ERROR_INVALID_HANDLE: return EBADF;
        case ERROR_NOT_ENOUGH_MEMORY:
        case ERROR_OUTOFMEMORY: return ENOMEM;
        default: return EIO;
    }
}

long Failed(DWORD Error) {
    errno = ErrorNumber(Error);
    return -1;
}

DWORD Chunk(std::size_t Size) { return Size > 0x10000000u ? 0x10000000u : static_cast<DWORD>(Size); }

long ReadHandleAt(HANDLE File, char* Buffer, std::size_t Size, std::uint64_t Offset) {
    OVERLAPPED At{};
    At.Offset = static_cast<DWORD>(Offset);
    At.OffsetHigh = static_cast<DWORD>(Offset >> 32);
    DWORD Got = 0;
    if (!ReadFile(File, Buffer, Chunk(Size), &Got, &At))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : Failed(GetLastError());
    return static_cast<long>(Got);
}

// Reads what comes, waiting for it (a stop cancels the wait); 0 at the end or at a stop.
long ReadAsItComes(HANDLE File, char* Buffer, std::size_t Size, const StopSignals& Stop) {
    const StopSignals::WaitingRead Waiting(Stop);
    if (Stop.Caught())
        return 0;
    DWORD Got = 0;
    const BOOL Read = ReadFile(File, Buffer, Chunk(Size), &Got, nullptr);
    if (Stop.Caught())
        return 0;
    if (!Read)
        return GetLastError() == ERROR_BROKEN_PIPE || GetLastError() == ERROR_HANDLE_EOF ? 0 : Failed(GetLastError());
    return static_cast<long>(Got);
}

// A pipe's bytes once some are there, or 0 at its end or at a stop. A pipe that cannot be looked
// into (Wine's handle for a pipe of the host's) is read as it comes from then on.
long ReadPipe(HANDLE Pipe, bool& Peekable, char* Buffer, std::size_t Size, const StopSignals& Stop) {
    while (Peekable) {
        if (Stop.Caught())
            return 0;
        DWORD Waiting = 0;
        if (!PeekNamedPipe(Pipe, nullptr, 0, nullptr, &Waiting, nullptr)) {
            if (GetLastError() == ERROR_BROKEN_PIPE)
                return 0;
            Peekable = false;
            break;
        }
        if (Waiting > 0) {
            DWORD Got = 0;
            if (!ReadFile(Pipe, Buffer, Chunk(Size < Waiting ? Size : Waiting), &Got, nullptr))
                return GetLastError() == ERROR_BROKEN_PIPE ? 0 : Failed(GetLastError());
            return static_cast<long>(Got);
        }
        // Nothing yet: looked at again soon, or at once when a stop comes.
        if (Stop.WakeEvent())
            WaitForSingleObject(Stop.WakeEvent(), 10);
        else
            Sleep(10);
    }
    return ReadAsItComes(Pipe, Buffer, Size, Stop);
}

// A line typed at the console, as UTF-8; 0 at a line of Ctrl+Z or at a stop.
long ReadConsoleLine(HANDLE Console, char* Buffer, std::size_t Size, const StopSignals& Stop) {
    // Each UTF-16 unit is at most 3 bytes of UTF-8.
    std::wstring Units(Size / 3 > 4096 ? 4096 : Size / 3, L'\0');
    if (Units.empty())
        return Failed(ERROR_INSUFFICIENT_BUFFER);
    DWORD Got = 0;
    BOOL Read = FALSE;
    {
        // A line is read whole, with the console's own editing and echo: a stop cancels the wait.
        const StopSignals::WaitingRead Waiting(Stop);
        if (Stop.Caught())
            return 0;
        Read = ReadConsoleW(Console, Units.data(), static_cast<DWORD>(Units.size()), &Got, nullptr);
    }
    if (Stop.Caught())
        return 0;
    if (!Read)
        return GetLastError() == ERROR_OPERATION_ABORTED ? 0 : Failed(GetLastError());
    if (Got == 0 || Units[0] == L'\x1a')
        return 0;
    const std::string Text = qrfiles::win32::Narrow(std::wstring_view(Units.data(), Got));
    Text.copy(Buffer, Text.size());
    return static_cast<long>(Text.size());
}

}  // namespace

Result<ListFile> ListFile::Open(const std::string& Name) {
    ListFile List;
    if (Name == "-") {
        List.FHandle = GetStdHandle(STD_INPUT_HANDLE);
        if (!List.FHandle || List.FHandle == INVALID_HANDLE_VALUE)
            return qrfiles::Cannot("open the list", Name, EBADF);
    } else {
        const auto Wide = qrfiles::win32::Widen(Name);
        if (!Wide)
            return qrfiles::win32::Cannot("open the list", Name, ERROR_NO_UNICODE_TRANSLATION);
        // Opened as a folder too, so that a folder is said to be one.
        List.FOpened = qrfiles::win32::Own(CreateFileW(Wide->c_str(), GENERIC_READ,
                                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
        if (!List.FOpened)
            return qrfiles::win32::Cannot("open the list", Name, GetLastError());
        List.FHandle = List.FOpened.get();
    }
    List.FType = GetFileType(List.FHandle);
    if (List.FType == FILE_TYPE_DISK) {
        if (const auto Info = qrfiles::win32::InformationOf(List.FHandle);
            Info && (Info->Attributes & FILE_ATTRIBUTE_DIRECTORY))
            return qrfiles::Cannot("open the list", Name, EISDIR);
        LARGE_INTEGER Here{};
        if (SetFilePointerEx(List.FHandle, LARGE_INTEGER{}, &Here, FILE_CURRENT))
            List.FStart = static_cast<std::uint64_t>(Here.QuadPart);
        List.FRegular = true;
    }
    return List;
}

ReadFn ListFile::Reader(const StopSignals& Stop) const {
    DWORD Mode = 0;
    const bool Console = FType == FILE_TYPE_CHAR && GetConsoleMode(FHandle, &Mode);
    return [Handle = FHandle, Type = FType, Console, Offset = FStart, Peekable = true, &Stop](char* Buffer,
                                                                                            std::size_t Size) mutable -> long {
        if (Type == FILE_TYPE_DISK) {
            const long Got = ReadHandleAt(Handle, Buffer, Size, Offset);
            Offset += Got > 0 ? static_cast<std::uint64_t>(Got) : 0;
            return Got;
        }
        if (Type == FILE_TYPE_PIPE)
            return ReadPipe(Handle, Peekable, Buffer, Size, Stop);
        if (Console)
            return ReadConsoleLine(Handle, Buffer, Size, Stop);
        // A device such as NUL.
        return ReadAsItComes(Handle, Buffer, Size, Stop);
    };
}

long ListFile::ReadAt(char* Buffer, std::size_t Size, std::uint64_t Offset) const {
    return ReadHandleAt(FHandle, Buffer, Size, Offset);
}

}  // namespace qrcli::batch
