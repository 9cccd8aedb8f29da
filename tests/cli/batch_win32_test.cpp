// The batch's Windows pieces, under Wine: Ctrl+C as the console sends it (GenerateConsoleCtrlEvent
// on a console of the test's own), a Ctrl+C the program was started to ignore, the list read as bytes from a pipe, a file and standard input, the stop ending the wait
// for more of a pipe, what counts as a terminal for the progress line, and the processors and
// address space the run asks about.

#include <gtest/gtest.h>

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "arguments.h"
#include "batchprogress.h"
#include "batchrun.h"
#include "batchsystem.h"
#include "heldwriter.h"
#include "listfile.h"
#include "stopsignals.h"

namespace {

using qrcli::batch::ListFile;
using qrcli::batch::StopSignals;

std::string Narrow(const std::wstring& Wide) {
    const int Length = WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), nullptr, 0, nullptr, nullptr);
    std::string Text(static_cast<std::size_t>(Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, Wide.data(), static_cast<int>(Wide.size()), Text.data(), Length, nullptr, nullptr);
    return Text;
}

// Whether the test program has a console: Wine gives it one when its standard input is a
// terminal (ctest runs the WinConsole tests again so, on a pseudo-terminal of script's).
bool HasConsole() {
    DWORD Mode = 0;
    return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &Mode) || AllocConsole();
}

#define NEEDS_CONSOLE()                                                              \
    if (!HasConsole())                                                               \
    GTEST_SKIP() << "no console; batch_win32_console_tests runs this on a terminal"

// The console events that reach the handlers registered after StopSignals' (called before it);
// each passes the event on.
std::mutex SeenLock;
std::vector<DWORD> Seen;
BOOL WINAPI Watch(DWORD Event) {
    const std::lock_guard Held(SeenLock);
    Seen.push_back(Event);
    return FALSE;
}
// Registered first, so called last: takes what StopSignals' handler leaves (none while it lives),
// so that a stray event never ends the test program.
BOOL WINAPI Absorb(DWORD) { return TRUE; }

std::vector<DWORD> SeenEvents() {
    const std::lock_guard Held(SeenLock);
    return Seen;
}

