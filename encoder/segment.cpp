// Modes and the data segment (ISO/IEC 18004:2015 7.2 to 7.4.5): mode choice, character
// filter, data writers, header fields.

#include <algorithm>
#include <array>
#include <climits>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "steps.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

namespace qr {

namespace {

// Each mode's indicator (Table 2; Hanzi's from GB/T 18284) and the widths of its
// character-count field (Table 3), by the order of TMode.
struct ModeInfo {
    int Indicator;
    int Widths[3];  // count-field bits for versions 1-9, 10-26, 27-40
};

constexpr ModeInfo Modes[] = {
    {0, {0, 0, 0}},      // qmTerminator
    {1, {10, 12, 14}},   // qmNumeric
    {2, {9, 11, 13}},    // qmAlphanumeric
    {3, {0, 0, 0}},      // qmStructuredAppend
    {4, {8, 16, 16}},    // qmByte
    {7, {0, 0, 0}},      // qmECI
    {8, {8, 10, 12}},    // qmKanji
    {5, {0, 0, 0}},      // qmFNC1FirstPosition
    {9, {0, 0, 0}},      // qmFNC1SecondPosition
    {13, {8, 10, 12}},   // qmHanzi
};

// Values of the 45 alphanumeric characters by code unit (Table 5); -1 for every other unit
// below 96.
constexpr std::array<std::int8_t, 96> AlphanumericTable = [] {
    std::array<std::int8_t, 96> t{};
    t.fill(-1);
    for (int c = '0'; c <= '9'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'Z'; ++c) t[static_cast<std::size_t>(c)] = static_cast<std::int8_t>(c - 'A' + 10);
    const char Symbols[] = " $%*+-./:";
    for (int i = 0; i < 9; ++i) t[static_cast<std::size_t>(Symbols[i])] = static_cast<std::int8_t>(36 + i);
    return t;
}();

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

// The code points of UTF-16 text, in order; an unpaired surrogate is U+FFFD.
template <typename Fn>
void ForEachCodePoint(std::u16string_view Text, Fn Visit) {
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char16_t u = Text[i];
        if (u < 0xD800 || u > 0xDFFF)
            Visit(char32_t{u});
        else if (u <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF)
            Visit(0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) + (Text[++i] - 0xDC00));
        else
            Visit(char32_t{0xFFFD});
    }
}

int Utf8Length(char32_t c) { return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4; }

