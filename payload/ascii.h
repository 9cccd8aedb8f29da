#pragma once
// ASCII character classes and case, independent of the locale: the formats' own syntax is
// ASCII, and a UTF-8 byte beyond it is never a letter or a digit here.

#include <algorithm>
#include <string>
#include <string_view>

namespace qrpayload::ascii {

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }
inline bool IsUpper(char c) { return c >= 'A' && c <= 'Z'; }
inline bool IsLower(char c) { return c >= 'a' && c <= 'z'; }
inline bool IsAlpha(char c) { return IsUpper(c) || IsLower(c); }
inline bool IsAlnum(char c) { return IsDigit(c) || IsAlpha(c); }
inline bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

inline std::string Upper(std::string_view s) {
    std::string Out(s);
    std::transform(Out.begin(), Out.end(), Out.begin(),
                   [](char c) { return IsLower(c) ? static_cast<char>(c - 'a' + 'A') : c; });
    return Out;
}
inline std::string Lower(std::string_view s) {
    std::string Out(s);
    std::transform(Out.begin(), Out.end(), Out.begin(),
                   [](char c) { return IsUpper(c) ? static_cast<char>(c - 'A' + 'a') : c; });
    return Out;
}

}  // namespace qrpayload::ascii
