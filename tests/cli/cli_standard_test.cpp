// quandrel-qr's choices beyond the plain symbol against independent encoders run as black
// boxes: -v and --mask module for module with zint and segno forced to the same choices,
// every symbol read back with zbarimg; --optimize, --kanji and --eci as a reader sees them; --info;
// --symbols sets joined by zbar and compared with zint --structapp.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "clirun.h"
#include "zbardecode.h"

namespace {

using clirun::Result;
using clirun::RunQr;

struct TempDir : clirun::TempDir {
    TempDir() : clirun::TempDir("cli-standard") {}
};

std::vector<std::string> Lines(const std::string& Text) {
    std::vector<std::string> Rows;
    std::istringstream In(Text);
    for (std::string Line; std::getline(In, Line);) Rows.push_back(Line);
    return Rows;
}

// Our bare symbol as rows of '1' (dark) and '0'.
std::vector<std::string> Ours(const std::vector<std::string>& Args) {
    std::vector<std::string> All = {"-t", "matrix"};
    All.insert(All.end(), Args.begin(), Args.end());
    const Result R = RunQr(All);
    EXPECT_EQ(R.Status, 0) << R.Err;
    std::vector<std::string> Rows = Lines(R.Out);
    for (std::string& Row : Rows)
        for (char& c : Row) c = c == 'X' ? '1' : '0';
    return Rows;
}

// zint's symbol: --dump gives each row as hexadecimal groups, 4 bits a digit, the last group
// padded on the right.
std::vector<std::string> Zint(const std::vector<std::string>& Args, int Side) {
    std::vector<std::string> All = {"zint", "--dump"};
    All.insert(All.end(), Args.begin(), Args.end());
    const Result R = clirun::Run("zint", All);
    EXPECT_EQ(R.Status, 0) << "zint failed (is it installed?): " << R.Err;
    std::vector<std::string> Rows;
    for (const std::string& Line : Lines(R.Out)) {
        std::string Row;
        std::istringstream Groups(Line);
        for (std::string Group; Groups >> Group;)
            for (const char Digit : Group) {
                const int v = std::stoi(std::string(1, Digit), nullptr, 16);
                for (int b = 3; b >= 0; --b) Row += (v >> b) & 1 ? '1' : '0';
            }
        if (!Row.empty()) Rows.push_back(Row.substr(0, static_cast<std::size_t>(Side)));
    }
    return Rows;
}

// segno's symbol for the text in the mode, forced to the version, level and mask; no Micro QR
// and no raised level.
std::vector<std::string> Segno(const std::string& Text, int Version, int Mask, char Level, const std::string& Mode) {
    const char* Script =
        "import segno, sys\n"
        "q = segno.make(sys.argv[1], version=int(sys.argv[2]), mask=int(sys.argv[3]), error=sys.argv[4],\n"
        "               mode=sys.argv[5], boost_error=False, micro=False)\n"
        "for r in q.matrix: print(''.join(str(v) for v in r))\n";
    const Result R = clirun::Run("/usr/bin/python3", {"python3", "-c", Script, Text, std::to_string(Version),
                                                      std::to_string(Mask), std::string(1, Level), Mode});
    EXPECT_EQ(R.Status, 0) << "python3-segno failed (is it installed?): " << R.Err;
    return Lines(R.Out);
}

// What zbarimg reads from a PNG, as it prints it without -Sbinary (its own guess of the
// character set, or the one the ECI header names).
std::string ZbarReads(const std::string& Png) {
    const Result R = clirun::Run("zbarimg", {"zbarimg", "-q", "--raw", Png});
    EXPECT_EQ(R.Status, 0) << "zbarimg read nothing: " << R.Err;
    return R.Out.empty() ? R.Out : R.Out.substr(0, R.Out.size() - 1);
}

struct Forced {
    std::string Text;
    int Version, Mask;
    char Level;
    std::string Encoding, SegnoMode;
    // segno 1.4.1 writes a zero codeword before the pad codewords where the terminator ends on
    // a codeword boundary (the data plus 0000 a whole number of bytes, as in every byte-mode
    // symbol with room to spare). 7.4.9 and 7.4.10 put the pad codewords 11101100 00010001
    // right after the terminator and its bit padding, as zint and we do: there, zint alone is
    // the comparison. (Rebuilt from our codewords with a 00 codeword inserted, the matrix is
    // segno's, so nothing else differs.)
    bool SegnoPads;
};

TEST(CliFixed, VersionAndMaskModuleForModuleWithZintAndSegno) {
    const Forced Cases[] = {
        {"HELLO", 2, 3, 'M', "alphanumeric", "alphanumeric", true},
        {"HELLO WORLD", 7, 6, 'Q', "alphanumeric", "alphanumeric", true},
        {"HTTP://X.Y/AB", 28, 0, 'L', "alphanumeric", "alphanumeric", true},
        {"01234567", 1, 4, 'L', "numeric", "numeric", true},
        {"0123456789012", 12, 1, 'H', "numeric", "numeric", false},  // 60 + 4 bits: 8 codewords
        {"hello", 3, 5, 'L', "utf8", "byte", false},
        {"hello, world", 14, 7, 'M', "utf8", "byte", false},
        {"Quandrel 2", 40, 2, 'H', "utf8", "byte", false},
    };
    TempDir Dir;
    for (const Forced& C : Cases) {
        const std::string V = std::to_string(C.Version), M = std::to_string(C.Mask), L(1, C.Level);
        const std::vector<std::string> Args = {"-v", V, "--mask", M, "-l", L, "--encoding", C.Encoding, "--", C.Text};
        const std::vector<std::string> Mine = Ours(Args);
        ASSERT_EQ(Mine.size(), static_cast<std::size_t>(17 + 4 * C.Version)) << C.Text;
        // zint numbers the levels 1 to 4; --binary keeps the bytes as given, in byte mode.
        std::vector<std::string> ZintArgs = {"-b", "QRCODE", "--vers=" + V, "--mask=" + M,
                                             "--secure=" + std::to_string(std::string("LMQH").find(C.Level) + 1)};
        if (C.SegnoMode == "byte") ZintArgs.push_back("--binary");
        ZintArgs.insert(ZintArgs.end(), {"-d", C.Text});
        EXPECT_EQ(Mine, Zint(ZintArgs, 17 + 4 * C.Version)) << C.Text << " -v " << V << " --mask " << M;
        if (C.SegnoPads) {
            EXPECT_EQ(Mine, Segno(C.Text, C.Version, C.Mask, C.Level, C.SegnoMode)) << C.Text;
        } else {
            EXPECT_NE(Mine, Segno(C.Text, C.Version, C.Mask, C.Level, C.SegnoMode)) << "segno's pad codewords mended?";
        }
        const std::string Png = (Dir.Path / "forced.png").string();
        std::vector<std::string> PngArgs = {"-o", Png};
        PngArgs.insert(PngArgs.end(), Args.begin(), Args.end());
        ASSERT_EQ(RunQr(PngArgs).Status, 0);
        EXPECT_EQ(ZbarReads(Png), C.Text);
    }
}

TEST(CliFixed, StrictVersionInfoAndRefusals) {
    const Result Grown = RunQr({"--info", "-t", "matrix", "-v", "2", std::string(40, 'q')});
    EXPECT_EQ(Grown.Status, 0) << Grown.Err;
    EXPECT_NE(Grown.Err.find("version: 3\n"), std::string::npos) << Grown.Err;
    EXPECT_NE(Grown.Err.find("version chosen: the smallest that holds the text; -v 2 asked for at least 2\n"),
              std::string::npos) << Grown.Err;
    EXPECT_NE(Grown.Err.find("mask chosen: the least penalty of the eight\n"), std::string::npos);
    const Result Fixed = RunQr({"--info", "-t", "matrix", "-v", "9", "--mask", "6", "hello"});
    EXPECT_NE(Fixed.Err.find("version: 9\n"), std::string::npos) << Fixed.Err;
    EXPECT_NE(Fixed.Err.find("mask: 6\n"), std::string::npos);
    EXPECT_NE(Fixed.Err.find("version chosen: -v 9 asked (the text needs 1)\n"), std::string::npos) << Fixed.Err;
    EXPECT_NE(Fixed.Err.find("mask chosen: --mask 6 asked; the penalty not consulted\n"), std::string::npos);
    const Result Strict = RunQr({"-t", "matrix", "-v", "2", "--strict-version", std::string(40, 'q')});
    EXPECT_EQ(Strict.Status, 1);
    EXPECT_EQ(Strict.Out, "");
    EXPECT_NE(Strict.Err.find("text too long for version 2 at level L (--strict-version): it needs version 3"),
              std::string::npos) << Strict.Err;
    for (const std::vector<std::string>& Bad : {std::vector<std::string>{"-v", "41", "x"}, {"-v", "0", "x"},
                                                {"--mask", "8", "x"}, {"--strict-version", "x"}}) {
        const Result R = RunQr(Bad);
        EXPECT_EQ(R.Status, 2) << Bad[0];
        EXPECT_EQ(R.Out, "");
    }
}

TEST(CliOptimize, SmallerSymbolThatReadsTheSame) {
    TempDir Dir;
    const std::string Url = "https://example.org/track?id=73920184650293817465028391746502";
    const Result Plain = RunQr({"--info", "-t", "matrix", Url});
    const Result Mixed = RunQr({"--info", "-t", "matrix", "--optimize", Url});
    EXPECT_NE(Plain.Err.find("version: 4\n"), std::string::npos) << Plain.Err;
    EXPECT_NE(Mixed.Err.find("version: 3\n"), std::string::npos) << Mixed.Err;
    EXPECT_NE(Mixed.Err.find("mode: mixed\n"), std::string::npos) << Mixed.Err;
    EXPECT_NE(Mixed.Err.find("segments: byte 29, numeric 32\n"), std::string::npos) << Mixed.Err;
    const std::string Png = (Dir.Path / "mixed.png").string();
    ASSERT_EQ(RunQr({"--optimize", "-o", Png, Url}).Status, 0);
    EXPECT_EQ(ZbarReads(Png), Url);
    // More than byte mode holds, but not more than mixed segments do.
    const std::string Long = std::string(3000, '7') + "abc";
    EXPECT_EQ(RunQr({"-t", "matrix", Long}).Status, 1);
    ASSERT_EQ(RunQr({"--optimize", "-o", Png, Long}).Status, 0);
    EXPECT_EQ(ZbarReads(Png), Long);
}

TEST(CliEci, ZbarReadsTheTextRightWithTheHeaderAndWrongWithout) {
    TempDir Dir;
    const std::string Png = (Dir.Path / "eci.png").string();
    for (const std::string Text : {"a\xC3\xA7\xC3\xA3o", "\xE6\x9D\xB1\xE4\xBA\xAC"}) {  // ação, 東京
        ASSERT_EQ(RunQr({"-o", Png, Text}).Status, 0);
        EXPECT_NE(ZbarReads(Png), Text) << "zbar guessed right without ECI: the test shows nothing";
        ASSERT_EQ(RunQr({"--eci", "-o", Png, Text}).Status, 0);
        EXPECT_EQ(ZbarReads(Png), Text);
        const Result Info = RunQr({"--eci", "--info", "-t", "matrix", Text});
        EXPECT_NE(Info.Err.find("eci: 26 (UTF-8)\n"), std::string::npos) << Info.Err;
    }
    // Latin-1 bytes under designator 3: zbar prints them as UTF-8.
    ASSERT_EQ(RunQr({"--eci", "--encoding", "latin1", "-o", Png, "a\xC3\xA7\xC3\xA3o"}).Status, 0);
    EXPECT_EQ(ZbarReads(Png), "a\xC3\xA7\xC3\xA3o");
    // zint writes the same symbol for the same ECI, version and mask.
    EXPECT_EQ(Ours({"--eci", "-v", "2", "--mask", "3", "--", "a\xC3\xA7\xC3\xA3o"}),
              Zint({"-b", "QRCODE", "--vers=2", "--mask=3", "--secure=1", "--eci=26", "--binary", "-d",
                    "a\xC3\xA7\xC3\xA3o"}, 25));
}

TEST(CliKanji, ModuleForModuleWithZintAndSegnoAndReadByZbar) {
    // zint turns a text beyond Latin-1 into Shift JIS and Kanji mode by itself; segno is told.
    // None of these has its data and terminator end on a codeword boundary (12 + 13 n + 4 bits,
    // n not a multiple of 8), where segno's extra zero codeword would differ.
    const struct {
        std::string Text;
        int Version, Mask;
        char Level;
    } Cases[] = {
        {"\xE7\x82\xB9\xE8\x8C\x97\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0\xE5\x8C\xBA", 2, 3, 'L'},  // 点茗東京都千代田区
        {"\xE8\x8C\x97\xE8\x8D\xB7\xE8\xB0\xB7", 5, 6, 'H'},  // 茗荷谷
        {"\xE3\x81\x82", 1, 0, 'M'},                        // あ
    };
    TempDir Dir;
    const std::string Png = (Dir.Path / "kanji.png").string();
    for (const auto& C : Cases) {
        const std::string V = std::to_string(C.Version), M = std::to_string(C.Mask), L(1, C.Level);
        const std::vector<std::string> Mine = Ours({"--kanji", "-v", V, "--mask", M, "-l", L, "--", C.Text});
        const int Side = 17 + 4 * C.Version;
        ASSERT_EQ(Mine.size(), static_cast<std::size_t>(Side));
        EXPECT_EQ(Mine, Zint({"-b", "QRCODE", "--vers=" + V, "--mask=" + M,
                              "--secure=" + std::to_string(std::string("LMQH").find(C.Level) + 1), "-d", C.Text},
                             Side)) << C.Text;
        EXPECT_EQ(Mine, Segno(C.Text, C.Version, C.Mask, C.Level, "kanji")) << C.Text;
        ASSERT_EQ(RunQr({"--kanji", "-l", L, "-o", Png, "--", C.Text}).Status, 0);
        EXPECT_EQ(ZbarReads(Png), C.Text);
    }
    // A Japanese address: Kanji runs alone save nothing here, mixed with alphanumeric ones they
    // reach a smaller version than byte mode.
    const std::string Address = "\xE6\x9D\xB1\xE4\xBA\xAC\xE9\x83\xBD\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0"
                                "\xE5\x8C\xBA\xE4\xB8\xB8\xE3\x81\xAE\xE5\x86\x85" "1-9-1 "
                                "\xE3\x83\x93\xE3\x83\xAB" "12F";  // 東京都千代田区丸の内1-9-1 ビル12F
    const Result Plain = RunQr({"--info", "-t", "matrix", Address});
    EXPECT_NE(Plain.Err.find("version: 3\n"), std::string::npos) << Plain.Err;
    const Result Runs = RunQr({"--info", "--kanji", "-t", "matrix", Address});
    EXPECT_NE(Runs.Err.find("segments: kanji 10, byte 6, kanji 2, byte 3\n"), std::string::npos) << Runs.Err;
    const Result Mixed = RunQr({"--info", "--kanji", "--optimize", "-t", "matrix", Address});
    EXPECT_NE(Mixed.Err.find("version: 2\n"), std::string::npos) << Mixed.Err;
    EXPECT_NE(Mixed.Err.find("segments: kanji 10, alphanumeric 6, kanji 2, alphanumeric 3\n"), std::string::npos)
        << Mixed.Err;
    for (const std::vector<std::string>& Args : {std::vector<std::string>{"--kanji"}, {"--kanji", "--optimize"}}) {
        std::vector<std::string> All = Args;
        All.insert(All.end(), {"-o", Png, Address});
        ASSERT_EQ(RunQr(All).Status, 0);
        EXPECT_EQ(ZbarReads(Png), Address) << Args.back();
    }
    // Under latin1 Kanji mode keeps 点; only € (in neither) is left out, and the warning says so.
    const Result Latin1 = RunQr({"--info", "--kanji", "--encoding", "latin1", "-t", "matrix",
                                 "\xC3\x97\xE7\x82\xB9\xE2\x82\xAC"});  // ×点€
    EXPECT_EQ(Latin1.Status, 0);
    EXPECT_NE(Latin1.Err.find("warning: 1 character left out of the symbol: latin1 holds only U+0000 to U+00FF, "
                              "and --kanji Shift JIS Kanji\n"), std::string::npos) << Latin1.Err;
    EXPECT_NE(Latin1.Err.find("segments: byte 1, kanji 1\n"), std::string::npos) << Latin1.Err;
}

// The symbols of a set written with -t matrix, read back as rows of '1' and '0'.
std::vector<std::vector<std::string>> MatrixFiles(const clirun::TempDir& Dir, const std::string& Stem, int Count) {
    std::vector<std::vector<std::string>> Set;
    for (int k = 1; k <= Count; ++k) {
        std::vector<std::string> Rows = Lines(clirun::ReadAll(Dir.Path / (Stem + std::to_string(k) + ".txt")));
        for (std::string& Row : Rows)
            for (char& c : Row) c = c == 'X' ? '1' : '0';
        Set.push_back(std::move(Rows));
    }
    return Set;
}

// What zbar reads from the symbols side by side in one picture (a set is joined only when all
// of its symbols are in view), in binary mode: the bytes.
std::vector<std::string> ReadSideBySide(const std::vector<std::vector<std::string>>& Set) {
    constexpr int Scale = 3, Quiet = 4;
    int Width = Quiet, Height = 0;
    for (const auto& Rows : Set) {
        Width += static_cast<int>(Rows.size()) + Quiet;
        Height = std::max(Height, static_cast<int>(Rows.size()) + 2 * Quiet);
    }
    const auto W = static_cast<std::size_t>(Width * Scale);
    std::vector<std::uint8_t> Grey(W * static_cast<std::size_t>(Height * Scale), 255);
    std::size_t Left = Quiet;
    for (const auto& Rows : Set) {
        for (std::size_t y = 0; y < Rows.size(); ++y)
            for (std::size_t x = 0; x < Rows[y].size(); ++x)
                if (Rows[y][x] == '1')
                    for (std::size_t d = 0; d < Scale * Scale; ++d)
                        Grey[((y + Quiet) * Scale + d / Scale) * W + (Left + x) * Scale + d % Scale] = 0;
        Left += Rows.size() + Quiet;
    }
    return zbartest::DecodeGrey(Grey, Width * Scale, Height * Scale);
}

TEST(CliSymbols, ZbarJoinsTheSetAndZintWritesTheSameSymbols) {
    TempDir Dir;
    // 90 ASCII bytes in three parts of 30; the parity is the XOR of all 90.
    std::string Text;
    for (int i = 0; i < 90; ++i) Text += static_cast<char>("quandrel-Set/"[i % 13]);
    int Parity = 0;
    for (const char c : Text) Parity ^= static_cast<unsigned char>(c);
    const std::string Stem = (Dir.Path / "p").string();
    ASSERT_EQ(RunQr({"--symbols", "3", "-v", "3", "--mask", "2", "-t", "matrix", "-o", Stem + "{n}.txt", Text}).Status, 0);
    const auto Set = MatrixFiles(Dir, "p", 3);
    EXPECT_EQ(ReadSideBySide(Set), std::vector<std::string>{Text});
    // zint numbers the symbols from 1 and takes the parity as the set's identifier.
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(Set[static_cast<std::size_t>(k)],
                  Zint({"-b", "QRCODE", "--vers=3", "--mask=2", "--secure=1", "--binary",
                        "--structapp=" + std::to_string(k + 1) + ",3," + std::to_string(Parity), "-d",
                        Text.substr(static_cast<std::size_t>(30 * k), 30)}, 29)) << "symbol " << k + 1;
    }
    EXPECT_FALSE(std::filesystem::exists(Dir.Path / "p4.txt"));
    // Multi-byte characters stay whole: zbar gives back the UTF-8 bytes of the whole text.
    std::string Wide;
    for (int i = 0; i < 40; ++i) Wide += "a\xC3\xA7\xE6\x9D\xB1\xF0\x9F\x98\x80 ";  // aç東😀
    ASSERT_EQ(RunQr({"--symbols", "5", "-t", "matrix", "-o", (Dir.Path / "w{n:02}.txt").string(), Wide}).Status, 0);
    std::vector<std::vector<std::string>> WideSet;
    for (int k = 1; k <= 5; ++k) {
        std::vector<std::string> Rows = Lines(clirun::ReadAll(Dir.Path / ("w0" + std::to_string(k) + ".txt")));
        for (std::string& Row : Rows)
            for (char& c : Row) c = c == 'X' ? '1' : '0';
        WideSet.push_back(std::move(Rows));
    }
    EXPECT_EQ(ReadSideBySide(WideSet), std::vector<std::string>{Wide});
    // auto: as few as hold it, and one plain symbol for a short text.
    ASSERT_EQ(RunQr({"--symbols", "auto", "-t", "matrix", "-o", Stem + "a{n}.txt", std::string(4000, 'x')}).Status, 0);
    EXPECT_TRUE(std::filesystem::exists(Dir.Path / "pa2.txt"));
    EXPECT_FALSE(std::filesystem::exists(Dir.Path / "pa3.txt"));
    ASSERT_EQ(RunQr({"--symbols", "auto", "-t", "matrix", "-o", Stem + "s{n}.txt", "short"}).Status, 0);
    EXPECT_EQ(clirun::ReadAll(Dir.Path / "ps1.txt"), RunQr({"-t", "matrix", "short"}).Out);
    EXPECT_FALSE(std::filesystem::exists(Dir.Path / "ps2.txt"));
}

