#pragma once
// A folder that files named from untrusted input cannot leave: the batch's rule for where its
// files go. The folder itself is the user's, followed the way the system follows it and made when
// missing; whatever comes after it is checked twice: as text (only real names, no "." or "..",
// nothing too long) and on the disk (only real folders on the way, no symbolic link, nothing but
// a regular file or a free name at the end).

#include <cstddef>
#include <string>
#include <string_view>

#include "result.h"

namespace qrfiles {

// The longest file or folder name, and the longest path, the system takes (NAME_MAX, PATH_MAX - 1).
inline constexpr std::size_t kMaxFileName = 255;
inline constexpr std::size_t kMaxPath = 4095;

// Why Part, one name between slashes, cannot stand below the folder ("an empty file or folder
// name", "a file or folder name \"..\"", "a file or folder name longer than 255 bytes"), or
// nothing when it can.
std::string BadName(std::string_view Part);

class ConfinedFolder {
public:
    // Folder: "" for the working folder, otherwise ending in '/'.
    explicit ConfinedFolder(std::string Folder) : FFolder(std::move(Folder)) {}

    const std::string& Folder() const { return FFolder; }

    // The path of Rest below the folder, or why it would not stay there: a part of Rest that is
    // empty, "." or "..", or longer than kMaxFileName, or the whole path longer than kMaxPath.
    Result<std::string> PathOf(std::string_view Rest) const;

    // Gets Path (one that PathOf gave) ready to be written: the folder is made when it is missing;
    // below it, missing folders are made and only real folders are passed, so that a symbolic link
    // or anything but a folder on the way, or anything but a regular file at Path itself, is
    // refused. Gives whether a regular file is at Path already.
    Result<bool> Prepare(const std::string& Path) const;

private:
    std::string FFolder;
};

}  // namespace qrfiles
