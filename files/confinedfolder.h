#pragma once
// A folder that files named from untrusted input cannot leave: the batch's rule for where its
// files go, and the writing of them. The folder itself is the user's, followed the way the system
// follows it and made when missing; whatever comes after it is checked as text (only real names,
// no "." or "..", nothing too long) and then on the disk, in the same step that writes the file:
// only real folders on the way, reached from the folder one at a time and never through a
// symbolic link, and nothing but a regular file or a free name at the end, so that nothing put
// there between a check and the write can lead the write elsewhere.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "result.h"

namespace qrfiles {

// The longest file or folder name, and the longest path, the system takes (NAME_MAX, PATH_MAX - 1).
inline constexpr std::size_t kMaxFileName = 255;
inline constexpr std::size_t kMaxPath = 4095;

// What separates the folders of a path: '/', and on Windows '\\' as well.
#ifdef _WIN32
inline constexpr std::string_view kSeparators = "/\\";
#else
inline constexpr std::string_view kSeparators = "/";
#endif

// Why Part, one name between separators, cannot stand below the folder ("an empty file or folder
// name", "a file or folder name \"..\"", "a file or folder name longer than 255 bytes"), or
// nothing when it can. On Windows also a name that would not be the file it says: one with ':'
// (a drive, or an alternate data stream of the file before it), a character Windows refuses in a
// name, a device's name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without an
// extension), or a name ending in a dot or a space, which Windows strips.
std::string BadName(std::string_view Part);

class ConfinedFolder {
public:
    // Folder: "" for the working folder, otherwise ending in '/'.
    explicit ConfinedFolder(std::string Folder) : FFolder(std::move(Folder)) {}

    const std::string& Folder() const { return FFolder; }

    // The path of Rest below the folder, or why it would not stay there: a part of Rest (between
    // kSeparators) that BadName refuses, or the whole path longer than kMaxPath.
    Result<std::string> PathOf(std::string_view Rest) const;

private:
    std::string FFolder;
};

// Where a row's path stands, once prepared or written.
struct Placed {
    bool Exists = false;          // a regular file had the name, which the row's file replaces
    std::uint64_t Earlier = 0;    // the name holds the file of this earlier row of the run: not written
    std::uint64_t Displaced = 0;  // written: the name held the file of this later row, now replaced
};

// The files of one run below a confined folder, each row's path checked and its file written in
// one step. The folder is opened once, when the first row needs it, and every path is reached
// from it. A new file takes a free name only while it is free; a file that replaces another is
// on the disk before it takes the name; a file the user may not write is not replaced. New files
// are left to the caller's flush of them all (SyncFileSystem).
//
// When Remembers, the files the run makes are remembered by their identity on the disk
// (MadeFiles: the inode, or in a folder that ignores case the path in capitals), so that a name that leads to one of them again, in any spelling, is that row's
// file: a later row does not replace it, and an earlier row's file replaces a later one's, so the
// earlier row keeps the name whichever is written first. Safe to call from several threads.
class ConfinedFiles {
public:
    ConfinedFiles(ConfinedFolder Folder, bool Remembers);
    ~ConfinedFiles();
    ConfinedFiles(const ConfinedFiles&) = delete;
    ConfinedFiles& operator=(const ConfinedFiles&) = delete;

    const ConfinedFolder& Folder() const;

    // Gets Path (one that PathOf gave) ready for Row's file before it is made: missing folders are
    // made; a symbolic link or anything but a folder on the way, or anything but a regular file or
    // a free name at Path itself, is refused with the reason.
    Result<Placed> Prepare(const std::string& Path, std::uint64_t Row);

    // Writes Bytes as Row's file at Path, checking it again on the way and at the end: the same
    // failures as Prepare, and those of the writer ("Cannot create file ...", "Cannot write file
    // ..."). Nothing is left at Path but the old file or the new one, and no temporary file.
    Result<Placed> Save(const std::string& Path, std::span<const unsigned char> Bytes, std::uint64_t Row);

private:
    struct State;
    std::unique_ptr<State> FState;
};

}  // namespace qrfiles
