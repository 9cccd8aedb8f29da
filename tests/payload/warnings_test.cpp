// Reader warnings: what makes a well-formed symbol hard for readers, each said once, in order.

#include <gtest/gtest.h>

#include "payload/warnings.h"

namespace {

using namespace qrpayload;

const std::string kUtf8 =
    "warning: the text is not ASCII and no ECI header marks it as UTF-8, so readers that guess the character "
    "set may misread it (--eci adds the header";
const std::string kLatin1Hint = "; --encoding latin1 writes it in Latin-1, the standard's default)";
const std::string kInverted =
    "warning: the foreground is lighter than the background; many phone readers cannot read such inverted symbols";
std::string Contrast(const char* Ratio) {
    return std::string("warning: the colours' contrast is ") + Ratio +
           ":1, below 3:1; readers may not tell the dark modules from the light ones";
}

TEST(ReaderWarnings, NamesEachRiskOnce) {
    const TRgba Black{0, 0, 0, 255}, White{255, 255, 255, 255};
    struct Case {
        const char* Name;
        TSymbolLook Look;
        std::vector<std::string> Warnings;
    } const Cases[] = {
        {"ascii in black on white", {.Text = "https://example.com/?a=1"}, {}},
        {"utf-8 that fits latin-1", {.Text = "Olá"}, {kUtf8 + kLatin1Hint}},
        {"utf-8 beyond latin-1", {.Text = "5 €"}, {kUtf8 + ")"}},
        {"marked by an eci header", {.Text = "5 €", .Eci = true}, {}},
        // Without --eci to offer, only what the program can do is named.
        {"no --eci, fits latin-1", {.Text = "Olá", .EciOffered = false},
         {"warning: the text is not ASCII and no ECI header marks it as UTF-8, so readers that guess the character "
          "set may misread it (--encoding latin1 writes it in Latin-1, the standard's default)"}},
        {"no --eci, beyond latin-1", {.Text = "5 €", .EciOffered = false},
         {"warning: the text is not ASCII and no ECI header marks it as UTF-8, so readers that guess the character "
          "set may misread it"}},
        // Latin-1 is what byte mode means without a header.
        {"in latin-1", {.Text = "Olá", .Latin1 = true}, {}},
        {"quiet zone of 3", {.Text = "a", .QuietZone = 3},
         {"warning: the quiet zone is 3 modules wide; readers need 4 around the symbol (-m 4)"}},
        {"quiet zone of 1", {.Text = "a", .QuietZone = 1},
         {"warning: the quiet zone is 1 module wide; readers need 4 around the symbol (-m 4)"}},
        // Micro QR needs half of it.
        {"micro, quiet zone of 2", {.Text = "a", .QuietZone = 2, .QuietZoneNeeded = 2}, {}},
        {"micro, quiet zone of 1", {.Text = "a", .QuietZone = 1, .QuietZoneNeeded = 2},
         {"warning: the quiet zone is 1 module wide; readers need 2 around the symbol (-m 2)"}},
        {"inverted", {.Text = "a", .Foreground = White, .Background = Black}, {kInverted}},
        // #949494 on white is 3.03:1; #959595 is 2.995:1, shown cut to 2.9, never as 3.0.
        {"contrast just enough", {.Text = "a", .Foreground = {0x94, 0x94, 0x94, 255}}, {}},
        {"contrast just short", {.Text = "a", .Foreground = {0x95, 0x95, 0x95, 255}}, {Contrast("2.9")}},
        {"yellow on white", {.Text = "a", .Foreground = {255, 255, 0, 255}}, {Contrast("1.0")}},
        {"red on blue", {.Text = "a", .Foreground = {255, 0, 0, 255}, .Background = {0, 0, 255, 255}},
         {kInverted, Contrast("2.1")}},
        // Colours not opaque are drawn over white paper: a transparent foreground vanishes,
        // a transparent background is the paper, half-transparent black is grey (4.0:1).
        {"transparent foreground", {.Text = "a", .Foreground = {0, 0, 0, 0}}, {Contrast("1.0")}},
        {"transparent background", {.Text = "a", .Background = {0, 0, 0, 0}}, {}},
        {"half-transparent foreground", {.Text = "a", .Foreground = {0, 0, 0, 128}}, {}},
        {"3 pixels at 300 DPI", {.Text = "a", .ModuleSize = 3, .Dpi = 300},
         {"warning: a module prints 0.25 mm wide at 300 DPI, below 0.4 mm; phone cameras may not resolve it (-s 5 "
          "or more)"}},
        {"5 pixels at 300 DPI", {.Text = "a", .ModuleSize = 5, .Dpi = 300}, {}},
        {"exactly 0.4 mm", {.Text = "a", .ModuleSize = 4, .Dpi = 254}, {}},
        {"one point", {.Text = "a", .ModuleSize = 1, .Dpi = 72},
         {"warning: a module prints 0.35 mm wide at 72 DPI, below 0.4 mm; phone cameras may not resolve it (-s 2 "
          "or more)"}},
        {"no DPI", {.Text = "a", .ModuleSize = 1}, {}},
        {"all at once",
         {.Text = "ñ", .QuietZone = 0, .Foreground = {0xCC, 0xCC, 0xCC, 255}, .Background = {0x99, 0x99, 0x99, 255},
          .ModuleSize = 1, .Dpi = 600},
         {kUtf8 + kLatin1Hint, "warning: the quiet zone is 0 modules wide; readers need 4 around the symbol (-m 4)",
          kInverted, Contrast("1.7"),
          "warning: a module prints 0.04 mm wide at 600 DPI, below 0.4 mm; phone cameras may not resolve it (-s 10 "
          "or more)"}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        EXPECT_EQ(ReaderWarnings(C.Look), C.Warnings);
    }
}

}  // namespace
