#include "textconv.h"

namespace qrtext {

std::optional<CodePoint> DecodeOne(std::string_view Bytes, std::size_t At) {
    const auto Byte = [&](std::size_t k) { return static_cast<unsigned char>(Bytes[k]); };
    const unsigned char b = Byte(At);
    std::size_t Length = 0;
    char32_t c = 0, Min = 0;
    if (b < 0x80) return CodePoint{b, 1};
    if (b >= 0xC2 && b <= 0xDF) Length = 2, c = b & 0x1F, Min = 0x80;
    else if (b >= 0xE0 && b <= 0xEF) Length = 3, c = b & 0x0F, Min = 0x800;
    else if (b >= 0xF0 && b <= 0xF4) Length = 4, c = b & 0x07, Min = 0x10000;
    else return std::nullopt;
    if (Length > Bytes.size() - At) return std::nullopt;
    for (std::size_t k = 1; k < Length; ++k) {
        const unsigned char Next = Byte(At + k);
        if ((Next & 0xC0) != 0x80) return std::nullopt;
        c = (c << 6) | (Next & 0x3F);
    }
    if (c < Min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    return CodePoint{c, Length};
}

Decoded DecodeUtf8(std::string_view Bytes) {
    std::u16string Out;
    Out.reserve(Bytes.size());
    for (std::size_t i = 0; i < Bytes.size();) {
        const auto One = DecodeOne(Bytes, i);
        if (!One) return {std::nullopt, i};
        const char32_t c = One->Value;
        if (c >= 0x10000) {
            Out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            Out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            Out.push_back(static_cast<char16_t>(c));
        }
        i += One->Length;
    }
    return {std::move(Out), 0};
}

std::u16string LineFeedsToCrLf(std::u16string_view Text) {
    std::u16string Out;
    Out.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == u'\n' && (i == 0 || Text[i - 1] != u'\r')) Out.push_back(u'\r');
        Out.push_back(Text[i]);
    }
    return Out;
}

std::u16string SeparatorsToCrLf(std::u16string_view RawText) {
    std::u16string Text;
    Text.reserve(RawText.size() + RawText.size() / 8);
    for (const char16_t Unit : RawText) {
        if (Unit == u'\u2029' || Unit == u'\u2028')
            Text += u"\r\n";
        else
            Text += Unit;
    }
    return Text;
}

}  // namespace qrtext
