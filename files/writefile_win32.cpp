// The writer on Windows: the W functions of kernel32, every path UTF-16 at the system's edge.
//
// A file or a free name is replaced in one step: the bytes go to a temporary file beside the
// target, are flushed, and the temporary file then takes the name: ReplaceFileW over an existing
// file (which keeps the old file's attributes and security descriptor), MoveFileExW with
// MOVEFILE_WRITE_THROUGH onto a free name. Whatever fails, the temporary file is deleted. A
// device (NUL, a console, a named pipe) is written directly instead.

#include "writefile.h"

#include <windows.h>

#include <io.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "win32file.h"
#include "writehooks.h"

namespace qrfiles {

namespace {

using win32::Narrow;
using win32::Own;
using win32::SystemText;
using win32::UniqueHandle;
using win32::WriteHandle;

// Path made absolute by the system ("." and ".." resolved against the current folder).
std::wstring FullPathW(const std::wstring& Path) {
    if (Path.empty())
        return Path;
    std::wstring Full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD Length = GetFullPathNameW(Path.c_str(), static_cast<DWORD>(Full.size()), Full.data(), nullptr);
        if (Length == 0)
            return Path;
        if (Length < Full.size()) {
            Full.resize(Length);
            return Full;
        }
        Full.resize(Length);
    }
}

[[noreturn]] void Fail(FileStage Stage, const std::wstring& FullName, DWORD Error) {
    throw FileError(FileErrorText(Stage, Narrow(FullName), SystemText(Error)));
}

// A temporary file that is deleted unless Keep() was called.
class TemporaryFile {
public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile() {
        Handle.reset();
        if (!Name.empty())
            DeleteFileW(Name.c_str());
    }
    void Keep() { Name.clear(); }

