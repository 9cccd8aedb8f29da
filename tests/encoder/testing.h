#pragma once
// Helpers shared by the encoder tests.

#include <string>
#include <vector>

#include "encoder/steps.h"

namespace qrtest {

// The bits of an array as a string of '0' and '1'.
inline std::string BitString(const qr::TBitArray& Bits) {
    std::string s;
    for (int i = 0; i < Bits.GetSize(); ++i) s += Bits.Get(i) ? '1' : '0';
    return s;
}

// Value in Width bits, most significant first, as '0'/'1'.
inline std::string Field(int Value, int Width) {
    std::string s;
    for (int k = Width - 1; k >= 0; --k) s += ((Value >> k) & 1) ? '1' : '0';
    return s;
}

// The matrix as lines of 'X' (dark) and '.' (light), one per row.
inline std::vector<std::string> MatrixLines(const qr::TByteMatrix& M) {
    std::vector<std::string> Lines;
    for (int y = 0; y < M.Height(); ++y) {
        std::string Line;
        for (int x = 0; x < M.Width(); ++x) Line += M.Get(x, y) == 1 ? 'X' : '.';
        Lines.push_back(Line);
    }
    return Lines;
}

// A matrix from lines of 'X' and '.'.
inline qr::TByteMatrix MatrixFrom(const std::vector<std::string>& Lines) {
    qr::TByteMatrix M(static_cast<int>(Lines.empty() ? 0 : Lines[0].size()), static_cast<int>(Lines.size()));
    for (std::size_t y = 0; y < Lines.size(); ++y)
        for (std::size_t x = 0; x < Lines[y].size(); ++x)
            M.SetBoolean(static_cast<int>(x), static_cast<int>(y), Lines[y][x] == 'X');
    return M;
}

// A matrix of modules as the penalty rules read it: its dark cells packed by rows and by
// columns.
struct Packed {
    explicit Packed(const qr::TByteMatrix& M) : Rows(qr::TModulePlane::OfCells(M, 1)), Columns(Rows.Transposed()) {}
    qr::TModulePlane Rows, Columns;
    operator qr::TPackedSymbol() const { return {Rows, Columns}; }
};

// The codewords of a bit array, 8 bits each.
inline std::vector<int> Codewords(const qr::TBitArray& Bits) {
    qr::TByteArray Bytes(static_cast<std::size_t>(Bits.GetSizeInBytes()));
    Bits.ToBytes(0, Bytes, 0, Bits.GetSizeInBytes());
    return {Bytes.begin(), Bytes.end()};
}

// The penalty of the symbol of each mask, each a full build of the encoding's codewords.
inline std::vector<int> PenaltiesOfAllMasks(std::u16string_view Text, int Option,
                                            const qr::TErrorCorrectionLevel& Level) {
    const qr::TCodewords C = qr::AssembleCodewords(Text, Option, Level);
    std::vector<int> Penalties;
    for (int Mask = 0; Mask < 8; ++Mask) {
        const int D = C.Version->GetDimensionForVersion();
        qr::TByteMatrix M(D, D);
        qr::TMatrixUtil().BuildMatrix(C.Bits, Level, C.Version->GetVersionNumber(), Mask, M);
        Penalties.push_back(qr::MaskPenalty(Packed(M)));
    }
    return Penalties;
}

}  // namespace qrtest
