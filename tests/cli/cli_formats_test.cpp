// quandrel-qr's files as other programs see them: each format rasterised by an independent
// renderer (rsvg-convert, pdftoppm, Ghostscript) decodes with zbar to exactly the input bytes,
// and every module shows in its place; levels M, Q and H against python3-qrcode; huge input;
// the libraries the executable loads.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "clirun.h"
#include "pngread.h"
#include "zbardecode.h"

namespace {

namespace fs = std::filesystem;
using clirun::ReadAll;
using clirun::Result;
using clirun::RunQr;

// A folder of its own, removed at the end.
struct TempDir : clirun::TempDir {
    TempDir() : clirun::TempDir("cli-formats") {}
};

// UTF-8 texts that need versions 1, 10 and 40 at level L (bytes: 17 at most, 250, 2900).
std::string Version1Text() { return "Ol\xC3\xA1 QR \xE2\x9C\x93"; }
std::string Version10Text() {
    std::string Text;
    while (Text.size() < 246) Text += "Quandrel \xE2\x82\xAC ";
    return Text.substr(0, 246) + "fim!";
}
std::string Version40Text() {
    std::string Text;
    for (int i = 0; Text.size() < 2900; ++i) Text += static_cast<char>(0x20 + (i * 37) % 95);
    return Text;
}

// The bare symbol as quandrel-qr's matrix output gives it: rows of 'X' and '.'.
std::vector<std::string> MatrixOf(const std::string& Text, const std::string& Level = "L") {
    const Result R = RunQr({"-t", "matrix", "-l", Level, "--", Text});
    EXPECT_EQ(R.Status, 0) << R.Err;
    std::vector<std::string> Rows;
    std::istringstream Lines(R.Out);
    for (std::string Line; std::getline(Lines, Line);) Rows.push_back(Line);
    return Rows;
}

// Runs a renderer; a missing tool fails the test (scripts/deps.sh installs them all).
void Render(const std::vector<std::string>& Command) {
    const Result R = clirun::Run(Command[0], Command);
    ASSERT_EQ(R.Status, 0) << Command[0] << " failed (is it installed?): " << R.Err;
}

struct Format {
    std::string Extension;
    int PixelsPerUnit;  // pixels of the rasterised file per unit of -s
};

// Rasterises File into a PNG and returns it: PNG as written, SVG through rsvg-convert at its
// own size, PDF through pdftoppm and EPS through Ghostscript at 144 DPI (2 pixels a point).
std::optional<pngtest::Image> Rasterise(const fs::path& File, const std::string& Extension) {
    const fs::path Png = File.string() + ".png";
    if (Extension == "png") {
        fs::copy_file(File, Png);
    } else if (Extension == "svg") {
        Render({"rsvg-convert", "-o", Png.string(), File.string()});
    } else if (Extension == "pdf") {
        Render({"pdftoppm", "-png", "-r", "144", "-singlefile", File.string(), File.string()});
    } else {
        Render({"gs", "-q", "-dSAFER", "-dBATCH", "-dNOPAUSE", "-sDEVICE=pnggray", "-r144", "-dEPSCrop",
                "-sOutputFile=" + Png.string(), File.string()});
    }
    const std::string Bytes = ReadAll(Png);
    return pngtest::ReadPng(std::span(reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size()));
}

struct Variant {
    const char* Name;
    std::vector<std::string> Args;
    int Size, Margin;
};

void PrintTo(const Format& F, std::ostream* Out) { *Out << F.Extension; }
void PrintTo(const Variant& V, std::ostream* Out) { *Out << V.Name; }

class Rendered : public ::testing::TestWithParam<std::tuple<Format, Variant>> {};

TEST_P(Rendered, DecodesToTheInputAndShowsEveryModuleInPlace) {
    const auto& [F, V] = GetParam();
    TempDir Dir;
    const std::pair<std::string, int> Texts[] = {{Version1Text(), 21}, {Version10Text(), 57}, {Version40Text(), 177}};
    for (const auto& [Text, Side] : Texts) {
        SCOPED_TRACE("symbol side " + std::to_string(Side));
        const std::vector<std::string> Matrix = MatrixOf(Text);
        ASSERT_EQ(Matrix.size(), static_cast<std::size_t>(Side));

        const fs::path File = Dir.Path / ("symbol-" + std::to_string(Side) + "." + F.Extension);
        std::vector<std::string> Args{"-o", File.string()};
        Args.insert(Args.end(), V.Args.begin(), V.Args.end());
        Args.insert(Args.end(), {"--", Text});
        const Result R = RunQr(Args);
        ASSERT_EQ(R.Status, 0) << R.Err;

        const auto Image = Rasterise(File, F.Extension);
        ASSERT_TRUE(Image) << "the rasterised file is no PNG";
        const int Cells = Side + 2 * V.Margin;
        const int PerModule = V.Size * F.PixelsPerUnit;
        ASSERT_EQ(Image->Width, Cells * PerModule);
        ASSERT_EQ(Image->Height, Cells * PerModule);

        const std::vector<std::uint8_t> Grey = Image->GreyOnWhite();
        EXPECT_EQ(zbartest::DecodeGrey(Grey, Image->Width, Image->Height), std::vector<std::string>{Text});
        // The centre of every cell: dark exactly where the symbol has a dark module.
        int Wrong = 0;
        for (int r = 0; r < Cells; ++r)
            for (int c = 0; c < Cells; ++c) {
                const int y = r * PerModule + PerModule / 2, x = c * PerModule + PerModule / 2;
                const bool InSymbol = r >= V.Margin && c >= V.Margin && r < V.Margin + Side && c < V.Margin + Side;
                const bool Dark = InSymbol && Matrix[static_cast<std::size_t>(r - V.Margin)][static_cast<std::size_t>(c - V.Margin)] == 'X';
                Wrong += (Grey[static_cast<std::size_t>(y) * static_cast<std::size_t>(Image->Width) + static_cast<std::size_t>(x)] < 128) != Dark;
            }
        EXPECT_EQ(Wrong, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Formats, Rendered,
    ::testing::Combine(::testing::Values(Format{"png", 1}, Format{"svg", 1}, Format{"pdf", 2}, Format{"eps", 2}),
                       ::testing::Values(Variant{"Defaults", {}, 3, 4},
                                         Variant{"Colours", {"-s", "4", "-m", "2", "--foreground", "1F3A93", "--background", "fff2cc"}, 4, 2},
                                         Variant{"TransparentBackground", {"-s", "2", "-m", "6", "--background", "ffffff00"}, 2, 6})),
    [](const auto& Info) { return std::get<0>(Info.param).Extension + std::get<1>(Info.param).Name; });

TEST(CliJpeg, StaysTheWindowsPictureWhateverTheDrawingOptions) {
    TempDir Dir;
    ASSERT_EQ(RunQr({"-o", (Dir.Path / "plain.jpg").string(), "hello"}).Status, 0);
    ASSERT_EQ(RunQr({"-o", (Dir.Path / "drawn.jpeg").string(), "-s", "9", "-m", "1", "--dpi", "300", "--foreground",
                     "ff0000", "--background", "00ff0080", "hello"})
                  .Status,
              0);
    const std::string Plain = ReadAll(Dir.Path / "plain.jpg");
    EXPECT_EQ(Plain.substr(0, 2), "\xFF\xD8");
    EXPECT_EQ(ReadAll(Dir.Path / "drawn.jpeg"), Plain);
}

// ---- Levels M, Q and H ---------------------------------------------------------------------

// What python3-qrcode makes of the bytes in byte mode at the level: the smallest version
// ("fit"), and the matrix forced to the given version and mask. Output: the version, then the
// matrix rows.
const char* const kIndependentEncoder = R"(
import sys, qrcode
level, version, mask = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
data = sys.stdin.buffer.read()
levels = {'L': qrcode.constants.ERROR_CORRECT_L, 'M': qrcode.constants.ERROR_CORRECT_M,
          'Q': qrcode.constants.ERROR_CORRECT_Q, 'H': qrcode.constants.ERROR_CORRECT_H}
def make(**args):
    q = qrcode.QRCode(error_correction=levels[level], border=0, **args)
    q.add_data(qrcode.util.QRData(data, mode=qrcode.util.MODE_8BIT_BYTE), optimize=0)
    return q
fit = make()
fit.make(fit=True)
forced = make(version=version, mask_pattern=mask)
forced.make(fit=False)
print(fit.version)
for row in forced.get_matrix():
    print(''.join('X' if v else '.' for v in row))
)";

std::map<std::string, std::string> InfoLines(const std::string& Err) {
    std::map<std::string, std::string> Info;
    std::istringstream Lines(Err);
    for (std::string Line; std::getline(Lines, Line);)
        if (const auto Colon = Line.find(": "); Colon != std::string::npos)
            Info[Line.substr(0, Colon)] = Line.substr(Colon + 2);
    return Info;
}

TEST(CliLevels, MatricesEqualAnIndependentEncoderAtTheSameVersionAndMask) {
    // Byte counts that reach versions from 1 to 40 at each level; the last is the level's limit.
    const std::map<std::string, std::vector<int>> Lengths = {
        {"M", {1, 14, 60, 213, 700, 1500, 2331}},
        {"Q", {1, 11, 45, 151, 500, 1100, 1663}},
        {"H", {1, 7, 30, 119, 400, 800, 1273}}};
    for (const auto& [Level, Counts] : Lengths)
        for (const int Count : Counts) {
            SCOPED_TRACE("level " + Level + ", " + std::to_string(Count) + " bytes");
            std::string Text;
            for (int i = 0; i < Count; ++i) Text += static_cast<char>(0x21 + (i * 53 + Count) % 94);
            const Result Ours = RunQr({"--info", "-t", "matrix", "-l", Level}, Text);
            ASSERT_EQ(Ours.Status, 0) << Ours.Err;
            auto Info = InfoLines(Ours.Err);
            EXPECT_EQ(Info["level"], Level);
            const Result Theirs = clirun::Run("/usr/bin/python3", {"python3", "-c", kIndependentEncoder, Level,
                                                                   Info["version"], Info["mask"]},
                                              Text);
            ASSERT_EQ(Theirs.Status, 0) << "python3-qrcode failed (is it installed?): " << Theirs.Err;
            const std::size_t FirstRow = Theirs.Out.find('\n') + 1;
            EXPECT_EQ(Info["version"], Theirs.Out.substr(0, FirstRow - 1)) << "not the smallest version";
            EXPECT_EQ(Ours.Out, Theirs.Out.substr(FirstRow));
        }
    // One byte over the limit of level H is too long there, and fits level L.
    const std::string Over(1274, 'h');
    const Result TooLong = RunQr({"-t", "matrix", "-l", "H"}, Over);
    EXPECT_EQ(TooLong.Status, 1);
    EXPECT_NE(TooLong.Err.find("the limit is 1273 bytes at level H"), std::string::npos) << TooLong.Err;
    EXPECT_EQ(RunQr({"-t", "matrix"}, Over).Status, 0);
}

// ---- Input without end, and what the executable loads ------------------------------------

TEST(CliInput, HugeInputIsRefusedWithBoundedMemory) {
    // 300 MB of "€" (the kind of input that once overflowed the encoder), fed through a pipe.
    const std::string Chunk = [] {
        std::string Euros;
        for (int i = 0; i < 21845; ++i) Euros += "\xE2\x82\xAC";
        return Euros;
    }();
    std::size_t Sent = 0;
    const Result R = RunQr({"-t", "matrix"}, "", [&]() -> std::string {
        if (Sent >= 300'000'000) return {};
        Sent += Chunk.size();
        return Chunk;
    });
    EXPECT_EQ(R.Status, 1) << R.Err;
    EXPECT_NE(R.Err.find("too long"), std::string::npos) << R.Err;
    EXPECT_EQ(std::count(R.Err.begin(), R.Err.end(), '\n'), 1) << R.Err;
    EXPECT_TRUE(R.Out.empty());
    EXPECT_LT(Sent, 300'000'000u) << "the whole input was read";
    // A few MiB of input at most, whatever arrives (the sanitizers' own memory included).
    EXPECT_LT(R.MaxRssKiB, 200 * 1024) << R.MaxRssKiB << " KiB";
}

TEST(CliExecutable, LoadsNeitherQtGuiNorQtWidgets) {
    const Result Ldd = clirun::Run("ldd", {"ldd", QUANDREL_QR});
    ASSERT_EQ(Ldd.Status, 0) << Ldd.Err;
    EXPECT_NE(Ldd.Out.find("libc.so"), std::string::npos) << Ldd.Out;
    EXPECT_EQ(Ldd.Out.find("Qt6Gui"), std::string::npos) << Ldd.Out;
    EXPECT_EQ(Ldd.Out.find("Qt6Widgets"), std::string::npos) << Ldd.Out;
}

}  // namespace
