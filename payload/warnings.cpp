#include "payload/warnings.h"

#include <algorithm>
#include <cmath>

#include "text/textconv.h"

namespace qrpayload {

namespace {

// Alpha compositing of Over on an opaque Under, channel by channel.
TRgba Composited(TRgba Over, TRgba Under) {
    const auto Mix = [&](std::uint8_t o, std::uint8_t u) {
        return static_cast<std::uint8_t>((o * Over.A + u * (255 - Over.A) + 127) / 255);
    };
    return {Mix(Over.R, Under.R), Mix(Over.G, Under.G), Mix(Over.B, Under.B), 255};
}

// WCAG 2's relative luminance of an sRGB colour.
double Luminance(TRgba c) {
    const auto Linear = [](std::uint8_t v) {
        const double s = v / 255.0;
        return s <= 0.03928 ? s / 12.92 : std::pow((s + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * Linear(c.R) + 0.7152 * Linear(c.G) + 0.0722 * Linear(c.B);
}

bool FitsLatin1(std::string_view Utf8) {
    for (std::size_t i = 0; i < Utf8.size();) {
        const auto One = qrtext::DecodeOne(Utf8, i);
        if (!One || One->Value > 0xFF) return false;
        i += One->Length;
    }
    return true;
}

}  // namespace

std::vector<std::string> ReaderWarnings(const TSymbolLook& Look) {
    std::vector<std::string> Warnings;
    const bool Ascii = std::all_of(Look.Text.begin(), Look.Text.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    // Without an ECI header a reader must guess how the bytes are meant; many guess wrongly
    // for UTF-8. ISO/IEC 18004 makes Latin-1 byte mode's character set when no ECI header names
    // one, so a text in Latin-1 is read as meant by readers that follow the standard.
    if (!Ascii && !Look.Latin1 && !Look.Eci) {
        std::string Hints;
        if (Look.EciOffered) Hints = "--eci adds the header";
        if (FitsLatin1(Look.Text))
            Hints += (Hints.empty() ? "" : "; ") + std::string("--encoding latin1 writes it in Latin-1, the standard's default");
        Warnings.push_back("warning: the text is not ASCII and no ECI header marks it as UTF-8, so readers that guess "
                           "the character set may misread it" +
                           (Hints.empty() ? std::string() : " (" + Hints + ")"));
    }
    if (Look.QuietZone < Look.QuietZoneNeeded)
        Warnings.push_back("warning: the quiet zone is " + std::to_string(Look.QuietZone) +
                           (Look.QuietZone == 1 ? " module" : " modules") +
                           " wide; readers need " + std::to_string(Look.QuietZoneNeeded) + " around the symbol (-m " +
                           std::to_string(Look.QuietZoneNeeded) + ")");

    const TRgba Paper{255, 255, 255, 255};
    const TRgba Background = Composited(Look.Background, Paper);
    const TRgba Foreground = Composited(Look.Foreground, Background);
    const double Dark = Luminance(Foreground), Light = Luminance(Background);
    if (Dark > Light)
        Warnings.push_back("warning: the foreground is lighter than the background; many phone readers cannot read "
                           "such inverted symbols");
    const double Ratio = (std::max(Dark, Light) + 0.05) / (std::min(Dark, Light) + 0.05);
    if (Ratio < 3.0) {
        // Cut, not rounded, so that 2.96 does not show as 3.0.
        const int Tenths = static_cast<int>(Ratio * 10);
        Warnings.push_back("warning: the colours' contrast is " + std::to_string(Tenths / 10) + "." +
                           std::to_string(Tenths % 10) +
                           ":1, below 3:1; readers may not tell the dark modules from the light ones");
    }

    // A module narrower than 0.4 mm, which phone cameras do not resolve reliably. In whole
    // numbers: ModuleSize / Dpi * 25.4 < 0.4.
    const long long Size = Look.ModuleSize, Dpi = Look.Dpi;
    if (Dpi > 0 && Size * 254 < 4 * Dpi) {
        const long long Hundredths = Size * 2540 / Dpi;
        const long long Needed = (4 * Dpi + 253) / 254;
        Warnings.push_back("warning: a module prints " + std::to_string(Hundredths / 100) + "." +
                           (Hundredths % 100 < 10 ? "0" : "") + std::to_string(Hundredths % 100) + " mm wide at " +
                           std::to_string(Look.Dpi) + " DPI, below 0.4 mm; phone cameras may not resolve it (-s " +
                           std::to_string(Needed) + " or more)");
    }
    return Warnings;
}

}  // namespace qrpayload
