#include "posixfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <pthread.h>
#include <sys/random.h>
#include <unistd.h>

#include "writefile.h"
#include "writehooks.h"

namespace qrfiles::posix {

namespace {

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

// Errors of a file system that has no hard links (FAT, and so link(2) cannot give a second name).
bool NoHardLinks(int Error) { return Error == EPERM || Error == EOPNOTSUPP || Error == EMLINK || Error == ENOSYS; }

}  // namespace

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

BlockedSignals::BlockedSignals(const sigset_t& Set) { pthread_sigmask(SIG_BLOCK, &Set, &FOld); }

BlockedSignals::~BlockedSignals() { pthread_sigmask(SIG_SETMASK, &FOld, nullptr); }

sigset_t CatchableSignals() {
    sigset_t All;
    sigfillset(&All);
    for (int Fault : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS, SIGABRT})
        sigdelset(&All, Fault);
    return All;
}

int WriteQuietly(int Fd, std::span<const unsigned char> Bytes) {
    sigset_t Signals, Before, Old;
    sigemptyset(&Signals);
    sigaddset(&Signals, SIGPIPE);
    sigaddset(&Signals, SIGXFSZ);
    sigpending(&Before);
    pthread_sigmask(SIG_BLOCK, &Signals, &Old);
    const int Error = WriteAll(Fd, Bytes);
    // Takes off what this write raised; a signal that was already waiting stays.
    sigset_t Pending;
    sigpending(&Pending);
    const timespec Now{};
    for (int Signal : {SIGPIPE, SIGXFSZ})
        if (sigismember(&Pending, Signal) && !sigismember(&Before, Signal)) {
            sigset_t One;
            sigemptyset(&One);
            sigaddset(&One, Signal);
            sigtimedwait(&One, nullptr, &Now);
        }
    pthread_sigmask(SIG_SETMASK, &Old, nullptr);
    return Error;
}

int Flush(int Fd) {
    while (fsync(Fd) != 0) {
        const int Error = errno;
        if (Error == EINTR)
            continue;
        return Error == EINVAL ? 0 : Error;
    }
    return 0;
}

bool FolderRefuses(int Error) { return Error == EACCES || Error == EPERM; }

int MayReplace(int Folder, const char* Name) {
    return faccessat(Folder, Name, W_OK, AT_EACCESS | AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

bool IgnoresCase(int Folder) {
    const HeldSignals Held;
    const std::string Name = TemporaryName();
    Descriptor Probe;
    if (OpenAt(Folder, Name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_NOFOLLOW, 0600, Probe) != 0)
        return false;
    std::string Capitals = Name;
    for (char& C : Capitals)
        if (C >= 'a' && C <= 'z')
            C = static_cast<char>(C - 'a' + 'A');
    struct stat Status{};
    const bool Found = fstatat(Folder, Capitals.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0;
    unlinkat(Folder, Name.c_str(), 0);
    return Found;
}

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

int WriteInPlace(int Folder, const char* Name, const struct stat& Seen, std::span<const unsigned char> Bytes,
                 bool& Opened) {
    Opened = false;
    Descriptor File;
    // O_NONBLOCK: a named pipe put there meanwhile does not wait for a reader.
    if (OpenAt(Folder, Name, O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_NONBLOCK, 0, File) != 0)
        return 0;
    struct stat Now{};
    if (fstat(File.Get(), &Now) != 0 || !S_ISREG(Now.st_mode) || Now.st_dev != Seen.st_dev ||
        Now.st_ino != Seen.st_ino)
        return 0;
    Opened = true;
    int Error = WriteQuietly(File.Get(), Bytes);
    if (Error == 0 && ftruncate(File.Get(), static_cast<off_t>(Bytes.size())) != 0)
        Error = errno;
    if (Error == 0)
        Error = Flush(File.Get());
    if (Error == 0)
        Error = File.Close();
    return Error;
}

int Replacement::Create(mode_t Mode, bool Named) {
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

int Replacement::Name() {
    FHeld.emplace();
    for (int Attempt = 0;; ++Attempt) {
        std::string Candidate = TemporaryName();
        const int Error = LinkUnnamed(FFile.Get(), FFolder, Candidate.c_str());
        if (Error == 0) {
            FName = std::move(Candidate);
            return 0;
        }
        if (Error != EEXIST || Attempt == 100)
            return Error;
    }
}

int Replacement::PublishNew(const char* Target) {
    if (FName.empty())
        return LinkUnnamed(FFile.Get(), FFolder, Target);
    hooks::BeforeRename();
    if (renameat2(FFolder, FName.c_str(), FFolder, Target, RENAME_NOREPLACE) == 0) {
        FName.clear();
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // The file system cannot rename without replacing: a second name, then the temporary one gone.
    if (linkat(FFolder, FName.c_str(), FFolder, Target, 0) == 0) {
        unlinkat(FFolder, FName.c_str(), 0);
        FName.clear();
        return 0;
    }
    if (!NoHardLinks(errno))
        return errno;
    struct stat Status{};
    if (fstatat(FFolder, Target, &Status, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    if (errno != ENOENT)
        return errno;
    if (renameat(FFolder, FName.c_str(), FFolder, Target) != 0)
        return errno;
    FName.clear();
    return 0;
}

int Replacement::PublishOver(const char* Target) {
    if (FName.empty())
        if (const int Error = Name())
            return Error;
    hooks::BeforeRename();
    if (renameat(FFolder, FName.c_str(), FFolder, Target) != 0)
        return errno;
    FName.clear();
    return 0;
}

void Replacement::Discard() {
    if (!FName.empty())
        unlinkat(FFolder, FName.c_str(), 0);
    FName.clear();
    FFile.Close();
    FHeld.reset();
}

}  // namespace qrfiles::posix