TEST(CliSymbols, Refusals) {
    TempDir Dir;
    const std::string Template = (Dir.Path / "r{n}.png").string();
    for (const std::vector<std::string>& Bad :
         {std::vector<std::string>{"--symbols", "17", "-o", Template, "x"}, {"--symbols", "1", "-o", Template, "x"},
          {"--symbols", "two", "-o", Template, "x"}, {"--symbols", "3", "xyz"},
          {"--symbols", "3", "-o", (Dir.Path / "fixed.png").string(), "xyz"},
          {"--symbols", "3", "--info", "-o", Template, "xyz"},
          {"--symbols", "3", "--batch", "-", "-o", Template}}) {
        const Result R = RunQr(Bad);
        EXPECT_EQ(R.Status, 2) << Bad[1] << " " << Bad[2] << ": " << R.Err;
    }
    const Result Long = RunQr({"--symbols", "2", "-o", Template, std::string(6000, 'x')});
    EXPECT_EQ(Long.Status, 1);
    EXPECT_NE(Long.Err.find("text too long for 2 symbols at level L"), std::string::npos) << Long.Err;
    EXPECT_FALSE(std::filesystem::exists(Dir.Path / "r1.png"));
}

// zint's rows from --dump for a symbol Side modules wide, or segno's Micro QR symbol.
std::vector<std::string> SegnoMicro(const std::string& Text, int Version, int Mask, char Level, const std::string& Mode) {
    const char* Script =
        "import segno, sys\n"
        "v = int(sys.argv[2])\n"
        "q = segno.make(sys.argv[1], version='M%d' % v, error=None if v == 1 else sys.argv[4],\n"
        "               mask=None if sys.argv[3] == '-1' else int(sys.argv[3]), mode=sys.argv[5],\n"
        "               boost_error=False, micro=True)\n"
        "for r in q.matrix: print(''.join(str(v) for v in r))\n";
    const Result R = clirun::Run("/usr/bin/python3", {"python3", "-c", Script, Text, std::to_string(Version),
                                                      std::to_string(Mask), std::string(1, Level), Mode});
    EXPECT_EQ(R.Status, 0) << "python3-segno failed: " << R.Err;
    return Lines(R.Out);
}

