#pragma once
// The Windows pieces that the batch's confined folder, its list and its signals share: handles
// closed when they go out of scope, UTF-8 and UTF-16 at the system's edge, the system's text for
// an error, and a file's identity and final path. Windows only.

#include <windows.h>

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "madefiles.h"
#include "result.h"
#include "win32handle.h"

namespace qrfiles::win32 {

// Takes Handle over; INVALID_HANDLE_VALUE and null become an empty handle.
inline UniqueHandle Own(HANDLE Handle) { return UniqueHandle(Handle == INVALID_HANDLE_VALUE ? nullptr : Handle); }

// UTF-8 to UTF-16; nothing when Text is not UTF-8.
std::optional<std::wstring> Widen(std::string_view Text);

// UTF-16 to UTF-8 (a lone surrogate becomes U+FFFD).
std::string Narrow(std::wstring_view Wide);

// The system's text for a Windows error code, in UTF-8, without its trailing full stop and line
// end ("Access is denied").
std::string SystemText(DWORD Error);

// Writes all of Bytes to an open file or device; 0 or the error.
DWORD WriteHandle(HANDLE File, std::span<const unsigned char> Bytes);

// "cannot <Doing> "<Path>": <the system's text>", as qrfiles::Cannot says it on POSIX systems.
Failure Cannot(std::string_view Doing, std::string_view Path, DWORD Error);

// What GetFileInformationByHandle says of an open file, folder or link.
struct Information {
    DWORD Attributes = 0;
    FileId Id;  // the volume's serial number and the file's index on it
};
std::optional<Information> InformationOf(HANDLE File);

// The path the system has for an open file, "\\?\C:\..." with every link and junction on the way
// resolved; empty when it cannot say.
std::wstring FinalPath(HANDLE File);

// Whether Path is an entry directly in Folder (both final paths), compared as NTFS compares
// names, without regard to case.
bool DirectlyIn(std::wstring_view Path, std::wstring_view Folder);

}  // namespace qrfiles::win32
