// The writer on POSIX systems: openat(2) and its relatives, relative to an open folder.

#include "writefile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <linux/magic.h>
#include <pthread.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "descriptor.h"
#include "writehooks.h"

namespace qrfiles {

namespace {

// As many symbolic links as the kernel follows in one path before it reports a loop.
constexpr int MaxLinks = 40;

// openat(2), tried again when a signal interrupts it (a named pipe waits for its reader).
// Returns 0 or the error.
int OpenAt(int Folder, const char* Name, int Flags, mode_t Mode, Descriptor& Out) {
    int Fd;
    do
        Fd = openat(Folder, Name, Flags | O_CLOEXEC, Mode);
    while (Fd < 0 && errno == EINTR);
    if (Fd < 0)
        return errno;
    Out = Descriptor(Fd);
    return 0;
}

// Holds back the catchable signals that end a process in the calling thread while it lives, so
// that a temporary name is never left behind by them; they arrive when it ends. Faults raised by
// the thread itself (SIGSEGV and the like) are not held.
class HeldSignals {
public:
    HeldSignals() {
        sigset_t All;
        sigfillset(&All);
        for (int Fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT})
            sigdelset(&All, Fault);
        pthread_sigmask(SIG_BLOCK, &All, &FOld);
    }
    ~HeldSignals() { pthread_sigmask(SIG_SETMASK, &FOld, nullptr); }
    HeldSignals(const HeldSignals&) = delete;
    HeldSignals& operator=(const HeldSignals&) = delete;

private:
    sigset_t FOld{};
};

// While it lives, a write into a pipe without reader or past the file size limit returns its
// error (EPIPE, EFBIG) instead of ending the process with SIGPIPE or SIGXFSZ. Both are sent to
// the writing thread, so holding them back there and taking off those that arrived is enough,
// and no handler is installed.
class QuietWrites {
public:
    QuietWrites() {
        sigemptyset(&FSignals);
        sigaddset(&FSignals, SIGPIPE);
        sigaddset(&FSignals, SIGXFSZ);
        sigpending(&FPendingBefore);
        pthread_sigmask(SIG_BLOCK, &FSignals, &FOld);
    }
    ~QuietWrites() {
        sigset_t Pending;
        sigpending(&Pending);
        const timespec Now{};
        for (int Signal : {SIGPIPE, SIGXFSZ})
            if (sigismember(&Pending, Signal) && !sigismember(&FPendingBefore, Signal)) {
                sigset_t One;
                sigemptyset(&One);
                sigaddset(&One, Signal);
                sigtimedwait(&One, nullptr, &Now);
            }
        pthread_sigmask(SIG_SETMASK, &FOld, nullptr);
    }
    QuietWrites(const QuietWrites&) = delete;
    QuietWrites& operator=(const QuietWrites&) = delete;

private:
    sigset_t FSignals{};
    sigset_t FPendingBefore{};
    sigset_t FOld{};
};

// WriteAll with a broken pipe or the file size limit as errors instead of signals.
int WriteQuietly(int Fd, std::span<const unsigned char> Bytes) {
    const QuietWrites Quiet;
    return WriteAll(Fd, Bytes);
}

// Waits until what was written to Fd is on the disk. Returns 0 or the error; a file that cannot
// be flushed (EINVAL: a pipe, a device) has nothing to flush.
int Flush(int Fd) {
    while (fsync(Fd) != 0) {
        const int Error = errno;
        if (Error == EINTR)
            continue;
        return Error == EINVAL ? 0 : Error;
    }
    return 0;
}

// The target of the symbolic link Name in Folder. Returns 0 or the error.
int ReadLink(int Folder, const std::string& Name, std::string& Target) {
    char Buffer[PATH_MAX];
    const ssize_t Length = readlinkat(Folder, Name.c_str(), Buffer, sizeof Buffer);
    if (Length < 0)
        return errno;
    if (static_cast<std::size_t>(Length) == sizeof Buffer)
        return ENAMETOOLONG;
    Target.assign(Buffer, static_cast<std::size_t>(Length));
    return 0;
}

// Where a path leads: the folder it ends in, open, and the last name in it.
struct Location {
    Descriptor Folder;
    bool FolderReadable = false;  // opened for reading, so it can be flushed; else only as a path
    bool FolderOnProc = false;    // /proc, whose links (/proc/self/fd/N) are open files, not paths
    std::string Name;             // not a symbolic link, unless the folder is on /proc
    bool Exists = false;
    struct stat Status{};  // of Name (not followed), when it exists
};

// Splits a path into its folder and its last name, as bytes: "a/b" gives "a" and "b", "b" gives
// "." and "b", "/b" gives "/" and "b", "a/" gives "a" and "".
std::pair<std::string, std::string> SplitLast(const std::string& Path) {
    const auto Slash = Path.rfind('/');
    if (Slash == std::string::npos)
        return {".", Path};
    return {Slash == 0 ? "/" : Path.substr(0, Slash), Path.substr(Slash + 1)};
}

// Finds where Path leads the way open(2) does: its folder is opened by the system (so a link
// followed by ".." goes to the link target's parent), and while its last name is a symbolic link
// the link's target is followed from the link's folder. Returns 0 or the error.
int Locate(const std::string& Path, Location& Out) {
    if (Path.empty())
        return ENOENT;
    std::string Current = Path;
    for (int Links = 0;; ++Links) {
        auto [FolderPath, Name] = SplitLast(Current);
        // Relative to the folder of the link being followed (at first, the working folder).
        const int Base = Out.Folder ? Out.Folder.Get() : AT_FDCWD;
        Descriptor Folder;
        bool Readable = true;
        int Error = OpenAt(Base, FolderPath.c_str(), O_RDONLY | O_DIRECTORY, 0, Folder);
        if (Error == EACCES) {
            // A folder one may search and write but not list.
            Readable = false;
            Error = OpenAt(Base, FolderPath.c_str(), O_PATH | O_DIRECTORY, 0, Folder);
        }
        if (Error != 0)
            return Error;
        Out.Folder = std::move(Folder);
        Out.FolderReadable = Readable;
        Out.Name = std::move(Name);
        if (Out.Name.empty() || Out.Name == "." || Out.Name == "..")
            return EISDIR;
        struct statfs FileSystem{};
        Out.FolderOnProc = fstatfs(Out.Folder.Get(), &FileSystem) == 0 && FileSystem.f_type == PROC_SUPER_MAGIC;
        if (fstatat(Out.Folder.Get(), Out.Name.c_str(), &Out.Status, AT_SYMLINK_NOFOLLOW) != 0) {
            Out.Exists = false;
            return errno == ENOENT ? 0 : errno;
        }
        Out.Exists = true;
        if (!S_ISLNK(Out.Status.st_mode) || Out.FolderOnProc)
            return 0;
        if (Links == MaxLinks)
            return ELOOP;
        if (const int LinkError = ReadLink(Out.Folder.Get(), Out.Name, Current))
            return LinkError;
    }
}

// Whether files opened without a name can be given one: through AT_EMPTY_PATH, which needs a
// capability on older kernels, or else through /proc/self/fd.
bool UnnamedFilesCanBeLinked() {
    static const bool Linkable = access("/proc/self/fd", F_OK) == 0;
    return Linkable;
}

// Gives the unnamed File the name Name in Folder. Returns 0 or the error (EEXIST when taken).
int LinkUnnamed(int File, int Folder, const char* Name) {
    if (linkat(File, "", Folder, Name, AT_EMPTY_PATH) == 0)
        return 0;
    if (errno != ENOENT && errno != EPERM)
        return errno;
    const std::string Link = "/proc/self/fd/" + std::to_string(File);
    return linkat(AT_FDCWD, Link.c_str(), Folder, Name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

// A short name for a temporary file (16 bytes), so that a target of any allowed length can be
// replaced; hidden, and different in every call, process and thread.
std::string TemporaryName() {
    static std::atomic<std::uint64_t> Counter{0};
    std::uint64_t Value = 0;
    if (getrandom(&Value, sizeof Value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof Value))
        Value = static_cast<std::uint64_t>(getpid()) << 32 ^
                static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
    Value ^= Counter.fetch_add(1) * 0x9E3779B97F4A7C15ULL;
    char Text[24];
    std::snprintf(Text, sizeof Text, ".qr-%012llx", static_cast<unsigned long long>(Value & 0xFFFFFFFFFFFFULL));
    return Text;
}

// The new file that replaces (or becomes) the target, in the target's folder. Unnamed while it is
// written, where the file system allows it, so that nothing can leave it behind; it gets a short
// temporary name only for the instant before the rename, and catchable signals are held back
// while that name exists. Anything not published is removed when the object goes.
class Replacement {
public:
    explicit Replacement(int Folder) : FFolder(Folder) {}
    ~Replacement() { Discard(); }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    int Fd() const { return FFile.Get(); }

    // Creates the file with Mode (less the umask). Returns 0 or the error.
    int Create(mode_t Mode, bool Named) {
        if (!Named && UnnamedFilesCanBeLinked()) {
            const int Error = OpenAt(FFolder, ".", O_TMPFILE | O_WRONLY, Mode, FFile);
            // EOPNOTSUPP: a file system without unnamed files; EISDIR: a kernel without O_TMPFILE.
            if (Error != EOPNOTSUPP && Error != EISDIR && Error != EINVAL)
                return Error;
        }
        FHeld.emplace();
        for (int Attempt = 0; Attempt < 100; ++Attempt) {
            std::string Candidate = TemporaryName();
            const int Error = OpenAt(FFolder, Candidate.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW, Mode, FFile);
            if (Error == 0) {
                FName = std::move(Candidate);
                return 0;
            }
            if (Error != EEXIST)
                return Error;
        }
        return EEXIST;
    }

    // Gives the file the name Name: taken only when it is free unless Replacing, in which case
    // whatever has the name is replaced in one rename. Returns 0 or the error.
    int Publish(const char* Name, bool Replacing) {
        if (FName.empty()) {
            if (!Replacing) {
                const int Error = LinkUnnamed(FFile.Get(), FFolder, Name);
                if (Error != EEXIST)
                    return Error;
            }
            FHeld.emplace();
            for (int Attempt = 0; FName.empty(); ++Attempt) {
                std::string Candidate = TemporaryName();
                const int Error = LinkUnnamed(FFile.Get(), FFolder, Candidate.c_str());
                if (Error == 0)
                    FName = std::move(Candidate);
                else if (Error != EEXIST || Attempt == 100)
                    return Error;
            }
        }
        hooks::BeforeRename();
        if (renameat(FFolder, FName.c_str(), FFolder, Name) != 0)
            return errno;
        FName.clear();
        return 0;
    }

    // Removes the temporary name if the file still has one, closes it, and lets held signals in.
    void Discard() {
        if (!FName.empty())
            unlinkat(FFolder, FName.c_str(), 0);
        FName.clear();
        FFile.Close();
        FHeld.reset();
    }

private:
    std::optional<HeldSignals> FHeld;  // declared first: released after the name is gone
    int FFolder;
    Descriptor FFile;
    std::string FName;  // the temporary name, while there is one
};

[[noreturn]] void Fail(FileStage At, const std::string& Path, int Error) {
    throw FileError(FileErrorText(At, FullPath(Path), ErrorText(Error)));
}

// Gives the replacement of the file Old describes its permission bits and, as far as the system
// lets this user, its owner and group. Set-user-ID, set-group-ID and sticky bits are not carried.
void KeepOwnerAndMode(int Fd, const struct stat& Old) {
    struct stat New{};
    if (fstat(Fd, &New) == 0 && (New.st_uid != Old.st_uid || New.st_gid != Old.st_gid)) {
        // Only root may give a file away; a group the user belongs to can still be kept.
        if (fchown(Fd, Old.st_uid, Old.st_gid) != 0 && fchown(Fd, static_cast<uid_t>(-1), Old.st_gid) != 0) {
            // The replacement stays the user's own, as any new file would be.
        }
    }
    if (fchmod(Fd, Old.st_mode & 0777) != 0) {
        // A file system without permissions (FAT) has nothing to keep.
    }
}

// Overwrites the existing regular file at L in place and cuts it to the new length, for a folder
// that refuses new names while the file itself is writable. Returns false, having written
// nothing, when the file cannot be opened for writing either.
bool WriteInPlace(const Location& L, const std::string& Path, std::span<const unsigned char> Bytes) {
    Descriptor File;
    if (OpenAt(L.Folder.Get(), L.Name.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW, 0, File) != 0)
        return false;
    int Error = WriteQuietly(File.Get(), Bytes);
    if (Error == 0 && ftruncate(File.Get(), static_cast<off_t>(Bytes.size())) != 0)
        Error = errno;
    if (Error == 0)
        Error = Flush(File.Get());
    if (Error == 0)
        Error = File.Close();
    if (Error != 0)
        Fail(FileStage::Write, Path, Error);
    return true;
}

// Whether an error from the folder means it refuses new names to this user.
bool FolderRefuses(int Error) { return Error == EACCES || Error == EPERM; }

// Creates or atomically replaces the regular file (or free name) at L.
void Replace(const Location& L, const std::string& Path, std::span<const unsigned char> Bytes, Durability When) {
    Replacement New(L.Folder.Get());
    // A replacement stays private until it has the old file's owner and permissions; a new file
    // gets the usual ones (the umask applied).
    if (const int Error = New.Create(L.Exists ? 0600 : 0666, hooks::NamedTemporary())) {
        New.Discard();
        if (FolderRefuses(Error) && L.Exists && WriteInPlace(L, Path, Bytes))
            return;
        Fail(FileStage::Create, Path, Error);
    }
    if (L.Exists)
        KeepOwnerAndMode(New.Fd(), L.Status);
    int Error = WriteQuietly(New.Fd(), Bytes);
    // On the disk before it takes the name: after a power cut the name holds the old file or the
    // whole new one, never an empty one. A new name has no old file to keep: it may wait for the
    // caller's flush.
    if (Error == 0 && (L.Exists || When == Durability::EachFile))
        Error = Flush(New.Fd());
    if (Error != 0)
        Fail(FileStage::Write, Path, Error);
    hooks::ContentsFlushed();

    Error = New.Publish(L.Name.c_str(), L.Exists);
    New.Discard();
    if (Error != 0) {
        // A sticky folder (/tmp) refuses to replace another user's file that this user may write.
        if (FolderRefuses(Error) && L.Exists && WriteInPlace(L, Path, Bytes))
            return;
        Fail(FileStage::Write, Path, Error);
    }
    // The new name itself on the disk.
    if (When == Durability::EachFile && L.FolderReadable && (Error = Flush(L.Folder.Get())) != 0)
        Fail(FileStage::Write, Path, Error);
}

// Writes into what already exists at L and is not a regular file (a device, a named pipe, a
// terminal) or is an open file reached through /proc (/dev/stdout, /dev/fd/N): opened for
// writing and written in full, never created, truncated or replaced.
void WriteDirectly(Location& L, const std::string& Path, std::span<const unsigned char> Bytes, Durability When) {
    Descriptor File;
    if (const int Error = OpenAt(L.Folder.Get(), L.Name.c_str(), O_WRONLY | O_NOCTTY, 0, File))
        Fail(FileStage::Create, Path, Error);
    struct stat Status{};
    const bool Regular = fstat(File.Get(), &Status) == 0 && S_ISREG(Status.st_mode);
    if (Regular && !L.FolderOnProc) {
        // It became a regular file since it was looked at: replaced as such.
        File.Close();
        L.Status = Status;
        Replace(L, Path, Bytes, When);
        return;
    }
    // A file reached through /proc shares its contents with the descriptor it stands for (a
    // shell's redirection): appended to, so nothing written there before is overwritten.
    if (Regular && fcntl(File.Get(), F_SETFL, fcntl(File.Get(), F_GETFL) | O_APPEND) != 0)
        Fail(FileStage::Write, Path, errno);
    int Error = WriteQuietly(File.Get(), Bytes);
    if (Error == 0 && Regular)
        Error = Flush(File.Get());
    if (Error == 0)
        Error = File.Close();
    if (Error != 0)
        Fail(FileStage::Write, Path, Error);
}

// realpath(3) as a string, or nothing when the path does not resolve.
std::optional<std::string> Resolved(const std::string& Path) {
    const std::unique_ptr<char, decltype(&std::free)> Result(realpath(Path.c_str(), nullptr), &std::free);
    if (!Result)
        return std::nullopt;
    return std::string(Result.get());
}

std::string Joined(std::string Folder, const std::string& Name) {
    if (Folder.empty() || Folder.back() != '/')
        Folder += '/';
    return Folder + Name;
}

}  // namespace

int WriteAll(int Fd, std::span<const unsigned char> Bytes) {
    while (!Bytes.empty()) {
        const ssize_t Written = write(Fd, Bytes.data(), Bytes.size());
        if (Written < 0) {
            const int Error = errno;
            if (Error == EINTR)
                continue;
            return Error;
        }
        if (Written == 0)
            return EIO;
        Bytes = Bytes.subspan(static_cast<std::size_t>(Written));
    }
    return 0;
}

std::string ErrorText(int Error) {
    char Buffer[256];
    return strerror_r(Error, Buffer, sizeof Buffer);
}

std::string FullPath(const std::string& Path) {
    if (Path.empty())
        return Path;
    if (auto Whole = Resolved(Path))
        return *Whole;
    const auto Slash = Path.rfind('/');
    if (Slash == std::string::npos) {
        const auto WorkingFolder = Resolved(".");
        return WorkingFolder ? Joined(*WorkingFolder, Path) : Path;
    }
    if (Slash == 0)
        return Path;
    return Joined(FullPath(Path.substr(0, Slash)), Path.substr(Slash + 1));
}

void SaveFile(const std::string& Path, std::span<const unsigned char> Bytes, Durability When) {
    // The system reads a path up to its first zero byte: a path that contains one would name
    // another file.
    if (Path.find('\0') != std::string::npos)
        Fail(FileStage::Create, Path.substr(0, Path.find('\0')), EINVAL);
    Location L;
    if (const int Error = Locate(Path, L))
        Fail(FileStage::Create, Path, Error);
    if (L.FolderOnProc || (L.Exists && !S_ISREG(L.Status.st_mode)))
        WriteDirectly(L, Path, Bytes, When);
    else
        Replace(L, Path, Bytes, When);
}

Result<void> SyncFileSystem(const std::string& Path) {
    hooks::FlushingAll();
    Descriptor File;
    int Error = OpenAt(AT_FDCWD, Path.empty() ? "." : Path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK, 0, File);
    if (Error == 0 && syncfs(File.Get()) != 0)
        Error = errno;
    if (Error != 0)
        return Cannot("flush the written files to the disk", Error);
    return {};
}

}  // namespace qrfiles
