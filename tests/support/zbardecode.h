#pragma once
// Decodes QR symbols from an 8-bit grey picture with zbar, in binary mode, so the bytes come
// back exactly as they were encoded (no character-set guessing).

#include <cstdint>
#include <string>
#include <vector>

namespace zbartest {

// Every QR symbol zbar finds in a Width x Height picture of 8-bit grey samples (0 black,
// 255 white), row by row; each result is the symbol's raw data bytes.
std::vector<std::string> DecodeGrey(const std::vector<std::uint8_t>& Grey, int Width, int Height);

// Renders a module grid (Dark(row, col) for Side x Side modules) with a quiet zone of
// QuietZone modules and Scale pixels per module, and decodes it. Empty when nothing is found.
template <typename DarkFn>
std::vector<std::string> DecodeModules(int Side, DarkFn Dark, int QuietZone = 4, int Scale = 3) {
    const int Pixels = (Side + 2 * QuietZone) * Scale;
    std::vector<std::uint8_t> Grey(static_cast<std::size_t>(Pixels) * Pixels, 255);
    for (int r = 0; r < Side; ++r)
        for (int c = 0; c < Side; ++c)
            if (Dark(r, c))
                for (int dy = 0; dy < Scale; ++dy)
                    for (int dx = 0; dx < Scale; ++dx)
                        Grey[static_cast<std::size_t>((r + QuietZone) * Scale + dy) * Pixels +
                             (c + QuietZone) * Scale + dx] = 0;
    return DecodeGrey(Grey, Pixels, Pixels);
}

}  // namespace zbartest