TEST(CliMicro, ModuleForModuleWithZintAndSegno) {
    // Mask -1: the one of the best evaluation, each encoder choosing by itself. segno 1.4.1
    // differs from zint and us in M3 (where the last data codeword is 4 bits) and, as in QR,
    // where data and terminator end on a codeword boundary (M2-M "1234": 1 + 4 + 14 + 5 bits);
    // 7.4.10 (pad codewords right after the bit padding, the 4-bit last one 0000) is what zint
    // and we write, so there zint alone is the comparison.
    const struct {
        std::string Text;
        int Version, Mask;
        char Level;
        std::string Encoding, Mode;
        bool Segno;
    } Cases[] = {
        {"12345", 1, 0, 'L', "numeric", "numeric", true},
        {"123", 1, -1, 'L', "numeric", "numeric", true},
        {"HELLO", 2, 1, 'L', "alphanumeric", "alphanumeric", true},
        {"1234", 2, -1, 'M', "numeric", "numeric", false},
        {"A1B2C3", 3, 3, 'L', "alphanumeric", "alphanumeric", false},
        {"hello", 3, 2, 'M', "utf8", "byte", false},
        {"hello,world", 4, -1, 'M', "utf8", "byte", true},
        {"0123456789", 4, 3, 'Q', "numeric", "numeric", true},
        {"12345678901234567890123456789012345", 4, -1, 'L', "numeric", "numeric", true},
    };
    for (const auto& C : Cases) {
        std::vector<std::string> Args = {"--micro", "-v", std::to_string(C.Version), "-l", std::string(1, C.Level),
                                         "--encoding", C.Encoding};
        std::vector<std::string> ZintArgs = {"--barcode=MICROQR", "--vers=" + std::to_string(C.Version),
                                             "--secure=" + std::to_string(std::string("LMQ").find(C.Level) + 1)};
        if (C.Mask >= 0) {
            Args.insert(Args.end(), {"--mask", std::to_string(C.Mask)});
            ZintArgs.push_back("--mask=" + std::to_string(C.Mask));
        }
        if (C.Mode == "byte") ZintArgs.push_back("--binary");
        ZintArgs.insert(ZintArgs.end(), {"-d", C.Text});
        Args.insert(Args.end(), {"--", C.Text});
        const std::vector<std::string> Mine = Ours(Args);
        const int Side = 9 + 2 * C.Version;
        ASSERT_EQ(Mine.size(), static_cast<std::size_t>(Side)) << C.Text;
        EXPECT_EQ(Mine, Zint(ZintArgs, Side)) << C.Text << " M" << C.Version;
        if (C.Segno) {
            EXPECT_EQ(Mine, SegnoMicro(C.Text, C.Version, C.Mask, C.Level, C.Mode)) << C.Text;
        } else {
            EXPECT_NE(Mine, SegnoMicro(C.Text, C.Version, C.Mask, C.Level, C.Mode)) << "segno mended? " << C.Text;
        }
    }
    // Kanji mode in M3 and M4 (zint turns the text into Shift JIS Kanji by itself).
    const std::string Kanji = "\xE7\x82\xB9\xE8\x8C\x97\xE6\x9D\xB1\xE4\xBA\xAC";  // 点茗東京
    EXPECT_EQ(Ours({"--micro", "--kanji", "-v", "3", "--mask", "1", Kanji}),
              Zint({"--barcode=MICROQR", "--vers=3", "--mask=1", "--secure=1", "-d", Kanji}, 15));
    const std::string Longer = Kanji + "\xE9\x83\xBD\xE5\x8D\x83\xE4\xBB\xA3\xE7\x94\xB0";  // 都千代田
    EXPECT_EQ(Ours({"--micro", "--kanji", "-v", "4", "--mask", "2", "-l", "M", Longer}),
              Zint({"--barcode=MICROQR", "--vers=4", "--mask=2", "--secure=2", "-d", Longer}, 17));
}

