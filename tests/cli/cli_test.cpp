// quandrel-qr: the pure parts, then the real executable run as a process.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "commandline.h"
#include "grid/qrcodegrid.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

// --- Pure functions ------------------------------------------------------------------------

TEST(CliUtf8, AcceptsWellFormedAndNamesTheFirstBadByte) {
    struct Case {
        std::string Bytes;
        bool Valid;
        std::size_t Offset;
    };
    const Case Cases[] = {
        {"", true, 0},
        {"abc", true, 0},
        {"Ol\xC3\xA1", true, 0},
        {"\xF0\x9F\x98\x80", true, 0},            // U+1F600, a surrogate pair in UTF-16
        {"ab\xFF", false, 2},                     // not a lead byte
        {"a\xC3", false, 1},                      // truncated
        {"a\xC3(", false, 1},                     // bad continuation
        {"\xC0\xAF", false, 0},                   // overlong
        {"x\xE0\x80\xAF", false, 1},              // overlong three-byte form
        {"xy\xED\xA0\x80", false, 2},             // a surrogate written as UTF-8
        {"\xF4\x90\x80\x80", false, 0},           // above U+10FFFF
        {"ok\x80", false, 2},                     // a lone continuation byte
    };
    for (const Case& C : Cases) {
        const qrcli::Decoded D = qrcli::DecodeUtf8(C.Bytes);
        EXPECT_EQ(D.Text.has_value(), C.Valid) << C.Bytes;
        if (!C.Valid) {
            EXPECT_EQ(D.ErrorOffset, C.Offset) << C.Bytes;
        }
    }
    EXPECT_EQ(*qrcli::DecodeUtf8("\xF0\x9F\x98\x80").Text, u"\U0001F600");
}

TEST(CliCrlf, EachBareLineFeedBecomesCrLf) {
    EXPECT_EQ(qrcli::ToCrlf(u"a\nb\n"), u"a\r\nb\r\n");
    EXPECT_EQ(qrcli::ToCrlf(u"a\r\nb"), u"a\r\nb");
    EXPECT_EQ(qrcli::ToCrlf(u"\n\n"), u"\r\n\r\n");
}

TEST(CliArguments, ParsesAndRejects) {
    const auto P = qrcli::ParseArguments({"-t", "matrix", "--encoding=latin1", "--quiet-zone", "0", "--crlf", "hi"});
    ASSERT_TRUE(P.Error.empty()) << P.Error;
    EXPECT_EQ(P.Opts.Type, qrcli::OutputType::Matrix);
    EXPECT_EQ(P.Opts.Encoding, qr::qrISO88591);
    EXPECT_EQ(P.Opts.QuietZone, 0);
    EXPECT_TRUE(P.Opts.Crlf);
    EXPECT_EQ(P.Opts.Text, "hi");
    EXPECT_FALSE(qrcli::ParseArguments({"-"}).Opts.Text.has_value());
    EXPECT_EQ(qrcli::ParseArguments({"--", "-o"}).Opts.Text, "-o");
    for (const std::vector<std::string>& Bad :
         {std::vector<std::string>{"--nope"}, {"-t", "png"}, {"--encoding", "utf16"}, {"--quiet-zone", "101"},
          {"--quiet-zone", "-1"}, {"--quiet-zone", "4x"}, {"-o"}, {"a", "b"}})
        EXPECT_FALSE(qrcli::ParseArguments(Bad).Error.empty()) << Bad[0];
}

// --- The executable ------------------------------------------------------------------------

struct Result {
    int Status = -1;
    std::string Out, Err;
};

std::string ReadAll(const fs::path& Path) {
    std::ifstream In(Path, std::ios::binary);
    std::ostringstream S;
    S << In.rdbuf();
    return S.str();
}

// Runs quandrel-qr with the arguments, Input on its standard input, output to files.
Result RunQr(const std::vector<std::string>& Args, const std::string& Input = "") {
    const fs::path Dir = fs::temp_directory_path() / ("cli-run-" + std::to_string(getpid()));
    fs::create_directories(Dir);
    { std::ofstream(Dir / "in", std::ios::binary) << Input; }
    posix_spawn_file_actions_t Actions;
    posix_spawn_file_actions_init(&Actions);
    posix_spawn_file_actions_addopen(&Actions, 0, (Dir / "in").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&Actions, 1, (Dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&Actions, 2, (Dir / "err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<std::string> All{QUANDREL_QR};
    All.insert(All.end(), Args.begin(), Args.end());
    std::vector<char*> Argv;
    for (auto& A : All) Argv.push_back(A.data());
    Argv.push_back(nullptr);
    pid_t Pid = 0;
    Result R;
    if (posix_spawn(&Pid, QUANDREL_QR, &Actions, nullptr, Argv.data(), environ) == 0) {
        int Status = 0;
        waitpid(Pid, &Status, 0);
        R.Status = WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
    }
    posix_spawn_file_actions_destroy(&Actions);
    R.Out = ReadAll(Dir / "out");
    R.Err = ReadAll(Dir / "err");
    fs::remove_all(Dir);
    return R;
}

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
    const Result Bad = RunQr({"--frobnicate", "x"});
    EXPECT_EQ(Bad.Status, 2);
    EXPECT_NE(Bad.Err.find("Usage: quandrel-qr"), std::string::npos);
    EXPECT_TRUE(Bad.Out.empty());
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
