// libquandrel-qr-zbar.so: libzbar's QR reader, in a library of its own.

#include <zbar.h>

#include <exception>
#include <memory>

#include "pluginabi.h"

extern "C" {

#ifndef _WIN32
QUANDREL_PLUGIN_ENTRY const char* QuandrelPluginVersion() { return QUANDREL_VERSION; }
#endif

QUANDREL_PLUGIN_ENTRY bool QuandrelDecodeGrey(const std::uint8_t* Grey, int Width, int Height,
                                                              bool Binary, std::vector<std::string>* Found,
                                                              std::string* Error) {
    try {
        Found->clear();
        const std::unique_ptr<zbar::zbar_image_scanner_t, decltype(&zbar::zbar_image_scanner_destroy)> Scanner(
            zbar::zbar_image_scanner_create(), &zbar::zbar_image_scanner_destroy);
        const std::unique_ptr<zbar::zbar_image_t, decltype(&zbar::zbar_image_destroy)> Image(
            zbar::zbar_image_create(), &zbar::zbar_image_destroy);
        if (!Scanner || !Image) {
            *Error = "zbar cannot start its scanner";
            return false;
        }
        zbar::zbar_image_scanner_set_config(Scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
        zbar::zbar_image_scanner_set_config(Scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
        zbar::zbar_image_scanner_set_config(Scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, Binary ? 1 : 0);
        zbar::zbar_image_set_format(Image.get(), zbar_fourcc('Y', '8', '0', '0'));
        zbar::zbar_image_set_size(Image.get(), static_cast<unsigned>(Width), static_cast<unsigned>(Height));
        // zbar only reads the samples, which stay the caller's (no cleanup handler).
        zbar::zbar_image_set_data(Image.get(), Grey, static_cast<unsigned long>(Width) * static_cast<unsigned>(Height),
                                  nullptr);
        if (zbar::zbar_scan_image(Scanner.get(), Image.get()) < 0) {
            *Error = "zbar cannot scan the picture";
            return false;
        }
        for (const zbar::zbar_symbol_t* Symbol = zbar::zbar_image_first_symbol(Image.get()); Symbol;
             Symbol = zbar::zbar_symbol_next(Symbol))
            Found->emplace_back(zbar::zbar_symbol_get_data(Symbol), zbar::zbar_symbol_get_data_length(Symbol));
        return true;
    } catch (const std::exception& E) {
        *Error = E.what();
        return false;
    }
}
}
