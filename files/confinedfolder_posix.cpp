// The confined folder's files on POSIX systems: every path reached from the folder's descriptor,
// one folder at a time with O_NOFOLLOW, and every name looked at with AT_SYMLINK_NOFOLLOW just
// before it is taken, so that no symbolic link is followed and nothing but a regular file is ever
// opened or replaced.

#include "confinedfolder.h"

#include <cerrno>
#include <cwctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <system_error>

#include <fcntl.h>
#include <locale.h>
#include <sys/stat.h>
#include <unistd.h>

#include "descriptor.h"
#include "madefiles.h"
#include "posixfile.h"
#include "writefile.h"
#include "writehooks.h"
#include "text/textconv.h"

namespace qrfiles {

namespace {

std::string Quoted(std::string_view Path, std::string_view What) {
    std::string Text(1, '"');
    Text += Path;
    Text += "\" ";
    Text += What;
    return Text;
}

Failure FileFailure(FileStage Stage, const std::string& Path, int Error) {
    return {FileErrorText(Stage, FullPath(Path), ErrorText(Error))};
}

FileId IdOf(const struct stat& Status) {
    return {static_cast<std::uint64_t>(Status.st_dev), static_cast<std::uint64_t>(Status.st_ino)};
}

// C in capitals, as a file system that ignores case compares names: Unicode's simple mapping
// (glibc's C.UTF-8), or ASCII's where that locale is missing.
char32_t Capital(char32_t C) {
    static const locale_t Unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    if (Unicode)
        return static_cast<char32_t>(towupper_l(static_cast<wint_t>(C), Unicode));
    return C >= U'a' && C <= U'z' ? C - U'a' + U'A' : C;
}

// The identity of a path in a folder that ignores case, where each spelling of a name can have
// a number of its own (exfat-fuse gives them one): the folder's device, set apart from the
// numbers of its files, and the path below the confined folder in capitals, hashed (FNV-1a over
// the code points, then SplitMix64's finaliser). A byte that is not UTF-8 counts as itself.
FileId NameId(dev_t Device, std::string_view Path) {
    std::uint64_t H = 0xCBF29CE484222325ULL;
    for (std::size_t At = 0; At < Path.size();) {
        char32_t C;
        if (const auto One = qrtext::DecodeOne(Path, At)) {
            C = Capital(One->Value);
            At += One->Length;
        } else {
            C = 0x110000 + static_cast<unsigned char>(Path[At++]);
        }
        for (int Shift = 0; Shift < 32; Shift += 8) {
            H ^= (C >> Shift) & 0xFF;
            H *= 0x100000001B3ULL;
        }
    }
    H = (H ^ H >> 30) * 0xBF58476D1CE4E5B9ULL;
    H = (H ^ H >> 27) * 0x94D049BB133111EBULL;
    return {static_cast<std::uint64_t>(Device) | std::uint64_t{1} << 63, H ^ H >> 31};
}

// A row's folder, open, and the name its file takes there.
struct Spot {
    Descriptor Folder;
    std::string Name;
};

// What is at a spot's name.
struct Found {
    bool Exists = false;  // a regular file
    struct stat Status{};
    std::uint64_t Row = 0;  // the row of the run whose file it is, or 0
    FileId Id;              // what the run knows the file by, when it remembers
};

}  // namespace

struct ConfinedFiles::State {
    ConfinedFolder Confined;
    bool Remembers;

    std::once_flag Opened;
    Descriptor Root;
    std::optional<Failure> RootFailure;

    // Taken while a name is looked at and then taken, so that two rows of the run never both find
    // a name free or another's file replaceable; and while the files made are looked up.
    std::mutex Lock;
    MadeFiles Made;
    // The folders the files went to, and whether each ignores case: there the run knows its files
    // by their paths in capitals, since the file system takes every spelling for one name.
    std::map<std::pair<dev_t, ino_t>, bool> IgnoresCase;

    State(ConfinedFolder Folder, bool Remember) : Confined(std::move(Folder)), Remembers(Remember) {}

    // The folder, opened the first time it is needed (and made when missing); the path to it is
    // the user's, followed as the system follows it.
    Result<int> OpenRoot() {
        std::call_once(Opened, [this] {
            const std::string& Folder = Confined.Folder();
            const char* Path = Folder.empty() ? "." : Folder.c_str();
            int Error = posix::OpenAt(AT_FDCWD, Path, O_PATH | O_DIRECTORY, 0, Root);
            if (Error == ENOENT) {
                std::error_code Made;
                std::filesystem::create_directories(Folder, Made);
                Error = posix::OpenAt(AT_FDCWD, Path, O_PATH | O_DIRECTORY, 0, Root);
                if (Error != 0 && Made)
                    Error = Made.value();
            }
            if (Error != 0)
                RootFailure = Cannot(Error == ENOENT || Error == ENOTDIR ? "create the folder" : "open the folder", Folder,
                                     Error);
        });
        if (RootFailure)
            return *RootFailure;
        return Root.Get();
    }

