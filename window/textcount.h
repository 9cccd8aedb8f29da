#pragma once
// How the text box counts its text, without any toolkit: UTF-16 code units as the box stores
// them, every line break CR LF. The box holds at most kMemoMaxLength of them however the text
// arrives, so each way in asks how much of an insertion fits.

#include <cstddef>
#include <string>
#include <string_view>

namespace qrwindow {

inline constexpr int kMemoMaxLength = 1200;

// CR, LF, and a text document's paragraph and line separators (U+2029, U+2028).
constexpr bool IsLineBreak(char16_t Unit) {
    return Unit == u'\r' || Unit == u'\n' || Unit == u'\u2029' || Unit == u'\u2028';
}

// Code units Text takes once every line break is CR LF: a CR LF pair, a lone CR or LF, and a
// separator each count two; any other code unit one.
int StoredLength(std::u16string_view Text);

// Text as the box stores it: every line break (CR LF, a lone CR or LF, a separator) CR LF, so
// that its length is StoredLength(Text).
std::u16string StoredText(std::u16string_view Text);

// The number of code units of the longest prefix of Text whose StoredLength is at most Room
// (none for a Room below 1). The cut never falls inside a surrogate pair or a CR LF pair.
std::size_t FittingPrefix(std::u16string_view Text, int Room);

}  // namespace qrwindow
