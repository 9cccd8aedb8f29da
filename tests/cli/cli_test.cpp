// quandrel-qr's parts in the test's own process: messages and streams, what an encoding leaves
// out, the arguments, standard input, and the exit statuses that --help and the README list.

#include <fcntl.h>
#include <unistd.h>
#ifdef _WIN32
#include <io.h>
#else
#include <poll.h>
#include <sys/wait.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <thread>

#include "arguments.h"
#include "exitstatus.h"
#include "input.h"
#include "messages.h"
#include "outputtype.h"
#include "symbol.h"
#include "wideargs.h"
#include "writefile.h"

namespace {

// A pipe of two descriptors, in binary mode on Windows.
int MakePipe(int (&Fds)[2]) {
#ifdef _WIN32
    return _pipe(Fds, 1 << 16, _O_BINARY);
#else
    return pipe(Fds);
#endif
}

#ifndef _WIN32

// What a child process reports through its exit status: 0 when Body returns true.
bool InChild(const std::function<bool()>& Body) {
    const pid_t Child = fork();
    if (Child == 0)
        _exit(Body() ? 0 : 1);
    int Status = 0;
    return waitpid(Child, &Status, 0) == Child && WIFEXITED(Status) && WEXITSTATUS(Status) == 0;
}

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
    // In a child whose standard error is a pipe, so the test's own is left alone.
    int Pipe[2];
    ASSERT_EQ(pipe(Pipe), 0);
    EXPECT_TRUE(InChild([&] {
        dup2(Pipe[1], STDERR_FILENO);
        qrcli::Message("Cannot create file \"/tmp/a\nb\". No such file or directory");
        return true;
    }));
    close(Pipe[1]);
    char Buffer[256];
    const ssize_t Got = read(Pipe[0], Buffer, sizeof Buffer);
    close(Pipe[0]);
    EXPECT_EQ(std::string(Buffer, static_cast<std::size_t>(std::max<ssize_t>(Got, 0))),
              "quandrel-qr: Cannot create file \"/tmp/a\\nb\". No such file or directory\n");
}

TEST(CliMessages, ClosedStandardStreamsStayClosedButTaken) {
    // In a child, so the test's own streams are left alone: with standard output and error
    // closed, a file opened later must not become either, and writes to them still fail, each
    // with the stream's name and the reason.
    EXPECT_TRUE(InChild([] {
        close(STDOUT_FILENO);
        close(STDERR_FILENO);
        qrcli::HoldClosedStandardStreams();
        const int Opened = open("/", O_RDONLY | O_DIRECTORY);
        qrcli::Message("nowhere to go, and no harm done");
        const auto Out = qrcli::WriteStream(STDOUT_FILENO, "x");
        const auto Err = qrcli::WriteStream(STDERR_FILENO, "x");
        const std::string Reason = qrfiles::ErrorText(EBADF);
        return Opened > STDERR_FILENO && !Out && Out.Error() == "cannot write standard output: " + Reason && !Err &&
               Err.Error() == "cannot write standard error: " + Reason;
    }));
}
#endif

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

// The options of a run, or none with the usage error shown.
std::optional<qrcli::Options> RunOptions(const std::vector<std::string>& Args) {
    auto C = qrcli::ParseArguments(Args);
    EXPECT_TRUE(C) << C.Error();
    if (!C)
        return std::nullopt;
    EXPECT_EQ(C->What, qrcli::Action::Run);
    return C->Opts;
}

TEST(CliArguments, ParsesTheOptions) {
    const auto O = RunOptions({"-t", "MATRIX", "--encoding=latin1", "--quiet-zone", "0", "--crlf", "-l", "q",
                                          "-s", "7", "--dpi=300", "--foreground", "1A2b3C", "--background", "ffffff00",
                        "hi"});
    ASSERT_TRUE(O);
    EXPECT_EQ(O->Type, qrcli::OutputType::Matrix);
    EXPECT_EQ(O->Encoding, qr::qrISO88591);
    EXPECT_EQ(O->Margin, 0);
    EXPECT_EQ(O->Level, 'Q');
    EXPECT_EQ(O->Drawing.ModuleSize, 7);
    EXPECT_EQ(O->Drawing.Dpi, 300);
    EXPECT_EQ(O->Drawing.Foreground, (qrpicture::TColour{0x1a, 0x2b, 0x3c, 0xff}));
    EXPECT_EQ(O->Drawing.Background, (qrpicture::TColour{0xff, 0xff, 0xff, 0x00}));
    EXPECT_TRUE(O->Crlf);
    EXPECT_EQ(O->Text, "hi");

    // The defaults are qrencode's size and margin, and the window's level and encoding.
    const auto Defaults = RunOptions({});
    ASSERT_TRUE(Defaults);
    EXPECT_EQ(Defaults->Drawing.ModuleSize, 3);
    EXPECT_EQ(Defaults->Margin, 4);
    EXPECT_EQ(Defaults->Level, 'L');
    EXPECT_EQ(Defaults->Encoding, qr::qrUTF8BOM);
    EXPECT_EQ(RunOptions({"-m", "9"})->Margin, 9);
    EXPECT_FALSE(RunOptions({"-"})->Text.has_value());
    EXPECT_EQ(RunOptions({"--", "-o"})->Text, "-o");
    EXPECT_EQ(qrcli::ParseArguments({"--help"})->What, qrcli::Action::Help);
    EXPECT_EQ(qrcli::ParseArguments({"-V"})->What, qrcli::Action::Version);
}