    std::wstring Name;
    UniqueHandle Handle;
};

// Creates a new file beside Target, named after it so that a user who finds one left by a power
// cut knows where it came from. 0 or the error of the last attempt.
DWORD CreateTemporary(const std::wstring& Target, TemporaryFile& Temporary) {
    static LONG Counter = 0;
    DWORD Error = 0;
    for (int Attempt = 0; Attempt < 100; ++Attempt) {
        const unsigned long long Tag = GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                       static_cast<unsigned long long>(InterlockedIncrement(&Counter));
        std::wstring Name = Target + L"." + std::to_wstring(Tag % 1000000000ull) + L".tmp";
        HANDLE Handle = CreateFileW(Name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (Handle != INVALID_HANDLE_VALUE) {
            Temporary.Name = std::move(Name);
            Temporary.Handle = Own(Handle);
            return 0;
        }
        Error = GetLastError();
        if (Error != ERROR_FILE_EXISTS && Error != ERROR_ALREADY_EXISTS)
            return Error;
    }
    return Error;
}

// Whether the system's full path of a name is a device rather than a file: NUL, CON, COM1 and
// the other names Windows keeps in every folder, CONOUT$, a named pipe, written \\.\NAME. The
// long form of a drive's path (\\.\C:\...) is a file's.
bool IsDevice(const std::wstring& FullName) {
    if (FullName.compare(0, 4, L"\\\\.\\") != 0)
        return false;
    const std::wstring Name = FullName.substr(4, FullName.find(L'\\', 4) - 4);
    return !(Name.size() == 2 && Name[1] == L':');
}

// A device is opened as it is and written, never replaced: there is no file to replace.
void WriteDevice(const std::wstring& FullName, std::span<const unsigned char> Bytes) {
    const UniqueHandle Device = Own(CreateFileW(FullName.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!Device)
        Fail(FileStage::Create, FullName, GetLastError());
    if (const DWORD Error = WriteHandle(Device.get(), Bytes))
        Fail(FileStage::Write, FullName, Error);
}

// The fallback when the folder takes no new file: the existing file overwritten and cut to the
// new length, as a plain overwrite would do it.
void OverwriteInPlace(const std::wstring& FullName, std::span<const unsigned char> Bytes, DWORD FolderError) {
    const UniqueHandle File = Own(CreateFileW(FullName.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!File)
        Fail(FileStage::Create, FullName, FolderError);
    if (const DWORD Error = WriteHandle(File.get(), Bytes))
        Fail(FileStage::Write, FullName, Error);
    if (!SetEndOfFile(File.get()) || !FlushFileBuffers(File.get()))
        Fail(FileStage::Write, FullName, GetLastError());
}

}  // namespace

void SaveFile(const std::string& Path, std::span<const unsigned char> Bytes, Durability) {
    const auto Widened = win32::Widen(Path);
    if (!Widened)
        Fail(FileStage::Create, std::wstring(Path.begin(), Path.end()), ERROR_NO_UNICODE_TRANSLATION);
    const std::wstring& Wide = *Widened;
    if (Wide.empty())
        Fail(FileStage::Create, Wide, ERROR_PATH_NOT_FOUND);
    const std::wstring FullName = FullPathW(Wide);
    if (IsDevice(FullName)) {
        WriteDevice(FullName, Bytes);
        return;
    }

    const DWORD Attributes = GetFileAttributesW(FullName.c_str());
    const bool Exists = Attributes != INVALID_FILE_ATTRIBUTES;
    if (Exists && (Attributes & FILE_ATTRIBUTE_DIRECTORY))
        Fail(FileStage::Create, FullName, ERROR_ACCESS_DENIED);
    // A read-only file refuses to be replaced, as it refuses to be opened for writing.
    if (Exists && (Attributes & FILE_ATTRIBUTE_READONLY))
        Fail(FileStage::Create, FullName, ERROR_ACCESS_DENIED);

    TemporaryFile Temporary;
    if (const DWORD Error = CreateTemporary(FullName, Temporary)) {
        if (Exists && Error == ERROR_ACCESS_DENIED) {
            OverwriteInPlace(FullName, Bytes, Error);
            return;
        }
        Fail(FileStage::Create, FullName, Error);
    }
    if (const DWORD Error = WriteHandle(Temporary.Handle.get(), Bytes))
        Fail(FileStage::Write, FullName, Error);
    // Each file is flushed before it takes its name, whatever the durability asks: Windows has
    // no flush of a whole volume for a program without administrator rights (SyncFileSystem).
    if (!FlushFileBuffers(Temporary.Handle.get()))
        Fail(FileStage::Write, FullName, GetLastError());
    Temporary.Handle.reset();
    hooks::ContentsFlushed();
    hooks::BeforeRename();

    if (Exists) {
        // ReplaceFileW keeps the old file's attributes on Windows but not under Wine: the
        // replacement carries them itself.
        SetFileAttributesW(Temporary.Name.c_str(), Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                                                 FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
        // A file that another program holds open without delete sharing cannot be replaced; asked
        // first, so that ReplaceFileW is not left to fail half-way (Wine's then leaves a file of
        // its own behind).
        if (const UniqueHandle Probe = Own(CreateFileW(FullName.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                       nullptr, OPEN_EXISTING, 0, nullptr));
            !Probe) {
            const DWORD Error = GetLastError();
            if (Error != ERROR_FILE_NOT_FOUND)
                Fail(FileStage::Create, FullName, Error);
        }
        if (!ReplaceFileW(FullName.c_str(), Temporary.Name.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            const DWORD Error = GetLastError();
            // The target vanished while the bytes were written: the name is free now.
            if (Error != ERROR_FILE_NOT_FOUND || !MoveFileExW(Temporary.Name.c_str(), FullName.c_str(), MOVEFILE_WRITE_THROUGH))
                Fail(FileStage::Create, FullName, Error);
        }
    } else if (!MoveFileExW(Temporary.Name.c_str(), FullName.c_str(), MOVEFILE_WRITE_THROUGH)) {
        Fail(FileStage::Create, FullName, GetLastError());
    }
    Temporary.Keep();
}

Result<void> SyncFileSystem(const std::string&) {
    hooks::FlushingAll();
    // SaveFile has flushed every file before naming it, so nothing is left to flush.
    return {};
}

int WriteAll(int Fd, std::span<const unsigned char> Bytes) {
    while (!Bytes.empty()) {
        const unsigned Chunk = Bytes.size() > 0x40000000u ? 0x40000000u : static_cast<unsigned>(Bytes.size());
        const int Written = _write(Fd, Bytes.data(), Chunk);
        if (Written < 0)
            return errno;
        if (Written == 0)
            return EIO;
        Bytes = Bytes.subspan(static_cast<std::size_t>(Written));
    }
    return 0;
}

std::string ErrorText(int Error) { return std::strerror(Error); }

std::string FullPath(const std::string& Path) {
    const auto Wide = win32::Widen(Path);
    if (!Wide)
        return Path;
    return Narrow(FullPathW(*Wide));
}

}  // namespace qrfiles
