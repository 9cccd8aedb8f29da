// quandrel-qr: the pure parts, then the real executable run as a process.

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <csignal>
#include <filesystem>
#include <sstream>
#include <thread>

#include "clirun.h"
#include "commandline.h"
#include "messages.h"
#include "grid/qrcodegrid.h"

namespace {

namespace fs = std::filesystem;

// --- Pure functions ------------------------------------------------------------------------

TEST(CliMessages, ControlCharactersAndBadBytesAreEscaped) {
    const std::pair<std::string, std::string> Cases[] = {
        {"plain text, Ol\xC3\xA1 \xE2\x82\xAC \xF0\x9F\x98\x80", "plain text, Ol\xC3\xA1 \xE2\x82\xAC \xF0\x9F\x98\x80"},
        {"a\nquandrel-qr: saved OK", "a\\nquandrel-qr: saved OK"},
        {"\r\t\\", "\\r\\t\\\\"},
        {"\x1B[2K\x1B]0;title\x07", "\\x1B[2K\\x1B]0;title\\x07"},  // erase line, window title
        {std::string("nul\0here", 8), "nul\\x00here"},
        {"del\x7F", "del\\x7F"},
        {"csi\xC2\x9B" "2J next\xC2\x85line \xC2\xA0", "csi\\xC2\\x9B" "2J next\\xC2\\x85line \xC2\xA0"},  // C1 as UTF-8
        {"caf\xE9.jpg", "caf\\xE9.jpg"},         // latin-1, not UTF-8
        {"\x9B" "2J", "\\x9B" "2J"},                 // a raw C1 byte
        {"half \xE2\x82", "half \\xE2\\x82"},     // truncated sequence
        {"\xED\xA0\x80", "\\xED\\xA0\\x80"},       // a surrogate written as UTF-8
    };
    for (const auto& [Text, Shown] : Cases)
        EXPECT_EQ(qrcli::Escaped(Text), Shown) << Shown;
}

TEST(CliMessages, AMessageIsOneWholeLine) {
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    EXPECT_EQ(qrcli::Message("Cannot create file \"/tmp/a\nb\". No such file or directory", Pipe[1]), 0);
    close(Pipe[1]);
    char Buffer[256];
    const ssize_t Got = read(Pipe[0], Buffer, sizeof Buffer);
    close(Pipe[0]);
    EXPECT_EQ(std::string(Buffer, static_cast<std::size_t>(std::max<ssize_t>(Got, 0))),
              "quandrel-qr: Cannot create file \"/tmp/a\\nb\". No such file or directory\n");
    EXPECT_EQ(qrcli::Message("lost", -1), EBADF);
}

TEST(CliMessages, ClosedStandardStreamsStayClosedButTaken) {
    // In a child, so the test's own streams are left alone: with standard output and error
    // closed, a file opened later must not become either, and writes to them still fail.
    const pid_t Child = fork();
    if (Child == 0) {
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        qrcli::HoldClosedStandardStreams();
        const int Opened = open("/", O_RDONLY | O_DIRECTORY);
        const bool Refused = qrcli::WriteText(STDOUT_FILENO, "x") == EBADF && qrcli::Message("x") == EBADF;
        _exit(Opened > STDERR_FILENO && Refused ? 0 : 1);
    }
    int Status = 0;
    ASSERT_EQ(waitpid(Child, &Status, 0), Child);
    EXPECT_TRUE(WIFEXITED(Status) && WEXITSTATUS(Status) == 0) << Status;
}

TEST(CliFilter, CountsTheCharactersAnEncodingDrops) {
    struct Case {
        std::u16string Text;
        qr::TQRCodeEncoding Option;
        std::size_t Dropped;
    };
    const Case Cases[] = {
        {u"Hello", qr::qrAlphanumeric, 4},
        {u"HELLO WORLD", qr::qrAlphanumeric, 0},
        {u"abc", qr::qrNumeric, 3},
        {u"12a3\U0001F600", qr::qrNumeric, 2},                // a character beyond U+FFFF counts once
        {u"caf\u00E9 \u20AC\U0001F600", qr::qrISO88591, 2},   // \u00E9 fits latin1, the euro and emoji not
        {u"line\r\nbreak", qr::qrAlphanumeric, 11},
        {u"\u20AC\U0001F600 anything", qr::qrUTF8BOM, 0},
        {u"\u20AC\U0001F600 anything", qr::qrUTF8NoBOM, 0},
        {u"\u20AC\U0001F600 anything", qr::qrAuto, 0},
        {u"caf\u00E9", qr::qrAuto, 0},
        {u"", qr::qrNumeric, 0},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(qrcli::DroppedCharacters(C.Text, C.Option), C.Dropped) << int(C.Option) << " " << C.Text.size();
    EXPECT_EQ(qrcli::DroppedWarning(u"HELLO", qr::qrAlphanumeric), std::nullopt);
    EXPECT_EQ(qrcli::DroppedWarning(u"a1", qr::qrNumeric),
              "warning: 1 character left out of the symbol: numeric holds only the digits 0-9");
}

TEST(CliArguments, ParsesTheOptions) {
    const auto P = qrcli::ParseArguments({"-t", "MATRIX", "--encoding=latin1", "--quiet-zone", "0", "--crlf", "-l", "q",
                                          "-s", "7", "--dpi=300", "--foreground", "1A2b3C", "--background", "ffffff00",
                                          "hi"});
    ASSERT_EQ(P.What, qrcli::Action::Run) << P.Message;
    EXPECT_EQ(P.Opts.Type, qrcli::OutputType::Matrix);
    EXPECT_EQ(P.Opts.Encoding, qr::qrISO88591);
    EXPECT_EQ(P.Opts.Margin, 0);
    EXPECT_EQ(P.Opts.Level, 'Q');
    EXPECT_EQ(P.Opts.Drawing.ModuleSize, 7);
    EXPECT_EQ(P.Opts.Drawing.Dpi, 300);
    EXPECT_EQ(P.Opts.Drawing.Foreground, (qrpicture::TColour{0x1a, 0x2b, 0x3c, 0xff}));
    EXPECT_EQ(P.Opts.Drawing.Background, (qrpicture::TColour{0xff, 0xff, 0xff, 0x00}));
    EXPECT_TRUE(P.Opts.Crlf);
    EXPECT_EQ(P.Opts.Text, "hi");

    // The defaults are qrencode's size and margin, and the window's level and encoding.
    const auto Defaults = qrcli::ParseArguments({});
    EXPECT_EQ(Defaults.Opts.Drawing.ModuleSize, 3);
    EXPECT_EQ(Defaults.Opts.Margin, 4);
    EXPECT_EQ(Defaults.Opts.Level, 'L');
    EXPECT_EQ(Defaults.Opts.Encoding, qr::qrUTF8BOM);
    EXPECT_EQ(qrcli::ParseArguments({"-m", "9"}).Opts.Margin, 9);
    EXPECT_FALSE(qrcli::ParseArguments({"-"}).Opts.Text.has_value());
    EXPECT_EQ(qrcli::ParseArguments({"--", "-o"}).Opts.Text, "-o");
    EXPECT_EQ(qrcli::ParseArguments({"--help"}).What, qrcli::Action::Help);
    EXPECT_EQ(qrcli::ParseArguments({"-V"}).What, qrcli::Action::Version);
}

TEST(CliArguments, UsageErrorsAreOneLine) {
    const std::vector<std::vector<std::string>> Bad = {
        {"--nope"}, {"-t", "gif"}, {"-t", ""}, {"--encoding", "utf16"}, {"-s", "0"}, {"-s", "101"}, {"-s", "x"},
        {"-m", "101"}, {"-m", "-1"}, {"--quiet-zone", "4x"}, {"-l", "X"}, {"-l", "LM"}, {"--dpi", "0"},
        {"--foreground", "12345"}, {"--foreground", "1234567"}, {"--background", "gg0000"}, {"--background", "#ffffff"},
        {"-o"}, {"-o", ""}, {"a", "b"}};
    for (const auto& Args : Bad) {
        const auto P = qrcli::ParseArguments(Args);
        EXPECT_EQ(P.What, qrcli::Action::UsageError) << Args[0] << " " << (Args.size() > 1 ? Args[1] : "");
        EXPECT_FALSE(P.Message.empty());
        EXPECT_EQ(P.Message.find('\n'), std::string::npos) << P.Message;
    }
}

TEST(CliArguments, TypeFromTypeOptionThenExtension) {
    const struct {
        std::vector<std::string> Args;
        qrcli::OutputType Expected;
    } Cases[] = {
        {{}, qrcli::OutputType::Utf8},
        {{"-o", "a.png"}, qrcli::OutputType::Png},
        {{"-o", "dir.v2/A.SVG"}, qrcli::OutputType::Svg},
        {{"-o", "a.eps"}, qrcli::OutputType::Eps},
        {{"-o", "a.Pdf"}, qrcli::OutputType::Pdf},
        {{"-o", "a.jpeg"}, qrcli::OutputType::Jpeg},
        {{"-o", "a.jpg"}, qrcli::OutputType::Jpeg},
        {{"-o", "a.txt"}, qrcli::OutputType::Utf8},
        // Names without a known extension keep the JPEG they always gave.
        {{"-o", "picture"}, qrcli::OutputType::Jpeg},
        {{"-o", "dir.png/picture"}, qrcli::OutputType::Jpeg},
        {{"-o", "a.gif"}, qrcli::OutputType::Jpeg},
        {{"-o", "a.matrix"}, qrcli::OutputType::Jpeg},
        {{"-o", "a.png", "-t", "svg"}, qrcli::OutputType::Svg},
        {{"-t", "Jpg"}, qrcli::OutputType::Jpeg},
    };
    for (const auto& C : Cases) {
        const auto P = qrcli::ParseArguments(C.Args);
        ASSERT_EQ(P.What, qrcli::Action::Run) << P.Message;
        EXPECT_EQ(qrcli::ResolveType(P.Opts), C.Expected) << (C.Args.empty() ? "" : C.Args.back());
    }
}

TEST(CliInput, ReadsToTheEndButNeverPastTheLimit) {
    const auto Feed = [](const std::string& Bytes, std::size_t Limit) {
        int Pipe[2];
        EXPECT_EQ(pipe(Pipe), 0);
        std::thread Writer([&] {
            for (std::size_t At = 0; At < Bytes.size();) {
                const ssize_t Put = write(Pipe[1], Bytes.data() + At, std::min<std::size_t>(Bytes.size() - At, 7000));
                if (Put <= 0) break;  // the reader stopped
                At += static_cast<std::size_t>(Put);
            }
            close(Pipe[1]);
        });
        qrcli::Input In = qrcli::ReadInput(Pipe[0], Limit);
        close(Pipe[0]);
        Writer.join();
        return In;
    };
    signal(SIGPIPE, SIG_IGN);
    const std::string Text(100000, 'a');
    for (const std::size_t Limit : {Text.size(), Text.size() + 1, std::size_t{1} << 20}) {
        const qrcli::Input In = Feed(Text, Limit);
        EXPECT_FALSE(In.TooLong) << Limit;
        EXPECT_EQ(In.Bytes, Text) << Limit;
    }
    const qrcli::Input Over = Feed(Text, Text.size() - 1);
    EXPECT_TRUE(Over.TooLong);
    EXPECT_LE(Over.Bytes.size(), Text.size() - 1);
    EXPECT_TRUE(Feed("", 10).Bytes.empty());
    EXPECT_EQ(qrcli::ReadInput(-1, 10).Error, EBADF);
}

TEST(CliInput, ANonBlockingInputIsWaitedForNotAnError) {
    int Pipe[2];
    ASSERT_EQ(pipe2(Pipe, O_NONBLOCK), 0);
    std::thread Writer([&] {
        for (const char* Part : {"first ", "second"}) {
            // Give the reader time to find the pipe empty.
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            ASSERT_GT(write(Pipe[1], Part, std::strlen(Part)), 0);
        }
        close(Pipe[1]);
    });
    const qrcli::Input In = qrcli::ReadInput(Pipe[0]);
    Writer.join();
    close(Pipe[0]);
    EXPECT_EQ(In.Error, 0);
    EXPECT_EQ(In.Bytes, "first second");
}

// --- The executable ------------------------------------------------------------------------

using clirun::ReadAll;
using clirun::Result;
using clirun::RunQr;

// The encoder's matrix of a text, as matrix output writes it.
std::string EncoderMatrix(std::u16string_view Text, int Option) {
    qr::TEncoder Encoder;
    qr::TQRCode Record;
    Encoder.EncodeSymbol(Text, Option, qr::LevelL(), Record);
    std::string Lines;
    const qr::TByteMatrix& M = *Record.Matrix();
    for (int y = 0; y < M.Height(); ++y) {
        for (int x = 0; x < M.Width(); ++x) Lines += M.Get(x, y) == 1 ? 'X' : '.';
        Lines += '\n';
    }
    return Lines;
}

TEST(CliProcess, MatrixOutputIsTheEncodersMatrixForEveryEncoding) {
    const std::pair<const char*, int> Encodings[] = {{"auto", qr::qrAuto},       {"numeric", qr::qrNumeric},
                                                    {"alphanumeric", qr::qrAlphanumeric}, {"latin1", qr::qrISO88591},
                                                    {"utf8", qr::qrUTF8BOM},     {"utf8-bom", qr::qrUTF8NoBOM}};
    const std::pair<std::string, std::u16string> Texts[] = {
        {"", u""}, {"0123456789", u"0123456789"}, {"HELLO WORLD", u"HELLO WORLD"},
        {"Ol\xC3\xA1 mundo", u"Ol\u00E1 mundo"}, {"\xE2\x82\xAC 12", u"\u20AC 12"},
        {"\xF0\x9F\x98\x80 emoji", u"\U0001F600 emoji"}};
    for (const auto& [Name, Option] : Encodings)
        for (const auto& [Utf8, Utf16] : Texts) {
            const Result R = RunQr({"-t", "matrix", "--encoding", Name, "--", Utf8});
            EXPECT_EQ(R.Status, 0) << Name << " " << Utf8 << R.Err;
            EXPECT_EQ(R.Out, EncoderMatrix(Utf16, Option)) << Name << " " << Utf8;
        }
}

TEST(CliProcess, StandardInputDashAndCrlf) {
    EXPECT_EQ(RunQr({"-t", "matrix"}, "line\nbreak").Out, EncoderMatrix(u"line\nbreak", qr::qrUTF8BOM));
    EXPECT_EQ(RunQr({"-t", "matrix", "-"}, "x").Out, EncoderMatrix(u"x", qr::qrUTF8BOM));
    EXPECT_EQ(RunQr({"-t", "matrix", "--crlf"}, "line\nbreak").Out, EncoderMatrix(u"line\r\nbreak", qr::qrUTF8BOM));
}

TEST(CliProcess, TextOutputsKeepTheQuietZone) {
    const Result Ascii = RunQr({"-t", "ascii", "--quiet-zone", "2", "x"});
    ASSERT_EQ(Ascii.Status, 0);
    std::istringstream Lines(Ascii.Out);
    std::vector<std::string> Rows;
    for (std::string L; std::getline(Lines, L);) Rows.push_back(L);
    ASSERT_EQ(Rows.size(), 25u);  // 21 modules and 2 on each side
    EXPECT_EQ(Rows[0], std::string(50, ' '));
    EXPECT_EQ(Rows[2].substr(0, 6), "    ##");  // the finder's corner after two light modules
    const Result Blocks = RunQr({"-t", "utf8", "x"});
    ASSERT_EQ(Blocks.Status, 0);
    EXPECT_EQ(std::count(Blocks.Out.begin(), Blocks.Out.end(), '\n'), 15);  // 29 rows, two a line
}

TEST(CliProcess, InvalidUtf8IsRefusedWithItsOffset) {
    const Result R = RunQr({"-t", "matrix"}, "abc\xFF");
    EXPECT_EQ(R.Status, 2);
    EXPECT_NE(R.Err.find("offset 3"), std::string::npos) << R.Err;
    EXPECT_TRUE(R.Out.empty());
}

TEST(CliProcess, TextThatNoVersionHoldsIsAnErrorAndWritesNothing) {
    const fs::path File = fs::temp_directory_path() / "cli-too-long.jpg";
    fs::remove(File);
    const Result R = RunQr({"-o", File.string()}, std::string(2954, 'a'));
    EXPECT_EQ(R.Status, 1);
    EXPECT_NE(R.Err.find("2954 bytes"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("2953"), std::string::npos) << R.Err;
    EXPECT_FALSE(fs::exists(File));
    const Result Digits = RunQr({"--encoding", "numeric", "-t", "matrix"}, std::string(7090, '1'));
    EXPECT_EQ(Digits.Status, 1);
    EXPECT_NE(Digits.Err.find("7089"), std::string::npos) << Digits.Err;
    EXPECT_EQ(RunQr({"-t", "matrix"}, std::string(2953, 'a')).Status, 0);
}

TEST(CliProcess, JpegFileAndUnwritableOutput) {
    const fs::path Dir = fs::temp_directory_path() / ("cli-jpeg-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    const Result Ok = RunQr({"-o", (Dir / "a.jpg").string(), "hello"});
    EXPECT_EQ(Ok.Status, 0) << Ok.Err;
    const std::string Jpeg = ReadAll(Dir / "a.jpg");
    ASSERT_GE(Jpeg.size(), 4u);
    EXPECT_EQ(Jpeg.substr(0, 2), "\xFF\xD8");
    // Same text, same bytes: one rendering and one compression.
    EXPECT_EQ(RunQr({"-o", (Dir / "b.jpg").string(), "hello"}).Status, 0);
    EXPECT_EQ(ReadAll(Dir / "b.jpg"), Jpeg);
    EXPECT_EQ(RunQr({"-t", "jpeg", "hello"}).Out, Jpeg);  // to standard output, which is no terminal here

    // A path whose parent is a regular file cannot be created (root ignores permissions).
    const Result Bad = RunQr({"-o", (Dir / "a.jpg" / "x.jpg").string(), "hello"});
    EXPECT_EQ(Bad.Status, 1);
    EXPECT_NE(Bad.Err.find("Cannot create file"), std::string::npos) << Bad.Err;
    EXPECT_EQ(ReadAll(Dir / "a.jpg"), Jpeg);
    fs::remove_all(Dir);
}

TEST(CliProcess, HelpVersionAndBadOptions) {
    const Result Help = RunQr({"--help"});
    EXPECT_EQ(Help.Status, 0);
    EXPECT_NE(Help.Out.find("Usage: quandrel-qr"), std::string::npos);
    const Result Version = RunQr({"--version"});
    EXPECT_EQ(Version.Status, 0);
    EXPECT_EQ(Version.Out.rfind("quandrel-qr ", 0), 0u);
    // Unknown option, unknown type, size 0, margin out of range, bad colour, unknown level.
    for (const std::vector<std::string>& Args :
         {std::vector<std::string>{"--frobnicate", "x"}, {"-t", "gif", "x"}, {"-s", "0", "x"}, {"-m", "101", "x"},
          {"--foreground", "00000g", "x"}, {"-l", "Z", "x"}}) {
        const Result Bad = RunQr(Args, "not read");
        EXPECT_EQ(Bad.Status, 2) << Args[0];
        EXPECT_EQ(Bad.Err.rfind("quandrel-qr: ", 0), 0u) << Bad.Err;
        EXPECT_EQ(std::count(Bad.Err.begin(), Bad.Err.end(), '\n'), 1) << Bad.Err;
        EXPECT_TRUE(Bad.Out.empty());
    }
}

TEST(CliProcess, InfoOnStandardError) {
    const Result R = RunQr({"--info", "-t", "matrix", "Ol\xC3\xA1"});
    EXPECT_EQ(R.Status, 0);
    EXPECT_NE(R.Err.find("version: 1"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("mask: 2"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("mode: byte"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("side: 21"), std::string::npos) << R.Err;
    EXPECT_NE(R.Err.find("bytes: 4"), std::string::npos) << R.Err;
}

}  // namespace
