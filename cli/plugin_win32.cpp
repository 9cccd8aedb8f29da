// The private libraries on Windows: their entry points are linked into the program (a static
// build has no cairo or zbar to keep out of the runs that need neither), and found in a table by
// the names the Linux libraries export, so that the callers stay as they are.

#include "plugin.h"

#include <stdexcept>
#include <string>
#include <string_view>

#include "plugins/pluginabi.h"

namespace qrcli {

namespace {

struct Entry {
    const char* Library;
    const char* Symbol;
    void* Address;  // nullptr when this build does not have it
    const char* Missing;  // what the user is told then
};

const Entry kEntries[] = {
#ifdef QUANDREL_WITH_PDF
    {kPdfPlugin, kDrawPdfSymbol, reinterpret_cast<void*>(&QuandrelDrawPdf), nullptr},
#else
    {kPdfPlugin, kDrawPdfSymbol, nullptr, "PDF is not part of quandrel-qr for Windows: it is built without cairo"},
#endif
#ifdef QUANDREL_WITH_ZBAR
    {kZbarPlugin, kDecodeGreySymbol, reinterpret_cast<void*>(&QuandrelDecodeGrey), nullptr},
#else
    {kZbarPlugin, kDecodeGreySymbol, nullptr,
     "--verify is not part of quandrel-qr for Windows: it is built without zbar, the reader that checks the symbol"},
#endif
};

}  // namespace

void* PluginSymbol(const char* Library, const char* Symbol) {
    for (const Entry& E : kEntries) {
        if (std::string_view(E.Library) != Library || std::string_view(E.Symbol) != Symbol)
            continue;
        if (!E.Address)
            throw std::runtime_error(E.Missing);
        return E.Address;
    }
    throw std::runtime_error(std::string("cannot load ") + Library + ": it has no " + Symbol);
}

}  // namespace qrcli
