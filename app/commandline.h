#pragma once
// quandrel-qr: the window's symbols and JPEG from the command line. The parsing, the UTF-8
// reading and the text renderings are plain functions, so they are tested without a process.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/qrcode.h"

namespace qr {
class TQRCodeGrid;
}

namespace qrcli {

enum class OutputType { Jpeg, Utf8, Ascii, Matrix };

struct Options {
    std::optional<std::string> Text;        // the argument; none: standard input
    std::optional<std::string> OutputFile;  // -o
    std::optional<OutputType> Type;         // -t; none: jpeg with -o, utf8 otherwise
    qr::TQRCodeEncoding Encoding = qr::qrUTF8BOM;
    int QuietZone = 4;
    bool Crlf = false;
    bool Info = false;
    bool Help = false;
    bool Version = false;
};

// Parses the arguments (without the program name). Returns the options, or a message for a
// usage error.
struct Parsed {
    Options Opts;
    std::string Error;  // empty when the arguments are good
};
Parsed ParseArguments(const std::vector<std::string>& Args);

std::string UsageText();

// UTF-8 bytes to UTF-16. Invalid UTF-8 (a bad lead or continuation byte, a truncated, overlong
// or surrogate sequence, or a value above U+10FFFF) gives no text and the offset of the first
// byte of the bad sequence.
struct Decoded {
    std::optional<std::u16string> Text;
    std::size_t ErrorOffset = 0;
};
Decoded DecodeUtf8(std::string_view Bytes);

// Each LF that is not already part of a CR LF becomes CR LF, as the window's text box stores
// line breaks.
std::u16string ToCrlf(std::u16string_view Text);

// The padded grid as text: two module rows per line in half blocks, two characters a module in
// ASCII, or the bare matrix (no quiet zone) as 'X' and '.' lines.
std::string RenderText(const qr::TQRCodeGrid& Grid, OutputType Type);

}  // namespace qrcli
