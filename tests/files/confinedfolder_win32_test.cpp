// The confined folder on Windows against what a hostile list and a hostile user put in its way:
// names that Windows reads as drives, devices, data streams or other names; a link planted where
// a folder or the file would go (under Wine, a link of the host's, which Wine follows without
// showing it as one: only the final-path check can see it); a folder or a read-only file at the
// name; and one name in two spellings, which NTFS takes for one file. Run under Wine.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "confinedfolder.h"
#include "heldwriter.h"
#include "win32folder.h"

namespace {

std::string Narrow(const std::wstring& Wide) {
    const int Length = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string Text(static_cast<std::size_t>(Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), Text.data(), Length, nullptr, nullptr);
    return Text;
}

std::wstring Widen(const std::string& Text) {
    const int Length = MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), nullptr, 0);
    std::wstring Wide(static_cast<std::size_t>(Length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, Text.data(), static_cast<int>(Text.size()), Wide.data(), Length);
    return Wide;
}

std::span<const unsigned char> Bytes(const std::string& Text) {
    return {reinterpret_cast<const unsigned char*>(Text.data()), Text.size()};
}

struct NameCase {
    const char* Rest;
    const char* Fails;  // a part of the message; nullptr when the path stays in the folder
};

TEST(WinConfinedNames, WhatWindowsWouldReadAsAnotherFileIsRefused) {
    const NameCase Cases[] = {
        {"ok.png", nullptr},
        {"sub\\ok.png", nullptr},
        {"CONSOLE.png", nullptr},
        {"COM0.png", nullptr},
        {"com10", nullptr},
        {"CON", "keeps for a device"},
        {"con.png", "keeps for a device"},
        {"Nul .tar.gz", "keeps for a device"},
        {"aux", "keeps for a device"},
        {"sub/PRN.svg", "keeps for a device"},
        {"COM1.png", "keeps for a device"},
        {"lpt9", "keeps for a device"},
        {"COM\u00b9.png", "keeps for a device"},
        {"CONIN$", "keeps for a device"},
        {"x.png:hidden", "':'"},
        {"C:x.png", "':'"},
        {"x.png::$DATA", "':'"},
        {"dot.", "ending in a dot or a space"},
        {"space ", "ending in a dot or a space"},
        {"folder./x.png", "ending in a dot or a space"},
        {"a<b", "'<'"},
        {"a|b", "'|'"},
        {"a?b", "'?'"},
        {"a*b", "'*'"},
        {"a\"b", "'\"'"},
        {"tab\there", "control character"},
        {"..\\x.png", "\"..\""},
        {"sub\\..\\..\\x.png", "\"..\""},
        {"\\\\server\\share\\x.png", "an empty file or folder name"},
        {"\\x.png", "an empty file or folder name"},
    };
    const qrfiles::ConfinedFolder Folder("out/");
    for (const NameCase& C : Cases) {
        const auto Path = Folder.PathOf(C.Rest);
        if (!C.Fails) {
            EXPECT_TRUE(Path) << C.Rest << ": " << Path.Error();
            continue;
        }
        ASSERT_FALSE(Path) << C.Rest << " gave " << *Path;
        EXPECT_NE(Path.Error().find(C.Fails), std::string::npos) << C.Rest << ": " << Path.Error();
    }
}