TEST(CliMicro, EveryOutputTypeAndTheRefusals) {
    TempDir Dir;
    // The 2-module quiet zone: 11 + 4 modules of 3 pixels.
    const Result Info = RunQr({"--micro", "--encoding", "auto", "--info", "-o", (Dir.Path / "m.png").string(), "12345"});
    EXPECT_EQ(Info.Status, 0) << Info.Err;
    EXPECT_NE(Info.Err.find("version: M1\n"), std::string::npos) << Info.Err;
    EXPECT_NE(Info.Err.find("side: 11 modules\n"), std::string::npos) << Info.Err;
    const std::string Png = clirun::ReadAll(Dir.Path / "m.png");
    ASSERT_GT(Png.size(), 24u);
    EXPECT_EQ(static_cast<unsigned char>(Png[19]), 45u);  // the IHDR width's low byte
    for (const std::string Type : {"svg", "eps", "pdf", "jpeg", "utf8", "ascii"}) {
        const Result R = RunQr({"--micro", "--encoding", "auto", "-t", Type, "-o", (Dir.Path / ("m." + Type)).string(), "12345"});
        EXPECT_EQ(R.Status, 0) << Type << ": " << R.Err;
        EXPECT_GT(clirun::ReadAll(Dir.Path / ("m." + Type)).size(), 0u) << Type;
    }
    const Result Svg = RunQr({"--micro", "--encoding", "auto", "-t", "svg", "-o", "-", "12345"});
    EXPECT_NE(Svg.Out.find("viewBox=\"0 0 15 15\""), std::string::npos) << Svg.Out.substr(0, 300);
    for (const std::vector<std::string>& Bad :
         {std::vector<std::string>{"--micro", "-v", "5", "1"}, {"--micro", "--mask", "4", "1"}, {"--micro", "-l", "H", "1"},
          {"--micro", "--optimize", "1"}, {"--micro", "--eci", "1"}}) {
        EXPECT_EQ(RunQr(Bad).Status, 2) << Bad[1];
    }
    const Result Long = RunQr({"--micro", "-t", "matrix", std::string(16, 'x')});
    EXPECT_EQ(Long.Status, 1);
    EXPECT_NE(Long.Err.find("text too long for a Micro QR symbol at level L"), std::string::npos) << Long.Err;
}

}  // namespace