// Writes the UTF-8 form of the code point at Out and moves Out past it.
void PutUtf8(char*& Out, char32_t c) {
    switch (Utf8Length(c)) {
        case 1: *Out++ = static_cast<char>(c); break;
        case 2:
            *Out++ = static_cast<char>(0xC0 | (c >> 6));
            *Out++ = static_cast<char>(0x80 | (c & 0x3F));
            break;
        case 3:
            *Out++ = static_cast<char>(0xE0 | (c >> 12));
            *Out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *Out++ = static_cast<char>(0x80 | (c & 0x3F));
            break;
        default:
            *Out++ = static_cast<char>(0xF0 | (c >> 18));
            *Out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *Out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            *Out++ = static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsAlphanumeric(char16_t c) { return c < 96 && AlphanumericTable[c] >= 0; }

}  // namespace

int ModeIndicatorOf(TMode mode) { return Modes[mode].Indicator; }

int CountFieldWidth(TMode mode, const TVersion& version) {
    const int v = version.GetVersionNumber();
    return Modes[mode].Widths[v <= 9 ? 0 : v <= 26 ? 1 : 2];
}

std::string Utf16ToUtf8(std::u16string_view Text) {
    std::string Out(Text.size() * 3, '\0');  // at most three bytes per code unit
    char* End = Out.data();
    ForEachCodePoint(Text, [&](char32_t c) { PutUtf8(End, c); });
    Out.resize(static_cast<std::size_t>(End - Out.data()));
    return Out;
}

int AlphanumericValue(int Code) {
    return Code >= 0 && Code < 96 ? AlphanumericTable[static_cast<std::size_t>(Code)] : -1;
}

TMode PickMode(std::u16string_view Text, int& Option) {
    if (Option != qrAuto) {
        if (Option == qrNumeric) return qmNumeric;
        if (Option == qrAlphanumeric) return qmAlphanumeric;
        return qmByte;
    }
    // Each test is false for the empty text, which therefore ends as BOM + UTF-8.
    auto All = [&](auto Holds) { return !Text.empty() && std::all_of(Text.begin(), Text.end(), Holds); };
    if (All(IsDigit)) return qmNumeric;
    if (All(IsAlphanumeric)) return qmAlphanumeric;
    Option = All(IsLatin1) ? qrISO88591 : qrUTF8NoBOM;
    return qmByte;
}

namespace {

// What byte mode keeps under the option: Latin-1 units, every unit, or none.
enum class TByteFilter { Latin1, All, None };

TByteFilter ByteFilterOf(int Option) {
    if (Option == qrISO88591) return TByteFilter::Latin1;
    if (Option == qrUTF8NoBOM || Option == qrUTF8BOM) return TByteFilter::All;
    return TByteFilter::None;
}

}  // namespace

TShiftJis::TShiftJis() {
#ifndef _WIN32
    // Code points in, as four little-endian bytes each: no byte-order mark, no wchar_t width.
    const iconv_t Handle = iconv_open("SHIFT_JIS", "UTF-32LE");
    if (Handle != reinterpret_cast<iconv_t>(-1)) FHandle.reset(Handle);
#endif
}

void TShiftJis::TClose::operator()(void* Handle) const {
#ifndef _WIN32
    iconv_close(static_cast<iconv_t>(Handle));
#else
    (void)Handle;
#endif
}

int TShiftJis::KanjiValue(char32_t c) {
    if (c < 0x80 || c > 0xFFFF) return -1;  // Shift JIS has nothing beyond the BMP
    unsigned char Out[4];
    std::size_t Length = 0;
#ifdef _WIN32
    const wchar_t Wide = static_cast<wchar_t>(c);
    BOOL Substituted = FALSE;
    const int n = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, &Wide, 1, reinterpret_cast<char*>(Out),
                                      sizeof Out, nullptr, &Substituted);
    if (n <= 0 || Substituted) return -1;
    Length = static_cast<std::size_t>(n);
#else
    if (!FHandle) return -1;  // no converter: no character has a Kanji value
    const iconv_t Handle = static_cast<iconv_t>(FHandle.get());
    char In[4] = {static_cast<char>(c & 0xFF), static_cast<char>((c >> 8) & 0xFF), 0, 0};
    char* InAt = In;
    char* OutAt = reinterpret_cast<char*>(Out);
    std::size_t InLeft = sizeof In, OutLeft = sizeof Out;
    if (iconv(Handle, &InAt, &InLeft, &OutAt, &OutLeft) == static_cast<std::size_t>(-1)) {
        iconv(Handle, nullptr, nullptr, nullptr, nullptr);  // a failed conversion leaves no state behind
        return -1;
    }
    Length = sizeof Out - OutLeft;
#endif
    if (Length != 2) return -1;
    const int Code = Out[0] << 8 | Out[1];
    const int Offset = Code >= 0x8140 && Code <= 0x9FFC ? Code - 0x8140
                       : Code >= 0xE040 && Code <= 0xEBBF ? Code - 0xC140
                                                          : -1;
    return Offset < 0 ? -1 : (Offset >> 8) * 0xC0 + (Offset & 0xFF);
}

std::u16string KeepEncodableChars(std::u16string_view Text, TMode Mode, int Option, TShiftJis* Kanji) {
    std::u16string Kept;
    auto KeepIf = [&](auto Keep) { std::copy_if(Text.begin(), Text.end(), std::back_inserter(Kept), Keep); };
    std::optional<TShiftJis> Own;
    if (Mode == qmKanji && !Kanji) Kanji = &Own.emplace();
    switch (Mode) {
        case qmNumeric: KeepIf(IsDigit); break;
        case qmAlphanumeric: KeepIf(IsAlphanumeric); break;
        case qmByte:
            if (ByteFilterOf(Option) == TByteFilter::Latin1 && Kanji)
                KeepIf([&](char16_t c) { return IsLatin1(c) || Kanji->KanjiValue(c) >= 0; });
            else if (ByteFilterOf(Option) == TByteFilter::Latin1)
                KeepIf(IsLatin1);
            if (ByteFilterOf(Option) == TByteFilter::All) Kept.assign(Text);
            break;
        case qmKanji: KeepIf([&](char16_t c) { return Kanji->KanjiValue(c) >= 0; }); break;
        default: break;
    }
    return Kept;
}

