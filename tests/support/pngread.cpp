#include "pngread.h"

#include <png.h>

#include <cstring>

namespace pngtest {

std::uint32_t Image::At(int X, int Y) const {
    const std::uint8_t* P = &Rgba[(static_cast<std::size_t>(Y) * static_cast<std::size_t>(Width) + static_cast<std::size_t>(X)) * 4];
    return static_cast<std::uint32_t>(P[0]) << 24 | static_cast<std::uint32_t>(P[1]) << 16 |
           static_cast<std::uint32_t>(P[2]) << 8 | P[3];
}

std::vector<std::uint8_t> Image::GreyOnWhite() const {
    std::vector<std::uint8_t> Grey(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height));
    for (std::size_t i = 0; i < Grey.size(); ++i) {
        const std::uint8_t* P = &Rgba[i * 4];
        const int Luma = (299 * P[0] + 587 * P[1] + 114 * P[2]) / 1000;
        Grey[i] = static_cast<std::uint8_t>((Luma * P[3] + 255 * (255 - P[3])) / 255);
    }
    return Grey;
}

std::optional<Image> ReadPng(std::span<const unsigned char> Bytes) {
    png_image Png;
    std::memset(&Png, 0, sizeof Png);
    Png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&Png, Bytes.data(), Bytes.size()))
        return std::nullopt;
    Png.format = PNG_FORMAT_RGBA;
    Image Out;
    Out.Width = static_cast<int>(Png.width);
    Out.Height = static_cast<int>(Png.height);
    Out.Rgba.resize(PNG_IMAGE_SIZE(Png));
    if (!png_image_finish_read(&Png, nullptr, Out.Rgba.data(), 0, nullptr)) {
        png_image_free(&Png);
        return std::nullopt;
    }
    return Out;
}

std::vector<Chunk> Chunks(std::span<const unsigned char> Bytes) {
    static const unsigned char Signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (Bytes.size() < 8 || std::memcmp(Bytes.data(), Signature, 8) != 0)
        return {};
    std::vector<Chunk> Out;
    std::size_t At = 8;
    while (At + 12 <= Bytes.size()) {
        const std::size_t Length = static_cast<std::size_t>(Bytes[At]) << 24 | static_cast<std::size_t>(Bytes[At + 1]) << 16 |
                                   static_cast<std::size_t>(Bytes[At + 2]) << 8 | Bytes[At + 3];
        if (At + 12 + Length > Bytes.size())
            return {};
        Out.push_back({std::string(reinterpret_cast<const char*>(&Bytes[At + 4]), 4),
                       std::vector<std::uint8_t>(Bytes.begin() + static_cast<std::ptrdiff_t>(At + 8),
                                                 Bytes.begin() + static_cast<std::ptrdiff_t>(At + 8 + Length))});
        At += 12 + Length;
    }
    return At == Bytes.size() ? Out : std::vector<Chunk>{};
}

}  // namespace pngtest
