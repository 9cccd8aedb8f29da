#pragma once
// A picture as plain pixels, without any toolkit: Width x Height 32-bit values 0xAARRGGBB, row
// by row from the top. The values are laid out as QImage's Format_RGB32 expects them, so the
// window can hand them to Qt as they are.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qrpicture {

using TRgb32 = std::uint32_t;

inline constexpr TRgb32 kBlack = 0xFF000000u;
inline constexpr TRgb32 kWhite = 0xFFFFFFFFu;

class TPixels {
public:
    TPixels() = default;
    // Width x Height pixels of Fill; a negative side counts as 0.
    TPixels(int Width, int Height, TRgb32 Fill)
        : FWidth(Width > 0 ? Width : 0),
          FHeight(Height > 0 ? Height : 0),
          FPixels(static_cast<std::size_t>(FWidth) * static_cast<std::size_t>(FHeight), Fill) {}

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    bool IsEmpty() const { return FPixels.empty(); }

    TRgb32 Pixel(int X, int Y) const { return FPixels[Index(X, Y)]; }
    void SetPixel(int X, int Y, TRgb32 Colour) { FPixels[Index(X, Y)] = Colour; }
    std::span<TRgb32> Row(int Y) { return {FPixels.data() + Index(0, Y), static_cast<std::size_t>(FWidth)}; }
    std::span<const TRgb32> Row(int Y) const {
        return {FPixels.data() + Index(0, Y), static_cast<std::size_t>(FWidth)};
    }
    std::span<const TRgb32> All() const { return FPixels; }

    friend bool operator==(const TPixels&, const TPixels&) = default;

private:
    std::size_t Index(int X, int Y) const {
        return static_cast<std::size_t>(Y) * static_cast<std::size_t>(FWidth) + static_cast<std::size_t>(X);
    }

    int FWidth = 0;
    int FHeight = 0;
    std::vector<TRgb32> FPixels;
};

}  // namespace qrpicture
