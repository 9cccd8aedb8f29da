#pragma once
// quandrel-qr's private libraries (plugins/): the PDF page's cairo and the reader's zbar, each
// opened on first use, so that a run that needs neither (a PNG, say) loads neither, and starts
// that much sooner.

#include <string>

namespace qrcli {

// The private libraries.
inline constexpr const char* kPdfPlugin = "libquandrel-qr-pdf.so";
inline constexpr const char* kZbarPlugin = "libquandrel-qr-zbar.so";

// The function Symbol of Library, which is opened the first time (by any thread) and stays open.
// Looked for in the program's own library folder (QUANDREL_PLUGIN_DIR, relative to the folder of
// the executable), else beside the executable (where the build puts it); never through the
// library search path, so no other library of that name is taken. The library must be of this
// very version. Throws std::runtime_error "cannot load Library: reason".
void* PluginSymbol(const char* Library, const char* Symbol);

template <typename Fn>
Fn* PluginFunction(const char* Library, const char* Symbol) {
    return reinterpret_cast<Fn*>(PluginSymbol(Library, Symbol));
}

}  // namespace qrcli
