// quandrel-qr run as a process: the symbol of every encoding, standard input, the text outputs,
// refused input, the JPEG file, help, version and bad options, and --info.

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "clirun.h"
#include "encoder/qrcode.h"

namespace {

namespace fs = std::filesystem;

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

TEST(CliProcess, APdfPageLargerThanPdfAllowsIsRefusedWithTheReason) {
    // Version 40 with a margin of 100 modules: 377 modules a side; at 38 points a module the
    // page is 14,326 points, within PDF's 14,400, at 39 it is 14,703.
    const std::string Text(2900, 'a');
    const Result Fits = RunQr({"-t", "pdf", "-s", "38", "-m", "100"}, Text);
    EXPECT_EQ(Fits.Status, 0) << Fits.Err;
    EXPECT_EQ(Fits.Out.rfind("%PDF-", 0), 0u);
    const Result Over = RunQr({"-t", "pdf", "-s", "39", "-m", "100"}, Text);
    EXPECT_EQ(Over.Status, 1);
    EXPECT_EQ(Over.Err,
              "quandrel-qr: a PDF page is at most 14400 points a side, and this one would be 14703 (377 modules of "
              "39 points); use -s 38 or less\n");
    EXPECT_TRUE(Over.Out.empty());
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

namespace {

// Reader warnings: each risk once, one line each, in order, and the symbol still made.
TEST(CliProcess, ReaderWarningsEachOnceAndTheRunSucceeds) {
    const std::string Utf8 = "quandrel-qr: warning: the text is not ASCII and no ECI header marks it as UTF-8";
    struct Case {
        std::vector<std::string> Args;
        std::vector<std::string> Starts;  // the start of each line of standard error
    } const Cases[] = {
        {{"-t", "png", "-o", "-", "x"}, {}},
        {{"-t", "png", "-o", "-", "ação"}, {Utf8}},
        {{"-t", "png", "-o", "-", "--eci", "ação"}, {}},  // the header names UTF-8
        {{"-t", "png", "-o", "-", "--encoding", "latin1", "ação"}, {}},
        {{"-t", "png", "-o", "-", "--encoding", "auto", "ação"}, {}},  // auto writes Latin-1 here
        {{"-t", "png", "-o", "-", "--encoding", "auto", "5 €"}, {Utf8}},
        {{"-t", "png", "-o", "-", "-m", "2", "--foreground", "ffffff", "--background", "000000", "-s", "2",
          "--dpi", "300", "olá"},
         {Utf8, "quandrel-qr: warning: the quiet zone is 2 modules", "quandrel-qr: warning: the foreground is lighter",
          "quandrel-qr: warning: a module prints 0.16 mm wide at 300 DPI"}},
        {{"-t", "svg", "--foreground", "aaaaaa", "x"}, {"quandrel-qr: warning: the colours' contrast is 2.3:1"}},
        {{"-t", "pdf", "-o", "-", "-s", "1", "x"}, {"quandrel-qr: warning: a module prints 0.35 mm wide at 72 DPI"}},
        // The matrix is the bare modules and JPEG the window's picture: no quiet zone or colours to warn of.
        {{"-t", "matrix", "-m", "0", "x"}, {}},
        {{"-t", "jpeg", "-o", "-", "-m", "0", "--foreground", "ffffff", "--background", "000000", "x"}, {}},
        {{"-t", "ascii", "-m", "1", "x"}, {"quandrel-qr: warning: the quiet zone is 1 module"}},
    };
    for (const Case& C : Cases) {
        const Result R = RunQr(C.Args);
        EXPECT_EQ(R.Status, 0) << R.Err;
        EXPECT_FALSE(R.Out.empty());
        std::istringstream Lines(R.Err);
        std::vector<std::string> Got;
        for (std::string L; std::getline(Lines, L);) Got.push_back(L);
        ASSERT_EQ(Got.size(), C.Starts.size()) << C.Args.back() << "\n" << R.Err;
        for (std::size_t i = 0; i < Got.size(); ++i)
            EXPECT_EQ(Got[i].rfind(C.Starts[i], 0), 0u) << Got[i];
    }
}

}  // namespace