TEST(CliArguments, NumbersAreDecimalWhateverTheirLeadingZeros) {
    const struct {
        std::vector<std::string> Args;
        int Size, Margin, Dpi;
    } Cases[] = {
        {{"-s", "010"}, 10, 4, 0},
        {{"-s", "08", "-m", "010"}, 8, 10, 0},
        {{"-m", "0", "--dpi", "0300"}, 3, 0, 300},
        {{"-m", "000", "-s", "0009"}, 9, 0, 0},
    };
    for (const auto& C : Cases) {
        const auto O = RunOptions(C.Args);
        ASSERT_TRUE(O) << C.Args[1];
        EXPECT_EQ(O->Drawing.ModuleSize, C.Size) << C.Args[1];
        EXPECT_EQ(O->Margin, C.Margin) << C.Args[1];
        EXPECT_EQ(O->Drawing.Dpi, C.Dpi) << C.Args[1];
    }
    const auto Jobs = qrcli::ParseArguments({"--batch", "l", "-o", "{n}.png", "-j", "010"});
    ASSERT_TRUE(Jobs) << Jobs.Error();
    EXPECT_EQ(Jobs->Opts.Batch->Jobs, 10);
    for (const char* Bad : {"0x10", "0b1", "1e1", "+5", " 5", "5 ", "010x"}) {
        const auto P = qrcli::ParseArguments({"-s", Bad, "x"});
        ASSERT_FALSE(P) << Bad;
        EXPECT_NE(P.Error().find("decimal"), std::string::npos) << P.Error();
    }
}

TEST(CliArguments, UsageErrorsAreOneLine) {
    const std::vector<std::vector<std::string>> Bad = {
        {"--nope"}, {"-t", "gif"}, {"-t", ""}, {"--encoding", "utf16"}, {"-s", "0"}, {"-s", "101"}, {"-s", "x"},
        {"-m", "101"}, {"-m", "-1"}, {"--quiet-zone", "4x"}, {"-l", "X"}, {"-l", "LM"}, {"--dpi", "0"},
        {"--foreground", "12345"}, {"--foreground", "1234567"}, {"--background", "gg0000"}, {"--background", "#ffffff"},
        {"-o"}, {"-o", ""}, {"a", "b"},
        // Colours that cannot be told apart make a symbol nobody can read.
        {"--foreground", "ffffff", "--background", "FFFFFF"}, {"--background", "000000"},
        {"--foreground", "12345600", "--background", "ffffff00"}};
    for (const auto& Args : Bad) {
        const auto P = qrcli::ParseArguments(Args);
        ASSERT_FALSE(P) << Args[0] << " " << (Args.size() > 1 ? Args[1] : "");
        EXPECT_FALSE(P.Error().empty());
        EXPECT_EQ(P.Error().find('\n'), std::string::npos) << P.Error();
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
        const auto O = RunOptions(C.Args);
        ASSERT_TRUE(O);
        EXPECT_EQ(qrcli::ResolveType(*O), C.Expected) << (C.Args.empty() ? "" : C.Args.back());
    }
}

TEST(CliInput, ReadsToTheEndButNeverPastTheLimit) {
    const auto Feed = [](const std::string& Bytes, std::size_t Limit) {
        int Pipe[2];
        EXPECT_EQ(MakePipe(Pipe), 0);
        std::thread Writer([&] {
            for (std::size_t At = 0; At < Bytes.size();) {
                const ssize_t Put = write(Pipe[1], Bytes.data() + At, std::min<std::size_t>(Bytes.size() - At, 7000));
                if (Put <= 0) break;  // the reader stopped
                At += static_cast<std::size_t>(Put);
            }
            close(Pipe[1]);
        });
        auto In = qrcli::ReadInput(Pipe[0], Limit);
        close(Pipe[0]);
        Writer.join();
        return In;
    };
#ifndef _WIN32
    signal(SIGPIPE, SIG_IGN);
#endif
    const std::string Text(100000, 'a');
    for (const std::size_t Limit : {Text.size(), Text.size() + 1, std::size_t{1} << 20}) {
        const auto In = Feed(Text, Limit);
        ASSERT_TRUE(In) << Limit << ": " << In.Error();
        EXPECT_EQ(*In, Text) << Limit;
    }
    const auto Over = Feed(Text, Text.size() - 1);
    ASSERT_FALSE(Over);
    EXPECT_EQ(Over.Error(), "text too long for a QR symbol: more than 99999 bytes of input");
    EXPECT_EQ(*Feed("", 10), "");
    const auto Closed = qrcli::ReadInput(-1, 10);
    ASSERT_FALSE(Closed);
    EXPECT_EQ(Closed.Error(), "cannot read standard input: " + qrfiles::ErrorText(EBADF));
}

