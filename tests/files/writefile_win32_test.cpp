// The Windows writer against the cases a Windows user meets: new and existing files, a read-only
// file, a file held open without delete sharing, a missing folder, a folder in the file's place,
// a long path and a name outside ASCII. Each failure gives the create message and leaves the
// folder as it was; run under Wine.

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "heldwriter.h"
#include "win32folder.h"
#include "writefile.h"

namespace {

std::string Narrow(const std::wstring& Wide) {
    const int Length = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string Text(static_cast<std::size_t>(Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), Text.data(), Length, nullptr, nullptr);
    return Text;
}

// The system's text for Error as the message carries it: trailing full stops and blanks gone.
std::string Reason(DWORD Error) {
    wchar_t Buffer[512] = {};
    FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, Error, 0, Buffer, 512, nullptr);
    std::string Text = Narrow(Buffer);
    while (!Text.empty() && std::string_view(". \r\n\t").find(Text.back()) != std::string_view::npos)
        Text.pop_back();
    return Text;
}

const std::vector<unsigned char> kOld{'o', 'l', 'd'};
const std::vector<unsigned char> kNew{0xFF, 0xD8, 0x00, 'n', 'e', 'w', 0xFF, 0xD9};

class WinWriter : public testing::Test {
protected:
    void SetUp() override {
        Folder = testsupport::NewTemporaryFolder(L"quandrel-writer");
        ASSERT_FALSE(Folder.empty());
    }
    void TearDown() override { RemoveTree(Folder); }

    static void RemoveTree(const std::wstring& Path) {
        WIN32_FIND_DATAW Found;
        HANDLE Find = FindFirstFileW((Path + L"\\*").c_str(), &Found);
        if (Find != INVALID_HANDLE_VALUE) {
            do {
                const std::wstring Name = Found.cFileName;
                if (Name == L"." || Name == L"..")
                    continue;
                const std::wstring Child = Path + L"\\" + Name;
                SetFileAttributesW(Child.c_str(), FILE_ATTRIBUTE_NORMAL);
                if (Found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                    RemoveTree(Child);
                else
                    DeleteFileW(Child.c_str());
            } while (FindNextFileW(Find, &Found));
            FindClose(Find);
        }
        RemoveDirectoryW(Path.c_str());
    }

    std::vector<std::wstring> Names() const {
        return testsupport::NamesIn(Folder);
    }

    static std::vector<unsigned char> Read(const std::wstring& Path) {
        HANDLE File = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        if (File == INVALID_HANDLE_VALUE)
            return {};
        std::vector<unsigned char> Bytes(1 << 16);
        DWORD Got = 0;
        ReadFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Got, nullptr);
        CloseHandle(File);
        Bytes.resize(Got);
        return Bytes;
    }

    static void Write(const std::wstring& Path, const std::vector<unsigned char>& Bytes) {
        HANDLE File = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(File, INVALID_HANDLE_VALUE);
        DWORD Put = 0;
        WriteFile(File, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Put, nullptr);
        CloseHandle(File);
    }

    // SaveFile's message, or "" when it succeeded.
    static std::string Save(const std::wstring& Path, const std::vector<unsigned char>& Bytes) {
        try {
            qrfiles::SaveFile(Narrow(Path), Bytes);
            return "";
        } catch (const qrfiles::FileError& Error) {
            return Error.what();
        }
    }

    static std::string CreateMessage(const std::wstring& FullName, DWORD Error) {
        return "Cannot create file \"" + Narrow(FullName) + "\". " + Reason(Error);
    }

    std::wstring Folder;
};

TEST_F(WinWriter, NewAndExistingFilesGetExactlyTheBytesAndNothingElseStays) {
    const std::wstring Target = Folder + L"\\qr.jpg";
    EXPECT_EQ(Save(Target, kNew), "");
    EXPECT_EQ(Read(Target), kNew);
    // Over an existing file, whose attributes the replacement keeps.
    Write(Target, kOld);
    ASSERT_TRUE(SetFileAttributesW(Target.c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(Save(Target, kNew), "");
    EXPECT_EQ(Read(Target), kNew);
    EXPECT_TRUE(GetFileAttributesW(Target.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"qr.jpg"});
    // Nothing at all: an empty file.
    EXPECT_EQ(Save(Target, {}), "");
    EXPECT_TRUE(Read(Target).empty());
}

TEST_F(WinWriter, UntilTheRenameTheOldFileIsWholeAndTheTemporaryIsBesideIt) {
    const std::wstring Target = Folder + L"\\qr.jpg";
    Write(Target, kOld);
    std::vector<std::wstring> Seen;
    std::vector<unsigned char> Before;
    {
        heldwriter::Hold H;
        H.BeforeRename = [&] {
            Seen = Names();
            Before = Read(Target);
        };
        heldwriter::Holding Hold(std::move(H));
        EXPECT_EQ(Save(Target, kNew), "");
    }
    ASSERT_EQ(Seen.size(), 2u);
    EXPECT_EQ(Before, kOld);
    EXPECT_EQ(Read(Folder + L"\\" + (Seen[0] == L"qr.jpg" ? Seen[1] : Seen[0])), std::vector<unsigned char>{});
    EXPECT_EQ(Read(Target), kNew);
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"qr.jpg"});
}

