#pragma once
// What quandrel-qr is asked to do, once its arguments are parsed (arguments.h).

#include <optional>
#include <string>

#include "encoder/qrcode.h"
#include "formats.h"
#include "payloadcommand.h"

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
    qr::TSymbolChoices Choices;             // -v, --strict-version, --mask, --optimize, --kanji, --eci
    bool LevelGiven = false;                // -l was given (a payload's required level is used otherwise)
    std::optional<int> Symbols;             // --symbols: 2 to 16, 0 for auto; none: one symbol
    int Margin = 4;                         // -m, for every output but JPEG
    qrpicture::TDrawing Drawing;            // -s, --dpi and the colours
    bool Crlf = false;
    bool Info = false;
    bool Verify = false;                    // --verify: read each symbol back before it is written
    std::optional<BatchOptions> Batch;
    std::optional<PayloadRequest> Payload;  // a payload subcommand, in place of TEXT
};

}  // namespace qrcli
