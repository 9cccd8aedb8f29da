#pragma once
// The POSIX pieces of the writer that the plain writer (writefile_posix.cpp) and the batch's
// confined one (confinedfolder_posix.cpp) share: every step of making a file relative to an open
// folder, from the unnamed file to the name it takes. POSIX systems only.

#include <optional>
#include <span>
#include <string>

#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>

#include "descriptor.h"

namespace qrfiles::posix {

// openat(2), tried again when a signal interrupts it (a named pipe waits for its reader), with
// O_CLOEXEC added. Returns 0 or the error.
int OpenAt(int Folder, const char* Name, int Flags, mode_t Mode, Descriptor& Out);

// Holds back the signals of Set in the calling thread while it lives; they arrive when it ends.
class BlockedSignals {
public:
    explicit BlockedSignals(const sigset_t& Set);
    ~BlockedSignals();
    BlockedSignals(const BlockedSignals&) = delete;
    BlockedSignals& operator=(const BlockedSignals&) = delete;

private:
    sigset_t FOld{};
};

// Every catchable signal but the faults a thread raises itself (SIGSEGV and the like).
sigset_t CatchableSignals();

// Holds back the catchable signals in the calling thread while a temporary name exists, so that
// none ends the process then.
class HeldSignals : public BlockedSignals {
public:
    HeldSignals() : BlockedSignals(CatchableSignals()) {}
};

// Writes all of Bytes to Fd as WriteAll does, but a pipe without reader or the file size limit
// come back as EPIPE or EFBIG instead of the signal that would end the process. Both signals are
// sent to the writing thread, so holding them back there and taking off those that arrived is
// enough; no handler is installed. Returns 0 or the error.
int WriteQuietly(int Fd, std::span<const unsigned char> Bytes);

// Waits until what was written to Fd is on the disk. Returns 0 or the error; a file that cannot
// be flushed (a pipe, a device) has nothing to flush.
int Flush(int Fd);

// Whether an error from a folder means it refuses new names to this user.
bool FolderRefuses(int Error);

// Whether this user may replace the existing file Name in Folder: only a file the user may write,
// as a shell's > would open it, and root may write any. Returns 0 or the error (EACCES for a
// read-only file).
int MayReplace(int Folder, const char* Name);

// Whether Folder takes two names that differ only in case for one (exFAT or FAT on a USB stick, a
// case-folding ext4 folder): a file made under a fresh name is looked for under that name in
// capitals, then removed. A folder where no file can be made is taken as case-sensitive.
bool IgnoresCase(int Folder);

// Gives the replacement Fd of the file Old describes its permission bits and, as far as the
// system lets this user, its owner and group. Set-user-ID, set-group-ID and sticky bits are not
// carried.
void KeepOwnerAndMode(int Fd, const struct stat& Old);

// Overwrites the regular file Name in Folder in place and cuts it to the new length, for a folder
// that refuses new names while the file itself is writable. Never follows a link and never opens
// anything but the regular file Seen describes: a named pipe, a device or another file put there
// since leaves Opened false and nothing written. Returns 0 or the error of the write.
int WriteInPlace(int Folder, const char* Name, const struct stat& Seen, std::span<const unsigned char> Bytes,
                 bool& Opened);

// The new file that replaces (or becomes) a name in Folder. Unnamed while it is written where the
// file system allows it, so that nothing can leave it behind; it gets a short temporary name only
// for the instant before a rename, and catchable signals are held back in the calling thread while
// that name exists. Anything not published is removed when the object goes.
class Replacement {
public:
    explicit Replacement(int Folder) : FFolder(Folder) {}
    ~Replacement() { Discard(); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    int Fd() const { return FFile.Get(); }

    // Creates the file with Mode (less the umask), named when Named or when the file system has no
    // unnamed files. Returns 0 or the error.
    int Create(mode_t Mode, bool Named);

    // Gives the file the free name Name and never replaces what has it: EEXIST when taken. Where
    // the file system can do neither a link nor a rename that refuses to replace (FAT over FUSE),
    // the name is looked up first and then renamed to, which replaces nothing but what appears in
    // between. Returns 0 or the error.
    int PublishNew(const char* Name);

    // Gives the file the name Name, replacing whatever has it in one rename: the old entry itself,
    // never what a link there leads to. Returns 0 or the error.
    int PublishOver(const char* Name);

    // Removes the temporary name if the file still has one, closes it, and lets held signals in.
    void Discard();

private:
    // Gives an unnamed file a temporary name. Returns 0 or the error.
    int Name();

    std::optional<HeldSignals> FHeld;  // declared first: released after the name is gone
    int FFolder;
    Descriptor FFile;
    std::string FName;  // the temporary name, while there is one
};

}  // namespace qrfiles::posix