std::int64_t SegmentCount(std::u16string_view Text, TMode Mode, int Option) {
    auto Kept = [&](auto Keep) { return static_cast<std::int64_t>(std::count_if(Text.begin(), Text.end(), Keep)); };
    switch (Mode) {
        case qmNumeric: return Kept(IsDigit);
        case qmAlphanumeric: return Kept(IsAlphanumeric);
        case qmByte: {
            if (ByteFilterOf(Option) == TByteFilter::Latin1) return Kept(IsLatin1);
            if (ByteFilterOf(Option) == TByteFilter::None) return 0;
            std::int64_t Bytes = Option == qrUTF8NoBOM ? 3 : 0;  // the byte-order mark
            ForEachCodePoint(Text, [&](char32_t c) { Bytes += Utf8Length(c); });
            return Bytes;
        }
        default: return 0;
    }
}

namespace {

// 7.4.3: three digits in 10 bits, a last two in 7, a last one in 4.
void WriteDigitGroups(std::u16string_view Text, TBitArray& Bits) {
    const std::size_t n = Text.size();
    std::size_t i = 0;
    auto d = [&](std::size_t k) { return static_cast<int>(Text[k]) - '0'; };
    for (; i + 3 <= n; i += 3) Bits.AppendBits(d(i) * 100 + d(i + 1) * 10 + d(i + 2), 10);
    if (n - i == 2)
        Bits.AppendBits(d(i) * 10 + d(i + 1), 7);
    else if (n - i == 1)
        Bits.AppendBits(d(i), 4);
}

// 7.4.4: a pair as 45 a + b in 11 bits, a last one in 6. False at a unit outside the set.
bool WriteCharacterPairs(std::u16string_view Text, TBitArray& Bits) {
    for (std::size_t i = 0; i < Text.size(); i += 2) {
        const int a = AlphanumericValue(Text[i]);
        if (a < 0) return false;
        if (i + 1 == Text.size()) {
            Bits.AppendBits(a, 6);
            break;
        }
        const int b = AlphanumericValue(Text[i + 1]);
        if (b < 0) return false;
        Bits.AppendBits(a * 45 + b, 11);
    }
    return true;
}

// 7.4.5: the text's bytes under the option, 8 bits each.
void WriteOctets(std::u16string_view Text, TBitArray& Bits, int Option) {
    std::string Bytes;
    if (Option == qrISO88591) {
        for (const char16_t c : Text) Bytes.push_back(static_cast<char>(c & 0xFF));
    } else if (Option == qrUTF8NoBOM) {
        Bytes = "\xEF\xBB\xBF" + Utf16ToUtf8(Text);
    } else if (Option == qrUTF8BOM) {
        Bytes = Utf16ToUtf8(Text);
    }
    Bits.AppendBytes({reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size()});
}

// 7.4.6: each character's Kanji value in 13 bits. False at a character without one.
bool WriteKanjiValues(std::u16string_view Text, TBitArray& Bits, TShiftJis& Kanji) {
    for (const char16_t c : Text) {
        const int Value = Kanji.KanjiValue(c);
        if (Value < 0) return false;
        Bits.AppendBits(Value, 13);
    }
    return true;
}

}  // namespace

bool WriteSegmentData(std::u16string_view Text, TMode Mode, TBitArray& Bits, int Option) {
    switch (Mode) {
        case qmNumeric: WriteDigitGroups(Text, Bits); return true;
        case qmAlphanumeric: return WriteCharacterPairs(Text, Bits);
        case qmByte: WriteOctets(Text, Bits, Option); return true;
        case qmKanji: {
            TShiftJis Kanji;
            return WriteKanjiValues(Text, Bits, Kanji);
        }
        default: return false;
    }
}

void WriteModeIndicator(TMode Mode, TBitArray& Bits) { Bits.AppendBits(ModeIndicatorOf(Mode), 4); }

bool WriteCharacterCount(int Count, int VersionNumber, TMode Mode, TBitArray& Bits) {
    const TVersion* Version = TVersion::GetVersionForNumber(VersionNumber);
    if (!Version) return false;
    const int Width = CountFieldWidth(Mode, *Version);
    if (Count > (1 << Width) - 1) return false;
    Bits.AppendBits(Count, Width);
    return true;
}

TSegment EciSegment(int Designator) {
    TSegment Eci{qmECI, Designator, {}};
    Eci.Data.AppendBits(Designator & 0x7F, 8);  // 0bbbbbbb: the one-codeword form
    return Eci;
}

TSegment StructuredAppendSegment(int Position, int Total, int Parity) {
    TSegment Header{qmStructuredAppend, 0, {}};
    Header.Data.AppendBits(Position & 0xF, 4);
    Header.Data.AppendBits((Total - 1) & 0xF, 4);
    Header.Data.AppendBits(Parity & 0xFF, 8);
    return Header;
}

