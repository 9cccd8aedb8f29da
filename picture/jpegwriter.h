#pragma once
// JPEG compression of an RGB picture through libjpeg, wholly in memory: pixels in, bytes out.
// No window or toolkit is involved, so it can be used and tested on its own.

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <vector>

#include "pixels.h"

namespace qrpicture {

// The JPEG quality "Gravar" saves with.
inline constexpr int kSaveQuality = 90;

// An error reported by libjpeg; Code() is the library's message code (msg_code) and what()
// reads "JPEG error #<code>".
class JpegError : public std::runtime_error {
public:
    explicit JpegError(int Code);
    int Code() const noexcept { return FCode; }

private:
    int FCode;
};

// Compresses a Width x Height picture into a baseline JFIF stream: libjpeg's defaults (YCbCr,
// 4:2:0, standard Huffman tables, no restart markers) with the given Quality (1 to 100, forced
// to baseline tables) and the floating-point DCT. Rgb holds the rows from top to bottom, each
// row Width triples of 8-bit red, green, blue, rows BytesPerLine bytes apart.
// Throws std::invalid_argument when Rgb is too small for the picture or a size is negative,
// and JpegError when libjpeg fails (a picture of zero width or height, for one).
std::vector<unsigned char> CompressJpeg(std::span<const std::uint8_t> Rgb, int Width, int Height, int Quality,
                                        std::size_t BytesPerLine);

// The same, with the rows packed tightly (BytesPerLine = 3 * Width).
std::vector<unsigned char> CompressJpeg(std::span<const std::uint8_t> Rgb, int Width, int Height, int Quality);

// Picture as a JPEG stream of the given Quality: its red, green and blue (alpha is dropped).
// Throws JpegError, for one for a picture without pixels.
std::vector<unsigned char> PictureToJpeg(const TPixels& Picture, int Quality);

}  // namespace qrpicture
