// The confined folder's files on Windows. The folder is opened once and held, and every folder
// below it is opened by its path from the one above, the link or junction itself rather than
// what it leads to (FILE_FLAG_OPEN_REPARSE_POINT), and held while the row's file is made, without
// delete sharing, so that no one can rename or replace it meanwhile. A reparse point is refused,
// and so is anything the system places elsewhere than directly in the folder above (a link the
// system follows without showing it as one, as Wine's links to the host's folders): each folder,
// each name and each new file is checked by its final path. Files are known by their identity
// (the volume's serial number and the file's index), which every spelling of a name that NTFS,
// FAT and exFAT take for one leads to.

#include "confinedfolder.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>

#include "madefiles.h"
#include "win32file.h"
#include "writefile.h"
#include "writehooks.h"

namespace qrfiles {

namespace {

using win32::Information;
using win32::UniqueHandle;

std::string Quoted(std::string_view Path, std::string_view What) {
    std::string Text(1, '"');
    Text += Path;
    Text += "\" ";
    Text += What;
    return Text;
}

Failure FileFailure(FileStage Stage, const std::string& Path, DWORD Error) {
    return {FileErrorText(Stage, FullPath(Path), win32::SystemText(Error))};
}

Failure LinkFailure(std::string_view Path) { return {Quoted(Path, "is a symbolic link or a junction")}; }

bool Missing(DWORD Error) { return Error == ERROR_FILE_NOT_FOUND || Error == ERROR_PATH_NOT_FOUND; }

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens what is at Path itself, a link or junction too, to look at it.
UniqueHandle OpenEntry(const std::wstring& Path, DWORD Access, DWORD Share) {
    return win32::Own(CreateFileW(Path.c_str(), Access, Share, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
}

// An open folder, held without delete sharing, and its final path.
struct OpenFolder {
    UniqueHandle Handle;
    std::wstring Path;
};

// Opens the folder at Path to make files in it, so that it cannot be renamed or removed while it
// is held.
UniqueHandle HoldFolder(const std::wstring& Path, DWORD Flags) {
    return win32::Own(CreateFileW(Path.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS | Flags, nullptr));
}

// A row's folder, open, and the name its file takes there.
struct Spot {
    OpenFolder Folder;    // empty for the confined folder itself
    std::wstring Name;
    std::wstring Full;    // the folder's final path and the name
};

// What is at a spot's name.
struct Found {
    bool Exists = false;  // a regular file
    DWORD Attributes = 0;
    std::uint64_t Row = 0;  // the row of the run whose file it is, or 0
    FileId Id;
};

// A new file beside the name it will take, deleted unless Keep() is called.
class Temporary {
public:
    Temporary() = default;
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;
    ~Temporary() {
        Handle.reset();
        if (!Path.empty())
            DeleteFileW(Path.c_str());
    }

    // Creates it in Folder under a short name of its own. 0 or the error of the last attempt.
    DWORD Create(const std::wstring& Folder) {
        static LONG Counter = 0;
        DWORD Error = 0;
        for (int Attempt = 0; Attempt < 100; ++Attempt) {
            const unsigned long long Tag =
                GetTickCount64() ^ (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                static_cast<unsigned long long>(InterlockedIncrement(&Counter));
            std::wstring Name = Folder + L"\\.qr-" + std::to_wstring(Tag % 1000000000ull) + L".tmp";
            // Kept open until it takes a free name, shared only for reading and for that rename,
            // so that no one else writes to it meanwhile.
            HANDLE File = CreateFileW(Name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (File != INVALID_HANDLE_VALUE) {
                Path = std::move(Name);
                Handle = win32::Own(File);
                return 0;
            }
            Error = GetLastError();
            if (Error != ERROR_FILE_EXISTS && Error != ERROR_ALREADY_EXISTS)
                return Error;
        }
        return Error;
    }
    void Keep() { Path.clear(); }

    std::wstring Path;
    UniqueHandle Handle;
};

}  // namespace

struct ConfinedFiles::State {
    ConfinedFolder Confined;
    bool Remembers;

    std::once_flag Opened;
    OpenFolder Root;
    std::optional<Failure> RootFailure;

    // Taken while a name is looked at and then taken, so that two rows of the run never both find
    // a name free or another's file replaceable; and while the files made are looked up.
    std::mutex Lock;
    MadeFiles Made;

    State(ConfinedFolder Folder, bool Remember) : Confined(std::move(Folder)), Remembers(Remember) {}

    // The folder, opened the first time it is needed (and made when missing); the path to it is
    // the user's, followed as the system follows it.
    Result<const OpenFolder*> OpenRoot() {
        std::call_once(Opened, [this] {
            const std::string& Folder = Confined.Folder();
            const auto Wide = win32::Widen(Folder.empty() ? std::string(".") : Folder);
            if (!Wide) {
                RootFailure = win32::Cannot("open the folder", Folder, ERROR_NO_UNICODE_TRANSLATION);
                return;
            }
            Root.Handle = HoldFolder(*Wide, 0);
            DWORD Error = Root.Handle ? 0 : GetLastError();
            if (Missing(Error)) {
                std::error_code Made;
                std::filesystem::create_directories(std::filesystem::path(*Wide), Made);
                Root.Handle = HoldFolder(*Wide, 0);
                Error = Root.Handle ? 0 : GetLastError();
            }
            if (Error == 0) {
                const auto Info = win32::InformationOf(Root.Handle.get());
                if (!Info || !(Info->Attributes & FILE_ATTRIBUTE_DIRECTORY))
                    Error = ERROR_DIRECTORY;
                else if ((Root.Path = win32::FinalPath(Root.Handle.get())).empty())
                    Error = GetLastError();
                // A drive's root ends in its separator; the names are joined to it with one.
                while (!Root.Path.empty() && Root.Path.back() == L'\\') Root.Path.pop_back();
            }
            if (Error != 0)
                RootFailure = win32::Cannot(Missing(Error) || Error == ERROR_DIRECTORY ? "create the folder" : "open the folder",
                                            Folder, Error);
        });
        if (RootFailure)
            return *RootFailure;
        return &Root;
    }

    // Opens the folders of Path below the folder one at a time, never through a link or junction,
    // making the missing ones; gives the last folder and the name in it.
    Result<Spot> Descend(const std::string& Path) {
        auto Top = OpenRoot();
        if (!Top)
            return Top.TakeFailure();
        Spot Where;
        const OpenFolder* Current = *Top;
        for (std::size_t Start = Confined.Folder().size();;) {
            const std::size_t Slash = Path.find_first_of(kSeparators, Start);
            const auto Part = win32::Widen(std::string_view(Path).substr(Start, Slash - Start));
            if (!Part)
                return FileFailure(FileStage::Create, Path, ERROR_NO_UNICODE_TRANSLATION);
            if (Slash == std::string::npos) {
                Where.Name = *Part;
                Where.Full = Current->Path + L"\\" + *Part;
                return Where;
            }
            const std::string SoFar = Path.substr(0, Slash);
            const std::wstring Child = Current->Path + L"\\" + *Part;
            OpenFolder Next;
            Next.Handle = HoldFolder(Child, FILE_FLAG_OPEN_REPARSE_POINT);
            DWORD Error = Next.Handle ? 0 : GetLastError();
            if (Missing(Error)) {
                if (!CreateDirectoryW(Child.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
                    return win32::Cannot("create the folder", SoFar, GetLastError());
                Next.Handle = HoldFolder(Child, FILE_FLAG_OPEN_REPARSE_POINT);
                Error = Next.Handle ? 0 : GetLastError();
            }
            if (Error != 0)
                return win32::Cannot("open the folder", SoFar, Error);
            const auto Info = win32::InformationOf(Next.Handle.get());
            if (!Info)
                return win32::Cannot("open the folder", SoFar, GetLastError());
            if (Info->Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
                return LinkFailure(SoFar);
            if (!(Info->Attributes & FILE_ATTRIBUTE_DIRECTORY))
                return Failure{"cannot create the folder " + Quoted(SoFar, "(a file of that name is in the way)")};
            Next.Path = win32::FinalPath(Next.Handle.get());
            if (!win32::DirectlyIn(Next.Path, Current->Path))
                return LinkFailure(SoFar);
            Where.Folder = std::move(Next);
            Current = &Where.Folder;
            Start = Slash + 1;
        }
    }

    // What is at the spot's name: nothing, a regular file (and whose, when it is one of the
    // run's), or the reason it cannot be written. Called with the lock held when Remembers.
    Result<Found> LookAt(const Spot& Where, const std::string& Path) {
        Found F;
        const UniqueHandle Entry = OpenEntry(Where.Full, FILE_READ_ATTRIBUTES, kShareAll);
        if (!Entry) {
            const DWORD Error = GetLastError();
            if (Missing(Error))
                return F;
            return FileFailure(FileStage::Create, Path, Error);
        }
        const auto Info = win32::InformationOf(Entry.get());
        if (!Info)
            return FileFailure(FileStage::Create, Path, GetLastError());
        if (Info->Attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            return LinkFailure(Path);
        if ((Info->Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) || GetFileType(Entry.get()) != FILE_TYPE_DISK)
            return Failure{Quoted(Path, "exists and is not a regular file")};
        if (!win32::DirectlyIn(win32::FinalPath(Entry.get()), FolderPath(Where)))
            return LinkFailure(Path);
        F.Exists = true;
        F.Attributes = Info->Attributes;
        F.Id = Info->Id;
        if (Remembers)
            F.Row = Made.Find(F.Id);
        return F;
    }

    Result<Found> LookAtLocked(const Spot& Where, const std::string& Path) {
        const std::lock_guard Held(Lock);
        return LookAt(Where, Path);
    }

    const std::wstring& FolderPath(const Spot& Where) const { return Where.Folder.Handle ? Where.Folder.Path : Root.Path; }

    // The identity of the file that now has the spot's name, when it is the one this run put
    // there; called with the lock held.
    void Remember(const Spot& Where, std::uint64_t Row) {
        if (!Remembers)
            return;
        const UniqueHandle Entry = OpenEntry(Where.Full, FILE_READ_ATTRIBUTES, kShareAll);
        if (const auto Info = Entry ? win32::InformationOf(Entry.get()) : std::nullopt)
            Made.Add(Info->Id, Row);
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
    auto What = S.LookAtLocked(*Where, Path);
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
    auto Before = S.LookAtLocked(*Where, Path);
    if (!Before)
        return Before.TakeFailure();
    Placed P;
    if (Before->Row != 0 && Before->Row < Row) {
        P.Earlier = Before->Row;
        return P;
    }
    P.Exists = Before->Exists;
    // A read-only file is not replaced, as it could not be opened for writing.
    if (P.Exists && (Before->Attributes & FILE_ATTRIBUTE_READONLY))
        return FileFailure(FileStage::Create, Path, ERROR_ACCESS_DENIED);

    // The Windows writer's steps: a new file beside the name, written and flushed (Windows has no
    // flush of a whole volume for a user without administrator rights), then renamed to it.
    const std::wstring& Folder = S.FolderPath(*Where);
    Temporary New;
    if (const DWORD Error = New.Create(Folder))
        return FileFailure(FileStage::Create, Path, Error);
    // Made where it was asked for, not through a link the system followed unseen.
    if (!win32::DirectlyIn(win32::FinalPath(New.Handle.get()), Folder))
        return LinkFailure(Path);
    DWORD Error = win32::WriteHandle(New.Handle.get(), Bytes);
    if (Error == 0 && !FlushFileBuffers(New.Handle.get()))
        Error = GetLastError();
    if (Error != 0)
        return FileFailure(FileStage::Write, Path, Error);
    hooks::ContentsFlushed();

    // The name as it is now decides: free, it is taken only while it stays free; a regular file
    // that is not an earlier row's is replaced; anything else fails the row.
    const std::lock_guard Held(S.Lock);
    for (int Attempt = 0;; ++Attempt) {
        auto Now = S.LookAt(*Where, Path);
        if (!Now)
            return Now.TakeFailure();
        if (Now->Row != 0 && Now->Row < Row) {
            P = {};
            P.Earlier = Now->Row;
            return P;
        }
        if (!Now->Exists) {
            if (!MoveFileExW(New.Path.c_str(), Where->Full.c_str(), MOVEFILE_WRITE_THROUGH)) {
                Error = GetLastError();
                if ((Error == ERROR_ALREADY_EXISTS || Error == ERROR_FILE_EXISTS) && Attempt < 3)
                    continue;  // taken meanwhile: looked at again
                return FileFailure(FileStage::Write, Path, Error);
            }
            break;
        }
        if (Now->Attributes & FILE_ATTRIBUTE_READONLY)
            return FileFailure(FileStage::Create, Path, ERROR_ACCESS_DENIED);
        P.Exists = true;
        // ReplaceFileW keeps the old file's attributes on Windows but not under Wine: the
        // replacement carries them itself.
        SetFileAttributesW(New.Path.c_str(), Now->Attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                                FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED));
        // A file that another program holds open without delete sharing cannot be replaced: asked
        // first, so that ReplaceFileW is not left to fail half-way.
        if (!OpenEntry(Where->Full, DELETE, kShareAll))
            return FileFailure(FileStage::Create, Path, GetLastError());
        // ReplaceFileW opens the replacement to write to it: closed first.
        New.Handle.reset();
        if (!ReplaceFileW(Where->Full.c_str(), New.Path.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
            Error = GetLastError();
            if (Missing(Error) && Attempt < 3)
                continue;  // gone meanwhile: the name is free now
            return FileFailure(FileStage::Create, Path, Error);
        }
        if (Now->Row != 0) {
            S.Made.Remove(Now->Id);
            P.Displaced = Now->Row;
        }
        break;
    }
    New.Keep();
    New.Handle.reset();
    S.Remember(*Where, Row);
    return P;
}

}  // namespace qrfiles
