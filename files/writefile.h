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

#include <functional>
#include <span>
#include <stdexcept>
#include <string>

namespace qrfiles {

// A file that could not be created or written; what() is the message for the user:
// "Cannot create file "<full path>". <system error>" or "Cannot write file "<full path>". <system error>".
// The full path is the given one with its folders resolved by the system (bytes as the system
// has them, which need not be UTF-8).
class FileError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Points where a test can stop the writer. Not used by the program itself.
struct WriteHooks {
    // The new contents are written and flushed; the replacement has no name yet, unless
    // NamedTemporary is set.
    std::function<void()> ContentsFlushed;
    // The replacement has its temporary name and the rename comes next; catchable signals are
    // held back in the calling thread from here to the rename.
    std::function<void()> BeforeRename;
    // Use a named temporary file, as on file systems without unnamed ones.
    bool NamedTemporary = false;
};

// Puts exactly Bytes at Path (bytes, passed to the system unchanged). When a regular file is
// replaced and anything fails, the file that was there is left as it was and no temporary file
// remains. The one exception: when the folder refuses new files (permissions) but the file itself
// is writable, the file is written in place, as a plain overwrite would be.
void WriteFileAtomically(const std::string& Path, std::span<const unsigned char> Bytes,
                         const WriteHooks* Hooks = nullptr);

// Writes all of Bytes to the open descriptor Fd: in one write(2) call unless the system takes
// less at once, then the rest in further calls. Returns 0 or the error that stopped it. Signals
// keep their usual effect (a pipe without reader raises SIGPIPE), unlike in the writer above.
int WriteAll(int Fd, std::span<const unsigned char> Bytes);

// A system error description as it goes into a message: trailing blanks, line breaks and full
// stops removed, so the message box's own full stop is not doubled.
std::string TrimErrorText(std::string Text);

// Path made absolute for a message: its longest leading part that exists resolved by the system
// (symbolic links, "." and ".."), the rest appended as given.
std::string FullPath(const std::string& Path);

}  // namespace qrfiles
