#pragma once
// Text conversions that the window and the command line share: UTF-8 to UTF-16 (RFC 3629), and
// the two ways line breaks reach the CR LF form the encoder is given. UTF-16 to UTF-8 is the
// encoder's own step (qr::Utf16ToUtf8, in encoder/steps.h).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qrtext {

// The UTF-8 sequence that starts at Bytes[At]: its code point and its length in bytes. None for
// a bad lead or continuation byte, a truncated, overlong or surrogate sequence, or a value above
// U+10FFFF.
struct CodePoint {
    char32_t Value;
    std::size_t Length;
};
std::optional<CodePoint> DecodeOne(std::string_view Bytes, std::size_t At);

// UTF-8 bytes to UTF-16. Invalid UTF-8 (see DecodeOne) gives no text and the offset of the
// first byte of the bad sequence.
struct Decoded {
    std::optional<std::u16string> Text;
    std::size_t ErrorOffset = 0;
};
Decoded DecodeUtf8(std::string_view Bytes);

// Text typed or piped with Unix line ends: each LF that is not already the second half of a
// CR LF becomes CR LF; a lone CR stays as it is.
std::u16string LineFeedsToCrLf(std::u16string_view Text);

// A Qt text document's raw text (paragraph separators U+2029 and line separators U+2028 between
// its lines, nothing else changed): each separator becomes CR LF; CR and LF stay as they are.
std::u16string SeparatorsToCrLf(std::u16string_view RawText);

}  // namespace qrtext
