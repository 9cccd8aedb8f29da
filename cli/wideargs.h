#pragma once
// The arguments as Windows gives them, UTF-16, converted to the UTF-8 the rest of the program
// takes, character for character.

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "result.h"

namespace qrcli {

using qrfiles::Failure;
using qrfiles::Result;

// Each argument in UTF-8, exactly. A lone surrogate (a high one not followed by a low one, or a
// low one alone) has no UTF-8 form, and guessing one would put other bytes in the symbol or the
// file name than the user gave: it fails with "argument N is not valid UTF-16 (a lone surrogate
// at character C)", N counted from 1 after the program name and C from 1 in that argument.
Result<std::vector<std::string>> ArgumentsFromUtf16(std::span<const std::u16string_view> Args);

}  // namespace qrcli
