#pragma once
// quandrel-qr: what its arguments mean, how it reads its input and what it writes for each
// output type, as plain functions, so they are tested without a process.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "encoder/qrcode.h"
#include "formats.h"
#include "grid/qrcodegrid.h"

namespace qrcli {

enum class OutputType { Png, Svg, Eps, Pdf, Jpeg, Utf8, Ascii, Matrix };

struct Options {
    std::optional<std::string> Text;        // the argument; none: standard input
    std::optional<std::string> OutputFile;  // -o
    std::optional<OutputType> Type;         // -t; none: from the extension of -o
    qr::TQRCodeEncoding Encoding = qr::qrUTF8BOM;
    char Level = 'L';
    int Margin = 4;                         // -m, for every output but JPEG
    qrpicture::TDrawing Drawing;            // -s, --dpi and the colours
    bool Crlf = false;
    bool Info = false;
};

enum class Action { Run, Help, Version, UsageError };

struct Parsed {
    Action What = Action::Run;
    Options Opts;
    std::string Message;  // the help text, or the usage error on one line
};

// Parses the arguments (without the program name).
Parsed ParseArguments(const std::vector<std::string>& Args);

// The output type: -t; without it, the one the extension of -o names (.png, .svg, .eps, .pdf,
// .jpg or .jpeg, .txt for utf8; in any case); for any other name jpeg, and utf8 without -o.
OutputType ResolveType(const Options& Opts);

// Types whose output is binary, so not for a terminal.
bool IsBinary(OutputType Type);

// RRGGBB or RRGGBBAA in hexadecimal digits of either case.
std::optional<qrpicture::TColour> ParseColour(std::string_view Text);

// The error-correction level of a letter L, M, Q or H.
qr::TErrorCorrectionLevel LevelFor(char Letter);

// What the program writes for a grid: the drawing, the text rendering, or for JPEG the window's
// picture at 96 DPI (the grid must then have the window's quiet zone).
qrpicture::TBytes MakeOutput(OutputType Type, const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing);

// At most this many bytes of input are taken: far more than any symbol holds, even after an
// encoding option has dropped the characters it cannot carry.
inline constexpr std::size_t kMaxInputBytes = std::size_t{4} << 20;

struct Input {
    std::string Bytes;
    bool TooLong = false;  // more than the limit arrived; Bytes is then incomplete
    int Error = 0;         // errno of a failed read, 0 when none
};

// Reads the file descriptor to its end, but never more than Limit bytes.
Input ReadInput(int Fd, std::size_t Limit = kMaxInputBytes);

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

}  // namespace qrcli
