#pragma once
// The module matrix: Width x Height byte cells, 0 light, 1 dark, 255 empty (read back as -1).

#include <cstdint>
#include <string>
#include <vector>

namespace qr {

using T2DByteArray = std::vector<std::vector<std::uint8_t>>;

class TByteMatrix {
public:
    TByteMatrix(int Width, int Height);  // every cell 0

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }

    int Get(int X, int Y) const {
        const std::uint8_t v = Bytes[Y][X];
        return v == 255 ? -1 : v;
    }
    void SetBoolean(int X, int Y, bool Value) { Bytes[Y][X] = Value ? 1 : 0; }
    void SetInteger(int X, int Y, std::int32_t Value) { Bytes[Y][X] = static_cast<std::uint8_t>(Value); }

    // The cell store itself, row by row (Bytes[Y][X]); not a copy.
    T2DByteArray& GetArray() { return Bytes; }
    const T2DByteArray& GetArray() const { return Bytes; }

    // An independent copy of Source, its size included.
    void Assign(const TByteMatrix& Source) { *this = Source; }
    void Clear(std::uint8_t Value);
    // One letter per row, 'A' + (sum of the row's stored bytes) mod 26: a summary that tells
    // matrices apart at a glance, for diagnostics.
    std::string Hash() const;

private:
    T2DByteArray Bytes;
    int FWidth;
    int FHeight;
};

}  // namespace qr
