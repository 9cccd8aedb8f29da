// quandrel-qr.exe started as Windows starts a program: a UTF-16 command line (CreateProcessW),
// standard output and error to files. What Wine's own start from Linux cannot give it: an
// argument with a lone surrogate, and file names beyond the system's code page.

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct Ran {
    DWORD Status = 0;
    std::string Out, Err;
};

std::string ReadAll(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

struct HandleCloser {
    void operator()(HANDLE Handle) const { CloseHandle(Handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// A folder of the test's own, removed at the end.
struct TempDir {
    fs::path Path = fs::temp_directory_path() / ("cli-win32-" + std::to_string(GetCurrentProcessId()));
    TempDir() {
        fs::remove_all(Path);
        fs::create_directories(Path);
    }
    ~TempDir() { fs::remove_all(Path); }
};

// Runs the program with the command line Arguments (after its name, quoted as the caller wrote
// it) in Folder, standard input Input; without standard output when NoOutput (a program started
// from a window, or by a script that gave it none).
Ran RunQr(const std::wstring& Arguments, const fs::path& Folder, const std::string& Input = "", bool NoOutput = false) {
    SECURITY_ATTRIBUTES Inherit{sizeof Inherit, nullptr, TRUE};
    const auto Open = [&](const fs::path& Path, DWORD Access, DWORD Disposition) {
        return UniqueHandle(CreateFileW(Path.c_str(), Access, FILE_SHARE_READ | FILE_SHARE_WRITE, &Inherit, Disposition,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    };
    const fs::path OutPath = Folder / "stdout", ErrPath = Folder / "stderr", InPath = Folder / "stdin";
    { std::ofstream(InPath, std::ios::binary) << Input; }
    Ran R;
    {
        const UniqueHandle In = Open(InPath, GENERIC_READ, OPEN_EXISTING);
        const UniqueHandle Out = Open(OutPath, GENERIC_WRITE, CREATE_ALWAYS);
        const UniqueHandle Err = Open(ErrPath, GENERIC_WRITE, CREATE_ALWAYS);
        STARTUPINFOW Start{};
        Start.cb = sizeof Start;
        Start.dwFlags = STARTF_USESTDHANDLES;
        Start.hStdInput = In.get();
        Start.hStdOutput = NoOutput ? nullptr : Out.get();
        Start.hStdError = Err.get();
        // The build's path has no drive; made absolute against the test's own folder, on the
        // build's drive, before the program starts in another.
        std::wstring Line = L"\"" + fs::absolute(QUANDREL_QR_W).wstring() + L"\" " + Arguments;
        PROCESS_INFORMATION Process{};
        EXPECT_TRUE(CreateProcessW(nullptr, Line.data(), nullptr, nullptr, TRUE, 0, nullptr, Folder.c_str(), &Start, &Process))
            << GetLastError();
        const UniqueHandle Thread(Process.hThread), Child(Process.hProcess);
        WaitForSingleObject(Child.get(), INFINITE);
        GetExitCodeProcess(Child.get(), &R.Status);
    }
    R.Out = ReadAll(OutPath);
    R.Err = ReadAll(ErrPath);
    return R;
}

TEST(CliWin32Process, ALoneSurrogateIsAUsageErrorNotAGuess) {
    const TempDir Dir;
    for (const std::wstring& Arguments : {std::wstring(L"-t matrix \"ab\xD83D\""), std::wstring(L"-o \"x\xDC00.svg\" text")}) {
        const Ran R = RunQr(Arguments, Dir.Path);
        EXPECT_EQ(R.Status, 2u);
        EXPECT_EQ(R.Out, "");
        EXPECT_NE(R.Err.find("is not valid UTF-16 (a lone surrogate at character "), std::string::npos) << R.Err;
        EXPECT_NE(R.Err.find("(see quandrel-qr --help)\n"), std::string::npos) << R.Err;
    }
    // Nothing was written under any name.
    for (const auto& Entry : fs::directory_iterator(Dir.Path))
        EXPECT_TRUE(Entry.path().filename() == "stdout" || Entry.path().filename() == "stderr" ||
                    Entry.path().filename() == "stdin")
            << Entry.path();
}

TEST(CliWin32Process, TextAndFileNamesBeyondTheCodePageArriveWhole) {
    const TempDir Dir;
    // The same text as an argument and as standard input's UTF-8 gives the same symbol.
    const std::wstring Text = L"a\u00E7\u00E3o \u20AC \U0001F600 \u6F22\u5B57";
    const Ran FromArgument = RunQr(L"-t matrix --eci \"" + Text + L"\"", Dir.Path);
    EXPECT_EQ(FromArgument.Status, 0u) << FromArgument.Err;
    const Ran Expected = RunQr(L"-t matrix --eci", Dir.Path, "a\xC3\xA7\xC3\xA3o \xE2\x82\xAC \xF0\x9F\x98\x80 \xE6\xBC\xA2\xE5\xAD\x97");
    EXPECT_EQ(FromArgument.Out, Expected.Out);
    EXPECT_NE(FromArgument.Out.find('X'), std::string::npos);
    // A name in no code page: the file has exactly that name.
    const std::wstring Name = L"s\u00EDmbolo \U0001F600 \u6F22.svg";
    const Ran Saved = RunQr(L"-o \"" + Name + L"\" text", Dir.Path);
    EXPECT_EQ(Saved.Status, 0u) << Saved.Err;
    EXPECT_NE(GetFileAttributesW((Dir.Path / Name).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadAll(Dir.Path / Name).rfind("<?xml", 0), 0u);
}

TEST(CliWin32Process, ADeviceIsWrittenNotReplaced) {
    // NUL takes what is written and is no file: nothing to replace, nothing left in the folder.
    const TempDir Dir;
    for (const std::wstring& Name : {std::wstring(L"NUL"), std::wstring(L"\\\\.\\NUL")}) {
        const Ran R = RunQr(L"-t svg -o " + Name + L" discarded", Dir.Path);
        EXPECT_EQ(R.Status, 0u) << R.Err;
        EXPECT_EQ(R.Err, "");
    }
    for (const auto& Entry : fs::directory_iterator(Dir.Path))
        EXPECT_TRUE(Entry.path().filename() == "stdout" || Entry.path().filename() == "stderr" ||
                    Entry.path().filename() == "stdin")
            << Entry.path();
}

TEST(CliWin32Process, NoStandardOutputIsAnErrorNotACrash) {
    const TempDir Dir;
    const Ran Preview = RunQr(L"-t utf8 nowhere", Dir.Path, "", true);
    EXPECT_EQ(Preview.Status, 1u);
    EXPECT_EQ(Preview.Err.rfind("quandrel-qr: cannot write standard output: ", 0), 0u) << Preview.Err;
    // A file is written as ever.
    const Ran Saved = RunQr(L"-o saved.svg text", Dir.Path, "", true);
    EXPECT_EQ(Saved.Status, 0u) << Saved.Err;
    EXPECT_EQ(ReadAll(Dir.Path / "saved.svg").rfind("<?xml", 0), 0u);
}

TEST(CliWin32Process, StandardOutputIsBinary) {
    // The C library's text mode would write CR LF for each LF.
    const TempDir Dir;
    const Ran R = RunQr(L"-t eps hi", Dir.Path);
    EXPECT_EQ(R.Status, 0u) << R.Err;
    EXPECT_NE(R.Out.find('\n'), std::string::npos);
    EXPECT_EQ(R.Out.find('\r'), std::string::npos);
}

}  // namespace
