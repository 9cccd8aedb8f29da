#pragma once
// What a text comes to in a symbol at the options' level and encoding: whether it fits, and which
// of its characters the encoding leaves out.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "encoder/qrcode.h"
#include "options.h"

namespace qrcli {

// The error-correction level of a letter L, M, Q or H.
qr::TErrorCorrectionLevel LevelFor(char Letter);

// "numeric", "alphanumeric" or "byte".
const char* ModeName(qr::TMode Mode);

// What --info prints for the symbol of Text (which fits): version, level, mask, mode, side and
// count, then why the version and the mask are the ones chosen, and the segments where there
// are several or an ECI header.
std::string SymbolInfo(std::u16string_view Text, const Options& Opts);

// Why Text makes no symbol at the options' level and encoding, or nothing when it fits.
std::optional<std::string> TooLongForSymbol(std::u16string_view Text, const Options& Opts);

// How many characters (code points) of Text the encoding Option drops because its mode cannot
// hold them: digits only for numeric, the 45 characters of alphanumeric, U+0000 to U+00FF for
// latin1; none for the UTF-8 encodings and auto, which picks a mode that holds all.
std::size_t DroppedCharacters(std::u16string_view Text, qr::TQRCodeEncoding Option, bool Kanji = false);

// The warning for the characters of Text that Option drops ("3 characters left out: ..."), or
// none when it drops none.
std::optional<std::string> DroppedWarning(std::u16string_view Text, qr::TQRCodeEncoding Option, bool Kanji = false);

}  // namespace qrcli
