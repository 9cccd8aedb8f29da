// Micro QR symbols (ISO/IEC 18004:2015, M1 to M4): their versions and levels, the mode
// indicators and count fields of each, the bit stream with its short terminator and 4-bit
// last codewords, the one finder pattern, timing along the top and left, the four masks and
// their evaluation, and the format information.

#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>

#include "steps.h"

namespace qr {

namespace {

// A version at a level (Table 7 and Table 9 for Micro QR): its data capacity in bits (M1 and
// M3 end in a 4-bit codeword), its codewords and the symbol number of its format information.
struct TMicroVersion {
    int Number;  // 1 to 4: M1 to M4
    int LevelOrdinal;  // L 0, M 1, Q 2; M1 (error detection only) counts as L
    int DataBits, DataCodewords, ECCodewords, SymbolNumber;
};

constexpr TMicroVersion MicroVersions[] = {
    {1, 0, 20, 3, 2, 0},   {2, 0, 40, 5, 5, 1},   {2, 1, 32, 4, 6, 2},   {3, 0, 84, 11, 6, 3},
    {3, 1, 68, 9, 8, 4},   {4, 0, 128, 16, 8, 5}, {4, 1, 112, 14, 10, 6}, {4, 2, 80, 10, 14, 7},
};

// The count-field widths by mode and version (0: the version has no such mode), and the modes'
// indicators, M1 having none, M2 one bit, M3 two, M4 three.
int MicroCountWidth(TMode Mode, int Version) {
    static constexpr int Widths[4][4] = {{3, 4, 5, 6}, {0, 3, 4, 5}, {0, 0, 4, 5}, {0, 0, 3, 4}};
    const int Row = Mode == qmNumeric ? 0 : Mode == qmAlphanumeric ? 1 : Mode == qmByte ? 2 : Mode == qmKanji ? 3 : -1;
    return Row < 0 ? 0 : Widths[Row][Version - 1];
}

int MicroIndicator(TMode Mode) { return Mode == qmNumeric ? 0 : Mode == qmAlphanumeric ? 1 : Mode == qmByte ? 2 : 3; }

int MicroSegmentBits(const std::vector<TSegment>& Segments, int Version) {
    int Bits = 0;
    for (const TSegment& S : Segments) Bits += Version - 1 + MicroCountWidth(S.Mode, Version) + S.Data.GetSize();
    return Bits;
}

// The version that holds the segments: every mode one it has, every count within its field.
bool MicroHolds(const std::vector<TSegment>& Segments, const TMicroVersion& V) {
    for (const TSegment& S : Segments) {
        const int Width = MicroCountWidth(S.Mode, V.Number);
        if (Width == 0 || S.Count > (1 << Width) - 1) return false;
    }
    return MicroSegmentBits(Segments, V.Number) <= V.DataBits;
}

bool IsFunctionModule(int X, int Y) { return (X <= 8 && Y <= 8) || X == 0 || Y == 0; }

bool MaskedAt(int Mask, int Row, int Column) {
    switch (Mask) {
        case 0: return Row % 2 == 0;
        case 1: return (Row / 2 + Column / 3) % 2 == 0;
        case 2: return ((Row * Column) % 2 + (Row * Column) % 3) % 2 == 0;
        default: return ((Row + Column) % 2 + (Row * Column) % 3) % 2 == 0;
    }
}

// The 15 format bits: the symbol number and the mask in 5 bits, their BCH (15,5) code, the
// Micro QR mask 100010001000101 over all.
int MicroFormatBits(int SymbolNumber, int Mask) {
    const int Data = SymbolNumber << 2 | Mask;
    int Remainder = Data << 10;
    for (int Bit = 14; Bit >= 10; --Bit)
        if (Remainder >> Bit & 1) Remainder ^= 0x537 << (Bit - 10);
    return (Data << 10 | Remainder) ^ 0x4445;
}

}  // namespace

const char* MicroVersionName(int Version) {
    static constexpr const char* Names[] = {"M1", "M2", "M3", "M4"};
    return Version >= 1 && Version <= 4 ? Names[Version - 1] : "";
}

int MicroCapacity(int Version, const TErrorCorrectionLevel& Level) {
    for (const TMicroVersion& V : MicroVersions)
        if (V.Number == Version && V.LevelOrdinal == Level.Ordinal()) return V.DataBits;
    return 0;
}

std::optional<TMicroSymbol> MicroSymbol(std::u16string_view Text, int Option, const TErrorCorrectionLevel& Level,
                                        const TSymbolChoices& Choices) {
    // The segments as a QR symbol would hold them (one, or Kanji runs), fitted anew.
    TSymbolChoices Segmenting;
    Segmenting.Kanji = Choices.Kanji;
    const TSymbolPlan Plan = PlanSymbol(Text, Option, Level, Segmenting);
    if (!Plan.Version) return std::nullopt;
    const int MinVersion = std::clamp(Choices.MinVersion, 1, 4);
    const TMicroVersion* Fit = nullptr;
    for (const TMicroVersion& V : MicroVersions) {
        if (V.LevelOrdinal != Level.Ordinal() || V.Number < MinVersion) continue;
        if (Choices.StrictVersion && V.Number != MinVersion) continue;
        if (MicroHolds(Plan.Segments, V)) {
            Fit = &V;
            break;
        }
    }
    if (!Fit) return std::nullopt;
    const int Version = Fit->Number, Capacity = Fit->DataBits;

    TMicroSymbol Symbol;
    Symbol.Version = Version;
    Symbol.Mode = Plan.Mode;
    TBitArray Bits;
    for (const TSegment& S : Plan.Segments) {
        if (Version > 1) Bits.AppendBits(MicroIndicator(S.Mode), Version - 1);
        Bits.AppendBits(S.Count, MicroCountWidth(S.Mode, Version));
        Bits.AppendBitArray(S.Data);
        Symbol.Segments.push_back({S.Mode, S.Count});
    }
    // The terminator (3, 5, 7 or 9 zero bits, fewer where the capacity ends first), zero bits to
    // the codeword's end, then the pad codewords 11101100 and 00010001 in turn; a 4-bit last
    // codeword left over is 0000.
    const int Terminator = std::min(2 * Version + 1, Capacity - Bits.GetSize());
    for (int k = 0; k < Terminator; ++k) Bits.AppendBit(false);
    while (Bits.GetSize() % 8 != 0 && Bits.GetSize() < Capacity) Bits.AppendBit(false);
    for (int Pad = 0; Capacity - Bits.GetSize() >= 8; Pad ^= 1) Bits.AppendBits(Pad ? 0x11 : 0xEC, 8);
    while (Bits.GetSize() < Capacity) Bits.AppendBit(false);

    // The data codewords, a 4-bit last one as its high half, and their error-correction
    // codewords in one block.
    TByteArray Data(static_cast<std::size_t>(Fit->DataCodewords), 0);
    for (int i = 0; i < Capacity; ++i)
        if (Bits.Get(i)) Data[static_cast<std::size_t>(i / 8)] |= static_cast<std::uint8_t>(0x80 >> (i % 8));
    const TByteArray EC = ComputeECCodewords(Data, Fit->ECCodewords);
    TBitArray Stream = Bits;
    Stream.AppendBytes(EC);

    // The finder, its separator and the timing; the data from the bottom right, two columns at a
    // time, up and down in turn, around the function modules.
    const int Side = 2 * Version + 9;
    TByteMatrix Unmasked(Side, Side);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 7; ++x) {
            const int Ring = std::max(std::abs(x - 3), std::abs(y - 3));
            Unmasked.SetBoolean(x, y, Ring != 2);
        }
    for (int k = 8; k < Side; ++k) {
        Unmasked.SetBoolean(k, 0, k % 2 == 0);
        Unmasked.SetBoolean(0, k, k % 2 == 0);
    }
    int Next = 0;
    bool Up = true;
    for (int Right = Side - 1; Right >= 1; Right -= 2, Up = !Up)
        for (int k = 0; k < Side; ++k) {
            const int y = Up ? Side - 1 - k : k;
            for (int x = Right; x >= Right - 1; --x) {
                if (IsFunctionModule(x, y)) continue;
                Unmasked.SetBoolean(x, y, Next < Stream.GetSize() && Stream.Get(Next));
                ++Next;
            }
        }
    Symbol.ChecksPassed = Next == Stream.GetSize() && EC.size() == static_cast<std::size_t>(Fit->ECCodewords);

