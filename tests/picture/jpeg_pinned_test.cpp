// The saved picture pinned to its bytes: for each text of fixtures/jpeg, the JPEG stream of the
// window's 406 x 406 picture at quality 90 is the file the command line wrote for that text on
// Linux (make_jpegs.sh there). This suite also runs on Windows, under Wine, so a pass there
// means the Windows build saves byte for byte what the Linux build saves.

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "displayarea.h"
#include "jpegwriter.h"
#include "modulebitmap.h"

namespace {

struct PinnedPicture {
    const char* Name;
    int Modules;  // the module bitmap's side, which the case is there for
};

// The sides in the 406-pixel area: 14 pixels a module with nothing left over; 10 with 36 left
// white; 185 (version 40) stretched to 405, leaving a white right column and bottom row.
const PinnedPicture kPictures[] = {{"empty", 29}, {"url", 37}, {"v40", 185}};

// Shown as its name in test listings and failures.
void PrintTo(const PinnedPicture& P, std::ostream* Out) { *Out << P.Name; }

std::string ReadFile(const std::string& Path) {
    std::ifstream File(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(File), std::istreambuf_iterator<char>()};
}

class JpegPinned : public ::testing::TestWithParam<PinnedPicture> {};

TEST_P(JpegPinned, SameBytesAsTheLinuxBuildSaved) {
    const std::string Base = std::string(FIXTURE_DIR) + "/jpeg/" + GetParam().Name;
    const std::string Bytes = ReadFile(Base + ".txt");
    // The texts are ASCII, so each byte is one UTF-16 code unit.
    ASSERT_TRUE(std::all_of(Bytes.begin(), Bytes.end(), [](char c) { return c > 0 && c < 0x7F; }));
    const std::u16string Text(Bytes.begin(), Bytes.end());
    const std::string Expected = ReadFile(Base + ".jpg");
    ASSERT_FALSE(Expected.empty()) << Base << ".jpg is missing";

    const qrpicture::TPixels Bitmap = qrpicture::WindowModuleBitmap(Text);
    ASSERT_EQ(Bitmap.Width(), GetParam().Modules);
    const std::vector<unsigned char> Jpeg = qrpicture::PictureToJpeg(qrpicture::WindowPicture(Bitmap),
                                                                    qrpicture::kSaveQuality);
    const std::string Made(Jpeg.begin(), Jpeg.end());
    const auto [Mine, Theirs] = std::mismatch(Made.begin(), Made.end(), Expected.begin(), Expected.end());
    EXPECT_TRUE(Made == Expected) << Made.size() << " bytes made, " << Expected.size() << " pinned; first difference at byte "
                                  << (Mine - Made.begin());
}

INSTANTIATE_TEST_SUITE_P(Texts, JpegPinned, ::testing::ValuesIn(kPictures), [](const auto& Info) {
    return std::string(Info.param.Name);
});

}  // namespace