// Ctrl+C as the console sends it. (Wine's GenerateConsoleCtrlEvent sends no Ctrl+Break, and a
// closed console no event: those take the same path to Request, SIGINT and SIGTERM.)
TEST(WinConsole, CtrlCStopsTheRunAsSigintAndWakesTheReader) {
    NEEDS_CONSOLE();
    ASSERT_TRUE(SetConsoleCtrlHandler(Absorb, TRUE));
    for (int Run = 0; Run < 2; ++Run) {
        StopSignals Stop;
        ASSERT_NE(Stop.WakeEvent(), nullptr);
        EXPECT_EQ(Stop.Caught(), 0);
        EXPECT_EQ(WaitForSingleObject(Stop.WakeEvent(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) << GetLastError();
        ASSERT_EQ(WaitForSingleObject(Stop.WakeEvent(), 10000), WAIT_OBJECT_0);
        EXPECT_EQ(Stop.Caught(), SIGINT);
        // The first stop is the one the run reports.
        Stop.Request(SIGTERM);
        EXPECT_EQ(Stop.Caught(), SIGINT);
    }
    SetConsoleCtrlHandler(Absorb, FALSE);
}

TEST(WinConsole, ACtrlCTheProgramWasStartedToIgnoreStaysIgnored) {
    NEEDS_CONSOLE();
    ASSERT_TRUE(SetConsoleCtrlHandler(Absorb, TRUE));
    {
        StopSignals Stop;
        ASSERT_TRUE(SetConsoleCtrlHandler(Watch, TRUE));
        // As a program started with Ctrl+C ignored has it (the flag is inherited).
        ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, TRUE));
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        EXPECT_EQ(WaitForSingleObject(Stop.WakeEvent(), 1000), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_EQ(Stop.Caught(), 0);
        // Heeded again, the next one comes, and it alone: the events come in order.
        ASSERT_TRUE(SetConsoleCtrlHandler(nullptr, FALSE));
        ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
        ASSERT_EQ(WaitForSingleObject(Stop.WakeEvent(), 10000), WAIT_OBJECT_0);
        EXPECT_EQ(SeenEvents(), std::vector<DWORD>{CTRL_C_EVENT});
        SetConsoleCtrlHandler(Watch, FALSE);
    }
    SetConsoleCtrlHandler(Absorb, FALSE);
}

// quandrel-qr.exe on the test's console, a batch of far more rows than it writes before the
// Ctrl+C that every program of the console gets: the rows in flight are finished, no more are
// started, no temporary file is left, and the run ends as SIGINT ends it on Linux.
TEST(WinConsole, CtrlCStopsARunningBatchWithWholeFilesAndStatus130) {
    NEEDS_CONSOLE();
    namespace fs = std::filesystem;
    const fs::path Folder = fs::temp_directory_path() / ("quandrel-ctrlc-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    {
        std::ofstream List(Folder / "list.txt", std::ios::binary);
        for (int Row = 1; Row <= 200000; ++Row) List << "TICKET-" << Row << '\n';
    }
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    HANDLE Err = CreateFileW((Folder / "err.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &Inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(Err, INVALID_HANDLE_VALUE);
    std::wstring Command = L"quandrel-qr --batch \"" + (Folder / "list.txt").wstring() + L"\" -o \"" +
                           (Folder / "out").wstring() + L"\\{n}.svg\" -j 2";
    STARTUPINFOW Startup{};
    Startup.cb = sizeof Startup;
    Startup.dwFlags = STARTF_USESTDHANDLES;
    Startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    Startup.hStdOutput = Err;
    Startup.hStdError = Err;
    ASSERT_TRUE(SetConsoleCtrlHandler(Absorb, TRUE));
    PROCESS_INFORMATION Process{};
    ASSERT_TRUE(CreateProcessW(QUANDREL_QR_W, Command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &Startup, &Process));
    CloseHandle(Err);
    const auto Files = [&] {
        std::error_code Error;
        std::size_t Count = 0;
        for (fs::directory_iterator It(Folder / "out", Error), End; !Error && It != End; It.increment(Error)) ++Count;
        return Count;
    };
    for (int Tries = 0; Tries < 1200 && Files() < 100 && WaitForSingleObject(Process.hProcess, 0) == WAIT_TIMEOUT; ++Tries)
        Sleep(50);
    ASSERT_TRUE(GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
    ASSERT_EQ(WaitForSingleObject(Process.hProcess, 60000), WAIT_OBJECT_0);
    DWORD Status = 0;
    GetExitCodeProcess(Process.hProcess, &Status);
    CloseHandle(Process.hProcess);
    CloseHandle(Process.hThread);
    SetConsoleCtrlHandler(Absorb, FALSE);

    EXPECT_EQ(Status, 130u);
    std::stringstream Said;
    Said << std::ifstream(Folder / "err.txt", std::ios::binary).rdbuf();
    std::string Last = Said.str();
    Last.erase(0, Last.rfind("quandrel-qr: "));
    unsigned long long Read = 0, Written = 0, Failed = 0, NotDone = 0;
    ASSERT_EQ(std::sscanf(Last.c_str(), "quandrel-qr: stopped by SIGINT: %llu rows read, %llu files written, %llu rows failed, %llu rows not done",
                          &Read, &Written, &Failed, &NotDone), 4)
        << Said.str();
    EXPECT_LT(Read, 200000u);
    EXPECT_EQ(Failed, 0u);
    EXPECT_EQ(Read, Written + NotDone);
    // Every file the summary counts is there whole, and nothing else is.
    std::size_t Whole = 0;
    for (const auto& Entry : fs::directory_iterator(Folder / "out")) {
        std::ifstream File(Entry.path(), std::ios::binary);
        std::stringstream Bytes;
        Bytes << File.rdbuf();
        const std::string Text = Bytes.str();
        EXPECT_EQ(Entry.path().extension(), ".svg") << Entry.path();
        EXPECT_TRUE(Text.size() > 6 && Text.compare(Text.size() - 7, 7, "</svg>\n") == 0) << Entry.path();
        ++Whole;
    }
    EXPECT_EQ(Whole, Written);
    fs::remove_all(Folder);
}

// A Ctrl+C that comes once every row is written, while the files are flushed, stops nothing: the
// run ends as if it had not come.
TEST(WinConsole, ACtrlCOnceEveryRowIsWrittenStopsNothing) {
    NEEDS_CONSOLE();
    namespace fs = std::filesystem;
    const fs::path Folder = fs::temp_directory_path() / ("quandrel-late-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    std::ofstream(Folder / "list.txt", std::ios::binary) << "one\ntwo\nthree\n";
    ASSERT_TRUE(SetConsoleCtrlHandler(Absorb, TRUE));
    {
        const std::lock_guard Held(SeenLock);
        Seen.clear();
    }
    heldwriter::Hold Hold;
    Hold.FlushingAll = [] {
        // Watch is called before the run's handler, which takes the event next on the same thread.
        SetConsoleCtrlHandler(Watch, TRUE);
        GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
        for (int Tries = 0; Tries < 200 && SeenEvents().empty(); ++Tries) Sleep(10);
        Sleep(300);
        SetConsoleCtrlHandler(Watch, FALSE);
    };
    auto Parsed = qrcli::ParseArguments({"--batch", Narrow((Folder / "list.txt").wstring()), "--quiet", "-o",
                                         Narrow((Folder / "out").wstring()) + "\\{n}.png"});
    ASSERT_TRUE(Parsed) << Parsed.Error();
    std::vector<std::string> Said;
    qrcli::ExitStatus Status;
    {
        const heldwriter::Holding Holding(std::move(Hold));
        Status = qrcli::batch::RunBatch(Parsed->Opts, [&](const std::string& Text) {
            Said.push_back(Text);
            return 0;
        });
    }
    SetConsoleCtrlHandler(Absorb, FALSE);
    EXPECT_EQ(SeenEvents(), std::vector<DWORD>{CTRL_C_EVENT}) << "the Ctrl+C came";
    EXPECT_EQ(Status, qrcli::ExitStatus::Done);
    EXPECT_EQ(Said, std::vector<std::string>{"3 rows read, 3 files written, 0 rows failed"});
    fs::remove_all(Folder);
}

class WinList : public testing::Test {
protected:
    void SetUp() override {
        wchar_t Temp[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, Temp), 0u);
        Folder = std::wstring(Temp) + L"quandrel-list-" + std::to_wstring(GetCurrentProcessId());
        ASSERT_TRUE(CreateDirectoryW(Folder.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
        OldInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    void TearDown() override {
        SetStdHandle(STD_INPUT_HANDLE, OldInput);
        DeleteFileW((Folder + L"\\list.txt").c_str());
        RemoveDirectoryW(Folder.c_str());
    }

    // Everything Read gives until its end.
    static std::string ReadAll(qrcli::batch::ReadFn& Read) {
        std::string All;
        char Buffer[7];
        for (long Got; (Got = Read(Buffer, sizeof Buffer)) > 0;) All.append(Buffer, static_cast<std::size_t>(Got));
        return All;
    }

    std::wstring Folder;
    HANDLE OldInput = nullptr;
};

// Bytes a text mode would change: CR LF, a Ctrl+Z, a NUL.
const std::string kList("one\r\ntwo\x1a\nthree\0four\n", 20);

TEST_F(WinList, AFileAndAFileOnStandardInputAreReadAsBytes) {
    const std::wstring Path = Folder + L"\\list.txt";
    HANDLE File = CreateFileW(Path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(File, INVALID_HANDLE_VALUE);
    DWORD Put = 0;
    WriteFile(File, kList.data(), static_cast<DWORD>(kList.size()), &Put, nullptr);
    CloseHandle(File);
    const StopSignals Stop;

    auto List = ListFile::Open(Narrow(Path));
    ASSERT_TRUE(List) << List.Error();
    EXPECT_TRUE(List->Regular());
    auto Read = List->Reader(Stop);
    EXPECT_EQ(ReadAll(Read), kList);

    // On standard input, from where its reader had got to.
    HANDLE Input = CreateFileW(Path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(Input, INVALID_HANDLE_VALUE);
    char Skipped[5];
    DWORD Got = 0;
    ASSERT_TRUE(ReadFile(Input, Skipped, sizeof Skipped, &Got, nullptr));
    SetStdHandle(STD_INPUT_HANDLE, Input);
    auto FromInput = ListFile::Open("-");
    ASSERT_TRUE(FromInput) << FromInput.Error();
    EXPECT_TRUE(FromInput->Regular());
    auto ReadInput = FromInput->Reader(Stop);
    EXPECT_EQ(ReadAll(ReadInput), kList.substr(5));
    CloseHandle(Input);
}

TEST_F(WinList, AFolderOrAMissingListIsRefusedWithTheReason) {
    const std::string Name = Narrow(Folder);
    const auto AFolder = ListFile::Open(Name);
    ASSERT_FALSE(AFolder);
    EXPECT_EQ(AFolder.Error(), "cannot open the list \"" + Name + "\": " + std::strerror(EISDIR));
    const auto Missing = ListFile::Open(Name + "\\missing.txt");
    ASSERT_FALSE(Missing);
    const std::string Start = "cannot open the list \"" + Name + "\\missing.txt\": ";
    EXPECT_EQ(Missing.Error().rfind(Start, 0), 0u) << Missing.Error();
    // The system's own words, without a trailing full stop.
    EXPECT_GT(Missing.Error().size(), Start.size());
    EXPECT_NE(Missing.Error().back(), '.');
}

TEST_F(WinList, APipeIsReadAsItComesAndAStopEndsTheWaitForMore) {
    HANDLE ReadEnd = nullptr, WriteEnd = nullptr;
    ASSERT_TRUE(CreatePipe(&ReadEnd, &WriteEnd, nullptr, 0));
    SetStdHandle(STD_INPUT_HANDLE, ReadEnd);
    auto List = ListFile::Open("-");
    ASSERT_TRUE(List) << List.Error();
    EXPECT_FALSE(List->Regular());
    StopSignals Stop;
    auto Read = List->Reader(Stop);

    DWORD Put = 0;
    ASSERT_TRUE(WriteFile(WriteEnd, kList.data(), static_cast<DWORD>(kList.size()), &Put, nullptr));
    std::string Got;
    char Buffer[64];
    while (Got.size() < kList.size()) {
        const long N = Read(Buffer, sizeof Buffer);
        ASSERT_GT(N, 0);
        Got.append(Buffer, static_cast<std::size_t>(N));
    }
    EXPECT_EQ(Got, kList);

    // Nothing more comes and the writer stays: only the stop ends the wait.
    std::thread Stopper([&] {
        Sleep(200);
        Stop.Request(SIGINT);
    });
    EXPECT_EQ(Read(Buffer, sizeof Buffer), 0);
    Stopper.join();
    EXPECT_EQ(Stop.Caught(), SIGINT);
    CloseHandle(WriteEnd);
    CloseHandle(ReadEnd);

    // A pipe whose writer has gone ends once what it holds is read.
    ASSERT_TRUE(CreatePipe(&ReadEnd, &WriteEnd, nullptr, 0));
    ASSERT_TRUE(WriteFile(WriteEnd, "last", 4, &Put, nullptr));
    CloseHandle(WriteEnd);
    SetStdHandle(STD_INPUT_HANDLE, ReadEnd);
    auto Ending = ListFile::Open("-");
    ASSERT_TRUE(Ending) << Ending.Error();
    const StopSignals Calm;
    auto ReadEnding = Ending->Reader(Calm);
    EXPECT_EQ(ReadAll(ReadEnding), "last");
    CloseHandle(ReadEnd);
}

// The whole run in the test's own process, from a list whose names a hostile user chose: a
// device's name fails its row, '\\' and ':' are cleaned away, and a name in another case is the
// earlier row's file, as NTFS takes it.
TEST(WinBatchRun, HostileNamesAndANameInAnotherCaseFailOnlyTheirRows) {
    namespace fs = std::filesystem;
    const fs::path Folder = fs::temp_directory_path() / ("quandrel-run-" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(Folder);
    fs::create_directories(Folder);
    std::ofstream(Folder / "list.csv", std::ios::binary)
        << "text,name\r\none,Bolt\r\ntwo,bolt\r\nthree,CON\r\nfour,..\\..\\evil\r\nfive,x:y\r\nsix,Nut\r\n";
    const std::string Out = Narrow(Folder.wstring()) + "\\out";
    auto Parsed = qrcli::ParseArguments({"--batch", Narrow((Folder / "list.csv").wstring()), "--csv", "--header",
                                         "--name-column", "name", "-j", "2", "--quiet", "-o", Out + "\\{name}.png"});
    ASSERT_TRUE(Parsed) << Parsed.Error();
    std::mutex Lock;
    std::vector<std::string> Said;
    const qrcli::ExitStatus Status = qrcli::batch::RunBatch(Parsed->Opts, [&](const std::string& Text) {
        const std::lock_guard Held(Lock);
        Said.push_back(Text);
        return 0;
    });
    EXPECT_EQ(Status, qrcli::ExitStatus::Failed);
    EXPECT_EQ(Said, (std::vector<std::string>{
                        "row 2: \"" + Out + "\\bolt.png\" is already the file of row 1",
                        "row 3: the file name would have a file or folder name \"CON.png\", which Windows keeps for a device",
                        "6 rows read, 4 files written, 2 rows failed"}));
    std::vector<std::string> Made;
    for (const auto& Entry : fs::directory_iterator(Folder / "out")) Made.push_back(Narrow(Entry.path().filename().wstring()));
    std::sort(Made.begin(), Made.end());
    EXPECT_EQ(Made, (std::vector<std::string>{".._.._evil.png", "Bolt.png", "Nut.png", "x_y.png"}));
    std::vector<std::string> Beside;
    for (const auto& Entry : fs::directory_iterator(Folder)) Beside.push_back(Narrow(Entry.path().filename().wstring()));
    std::sort(Beside.begin(), Beside.end());
    EXPECT_EQ(Beside, (std::vector<std::string>{"list.csv", "out"}));
    fs::remove_all(Folder);
}

TEST(WinProgress, NeitherNulNorAPipeIsATerminal) {
    // The C library takes any character device for a terminal, NUL too; the progress line does not.
    const int Nul = _open("NUL", _O_WRONLY);
    ASSERT_GE(Nul, 0);
    EXPECT_TRUE(_isatty(Nul));
    EXPECT_FALSE(qrcli::batch::IsTerminal(Nul));
    _close(Nul);
    int Pipe[2];
    ASSERT_EQ(_pipe(Pipe, 256, _O_BINARY), 0);
    EXPECT_FALSE(qrcli::batch::IsTerminal(Pipe[1]));
    _close(Pipe[0]);
    _close(Pipe[1]);
}

// The line as the console shows it on the cursor's row, without the blanks after it.
std::wstring ShownLine(HANDLE Console) {
    CONSOLE_SCREEN_BUFFER_INFO Info{};
    if (!GetConsoleScreenBufferInfo(Console, &Info))
        return L"(no console)";
    std::wstring Row(static_cast<std::size_t>(Info.dwSize.X), L' ');
    DWORD Got = 0;
    ReadConsoleOutputCharacterW(Console, Row.data(), static_cast<DWORD>(Row.size()), {0, Info.dwCursorPosition.Y}, &Got);
    Row.resize(Got);
    while (!Row.empty() && Row.back() == L' ') Row.pop_back();
    return Row;
}

TEST(WinConsole, TheProgressLineFitsTheConsoleAndFollowsItsWidth) {
    NEEDS_CONSOLE();
    const int Console = _open("CONOUT$", _O_RDWR | _O_BINARY);
    ASSERT_GE(Console, 0);
    EXPECT_TRUE(qrcli::batch::IsTerminal(Console));
    const HANDLE Handle = reinterpret_cast<HANDLE>(_get_osfhandle(Console));
    CONSOLE_SCREEN_BUFFER_INFO Info{};
    ASSERT_TRUE(GetConsoleScreenBufferInfo(Handle, &Info));
    const std::size_t Columns = static_cast<std::size_t>(Info.srWindow.Right - Info.srWindow.Left + 1);
    {
        qrcli::batch::ProgressLine Line(Console, true);
        Sleep(300);  // the line waits a moment before it is first drawn
        Line.Update(1234, 10000);
        const std::string Shown = Narrow(ShownLine(Handle));
        // The parts that fit, whole, and never the last column (where the console would wrap).
        const std::string Full = qrcli::batch::ProgressText(1234, 10000, 0.3);
        EXPECT_EQ(Shown.rfind("1234/10000 rows (12%)", 0), 0u) << Shown;
        EXPECT_LT(Shown.size(), Columns) << Shown;
        if (Full.size() >= Columns) {
            EXPECT_TRUE(Shown.size() == Full.size() || Full.compare(Shown.size(), 2, ", ") == 0) << Shown;
        }
        // The console's window made narrower: the next drawing follows it.
        SMALL_RECT Narrower = Info.srWindow;
        Narrower.Right = static_cast<SHORT>(Narrower.Left + 24);
        if (SetConsoleWindowInfo(Handle, TRUE, &Narrower)) {
            Sleep(150);
            Line.Update(1234, 10000);
            const std::string Narrow = ::Narrow(ShownLine(Handle));
            EXPECT_EQ(Narrow, "1234/10000 rows (12%)") << "25 columns";
        } else {
            std::printf("the console's window cannot be resized here (error %lu)\n", GetLastError());
        }
        Line.Clear();
        EXPECT_EQ(ShownLine(Handle), L"");
    }
    _close(Console);
}

TEST(WinBatchSystem, TheProcessorsThisProcessMayUseAndTheRoomLeft) {
    DWORD_PTR Process = 0, System = 0;
    ASSERT_TRUE(GetProcessAffinityMask(GetCurrentProcess(), &Process, &System));
    EXPECT_EQ(qrcli::batch::CoreCount(), std::popcount(static_cast<unsigned long long>(Process)));
    // Held to one processor, as "start /affinity 1" would start it.
    ASSERT_TRUE(SetProcessAffinityMask(GetCurrentProcess(), 1));
    EXPECT_EQ(qrcli::batch::CoreCount(), 1);
    SetProcessAffinityMask(GetCurrentProcess(), Process);

    EXPECT_TRUE(qrcli::batch::RoomFor(std::size_t{64} << 20));
    // More than a 64-bit process's 128 TiB of address space.
    EXPECT_FALSE(qrcli::batch::RoomFor(std::size_t{1} << 60));
}

}  // namespace
