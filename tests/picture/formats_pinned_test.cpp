// The command line's files pinned to their bytes: for each case of fixtures/formats, the PNG,
// SVG, EPS, PDF and text files the writers make are the files the Linux command line wrote with
// the case's options (make_formats.sh there, whose options are this table's). This suite also
// runs on Windows, under Wine, against the libpng, zlib and cairo built for it, so a pass there
// means the Windows build writes byte for byte what the Linux build writes.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "formats.h"
#include "modulebitmap.h"

namespace {

using qrpicture::TColour;
using qrpicture::TDrawing;

struct PinnedCase {
    const char* Name;
    const char* Text;  // fixtures/jpeg/TEXT.txt
    qr::TErrorCorrectionLevel Level;
    int Margin;
    TDrawing Drawing;
    std::vector<std::string> Types;
};

const PinnedCase kCases[] = {
    {"plain", "url", qr::LevelL(), 4, {}, {"png", "svg", "eps", "pdf", "utf8", "ascii", "matrix"}},
    {"navy", "url", qr::LevelM(), 2, {4, TColour{0x1f, 0x3a, 0x93, 255}, TColour{0xff, 0xf8, 0xe7, 255}, 300},
     {"png", "svg", "eps", "pdf"}},
    {"glass", "url", qr::LevelQ(), 3, {5, TColour{0, 0, 0, 0x80}, TColour{0xff, 0xff, 0xff, 0}, 0},
     {"png", "svg", "eps", "pdf"}},
    {"v40", "v40", qr::LevelL(), 1, {2, qrpicture::kOpaqueBlack, qrpicture::kOpaqueWhite, 0}, {"png", "pdf"}},
};

// One file of one case.
struct PinnedFile {
    const PinnedCase* Case;
    std::string Type;
};

// Shown as the file's name in test listings and failures.
void PrintTo(const PinnedFile& F, std::ostream* Out) { *Out << F.Case->Name << "." << F.Type; }

std::vector<PinnedFile> AllFiles() {
    std::vector<PinnedFile> Files;
    for (const PinnedCase& Case : kCases)
        for (const std::string& Type : Case.Types)
            Files.push_back({&Case, Type});
    return Files;
}

std::string ReadFile(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

std::string Made(const qr::TQRCodeGrid& Grid, const TDrawing& Drawing, const std::string& Type) {
    const auto Text = [](const qrpicture::TBytes& Bytes) { return std::string(Bytes.begin(), Bytes.end()); };
    if (Type == "png")
        return Text(qrpicture::MakePng(Grid, Drawing));
    if (Type == "svg")
        return Text(qrpicture::MakeSvg(Grid, Drawing));
    if (Type == "eps")
        return Text(qrpicture::MakeEps(Grid, Drawing));
    if (Type == "pdf")
        return Text(qrpicture::MakePdf(Grid, Drawing));
    return qrpicture::RenderText(Grid, Type == "utf8"    ? qrpicture::TTextStyle::Utf8
                                       : Type == "ascii" ? qrpicture::TTextStyle::Ascii
                                                         : qrpicture::TTextStyle::Matrix);
}

class FormatsPinned : public ::testing::TestWithParam<PinnedFile> {};

TEST_P(FormatsPinned, SameBytesAsTheLinuxCommandLineWrote) {
    const PinnedCase& Case = *GetParam().Case;
    const std::string Bytes = ReadFile(std::string(FIXTURE_DIR) + "/jpeg/" + Case.Text + ".txt");
    // The texts are ASCII, so each byte is one UTF-16 code unit.
    ASSERT_FALSE(Bytes.empty());
    ASSERT_TRUE(std::all_of(Bytes.begin(), Bytes.end(), [](char c) { return c > 0 && c < 0x7F; }));
    const std::string Path = std::string(FIXTURE_DIR) + "/formats/" + Case.Name + "." + GetParam().Type;
    const std::string Expected = ReadFile(Path);
    ASSERT_FALSE(Expected.empty()) << Path << " is missing";

    const qr::TQRCodeGrid Grid =
        qrpicture::SymbolGrid(std::u16string(Bytes.begin(), Bytes.end()), {qr::qrUTF8BOM, Case.Level, Case.Margin, {}});
    const std::string Mine = Made(Grid, Case.Drawing, GetParam().Type);
    const auto Difference = std::mismatch(Mine.begin(), Mine.end(), Expected.begin(), Expected.end()).first;
    EXPECT_TRUE(Mine == Expected) << Mine.size() << " bytes made, " << Expected.size()
                                  << " pinned; first difference at byte " << (Difference - Mine.begin());
}

INSTANTIATE_TEST_SUITE_P(Files, FormatsPinned, ::testing::ValuesIn(AllFiles()), [](const auto& Info) {
    return std::string(Info.param.Case->Name) + "_" + Info.param.Type;
});

}  // namespace