    // Each mask with its format information; the evaluation of the standard's mask selection for
    // Micro QR: the dark modules along the right and along the bottom edge (the timing
    // excluded), the smaller sum times 16 plus the larger, the highest wins; ties keep the lower.
    auto Masked = [&](int Mask) {
        auto M = std::make_unique<TByteMatrix>(Side, Side);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x)
                M->SetBoolean(x, y, (Unmasked.Get(x, y) == 1) != (!IsFunctionModule(x, y) && MaskedAt(Mask, y, x)));
        const int Format = MicroFormatBits(Fit->SymbolNumber, Mask);
        for (int c = 1; c <= 8; ++c) M->SetBoolean(c, 8, Format >> (15 - c) & 1);
        for (int r = 1; r <= 7; ++r) M->SetBoolean(8, r, Format >> (r - 1) & 1);
        return M;
    };
    auto Score = [&](const TByteMatrix& M) {
        int Right = 0, Bottom = 0;
        for (int k = 1; k < Side; ++k) {
            Right += M.Get(Side - 1, k) == 1;
            Bottom += M.Get(k, Side - 1) == 1;
        }
        return Right <= Bottom ? Right * 16 + Bottom : Bottom * 16 + Right;
    };
    if (Choices.Mask >= 0 && Choices.Mask <= 3) {
        Symbol.Mask = Choices.Mask;
        Symbol.Matrix = Masked(Choices.Mask);
    } else {
        int Best = -1;
        for (int Mask = 0; Mask < 4; ++Mask) {
            auto M = Masked(Mask);
            if (const int S = Score(*M); S > Best) {
                Best = S;
                Symbol.Mask = Mask;
                Symbol.Matrix = std::move(M);
            }
        }
    }
    return Symbol;
}

}  // namespace qr