TEST_F(WinWriter, AFailedRenameRemovesTheTemporaryAndKeepsTheOldFile) {
    const std::wstring Target = Folder + L"\\qr.jpg";
    Write(Target, kOld);
    HANDLE Held = INVALID_HANDLE_VALUE;
    std::string Message;
    {
        // Another program opens the file without delete sharing just before the rename.
        heldwriter::Hold H;
        H.BeforeRename = [&] {
            Held = CreateFileW(Target.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        };
        heldwriter::Holding Hold(std::move(H));
        Message = Save(Target, kNew);
    }
    ASSERT_NE(Held, INVALID_HANDLE_VALUE);
    CloseHandle(Held);
    EXPECT_EQ(Message.rfind("Cannot create file \"" + Narrow(Target) + "\". ", 0), 0u) << Message;
    EXPECT_EQ(Read(Target), kOld);
    EXPECT_EQ(Names(), std::vector<std::wstring>{L"qr.jpg"});
}

TEST_F(WinWriter, FailuresGiveTheCreateMessageAndLeaveTheFolderAsItWas) {
    const std::wstring ReadOnly = Folder + L"\\read-only.jpg";
    Write(ReadOnly, kOld);
    ASSERT_TRUE(SetFileAttributesW(ReadOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    const std::wstring Open = Folder + L"\\open.jpg";
    Write(Open, kOld);
    HANDLE Held = CreateFileW(Open.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Held, INVALID_HANDLE_VALUE);
    const std::wstring Sub = Folder + L"\\a folder";
    ASSERT_TRUE(CreateDirectoryW(Sub.c_str(), nullptr));
    const std::vector<std::wstring> Before = Names();

    const std::wstring Missing = Folder + L"\\missing\\qr.jpg";
    struct Case {
        std::wstring Path;
        DWORD Error;
    };
    const Case Cases[] = {
        {ReadOnly, ERROR_ACCESS_DENIED},
        {Missing, ERROR_PATH_NOT_FOUND},
        {Sub, ERROR_ACCESS_DENIED},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(Save(C.Path, kNew), CreateMessage(C.Path, C.Error));
    // A file open elsewhere without delete sharing cannot be replaced: the system says why.
    const std::string HeldMessage = Save(Open, kNew);
    EXPECT_EQ(HeldMessage.rfind("Cannot create file \"" + Narrow(Open) + "\". ", 0), 0u) << HeldMessage;
    EXPECT_GT(HeldMessage.size(), Narrow(Open).size() + 23);
    CloseHandle(Held);

    EXPECT_EQ(Read(ReadOnly), kOld);
    EXPECT_EQ(Read(Open), kOld);
    EXPECT_EQ(Names(), Before);
    EXPECT_NE(HeldMessage.back(), '.');
    EXPECT_EQ(HeldMessage.find('\n'), std::string::npos);
}

TEST_F(WinWriter, RelativeLongAndNonAsciiNames) {
    // A relative name is reported by its full path.
    ASSERT_TRUE(SetCurrentDirectoryW(Folder.c_str()));
    EXPECT_EQ(Save(L"missing\\x.jpg", kNew), CreateMessage(Folder + L"\\missing\\x.jpg", ERROR_PATH_NOT_FOUND));
    // A name in UTF-8 reaches the system as UTF-16.
    EXPECT_EQ(Save(L"s\u00edmbolo \u00e7\u00e3o \u4e2d.jpg", kNew), "");
    EXPECT_EQ(Read(Folder + L"\\s\u00edmbolo \u00e7\u00e3o \u4e2d.jpg"), kNew);
    // Bytes that are not UTF-8 are no name at all.
    EXPECT_THROW(qrfiles::SaveFile("bad\xff.jpg", kNew), qrfiles::FileError);
    // Past MAX_PATH: saved whole, or refused with the create message; never half-written.
    std::wstring Long = Folder + L"\\" + std::wstring(120, L'd');
    ASSERT_TRUE(CreateDirectoryW(Long.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
    Long += L"\\" + std::wstring(150, L'f') + L".jpg";
    ASSERT_GT(Long.size(), 260u);
    const std::string Message = Save(Long, kNew);
    if (Message.empty())
        EXPECT_EQ(Read(Long), kNew);
    else
        EXPECT_EQ(Message.rfind("Cannot create file \"" + Narrow(Long) + "\". ", 0), 0u) << Message;
    wchar_t Temp[MAX_PATH];
    GetTempPathW(MAX_PATH, Temp);
    SetCurrentDirectoryW(Temp);
}

TEST_F(WinWriter, FullPathAndWriteAll) {
    ASSERT_TRUE(SetCurrentDirectoryW(Folder.c_str()));
    EXPECT_EQ(qrfiles::FullPath("a\\..\\b.jpg"), Narrow(Folder + L"\\b.jpg"));
    wchar_t Temp[MAX_PATH];
    GetTempPathW(MAX_PATH, Temp);
    SetCurrentDirectoryW(Temp);
    EXPECT_TRUE(qrfiles::SyncFileSystem(Narrow(Folder)));
    EXPECT_EQ(qrfiles::WriteAll(-1, kNew), EBADF);
}

}  // namespace
