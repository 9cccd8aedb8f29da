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

// --batch: a list of texts, one file each, named by the -o template.
struct BatchOptions {
    std::string List;                       // a file, or "-" for standard input
    bool Csv = false;                       // --csv
    bool Header = false;                    // --header: the first CSV record names the columns
    std::string Column = "1";               // --column N|NAME: the text
    std::optional<std::string> NameColumn;  // --name-column N|NAME: for {name}
    int Jobs = 0;                           // -j; 0: one worker per core
    bool Quiet = false;                     // --quiet: no progress line
};

struct Options {
    std::optional<std::string> Text;        // the argument; none: standard input
    std::optional<std::string> OutputFile;  // -o, bytes as given; "-" is standard output
    std::optional<OutputType> Type;         // -t; none: from the extension of -o
    qr::TQRCodeEncoding Encoding = qr::qrUTF8BOM;
    char Level = 'L';
    int Margin = 4;                         // -m, for every output but JPEG
    qrpicture::TDrawing Drawing;            // -s, --dpi and the colours
    bool Crlf = false;
    bool Info = false;
    std::optional<BatchOptions> Batch;
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

// Whether the output goes to standard output: without -o, or with -o -.
bool ToStandardOutput(const Options& Opts);

// "numeric", "alphanumeric" or "byte".
const char* ModeName(qr::TMode Mode);

// Why Text makes no symbol at the options' level and encoding, or nothing when it fits.
std::optional<std::string> TooLongForSymbol(std::u16string_view Text, const Options& Opts);

// The file of Text: its symbol with the options' encoding, level and margin (the window's quiet
// zone for JPEG), as Type.
qrpicture::TBytes MakeSymbolFile(OutputType Type, std::u16string_view Text, const Options& Opts);

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

// Reads the file descriptor to its end, but never more than Limit bytes. A read error (a folder,
// a closed descriptor, a failing device) ends the reading with its errno in Error; a descriptor
// left non-blocking is waited on instead of failing.
Input ReadInput(int Fd, std::size_t Limit = kMaxInputBytes);

// How many characters (code points) of Text the encoding Option drops because its mode cannot
// hold them: digits only for numeric, the 45 characters of alphanumeric, U+0000 to U+00FF for
// latin1; none for the UTF-8 encodings and auto, which picks a mode that holds all.
std::size_t DroppedCharacters(std::u16string_view Text, qr::TQRCodeEncoding Option);

// The warning for the characters of Text that Option drops ("3 characters left out: ..."), or
// none when it drops none.
std::optional<std::string> DroppedWarning(std::u16string_view Text, qr::TQRCodeEncoding Option);

}  // namespace qrcli
