// Fuzzes CompressJpeg with pictures of arbitrary small sizes (0 x 0, 1 x 1, odd sizes, up to the
// display area's 406 x 406), padded rows and pixel buffers that may be too short. Every call must
// end in one of three ways: a valid single-scan baseline stream that libjpeg decodes back to the
// same size, std::invalid_argument for a buffer that cannot hold the picture, or JpegError for a
// picture libjpeg refuses (zero width or height). Anything else aborts.
//
// Input: bytes 0-1 and 2-3 width and height (little-endian, mod 407), byte 4 the quality (1 to
// 100), byte 5 the row padding (low 3 bits) and whether the buffer is cut short (bit 7) by
// 1 + byte 6 bytes. The rest is pixel data, repeated to fill the buffer.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include <jerror.h>

#include "jpegtest.h"
#include "jpegwriter.h"
#include "fuzzcheck.h"

using fuzzcheck::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 7)
        return 0;
    const int Width = (Data[0] | Data[1] << 8) % 407;
    const int Height = (Data[2] | Data[3] << 8) % 407;
    const int Quality = 1 + Data[4] % 100;
    const std::size_t RowBytes = static_cast<std::size_t>(Width) * 3;
    const std::size_t BytesPerLine = RowBytes + (Data[5] & 7);
    const std::size_t Needed = Height > 0 ? (static_cast<std::size_t>(Height) - 1) * BytesPerLine + RowBytes : 0;
    const std::size_t Short = Data[5] & 0x80 ? 1 + static_cast<std::size_t>(Data[6]) : 0;
    const std::size_t BufferSize = Needed > Short ? Needed - Short : 0;

    // Exactly BufferSize bytes, so that a read past the end is caught by the address sanitizer.
    std::vector<std::uint8_t> Pixels(BufferSize);
    const std::uint8_t* Samples = Data + 7;
    const std::size_t SampleCount = Size - 7;
    for (std::size_t i = 0; i < BufferSize; ++i)
        Pixels[i] = SampleCount ? Samples[i % SampleCount] : 0;

    std::vector<unsigned char> Jpeg;
    try {
        Jpeg = qrpicture::CompressJpeg(Pixels, Width, Height, Quality, BytesPerLine);
    } catch (const std::invalid_argument&) {
        Check(BufferSize < Needed, "invalid_argument only for a buffer too small for the picture");
        return 0;
    } catch (const qrpicture::JpegError& Error) {
        Check(BufferSize >= Needed, "a buffer too small is refused before libjpeg sees it");
        Check(Width == 0 || Height == 0, "libjpeg refuses only pictures without pixels");
        Check(Error.Code() == JERR_EMPTY_IMAGE, "an empty picture is reported as such");
        return 0;
    }
    Check(BufferSize >= Needed, "a buffer too small was accepted");
    Check(Width > 0 && Height > 0, "a picture without pixels was compressed");

    Check(Jpeg.size() >= 4 && Jpeg[0] == 0xFF && Jpeg[1] == 0xD8, "the stream starts with SOI");
    Check(Jpeg[Jpeg.size() - 2] == 0xFF && Jpeg[Jpeg.size() - 1] == 0xD9, "the stream ends with EOI");
    const jpegtest::Stream Parsed = jpegtest::ParseJpeg(Jpeg);
    Check(Parsed.Error.empty() && Parsed.EndsWithEoi, "the stream's segments are well formed");
    Check(Parsed.ScanCount == 1 && Parsed.RestartMarkers == 0, "one scan, no restart markers");
    Check(Parsed.All(0xC0).size() == 1, "a baseline frame header");

    const auto Decoded = jpegtest::DecodeJpeg(Jpeg);
    Check(Decoded.has_value(), "libjpeg decodes the stream");
    Check(Decoded->Width == Width && Decoded->Height == Height, "the decoded picture has the same size");
    Check(Decoded->Components == 3, "three components");
    return 0;
}