class WinConfined : public testing::Test {
protected:
    void SetUp() override {
        Root = testsupport::NewTemporaryFolder(L"quandrel-confined");
        ASSERT_FALSE(Root.empty());
        ASSERT_TRUE(CreateDirectoryW((Root + L"\\out").c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((Root + L"\\outside").c_str(), nullptr));
    }
    // The host's rm, which removes the links the test planted as links, never what they lead to.
    void TearDown() override {
        RunHost(L"Z:\\bin\\rm", L"/bin/rm -rf " + UnixName(Root));
        for (int Tries = 0; Tries < 100 && GetFileAttributesW(Root.c_str()) != INVALID_FILE_ATTRIBUTES; ++Tries) Sleep(50);
        EXPECT_EQ(GetFileAttributesW(Root.c_str()), INVALID_FILE_ATTRIBUTES) << "the test's folder stayed";
    }

    // The host's name for Path, a Windows path.
    static std::wstring UnixName(const std::wstring& Path) {
        using ToUnix = char* (*)(const wchar_t*);
        const auto Convert = reinterpret_cast<ToUnix>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
        if (!Convert)
            return {};
        char* Name = Convert(Path.c_str());
        if (!Name)
            return {};
        std::wstring Wide = Widen(Name);
        HeapFree(GetProcessHeap(), 0, Name);
        return Wide;
    }

    // Starts a program of the host's (Wine runs one without a process to wait for).
    static void RunHost(const wchar_t* Program, std::wstring Command) {
        STARTUPINFOW Startup{};
        Startup.cb = sizeof Startup;
        PROCESS_INFORMATION Process{};
        ASSERT_TRUE(CreateProcessW(Program, Command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &Startup, &Process));
        CloseHandle(Process.hProcess);
        CloseHandle(Process.hThread);
    }

    // Plants a link of the host's at Link (below the root) to Target: Wine has no links of its own
    // (its CreateSymbolicLinkW makes none), so the host's ln makes it, as a user of the machine
    // would.
    void PlantLink(const std::wstring& Target, const std::wstring& Link) {
        const std::wstring Folder = UnixName(Link.substr(0, Link.rfind(L'\\'))), To = UnixName(Target);
        ASSERT_FALSE(Folder.empty() || To.empty()) << "not under Wine";
        RunHost(L"Z:\\bin\\ln", L"/bin/ln -s " + To + L" " + Folder + L"/" + Link.substr(Link.rfind(L'\\') + 1));
        for (int Tries = 0; Tries < 100 && GetFileAttributesW(Link.c_str()) == INVALID_FILE_ATTRIBUTES; ++Tries) Sleep(50);
        ASSERT_NE(GetFileAttributesW(Link.c_str()), INVALID_FILE_ATTRIBUTES) << "no link made";
    }

    std::vector<std::wstring> Names(const std::wstring& Folder) const {
        return testsupport::NamesIn(Folder);
    }

    static std::string Read(const std::wstring& Path) {
        HANDLE File = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (File == INVALID_HANDLE_VALUE)
            return "(none)";
        std::string Bytes(1 << 16, '\0');
        DWORD Got = 0;
        ReadFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Got, nullptr);
        CloseHandle(File);
        Bytes.resize(Got);
        return Bytes;
    }

    static void Write(const std::wstring& Path, const std::string& Text) {
        HANDLE File = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE);
        DWORD Put = 0;
        WriteFile(File, Text.data(), static_cast<DWORD>(Text.size()), &Put, nullptr);
        CloseHandle(File);
    }

    // The folder "out" of the test's root, as a template's folder with '/' gives it.
    qrfiles::ConfinedFolder Out() const { return qrfiles::ConfinedFolder(Narrow(Root) + "\\out/"); }

    std::string PathOf(const std::string& Rest) const {
        const auto Path = Out().PathOf(Rest);
        EXPECT_TRUE(Path) << Path.Error();
        return Path ? *Path : std::string();
    }

    std::wstring Root;
};

