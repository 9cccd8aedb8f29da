#pragma once
// The one way this program writes a file, shared by "Gravar", the command line and the batch.
//
// A regular file (or a name not yet taken) is replaced atomically: the new contents go to an
// unnamed file in the same folder, are flushed to the disk, and then take the name in one step,
// so the name always holds either the old file whole or the new one whole. The replacement keeps
// the old file's permission bits and, where the system allows it, its owner and group.
// Anything else that already exists at the path (a device, a named pipe, a terminal, an open file
// reached through /dev/fd or /dev/stdout) is written directly instead, never replaced.
// The path is followed the way open(2) follows it: a symbolic link is resolved by the system,
// ".." after a link leads to the link target's parent, and a loop is an error.
//
// Safe to call from several threads at once. Installs no signal handlers: while a temporary name
// exists the calling thread holds back catchable signals, and a broken pipe or a file size limit
// comes back as an error instead of a signal.
//
// This header and writefile.cpp are the same on every system; writefile_posix.cpp is the
// implementation on POSIX systems.

#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

#include "result.h"

namespace qrfiles {

// A file that could not be created or written; what() is the message for the user (FileErrorText).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// When the writer waits for the disk.
enum class Durability {
    // Each file, and the folder entry that names it, is on the disk before the call returns.
    EachFile,
    // A file that replaces another is on the disk before it takes the name, so that the old
    // contents are never lost, even to a power cut; a new name is left to the system, for a
    // caller that writes many files and then flushes them together with SyncFileSystem.
    NewFilesLater,
};

// Puts exactly Bytes at Path (bytes, passed to the system unchanged), the way what is there asks
// for: a regular file or a free name is replaced atomically, and when that fails the file that was
// there is left as it was and no temporary file remains; anything else that exists is opened and
// written in full (an open file reached through /proc is appended to). The one exception to the
// atomic replacement: when the folder refuses new files (permissions) but the file itself is
// writable, the file is overwritten in place and cut to its new length, as a plain overwrite
// would be. Throws FileError.
void SaveFile(const std::string& Path, std::span<const unsigned char> Bytes, Durability When = Durability::EachFile);

// Flushes to the disk everything written on the file system that holds Path (syncfs(2)).
Result<void> SyncFileSystem(const std::string& Path);

// Writes all of Bytes to the open descriptor Fd: in one write(2) call unless the system takes
// less at once, then the rest in further calls; a descriptor left non-blocking is waited for
// when full, not given up on. Returns 0 or the error number that stopped it, as the system call
// does. Signals keep their usual effect (a pipe without reader raises SIGPIPE), unlike in
// SaveFile.
int WriteAll(int Fd, std::span<const unsigned char> Bytes);

// The system's description of an error number ("No space left on device").
std::string ErrorText(int Error);

// A system error description as it goes into a message: trailing blanks, line breaks and full
// stops removed, so the message box's own full stop is not doubled.
std::string TrimErrorText(std::string Text);

// Path made absolute for a message: its longest leading part that exists resolved by the system
// (symbolic links, "." and ".."), the rest appended as given.
std::string FullPath(const std::string& Path);

// What FileError says: "Cannot create file "<FullName>". <Reason>" or "Cannot write file
// "<FullName>". <Reason>", the reason trimmed (TrimErrorText). FullName is the path as FullPath
// gives it (bytes as the system has them, which need not be UTF-8).
enum class FileStage { Create, Write };
std::string FileErrorText(FileStage Stage, std::string_view FullName, std::string Reason);

// The command line's message for a system call that failed: "cannot <Doing>: <reason>", or with
// a path, "cannot <Doing> "<Path>": <reason>", the reason ErrorText(Error).
Failure Cannot(std::string_view Doing, int Error);
Failure Cannot(std::string_view Doing, std::string_view Path, int Error);

}  // namespace qrfiles
