// libquandrel-qr-pdf.so: the PDF page through cairo, in a library of its own.

#include <exception>
#include <span>

#include "pluginabi.h"

extern "C" {

#ifndef _WIN32
QUANDREL_PLUGIN_ENTRY const char* QuandrelPluginVersion() { return QUANDREL_VERSION; }
#endif

QUANDREL_PLUGIN_ENTRY bool QuandrelDrawPdf(int Side, const qrpicture::TModuleRun* Runs,
                                                           std::size_t Count, const qrpicture::TDrawing* Drawing,
                                                           qrpicture::TBytes* Out, std::string* Error) {
    try {
        *Out = qrpicture::DrawPdf(Side, std::span(Runs, Count), *Drawing);
        return true;
    } catch (const std::exception& E) {
        *Error = E.what();
        return false;
    }
}
}
