#pragma once
// Warnings about a symbol that some readers will fail to read, or read wrongly, although it is
// well formed: each one line, for standard error; the symbol is still made.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qrpayload {

// A colour as the command line reads RRGGBBAA; A is the opacity, 0 transparent.
struct TRgba {
    std::uint8_t R = 0, G = 0, B = 0, A = 255;
};

struct TSymbolLook {
    std::string_view Text;      // the text the symbol carries, as UTF-8
    bool Latin1 = false;        // carried as ISO 8859-1, byte mode's character set without an ECI
    bool Eci = false;           // an ECI header names the character set
    int QuietZone = 4;          // in modules
    int QuietZoneNeeded = 4;    // what readers need around it: 4 modules, 2 for Micro QR
    TRgba Foreground{0, 0, 0, 255};
    TRgba Background{255, 255, 255, 255};
    int ModuleSize = 3;         // pixels (points for EPS and PDF) a module
    int Dpi = 0;                // pixels (72 for points) an inch; 0 when not known
    bool EciOffered = true;     // the program has --eci to add an ECI header, so the warning names it
};

// In this order, each at most once: a UTF-8 text beyond ASCII without an ECI header; a quiet
// zone below 4 modules; a foreground lighter than the background; a contrast below 3:1; a
// printed module smaller than 0.4 mm. Colours that are not opaque are taken as drawn over white
// paper, the foreground over the background.
std::vector<std::string> ReaderWarnings(const TSymbolLook& Look);

}  // namespace qrpayload
