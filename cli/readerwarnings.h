#pragma once
// Warnings about symbols that some readers fail to read, or read wrongly, although they are well
// formed: said on standard error, each once a run; the symbol is still made.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "options.h"

namespace qrcli {

// What the options make every symbol of a run look like: a quiet zone below 4 modules, a
// foreground lighter than the background, a contrast below 3:1, a printed module below 0.4 mm
// (PNG at its --dpi; EPS and PDF, whose modules are points; SVG, whose pixels are CSS pixels of
// 1/96 inch). The text outputs have no colours and matrix no quiet zone; JPEG is the window's.
std::vector<std::string> LookWarnings(OutputType Type, const Options& Opts);

// The warning for a text (UTF-8) beyond ASCII that the options write in byte mode without an
// ECI header, so readers that guess its character set may misread it; none otherwise.
std::optional<std::string> TextWarning(std::string_view Utf8, std::u16string_view Text, const Options& Opts);

}  // namespace qrcli
