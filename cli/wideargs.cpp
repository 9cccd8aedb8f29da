#include "wideargs.h"

#include "encoder/steps.h"

namespace qrcli {

namespace {

bool IsHigh(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLow(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

// The place of the first surrogate without its other half, or npos.
std::size_t LoneSurrogate(std::u16string_view Text) {
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (IsHigh(Text[i]) && i + 1 < Text.size() && IsLow(Text[i + 1]))
            ++i;
        else if (IsHigh(Text[i]) || IsLow(Text[i]))
            return i;
    }
    return std::u16string_view::npos;
}

}  // namespace

Result<std::vector<std::string>> ArgumentsFromUtf16(std::span<const std::u16string_view> Args) {
    std::vector<std::string> Out;
    Out.reserve(Args.size());
    for (std::size_t n = 0; n < Args.size(); ++n) {
        // The encoder's conversion is exact for everything but the lone surrogates refused here.
        if (const std::size_t At = LoneSurrogate(Args[n]); At != std::u16string_view::npos)
            return Failure{"argument " + std::to_string(n + 1) + " is not valid UTF-16 (a lone surrogate at character " +
                           std::to_string(At + 1) + ")"};
        Out.push_back(qr::Utf16ToUtf8(Args[n]));
    }
    return Out;
}

}  // namespace qrcli