int SegmentParity(const TSegment& Segment) {
    const TBitArray& Bits = Segment.Data;
    int At = 0;
    auto Read = [&](int Width) {
        int Value = 0;
        for (int k = 0; k < Width && At < Bits.GetSize(); ++k) Value = Value << 1 | (Bits.Get(At++) ? 1 : 0);
        return Value;
    };
    int Parity = 0;
    switch (Segment.Mode) {
        case qmByte:
            while (At + 8 <= Bits.GetSize()) Parity ^= Read(8);
            break;
        case qmNumeric:  // back to the digits: groups of three in 10 bits, a last two in 7, one in 4
            for (int Left = Segment.Count; Left > 0; Left -= 3) {
                const int Digits = std::min(Left, 3);
                int Group = Read(Digits == 3 ? 10 : Digits == 2 ? 7 : 4);
                for (int d = 0; d < Digits; ++d, Group /= 10) Parity ^= '0' + Group % 10;
            }
            break;
        case qmAlphanumeric: {
            static constexpr char Set[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
            for (int Left = Segment.Count; Left > 0; Left -= 2) {
                const int Pair = Read(Left >= 2 ? 11 : 6);
                if (Left >= 2) Parity ^= Set[(Pair / 45) % 45] ^ Set[Pair % 45];
                else Parity ^= Set[Pair % 45];
            }
            break;
        }
        case qmKanji:  // 7.4.6 backwards: the value's two base-C0 digits, plus 8140 or C140
            for (int k = 0; k < Segment.Count; ++k) {
                const int Value = Read(13), Offset = (Value / 0xC0) << 8 | (Value % 0xC0);
                const int Code = Offset + (Offset + 0x8140 <= 0x9FFC ? 0x8140 : 0xC140);
                Parity ^= (Code >> 8) ^ (Code & 0xFF);
            }
            break;
        default: break;
    }
    return Parity;
}

int EciDesignator(int Option) { return Option == qrISO88591 ? 3 : 26; }

namespace {

// A character of the text as the optimizer weighs it: where it begins in the text (it ends
// where the next one begins), which of the modes hold it and how many bytes byte mode makes
// of it (0: byte mode cannot carry it, beyond Latin-1 under qrISO88591, kept for Kanji mode).
// Eight bytes, so that the units of the longest text stay in the cache beside the programme.
struct TUnit {
    std::uint32_t Begin;
    bool Digit, Alphanumeric, Kanji;
    std::uint8_t Bytes;
};

std::vector<TUnit> UnitsOf(std::u16string_view Text, int Option, TShiftJis* Kanji) {
    std::vector<TUnit> Units;
    Units.reserve(Text.size() + 1);
    if (Option == qrUTF8NoBOM) Units.push_back({0, false, false, false, 3});  // EF BB BF
    std::uint32_t i = 0;
    ForEachCodePoint(Text, [&](char32_t c) {
        const int Bytes = Option != qrISO88591 ? Utf8Length(c) : c <= 0xFF ? 1 : 0;
        const bool Ascii = c < 0x80;
        Units.push_back({i, Ascii && IsDigit(static_cast<char16_t>(c)), Ascii && IsAlphanumeric(static_cast<char16_t>(c)),
                         !Ascii && Kanji && Kanji->KanjiValue(c) >= 0, static_cast<std::uint8_t>(Bytes)});
        i += c >= 0x10000 ? 2 : 1;
    });
    return Units;
}

// The optimizer's states after a character: the mode of the open segment and, for numeric
// and alphanumeric, how many of its characters wait for their group to be completed.
enum TState { sNumeric0, sNumeric1, sNumeric2, sAlphanumeric0, sAlphanumeric1, sByte, sKanji, StateCount };

constexpr TMode ModeOfState(int State) {
    return State <= sNumeric2        ? qmNumeric
           : State <= sAlphanumeric1 ? qmAlphanumeric
           : State == sByte          ? qmByte
                                     : qmKanji;
}

}  // namespace

std::optional<std::vector<TSegment>> OptimalSegments(std::u16string_view Text, TMode Mode, int Option,
                                                     const TVersion& Version, int MaxBits, TShiftJis* Kanji) {
    if (Mode != qmByte) Kanji = nullptr;
    // Outside byte mode the text is the mode's own characters, one code unit each.
    const int Bytes = Mode == qmByte ? Option : qrISO88591;
    // No segmentation costs less than each character in its cheapest mode without headers, in
    // sixths of a bit (a digit 10/3, an alphanumeric character 11/2, Kanji 13 for any other
    // beyond ASCII, as if each had a Kanji value): a text that needs more than MaxBits by that
    // measure is refused before the characters are weighed, as each group of versions too
    // small for the text is.
    std::int64_t Sixths = Bytes == qrUTF8NoBOM ? 3 * 48 : 0;
    ForEachCodePoint(Text, [&](char32_t c) {
        const int Unheaded = c < 0x80 && IsDigit(static_cast<char16_t>(c))                          ? 20
                             : c < 0x80 && IsAlphanumeric(static_cast<char16_t>(c)) && Mode != qmNumeric ? 33
                             : Bytes != qrISO88591                                                  ? 48 * Utf8Length(c)
                             : c <= 0xFF                                                            ? 48
                                                                                                    : 78;
        Sixths += Kanji && c >= 0x80 ? std::min(Unheaded, 78) : Unheaded;
    });
    if (Sixths > 6 * static_cast<std::int64_t>(MaxBits)) return std::nullopt;
    const std::vector<TUnit> Units = UnitsOf(Text, Bytes, Kanji);
    const std::size_t n = Units.size();
    constexpr int Never = INT_MAX / 2;
    const int HeaderOf[] = {4 + CountFieldWidth(qmNumeric, Version), 4 + CountFieldWidth(qmAlphanumeric, Version),
                            4 + CountFieldWidth(qmByte, Version), 4 + CountFieldWidth(qmKanji, Version)};
    // Cost: the fewest bits of the characters so far ending in each state, kept for the last
    // two characters only (the rows alternate). From[i][s]: the state after character i - 2
    // that character i - 1 continued, or -1 when character i - 1 opened a new segment after
    // the cheapest state after character i - 2, which is Opened[i - 1] (the start, for the
    // first character). The cheapest state is the lowest of the least: the states are reached
    // in their order and only a smaller cost replaces the best so far.
    std::array<int, StateCount> Cost[2];
    Cost[0].fill(Never);
    std::array<std::int8_t, StateCount> None;
    None.fill(-1);
    std::vector<std::array<std::int8_t, StateCount>> From(n + 1, None);
    std::vector<std::int8_t> Opened(n + 1, 0);
    int Open = 0;  // the fewest bits after the characters so far: where a new segment opens
    for (std::size_t i = 0; i < n; ++i) {
        const TUnit& U = Units[i];
        const std::array<int, StateCount>& C = Cost[i & 1];
        std::array<int, StateCount>& Next = Cost[(i + 1) & 1];
        Next.fill(Never);
        std::array<std::int8_t, StateCount>& Back = From[i + 1];
        int Best = Never, BestState = 0;
        auto Reach = [&](int State, int Bits, int Prev) {
            Next[static_cast<std::size_t>(State)] = Bits;
            Back[static_cast<std::size_t>(State)] = static_cast<std::int8_t>(Prev);
            if (Bits < Best) {
                Best = Bits;
                BestState = State;
            }
        };
        // Continued from Prev at Add bits, or opened (a header of Header bits) at Add bits for
        // its first character; continuing wins ties: fewer segments for the same bits.
        auto ReachEither = [&](int State, int Prev, int Add, int Header) {
            const int Continued = C[static_cast<std::size_t>(Prev)] + Add, Opening = Open + Header + Add;
            if (Continued <= Opening)
                Reach(State, Continued, Prev);
            else
                Reach(State, Opening, -1);
        };
        auto Continue = [&](int State, int Prev, int Add) { Reach(State, C[static_cast<std::size_t>(Prev)] + Add, Prev); };
        if (U.Digit) {  // three digits in 10 bits, a last two in 7, a last one in 4 (7.4.3)
            Continue(sNumeric0, sNumeric2, 3);
            ReachEither(sNumeric1, sNumeric0, 4, HeaderOf[0]);
            Continue(sNumeric2, sNumeric1, 3);
        }
        if (U.Alphanumeric && Mode != qmNumeric) {  // a pair in 11 bits, a last one in 6 (7.4.4)
            Continue(sAlphanumeric0, sAlphanumeric1, 5);
            ReachEither(sAlphanumeric1, sAlphanumeric0, 6, HeaderOf[1]);
        }
        if (Mode == qmByte && U.Bytes) ReachEither(sByte, sByte, 8 * U.Bytes, HeaderOf[2]);
        if (U.Kanji) ReachEither(sKanji, sKanji, 13, HeaderOf[3]);  // 7.4.6
        Opened[i + 1] = static_cast<std::int8_t>(BestState);
        Open = Best;
        if (Open > MaxBits) return std::nullopt;  // costs only grow from here
    }
    // Back from the cheapest end: the first character and the state of each segment.
    std::vector<std::pair<std::size_t, int>> Starts;
    if (n > 0) {
        int State = Opened[n];
        for (std::size_t i = n; i > 0; --i) {
            const int Prev = From[i][static_cast<std::size_t>(State)];
            if (Prev >= 0) {
                State = Prev;
                continue;
            }
            Starts.emplace_back(i - 1, State);
            if (i > 1) State = Opened[i - 1];
        }
    }
    std::reverse(Starts.begin(), Starts.end());
    std::vector<TSegment> Segments;
    for (std::size_t k = 0; k < Starts.size(); ++k) {
        const std::size_t First = Starts[k].first, Stop = k + 1 < Starts.size() ? Starts[k + 1].first : n;
        const TMode M = ModeOfState(Starts[k].second);
        const std::size_t Begin = Units[First].Begin, End = Stop < n ? Units[Stop].Begin : Text.size();
        const std::u16string_view Part = Text.substr(Begin, End - Begin);
        TSegment S{M, 0, {}};
        // Only the segment that opens the text carries the byte-order mark.
        if (M == qmKanji)
            (void)WriteKanjiValues(Part, S.Data, *Kanji);
        else
            (void)WriteSegmentData(Part, M, S.Data, Option == qrUTF8NoBOM && First != 0 ? qrUTF8BOM : Option);
        S.Count = M == qmByte ? S.Data.GetSizeInBytes() : static_cast<int>(Part.size());
        Segments.push_back(std::move(S));
    }
    return Segments;
}

std::vector<TSegment> KanjiRuns(std::u16string_view Text, int Option, TShiftJis& Kanji) {
    // Under qrISO88591 a Latin-1 character is cheaper as its one byte than in 13 bits.
    auto InKanji = [&](char16_t c) { return (Option != qrISO88591 || !IsLatin1(c)) && Kanji.KanjiValue(c) >= 0; };
    std::vector<TSegment> Segments;
    for (std::size_t i = 0; i < Text.size() || (Segments.empty() && Option == qrUTF8NoBOM);) {
        const bool Mark = Segments.empty() && Option == qrUTF8NoBOM;
        const bool IsKanji = !Mark && InKanji(Text[i]);
        std::size_t End = i;
        while (End < Text.size() && InKanji(Text[End]) == IsKanji) ++End;
        const std::u16string_view Part = Text.substr(i, End - i);
        TSegment S{IsKanji ? qmKanji : qmByte, 0, {}};
        if (IsKanji) {
            (void)WriteKanjiValues(Part, S.Data, Kanji);
            S.Count = static_cast<int>(Part.size());
        } else {
            (void)WriteSegmentData(Part, qmByte, S.Data, Option == qrUTF8NoBOM && !Mark ? qrUTF8BOM : Option);
            S.Count = S.Data.GetSizeInBytes();
        }
        Segments.push_back(std::move(S));
        i = End;
    }
    if (Segments.empty()) Segments.push_back({qmByte, 0, {}});  // the empty text: an empty byte segment
    return Segments;
}

TEncoder::TSegmentSize TEncoder::MeasureSegment(std::u16string_view Text, int Option) {
    const TMode Mode = PickMode(Text, Option);
    const std::int64_t Count = SegmentCount(Text, Mode, Option);
    return {Mode, static_cast<int>(std::min<std::int64_t>(Count, INT_MAX))};
}

int TEncoder::MaxCount(TMode Mode, const TErrorCorrectionLevel& Level) {
    // Version 40's data codewords at the level, less the 4-bit indicator and the count field.
    const TVersion& Largest = *TVersion::GetVersionForNumber(40);
    const int Bits = 8 * Largest.GetDataCodewords(Level) - 4 - CountFieldWidth(Mode, Largest);
    switch (Mode) {
        case qmNumeric:  // 10 bits per three digits, 7 for a last two, 4 for a last one
            return 3 * (Bits / 10) + (Bits % 10 >= 7 ? 2 : Bits % 10 >= 4 ? 1 : 0);
        case qmAlphanumeric:  // 11 bits per pair, 6 for a last one
            return 2 * (Bits / 11) + (Bits % 11 >= 6 ? 1 : 0);
        default: return Bits / 8;
    }
}

}  // namespace qr