    // Opens the folders of Path below the folder one at a time, never through a link, making the
    // missing ones; gives the last folder and the name in it.
    Result<Spot> Descend(const std::string& Path) {
        auto Top = OpenRoot();
        if (!Top)
            return Top.TakeFailure();
        Spot Where;
        int Current = *Top;
        for (std::size_t Start = Confined.Folder().size();;) {
            const std::size_t Slash = Path.find('/', Start);
            if (Slash == std::string::npos) {
                Where.Name = Path.substr(Start);
                return Where;
            }
            const std::string Part = Path.substr(Start, Slash - Start), SoFar = Path.substr(0, Slash);
            Descriptor Next;
            int Error = posix::OpenAt(Current, Part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW, 0, Next);
            if (Error == ENOENT) {
                if (mkdirat(Current, Part.c_str(), 0777) != 0 && errno != EEXIST)
                    return Cannot("create the folder", SoFar, errno);
                Error = posix::OpenAt(Current, Part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW, 0, Next);
            }
            if (Error != 0) {
                struct stat Status{};
                if (fstatat(Current, Part.c_str(), &Status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(Status.st_mode))
                    return Failure{Quoted(SoFar, "is a symbolic link")};
                if (Error == ENOTDIR)
                    return Failure{"cannot create the folder " + Quoted(SoFar, "(a file of that name is in the way)")};
                return Cannot("open the folder", SoFar, Error);
            }
            Where.Folder = std::move(Next);
            Current = Where.Folder.Get();
            Start = Slash + 1;
        }
    }

    static int FolderOf(const Spot& Where, int Root) { return Where.Folder ? Where.Folder.Get() : Root; }

    // What the run knows File at Path in Folder by: its number on the disk, or where the folder
    // ignores case, its path in capitals. Called with the lock held.
    FileId IdentityOf(int Folder, const std::string& Path, const struct stat& File) {
        struct stat Here{};
        if (fstat(Folder, &Here) != 0)
            return IdOf(File);
        const auto [At, New] = IgnoresCase.try_emplace({Here.st_dev, Here.st_ino}, false);
        if (New)
            At->second = posix::IgnoresCase(Folder);
        if (!At->second)
            return IdOf(File);
        return NameId(Here.st_dev, std::string_view(Path).substr(Confined.Folder().size()));
    }

    // What is at the spot's name: nothing, a regular file (and whose, when it is one of the
    // run's), or the reason it cannot be written. Called with the lock held when Remembers.
    Result<Found> LookAt(int Folder, const std::string& Name, const std::string& Path) {
        Found F;
        if (fstatat(Folder, Name.c_str(), &F.Status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                return F;
            return FileFailure(FileStage::Create, Path, errno);
        }
        if (S_ISLNK(F.Status.st_mode))
            return Failure{Quoted(Path, "is a symbolic link")};
        if (!S_ISREG(F.Status.st_mode))
            return Failure{Quoted(Path, "exists and is not a regular file")};
        F.Exists = true;
        if (Remembers) {
            F.Id = IdentityOf(Folder, Path, F.Status);
            F.Row = Made.Find(F.Id);
        }
        return F;
    }

    Result<Found> LookAtLocked(int Folder, const std::string& Name, const std::string& Path) {
        const std::lock_guard Held(Lock);
        return LookAt(Folder, Name, Path);
    }
};

ConfinedFiles::ConfinedFiles(ConfinedFolder Folder, bool Remembers)
    : FState(std::make_unique<State>(std::move(Folder), Remembers)) {}

ConfinedFiles::~ConfinedFiles() = default;

const ConfinedFolder& ConfinedFiles::Folder() const { return FState->Confined; }

Result<Placed> ConfinedFiles::Prepare(const std::string& Path, std::uint64_t Row) {
    State& S = *FState;
    auto Where = S.Descend(Path);
    if (!Where)
        return Where.TakeFailure();
    const int Folder = State::FolderOf(*Where, S.Root.Get());
    auto What = S.LookAtLocked(Folder, Where->Name, Path);
    if (!What)
        return What.TakeFailure();
    Placed P;
    P.Exists = What->Exists;
    if (What->Row != 0 && What->Row < Row)
        P.Earlier = What->Row;
    else
        hooks::PathChecked();
    return P;
}

Result<Placed> ConfinedFiles::Save(const std::string& Path, std::span<const unsigned char> Bytes, std::uint64_t Row) {
    State& S = *FState;
    auto Where = S.Descend(Path);
    if (!Where)
        return Where.TakeFailure();
    const int Folder = State::FolderOf(*Where, S.Root.Get());
    const char* Name = Where->Name.c_str();
    auto Before = S.LookAtLocked(Folder, Where->Name, Path);
    if (!Before)
        return Before.TakeFailure();
    Placed P;
    if (Before->Row != 0 && Before->Row < Row) {
        P.Earlier = Before->Row;
        return P;
    }
    P.Exists = Before->Exists;
    // A file the user may not write is not replaced, as a shell's > would not open it.
    if (P.Exists)
        if (const int Error = posix::MayReplace(Folder, Name))
            return FileFailure(FileStage::Create, Path, Error);

    // The same steps as the plain writer's: a private file until it has the old one's owner and
    // permissions, on the disk before it replaces a file.
    posix::Replacement New(Folder);
    if (const int Error = New.Create(P.Exists ? 0600 : 0666, hooks::NamedTemporary())) {
        New.Discard();
        if (!posix::FolderRefuses(Error) || !P.Exists)
            return FileFailure(FileStage::Create, Path, Error);
        // A folder that refuses new names but a file that may be written: overwritten in place.
        bool Opened = false;
        if (const int WriteError = posix::WriteInPlace(Folder, Name, Before->Status, Bytes, Opened))
            return FileFailure(FileStage::Write, Path, WriteError);
        if (!Opened)
            return FileFailure(FileStage::Create, Path, Error);
        if (S.Remembers) {
            const std::lock_guard Held(S.Lock);
            S.Made.Add(S.IdentityOf(Folder, Path, Before->Status), Row);
        }
        return P;
    }
    if (P.Exists)
        posix::KeepOwnerAndMode(New.Fd(), Before->Status);
    int Error = posix::WriteQuietly(New.Fd(), Bytes);
    if (Error == 0 && P.Exists)
        Error = posix::Flush(New.Fd());
    struct stat Mine{};
    if (Error == 0 && fstat(New.Fd(), &Mine) != 0)
        Error = errno;
    if (Error != 0)
        return FileFailure(FileStage::Write, Path, Error);
    hooks::ContentsFlushed();

    // The name as it is now decides: free, it is taken only while it stays free; a regular file
    // that is not an earlier row's is replaced; anything else fails the row.
    const std::lock_guard Held(S.Lock);
    for (int Attempt = 0;; ++Attempt) {
        auto Now = S.LookAt(Folder, Where->Name, Path);
        if (!Now)
            return Now.TakeFailure();
        if (Now->Row != 0 && Now->Row < Row) {
            P = {};
            P.Earlier = Now->Row;
            return P;
        }
        if (!Now->Exists) {
            Error = New.PublishNew(Name);
            if (Error == EEXIST && Attempt < 3)
                continue;  // taken meanwhile: looked at again
            if (Error != 0)
                return FileFailure(FileStage::Write, Path, Error);
            break;
        }
        if (!P.Exists) {
            // A file that appeared since the name was looked at is replaced as one that was there.
            if ((Error = posix::MayReplace(Folder, Name)) != 0)
                return FileFailure(FileStage::Create, Path, Error);
            posix::KeepOwnerAndMode(New.Fd(), Now->Status);
            if ((Error = posix::Flush(New.Fd())) != 0)
                return FileFailure(FileStage::Write, Path, Error);
            P.Exists = true;
        }
        Error = New.PublishOver(Name);
        if (Error != 0) {
            // A sticky folder (/tmp) refuses to replace another user's file that this user may write.
            New.Discard();
            bool Opened = false;
            if (posix::FolderRefuses(Error)) {
                if (const int WriteError = posix::WriteInPlace(Folder, Name, Now->Status, Bytes, Opened))
                    return FileFailure(FileStage::Write, Path, WriteError);
                Mine = Now->Status;
            }
            if (!Opened)
                return FileFailure(FileStage::Write, Path, Error);
        }
        if (Now->Row != 0) {
            S.Made.Remove(Now->Id);
            P.Displaced = Now->Row;
        }
        break;
    }
    if (S.Remembers)
        S.Made.Add(S.IdentityOf(Folder, Path, Mine), Row);
    return P;
}

}  // namespace qrfiles
