// The writer on POSIX systems: openat(2) and its relatives, relative to an open folder.

#include "writefile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include "descriptor.h"
#include "posixfile.h"
#include "writehooks.h"

namespace qrfiles {

namespace {

// As many symbolic links as the kernel follows in one path before it reports a loop.
constexpr int MaxLinks = 40;

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
        int Error = posix::OpenAt(Base, FolderPath.c_str(), O_RDONLY | O_DIRECTORY, 0, Folder);
        if (Error == EACCES) {
            // A folder one may search and write but not list.
            Readable = false;
            Error = posix::OpenAt(Base, FolderPath.c_str(), O_PATH | O_DIRECTORY, 0, Folder);
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

[[noreturn]] void Fail(FileStage At, const std::string& Path, int Error) {
    throw FileError(FileErrorText(At, FullPath(Path), ErrorText(Error)));
}

// Overwrites the existing regular file at L in place, for a folder that refuses new names while
// the file itself is writable. Returns false, having written nothing, when it cannot be opened.
bool WriteInPlace(const Location& L, const std::string& Path, std::span<const unsigned char> Bytes) {
    bool Opened = false;
    if (const int Error = posix::WriteInPlace(L.Folder.Get(), L.Name.c_str(), L.Status, Bytes, Opened))
        Fail(FileStage::Write, Path, Error);
    return Opened;
}

// Creates or atomically replaces the regular file (or free name) at L.
void Replace(const Location& L, const std::string& Path, std::span<const unsigned char> Bytes, Durability When) {
    // A file the user may not write is not replaced, as a shell's > would not open it.
    if (L.Exists)
        if (const int Error = posix::MayReplace(L.Folder.Get(), L.Name.c_str()))
            Fail(FileStage::Create, Path, Error);
    posix::Replacement New(L.Folder.Get());
    // A replacement stays private until it has the old file's owner and permissions; a new file
    // gets the usual ones (the umask applied).
    if (const int Error = New.Create(L.Exists ? 0600 : 0666, hooks::NamedTemporary())) {
        New.Discard();
        if (posix::FolderRefuses(Error) && L.Exists && WriteInPlace(L, Path, Bytes))
            return;
        Fail(FileStage::Create, Path, Error);
    }
    if (L.Exists)
        posix::KeepOwnerAndMode(New.Fd(), L.Status);
    int Error = posix::WriteQuietly(New.Fd(), Bytes);
    // On the disk before it takes the name: after a power cut the name holds the old file or the
    // whole new one, never an empty one. A new name has no old file to keep: it may wait for the
    // caller's flush.
    if (Error == 0 && (L.Exists || When == Durability::EachFile))
        Error = posix::Flush(New.Fd());
    if (Error != 0)
        Fail(FileStage::Write, Path, Error);
    hooks::ContentsFlushed();

    // A name that was free is taken only while it still is; what took it meanwhile is replaced
    // as a file that was there would have been.
    Error = L.Exists ? EEXIST : New.PublishNew(L.Name.c_str());
    if (Error == EEXIST)
        Error = New.PublishOver(L.Name.c_str());
    New.Discard();
    if (Error != 0) {
        // A sticky folder (/tmp) refuses to replace another user's file that this user may write.
        if (posix::FolderRefuses(Error) && L.Exists && WriteInPlace(L, Path, Bytes))
            return;
        Fail(FileStage::Write, Path, Error);
    }
    // The new name itself on the disk.
    if (When == Durability::EachFile && L.FolderReadable && (Error = posix::Flush(L.Folder.Get())) != 0)
        Fail(FileStage::Write, Path, Error);
}

// Writes into what already exists at L and is not a regular file (a device, a named pipe, a
// terminal) or is an open file reached through /proc (/dev/stdout, /dev/fd/N): opened for
// writing and written in full, never created, truncated or replaced.
void WriteDirectly(Location& L, const std::string& Path, std::span<const unsigned char> Bytes, Durability When) {
    Descriptor File;
    if (const int Error = posix::OpenAt(L.Folder.Get(), L.Name.c_str(), O_WRONLY | O_NOCTTY, 0, File))
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
    int Error = posix::WriteQuietly(File.Get(), Bytes);
    if (Error == 0 && Regular)
        Error = posix::Flush(File.Get());
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
            if (Error == EAGAIN || Error == EWOULDBLOCK) {
                // Left non-blocking by whoever opened it: wait until it takes more.
                pollfd Ready{Fd, POLLOUT, 0};
                poll(&Ready, 1, -1);
                continue;
            }
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
    int Error = posix::OpenAt(AT_FDCWD, Path.empty() ? "." : Path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK, 0, File);
    if (Error == 0 && syncfs(File.Get()) != 0)
        Error = errno;
    if (Error != 0)
        return Cannot("flush the written files to the disk", Error);
    return {};
}

}  // namespace qrfiles