TEST_F(WinConfined, NewFilesInFoldersItMakesAndReplacedFilesLeaveNoTemporary) {
    qrfiles::ConfinedFiles Files(Out(), true);
    const auto New = Files.Save(PathOf("a/b\\x.png"), Bytes("one"), 1);
    ASSERT_TRUE(New) << New.Error();
    EXPECT_FALSE(New->Exists);
    EXPECT_EQ(Read(Root + L"\\out\\a\\b\\x.png"), "one");

    Write(Root + L"\\out\\old.png", "old");
    ASSERT_TRUE(SetFileAttributesW((Root + L"\\out\\old.png").c_str(), FILE_ATTRIBUTE_HIDDEN));
    const auto Ready = Files.Prepare(PathOf("old.png"), 2);
    ASSERT_TRUE(Ready) << Ready.Error();
    EXPECT_TRUE(Ready->Exists);
    const auto Replaced = Files.Save(PathOf("old.png"), Bytes("two"), 2);
    ASSERT_TRUE(Replaced) << Replaced.Error();
    EXPECT_TRUE(Replaced->Exists);
    EXPECT_EQ(Read(Root + L"\\out\\old.png"), "two");
    EXPECT_TRUE(GetFileAttributesW((Root + L"\\out\\old.png").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Names(Root + L"\\out"), (std::vector<std::wstring>{L"a", L"old.png"}));
    EXPECT_EQ(Names(Root + L"\\out\\a\\b"), std::vector<std::wstring>{L"x.png"});

    // The folder is made when missing, with the folders on the way.
    qrfiles::ConfinedFiles Deeper(qrfiles::ConfinedFolder(Narrow(Root) + "\\made\\here/"), false);
    ASSERT_TRUE(Deeper.Save(Narrow(Root) + "\\made\\here/x.png", Bytes("x"), 1));
    EXPECT_EQ(Read(Root + L"\\made\\here\\x.png"), "x");
}

TEST_F(WinConfined, WhatIsInTheWayFailsTheRowAndChangesNothing) {
    ASSERT_TRUE(CreateDirectoryW((Root + L"\\out\\folder.png").c_str(), nullptr));
    Write(Root + L"\\out\\file", "a file");
    Write(Root + L"\\out\\read-only.png", "old");
    ASSERT_TRUE(SetFileAttributesW((Root + L"\\out\\read-only.png").c_str(), FILE_ATTRIBUTE_READONLY));
    const std::vector<std::wstring> Before = Names(Root + L"\\out");
    const std::string OutPath = Narrow(Root) + "\\out";
    struct Case {
        const char* Rest;
        std::string Fails;
    };
    const Case Cases[] = {
        {"folder.png", "\"" + OutPath + "/folder.png\" exists and is not a regular file"},
        {"file/x.png", "cannot create the folder \"" + OutPath + "/file\" (a file of that name is in the way)"},
        {"read-only.png", "Cannot create file \"" + OutPath + "\\read-only.png\". "},
    };
    qrfiles::ConfinedFiles Files(Out(), true);
    for (const Case& C : Cases) {
        const auto Ready = Files.Prepare(PathOf(C.Rest), 1);
        const auto Saved = Files.Save(PathOf(C.Rest), Bytes("new"), 1);
        if (std::string(C.Rest) == "read-only.png") {
            // Prepared (a regular file is there), but not replaced: the system's reason for it.
            ASSERT_TRUE(Ready) << Ready.Error();
            ASSERT_FALSE(Saved);
            EXPECT_EQ(Saved.Error().rfind(C.Fails, 0), 0u) << Saved.Error();
            EXPECT_GT(Saved.Error().size(), C.Fails.size());
            continue;
        }
        ASSERT_FALSE(Ready) << C.Rest;
        EXPECT_EQ(Ready.Error(), C.Fails);
        ASSERT_FALSE(Saved) << C.Rest;
        EXPECT_EQ(Saved.Error(), C.Fails);
    }
    EXPECT_EQ(Read(Root + L"\\out\\read-only.png"), "old");
    EXPECT_EQ(Names(Root + L"\\out"), Before);
}

TEST_F(WinConfined, ALinkPlantedInTheFolderLeadsNothingOutOfIt) {
    Write(Root + L"\\outside\\target.png", "theirs");
    PlantLink(Root + L"\\outside", Root + L"\\out\\sub");
    PlantLink(Root + L"\\outside\\target.png", Root + L"\\out\\x.png");
    if (HasFatalFailure())
        return;
    const std::string OutPath = Narrow(Root) + "\\out";
    qrfiles::ConfinedFiles Files(Out(), true);
    for (const char* Rest : {"sub/new.png", "sub/deeper/new.png", "x.png"}) {
        const std::string Link = OutPath + "/" + std::string(Rest).substr(0, std::string(Rest).find('/'));
        const auto Ready = Files.Prepare(PathOf(Rest), 1);
        ASSERT_FALSE(Ready) << Rest;
        EXPECT_EQ(Ready.Error(), "\"" + Link + "\" is a symbolic link or a junction");
        const auto Saved = Files.Save(PathOf(Rest), Bytes("mine"), 1);
        ASSERT_FALSE(Saved) << Rest;
        EXPECT_EQ(Saved.Error(), "\"" + Link + "\" is a symbolic link or a junction");
    }
    EXPECT_EQ(Names(Root + L"\\outside"), std::vector<std::wstring>{L"target.png"});
    EXPECT_EQ(Read(Root + L"\\outside\\target.png"), "theirs");
    EXPECT_EQ(Names(Root + L"\\out"), (std::vector<std::wstring>{L"sub", L"x.png"}));
}

TEST_F(WinConfined, TheFolderItselfMayBeReachedThroughALink) {
    PlantLink(Root + L"\\outside", Root + L"\\linked");
    if (HasFatalFailure())
        return;
    qrfiles::ConfinedFiles Files(qrfiles::ConfinedFolder(Narrow(Root) + "\\linked/"), false);
    const auto Saved = Files.Save(Narrow(Root) + "\\linked/sub/x.png", Bytes("x"), 1);
    ASSERT_TRUE(Saved) << Saved.Error();
    EXPECT_EQ(Read(Root + L"\\outside\\sub\\x.png"), "x");
}

TEST_F(WinConfined, ANameInAnotherCaseIsTheEarlierRowsFile) {
    qrfiles::ConfinedFiles Files(Out(), true);
    ASSERT_TRUE(Files.Save(PathOf("Bolt.png"), Bytes("row 1"), 1));
    // A later row, named in another case, finds row 1's file there and leaves it.
    const auto Ready = Files.Prepare(PathOf("BOLT.png"), 2);
    ASSERT_TRUE(Ready) << Ready.Error();
    EXPECT_EQ(Ready->Earlier, 1u);
    const auto Later = Files.Save(PathOf("bolt.PNG"), Bytes("row 2"), 2);
    ASSERT_TRUE(Later) << Later.Error();
    EXPECT_EQ(Later->Earlier, 1u);
    EXPECT_EQ(Read(Root + L"\\out\\Bolt.png"), "row 1");

    // Written first, a later row's file gives way to the earlier row's, whichever spelling each has.
    ASSERT_TRUE(Files.Save(PathOf("nut.png"), Bytes("row 4"), 4));
    const auto Earlier = Files.Save(PathOf("NUT.png"), Bytes("row 3"), 3);
    ASSERT_TRUE(Earlier) << Earlier.Error();
    EXPECT_EQ(Earlier->Displaced, 4u);
    EXPECT_EQ(Read(Root + L"\\out\\nut.png"), "row 3");
    // Not a file of the run any longer: row 4's name is row 3's file now.
    const auto Again = Files.Save(PathOf("Nut.png"), Bytes("row 5"), 5);
    ASSERT_TRUE(Again) << Again.Error();
    EXPECT_EQ(Again->Earlier, 3u);
    EXPECT_EQ(Names(Root + L"\\out").size(), 2u);

    // A run that does not remember its files replaces a file of another spelling as any other.
    qrfiles::ConfinedFiles Forgetful(Out(), false);
    const auto Replaced = Forgetful.Save(PathOf("BOLT.PNG"), Bytes("again"), 9);
    ASSERT_TRUE(Replaced) << Replaced.Error();
    EXPECT_TRUE(Replaced->Exists);
    EXPECT_EQ(Read(Root + L"\\out\\Bolt.png"), "again");
}

TEST_F(WinConfined, TheNameIsLookedAtAgainAfterTheFileIsWritten) {
    // Another program puts a folder at the name while the row's file is written: the row fails
    // and its temporary file goes.
    qrfiles::ConfinedFiles Files(Out(), true);
    std::string Message;
    {
        heldwriter::Hold H;
        H.ContentsFlushed = [&] { CreateDirectoryW((Root + L"\\out\\x.png").c_str(), nullptr); };
        heldwriter::Holding Hold(std::move(H));
        const auto Saved = Files.Save(PathOf("x.png"), Bytes("mine"), 1);
        ASSERT_FALSE(Saved);
        Message = Saved.Error();
    }
    EXPECT_EQ(Message, '"' + PathOf("x.png") + "\" exists and is not a regular file");
    EXPECT_EQ(Names(Root + L"\\out"), std::vector<std::wstring>{L"x.png"});
    // A file put there meanwhile is replaced as one that was there.
    {
        heldwriter::Hold H;
        H.ContentsFlushed = [&] { Write(Root + L"\\out\\y.png", "theirs"); };
        heldwriter::Holding Hold(std::move(H));
        const auto Saved = Files.Save(PathOf("y.png"), Bytes("mine"), 2);
        ASSERT_TRUE(Saved) << Saved.Error();
        EXPECT_TRUE(Saved->Exists);
    }
    EXPECT_EQ(Read(Root + L"\\out\\y.png"), "mine");
    EXPECT_EQ(Names(Root + L"\\out"), (std::vector<std::wstring>{L"x.png", L"y.png"}));
}

}  // namespace
