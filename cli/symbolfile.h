#pragma once
// The file quandrel-qr writes for a text: its symbol drawn as the output type asks.

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "formats.h"
#include "grid/qrcodegrid.h"
#include "options.h"

namespace qrcli {

// The largest side of a PDF page, in points.
inline constexpr int kMaxPdfPoints = 14400;

// Thrown when --verify reads back something else than the symbol was made of.
struct VerifyFailure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The file of Text: its symbol with the options' encoding, level and margin (the window's quiet
// zone for JPEG), as Type. Throws std::invalid_argument, with the reason and the largest -s that
// would do, for a PDF page larger than kMaxPdfPoints a side. With --verify the symbol is read back
// as the file shows it first: VerifyFailure when it does not give the text's bytes, and in
// Warning (when given) what a reader that guesses the character set shows instead of the text.
qrpicture::TBytes MakeSymbolFile(OutputType Type, std::u16string_view Text, const Options& Opts,
                                 std::string* Warning = nullptr);

// The files of a structured-append set of Text (--symbols), in order, drawn as MakeSymbolFile
// draws one; none when the symbols cannot hold the text. Throws as MakeSymbolFile does.
std::vector<qrpicture::TBytes> MakeSymbolSetFiles(OutputType Type, std::u16string_view Text, const Options& Opts);

// Why MakeSymbolSetFiles made no files.
std::string SetTooLongReason(const Options& Opts);

// What the program writes for a grid: the drawing, the text rendering, or for JPEG the window's
// picture at 96 DPI (the grid must then have the window's quiet zone).
qrpicture::TBytes MakeOutput(OutputType Type, const qr::TQRCodeGrid& Grid, const qrpicture::TDrawing& Drawing);

}  // namespace qrcli
