// libquandrel-qr-pdf.so: the PDF page through cairo, in a library of its own.

#include <exception>
#include <span>

#include "pluginabi.h"

extern "C" {

__attribute__((visibility("default"))) const char* QuandrelPluginVersion() { return QUANDREL_VERSION; }

__attribute__((visibility("default"))) bool QuandrelDrawPdf(int Side, const qrpicture::TModuleRun* Runs,
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