#ifndef _WIN32
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
    const auto In = qrcli::ReadInput(Pipe[0]);
    Writer.join();
    close(Pipe[0]);
    ASSERT_TRUE(In) << In.Error();
    EXPECT_EQ(*In, "first second");
}
#endif


TEST(CliArguments, Utf16ArgumentsAreConvertedExactlyOrRefused) {
    const struct {
        std::u16string Argument;
        std::string Utf8;  // empty: refused
        std::string Error;
    } Cases[] = {
        {u"plain", "plain", ""},
        {u"", "", ""},
        {u"Ol\u00E1 \u20AC", "Ol\xC3\xA1 \xE2\x82\xAC", ""},
        {u"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF", ""},  // surrogate pairs
        {u"\uFFFF\uFEFF", "\xEF\xBF\xBF\xEF\xBB\xBF", ""},
        {u"ab\xD83D", "", "argument 2 is not valid UTF-16 (a lone surrogate at character 3)"},    // high at the end
        {u"\xD83Dx", "", "argument 2 is not valid UTF-16 (a lone surrogate at character 1)"},     // high, no low
        {u"a\xDE00", "", "argument 2 is not valid UTF-16 (a lone surrogate at character 2)"},     // low alone
        {u"\xDE00\xD83D", "", "argument 2 is not valid UTF-16 (a lone surrogate at character 1)"},  // reversed
    };
    for (const auto& C : Cases) {
        const std::u16string_view Args[] = {u"-t", C.Argument};
        const auto Converted = qrcli::ArgumentsFromUtf16(Args);
        if (C.Error.empty()) {
            ASSERT_TRUE(Converted) << Converted.Error();
            EXPECT_EQ(*Converted, (std::vector<std::string>{"-t", C.Utf8}));
        } else {
            ASSERT_FALSE(Converted) << C.Error;
            EXPECT_EQ(Converted.Error(), C.Error);
        }
    }
}

// --- Exit statuses -------------------------------------------------------------------------

using Meanings = std::map<int, std::string>;

Meanings FromTable(const char* qrcli::ExitStatusMeaning::*Column) {
    Meanings Out;
    for (const qrcli::ExitStatusMeaning& M : qrcli::ExitStatusMeanings())
        if (M.*Column)
            Out[static_cast<int>(M.Status)] = M.*Column;
    return Out;
}

// The statuses listed after the line Heading of Text, one a line: "  N    meaning" (the help) or
// "| N | meaning |" (a table of the README, after its header), up to the first line that is
// neither.
Meanings Listed(const std::string& Text, const std::string& Heading) {
    std::istringstream Lines(Text);
    std::string Line;
    while (std::getline(Lines, Line) && Line != Heading) {}
    Meanings Out;
    while (std::getline(Lines, Line)) {
        std::replace(Line.begin(), Line.end(), '|', ' ');
        const std::size_t Start = Line.find_first_not_of(' ');
        const std::size_t Digits = Line.find_first_not_of("0123456789", Start);
        if (Start == std::string::npos || Digits == Start) {
            // The blank line and the header before a table's rows; anything after them ends it.
            if (Out.empty())
                continue;
            break;
        }
        const std::size_t Meaning = Line.find_first_not_of(' ', Digits);
        const std::size_t End = Line.find_last_not_of(' ');
        Out[std::stoi(Line.substr(Start, Digits - Start))] =
            Meaning == std::string::npos ? std::string() : Line.substr(Meaning, End + 1 - Meaning);
    }
    return Out;
}

TEST(CliExitStatus, TheHelpAndTheReadmeListTheStatusesTheProgramReturns) {
    EXPECT_EQ(static_cast<int>(qrcli::ExitStatus::Interrupted), 128 + SIGINT);
    EXPECT_EQ(static_cast<int>(qrcli::ExitStatus::Terminated), 128 + SIGTERM);
    const Meanings Single = FromTable(&qrcli::ExitStatusMeaning::Single);
    const Meanings Batch = FromTable(&qrcli::ExitStatusMeaning::Batch);
    EXPECT_EQ(Single.size(), 3u);
    EXPECT_EQ(Batch.size(), 8u);

    const std::string Help = qrcli::ParseArguments({"--help"})->Help;
    EXPECT_EQ(Listed(Help, "Exit status:"), Single) << Help;
    EXPECT_EQ(Listed(Help, "Exit status of --batch:"), Batch) << Help;

    std::ifstream File(QUANDREL_README);
    ASSERT_TRUE(File) << QUANDREL_README;
    const std::string Readme((std::istreambuf_iterator<char>(File)), std::istreambuf_iterator<char>());
    EXPECT_EQ(Listed(Readme, "Exit statuses:"), Single);
    EXPECT_EQ(Listed(Readme, "Exit statuses of `--batch`:"), Batch);
}

}  // namespace
