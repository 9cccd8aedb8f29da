#pragma once
// Reads PNG files back with libpng, for tests: pixels as 8-bit RGBA, the header's bit depth and
// colour type, and the chunks present.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace pngtest {

struct Image {
    int Width = 0;
    int Height = 0;
    std::vector<std::uint8_t> Rgba;  // rows packed, 4 samples a pixel

    // 0xRRGGBBAA of pixel (X, Y).
    std::uint32_t At(int X, int Y) const;
    // Every pixel as 8-bit grey after compositing over white, for zbar.
    std::vector<std::uint8_t> GreyOnWhite() const;
};

// The decoded pixels; nothing when libpng refuses the stream.
std::optional<Image> ReadPng(std::span<const unsigned char> Bytes);

// One chunk of a PNG stream: its type and data.
struct Chunk {
    std::string Type;
    std::vector<std::uint8_t> Data;
};

// The stream's chunks in order; empty when the signature or a chunk's length is wrong.
std::vector<Chunk> Chunks(std::span<const unsigned char> Bytes);

}  // namespace pngtest
