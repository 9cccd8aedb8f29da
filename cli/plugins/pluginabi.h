#pragma once
// What quandrel-qr's private libraries export: each is opened with dlopen by the runs that need
// it (plugin.h), so that every other run loads neither cairo nor zbar (on Windows they are
// linked in and found in a table). Built with the program,
// from the same sources, so C++ types cross the boundary; the names are unmangled to be found.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats.h"

// What each library shows the loader. On Windows the entry points are linked into the program
// itself (plugin_win32.cpp), where there is nothing to hide them from and no version to check.
#ifdef _WIN32
#define QUANDREL_PLUGIN_ENTRY
#else
#define QUANDREL_PLUGIN_ENTRY __attribute__((visibility("default")))
#endif

extern "C" {

// Every library: the program's version it was built with, which the loader holds it to.
using TPluginVersionFn = const char*();
inline constexpr const char* kPluginVersionSymbol = "QuandrelPluginVersion";

// libquandrel-qr-pdf.so: qrpicture::DrawPdf. False with the reason in Error when cairo fails.
using TDrawPdfFn = bool(int Side, const qrpicture::TModuleRun* Runs, std::size_t Count,
                        const qrpicture::TDrawing* Drawing, qrpicture::TBytes* Out, std::string* Error);
QUANDREL_PLUGIN_ENTRY TDrawPdfFn QuandrelDrawPdf;
inline constexpr const char* kDrawPdfSymbol = "QuandrelDrawPdf";

// libquandrel-qr-zbar.so: every QR symbol zbar finds in Width x Height 8-bit grey samples (0
// black), as raw bytes when Binary, else as zbar's text (its guess of the character set,
// converted to UTF-8). False with the reason in Error when zbar cannot scan.
using TDecodeGreyFn = bool(const std::uint8_t* Grey, int Width, int Height, bool Binary,
                           std::vector<std::string>* Found, std::string* Error);
QUANDREL_PLUGIN_ENTRY TDecodeGreyFn QuandrelDecodeGrey;
inline constexpr const char* kDecodeGreySymbol = "QuandrelDecodeGrey";

}
