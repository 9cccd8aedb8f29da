// The compressed stream read back from its bytes: a baseline JFIF file with libjpeg's default
// layout, quality-90 quantisation tables and the standard Huffman tables.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <ostream>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <QImage>

#include <jpeglib.h>

#include "jpegtest.h"
#include "jpegwriter.h"
#include "qtpixels.h"

namespace {

using Table64 = std::array<int, 64>;

// ITU-T T.81 Annex K, table K.1: luminance quantisation, natural (row by row) order.
constexpr Table64 kLuminanceBase = {
    16, 11, 10, 16, 24,  40,  51,  61,   //
    12, 12, 14, 19, 26,  58,  60,  55,   //
    14, 13, 16, 24, 40,  57,  69,  56,   //
    14, 17, 22, 29, 51,  87,  80,  62,   //
    18, 22, 37, 56, 68,  109, 103, 77,   //
    24, 35, 55, 64, 81,  104, 113, 92,   //
    49, 64, 78, 87, 103, 121, 120, 101,  //
    72, 92, 95, 98, 112, 100, 103, 99,
};

// Table K.2: chrominance quantisation, natural order.
constexpr Table64 kChrominanceBase = {
    17, 18, 24, 47, 99, 99, 99, 99,  //
    18, 21, 26, 66, 99, 99, 99, 99,  //
    24, 26, 56, 99, 99, 99, 99, 99,  //
    47, 66, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,  //
    99, 99, 99, 99, 99, 99, 99, 99,
};

// Figure A.6: the natural-order position of each coefficient in zig-zag order, the order in
// which a DQT segment lists its 64 values.
constexpr Table64 kZigZag = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,   //
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,  //
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,  //
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

// The IJG quality scaling: a percentage of the base table, 5000/q below 50 and 200-2q from 50,
// rounded, kept within 1..255 for baseline files.
Table64 ScaledForQuality(const Table64& Base, int Quality) {
    const int Percent = Quality < 50 ? 5000 / Quality : 200 - 2 * Quality;
    Table64 Out{};
    for (std::size_t i = 0; i < 64; ++i)
        Out[i] = std::clamp((Base[i] * Percent + 50) / 100, 1, 255);
    return Out;
}

struct Huffman {
    std::array<int, 16> Counts;  // codes of each length 1..16
    std::vector<int> Values;
};

// Tables K.3 to K.6.
const Huffman kDcLuminance = {{0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const Huffman kDcChrominance = {{0, 3, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}};
const Huffman kAcLuminance = {
    {0, 2, 1, 3, 3, 2, 4, 3, 5, 5, 4, 4, 0, 0, 1, 0x7d},
    {0x01, 0x02, 0x03, 0x00, 0x04, 0x11, 0x05, 0x12, 0x21, 0x31, 0x41, 0x06, 0x13, 0x51, 0x61, 0x07, 0x22, 0x71,
     0x14, 0x32, 0x81, 0x91, 0xa1, 0x08, 0x23, 0x42, 0xb1, 0xc1, 0x15, 0x52, 0xd1, 0xf0, 0x24, 0x33, 0x62, 0x72,
     0x82, 0x09, 0x0a, 0x16, 0x17, 0x18, 0x19, 0x1a, 0x25, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x34, 0x35, 0x36, 0x37,
     0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59,
     0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a, 0x83,
     0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a, 0xa2, 0xa3,
     0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba, 0xc2, 0xc3,
     0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda, 0xe1, 0xe2,
     0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf1, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};
const Huffman kAcChrominance = {
    {0, 2, 1, 2, 4, 4, 3, 4, 7, 5, 4, 4, 0, 1, 2, 0x77},
    {0x00, 0x01, 0x02, 0x03, 0x11, 0x04, 0x05, 0x21, 0x31, 0x06, 0x12, 0x41, 0x51, 0x07, 0x61, 0x71, 0x13, 0x22,
     0x32, 0x81, 0x08, 0x14, 0x42, 0x91, 0xa1, 0xb1, 0xc1, 0x09, 0x23, 0x33, 0x52, 0xf0, 0x15, 0x62, 0x72, 0xd1,
     0x0a, 0x16, 0x24, 0x34, 0xe1, 0x25, 0xf1, 0x17, 0x18, 0x19, 0x1a, 0x26, 0x27, 0x28, 0x29, 0x2a, 0x35, 0x36,
     0x37, 0x38, 0x39, 0x3a, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4a, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,
     0x59, 0x5a, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6a, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7a,
     0x82, 0x83, 0x84, 0x85, 0x86, 0x87, 0x88, 0x89, 0x8a, 0x92, 0x93, 0x94, 0x95, 0x96, 0x97, 0x98, 0x99, 0x9a,
     0xa2, 0xa3, 0xa4, 0xa5, 0xa6, 0xa7, 0xa8, 0xa9, 0xaa, 0xb2, 0xb3, 0xb4, 0xb5, 0xb6, 0xb7, 0xb8, 0xb9, 0xba,
     0xc2, 0xc3, 0xc4, 0xc5, 0xc6, 0xc7, 0xc8, 0xc9, 0xca, 0xd2, 0xd3, 0xd4, 0xd5, 0xd6, 0xd7, 0xd8, 0xd9, 0xda,
     0xe2, 0xe3, 0xe4, 0xe5, 0xe6, 0xe7, 0xe8, 0xe9, 0xea, 0xf2, 0xf3, 0xf4, 0xf5, 0xf6, 0xf7, 0xf8, 0xf9, 0xfa}};

int Word(const std::vector<std::uint8_t>& Body, std::size_t At) { return Body.at(At) << 8 | Body.at(At + 1); }

// The quantisation tables of every DQT segment by id, in natural order; a malformed or 16-bit
// table is a test failure.
std::array<std::optional<Table64>, 4> QuantTables(const jpegtest::Stream& S) {
    std::array<std::optional<Table64>, 4> Quant;
    for (const auto* Dqt : S.All(0xDB)) {
        const auto& B = Dqt->Body;
        for (std::size_t At = 0; At < B.size(); At += 65) {
            if (At + 65 > B.size() || (B[At] >> 4) != 0 || (B[At] & 15u) >= 4u) {
                ADD_FAILURE() << "malformed or 16-bit DQT table";
                return {};
            }
            Table64 Natural{};
            for (std::size_t k = 0; k < 64; ++k)
                Natural[static_cast<std::size_t>(kZigZag[k])] = B[At + 1 + k];
            Quant[B[At] & 15u] = Natural;
        }
    }
    return Quant;
}

// Compresses a picture through the same conversion as the save: 24-bit RGB, Qt's row padding.
std::vector<unsigned char> Compress(const QImage& Picture, int Quality) {
    const QImage Rgb = Picture.convertToFormat(QImage::Format_RGB888);
    return qrpicture::CompressJpeg(std::span(Rgb.constBits(), static_cast<std::size_t>(Rgb.sizeInBytes())), Rgb.width(),
                               Rgb.height(), Quality, static_cast<std::size_t>(Rgb.bytesPerLine()));
}

// A picture with colour, so the chrominance tables carry data too.
QImage Colourful(int W, int H) {
    QImage Picture(W, H, QImage::Format_RGB32);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            Picture.setPixel(x, y, qRgb(x * 255 / W, y * 255 / H, (x + y) % 7 * 30));
    return Picture;
}

struct StructureCase {
    const char* Name;
    QImage Picture;
};

void PrintTo(const StructureCase& Case, std::ostream* Out) { *Out << Case.Name; }

class JpegStructure : public ::testing::TestWithParam<StructureCase> {};

TEST_P(JpegStructure, IsBaselineJfifWithLibjpegDefaultsAtQuality90) {
    const QImage& Picture = GetParam().Picture;
    const std::vector<unsigned char> Jpeg = Compress(Picture, 90);
    const jpegtest::Stream S = jpegtest::ParseJpeg(Jpeg);
    ASSERT_EQ(S.Error, "");
    EXPECT_TRUE(S.EndsWithEoi);
    EXPECT_EQ(S.ScanCount, 1) << "single-scan sequential";
    EXPECT_EQ(S.RestartMarkers, 0);

    // SOI, then the JFIF marker: version 1.01, density unit 0, densities 1 and 1, no thumbnail.
    ASSERT_GE(S.Headers.size(), 2u);
    EXPECT_EQ(S.Headers[0].Marker, 0xD8);
    ASSERT_EQ(S.Headers[1].Marker, 0xE0);
    EXPECT_EQ(S.Headers[1].Body,
              (std::vector<std::uint8_t>{'J', 'F', 'I', 'F', 0, 1, 1, 0, 0, 1, 0, 1, 0, 0}));
    EXPECT_EQ(S.All(0xE0).size(), 1u);
    EXPECT_TRUE(S.All(0xEE).empty()) << "no Adobe marker";
    EXPECT_TRUE(S.All(0xDD).empty()) << "no restart interval";

    // Only SOF0 (baseline, Huffman) among the frame markers.
    for (int Sof : {0xC1, 0xC2, 0xC3, 0xC5, 0xC6, 0xC7, 0xC9, 0xCA, 0xCB, 0xCD, 0xCE, 0xCF})
        EXPECT_TRUE(S.All(static_cast<std::uint8_t>(Sof)).empty()) << "frame marker " << std::hex << Sof;
    const auto Frames = S.All(0xC0);
    ASSERT_EQ(Frames.size(), 1u);
    const auto& Sof0 = Frames[0]->Body;
    ASSERT_EQ(Sof0.size(), 6u + 3 * 3);
    EXPECT_EQ(Sof0[0], 8) << "8-bit samples";
    EXPECT_EQ(Word(Sof0, 1), Picture.height());
    EXPECT_EQ(Word(Sof0, 3), Picture.width());
    // Components: id, sampling (horizontal << 4 | vertical), quantisation table.
    EXPECT_EQ(std::vector<std::uint8_t>(Sof0.begin() + 5, Sof0.end()),
              (std::vector<std::uint8_t>{3, 1, 0x22, 0, 2, 0x11, 1, 3, 0x11, 1}));

    // The scan: all three components, Y with tables 0/0, Cb and Cr with 1/1, full spectrum.
    const auto Scans = S.All(0xDA);
    ASSERT_EQ(Scans.size(), 1u);
    EXPECT_EQ(Scans[0]->Body, (std::vector<std::uint8_t>{3, 1, 0x00, 2, 0x11, 3, 0x11, 0, 63, 0}));

    // Quantisation tables 0 (luminance) and 1 (chrominance), 8-bit, K.1 and K.2 scaled for 90.
    const auto Quant = QuantTables(S);
    ASSERT_TRUE(Quant[0] && Quant[1]);
    EXPECT_FALSE(Quant[2] || Quant[3]);
    EXPECT_EQ(*Quant[0], ScaledForQuality(kLuminanceBase, 90));
    EXPECT_EQ(*Quant[1], ScaledForQuality(kChrominanceBase, 90));

    // Huffman tables: class (0 DC, 1 AC) << 4 | id, each the standard one.
    std::map<int, Huffman> Tables;
    for (const auto* Dht : S.All(0xC4)) {
        const auto& B = Dht->Body;
        std::size_t At = 0;
        while (At < B.size()) {
            ASSERT_LE(At + 17, B.size());
            Huffman H{};
            std::size_t Total = 0;
            for (std::size_t i = 0; i < 16; ++i)
                Total += static_cast<std::size_t>(H.Counts[i] = B[At + 1 + i]);
            ASSERT_LE(At + 17 + Total, B.size());
            H.Values.assign(B.begin() + static_cast<std::ptrdiff_t>(At + 17),
                            B.begin() + static_cast<std::ptrdiff_t>(At + 17 + Total));
            Tables[B[At]] = H;
            At += 17 + Total;
        }
    }
    ASSERT_EQ(Tables.size(), 4u);
    const std::pair<int, const Huffman*> Expected[] = {
        {0x00, &kDcLuminance}, {0x10, &kAcLuminance}, {0x01, &kDcChrominance}, {0x11, &kAcChrominance}};
    for (const auto& [Key, Table] : Expected) {
        ASSERT_TRUE(Tables.count(Key)) << "table " << std::hex << Key;
        EXPECT_EQ(Tables[Key].Counts, Table->Counts) << "table " << std::hex << Key;
        EXPECT_EQ(Tables[Key].Values, Table->Values) << "table " << std::hex << Key;
    }
}

INSTANTIATE_TEST_SUITE_P(Pictures, JpegStructure,
                         ::testing::Values(StructureCase{"DisplayArea", qrapp::ToQImage(jpegtest::DisplayArea(u"Quandrel QR Code"))},
                                           // Not square and not a whole number of blocks, so a
                                           // swapped width and height or a lost edge row shows.
                                           StructureCase{"Colourful37x23", Colourful(37, 23)}),
                         [](const auto& Info) { return std::string(Info.param.Name); });

TEST(JpegQuality, QuantisationFollowsTheQualityArgument) {
    // The quality is passed on, not fixed at 90: a different quality gives different tables.
    const jpegtest::Stream S = jpegtest::ParseJpeg(Compress(Colourful(16, 16), 50));
    ASSERT_EQ(S.Error, "");
    const auto Quant = QuantTables(S);
    ASSERT_TRUE(Quant[0] && Quant[1]);
    EXPECT_EQ(*Quant[0], kLuminanceBase) << "quality 50 is the base table itself";
    EXPECT_EQ(*Quant[1], kChrominanceBase);
}

}  // namespace

namespace {

// libjpeg driven directly with the save's settings (RGB in, defaults, quality 90 baseline) and
// the given DCT; the library's standard error handling, as these pictures are always valid.
std::vector<unsigned char> ReferenceJpeg(const QImage& Picture, J_DCT_METHOD Dct) {
    const QImage Rgb = Picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct Info{};
    jpeg_error_mgr Error{};
    Info.err = jpeg_std_error(&Error);
    jpeg_create_compress(&Info);
    unsigned char* Buffer = nullptr;
    unsigned long Size = 0;
    jpeg_mem_dest(&Info, &Buffer, &Size);
    Info.image_width = static_cast<JDIMENSION>(Rgb.width());
    Info.image_height = static_cast<JDIMENSION>(Rgb.height());
    Info.input_components = 3;
    Info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&Info);
    jpeg_set_quality(&Info, 90, TRUE);
    Info.dct_method = Dct;
    jpeg_start_compress(&Info, TRUE);
    while (Info.next_scanline < Info.image_height) {
        JSAMPROW Row = const_cast<JSAMPROW>(Rgb.constScanLine(static_cast<int>(Info.next_scanline)));
        jpeg_write_scanlines(&Info, &Row, 1);
    }
    jpeg_finish_compress(&Info);
    jpeg_destroy_compress(&Info);
    std::vector<unsigned char> Out(Buffer, Buffer + Size);
    std::free(Buffer);
    return Out;
}

TEST(JpegSettings, FloatingPointDctAndNothingElseChanged) {
    // Both sides come from the same library in the same process, so the bytes must agree; the
    // picture is one on which the two DCTs give different streams.
    const QImage Picture = Colourful(64, 48);
    const std::vector<unsigned char> Float = ReferenceJpeg(Picture, JDCT_FLOAT);
    ASSERT_NE(Float, ReferenceJpeg(Picture, JDCT_ISLOW)) << "picture does not tell the DCTs apart";
    EXPECT_EQ(Compress(Picture, 90), Float);
}

}  // namespace
