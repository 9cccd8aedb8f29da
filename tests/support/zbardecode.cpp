#include "zbardecode.h"

#include <zbar.h>

#include <memory>

namespace zbartest {

std::vector<std::string> DecodeGrey(const std::vector<std::uint8_t>& Grey, int Width, int Height) {
    std::vector<std::string> Found;
    std::unique_ptr<zbar::zbar_image_scanner_t, decltype(&zbar::zbar_image_scanner_destroy)> Scanner(
        zbar::zbar_image_scanner_create(), &zbar::zbar_image_scanner_destroy);
    zbar::zbar_image_scanner_set_config(Scanner.get(), zbar::ZBAR_NONE, zbar::ZBAR_CFG_ENABLE, 0);
    zbar::zbar_image_scanner_set_config(Scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_ENABLE, 1);
    zbar::zbar_image_scanner_set_config(Scanner.get(), zbar::ZBAR_QRCODE, zbar::ZBAR_CFG_BINARY, 1);

    std::unique_ptr<zbar::zbar_image_t, decltype(&zbar::zbar_image_destroy)> Image(zbar::zbar_image_create(),
                                                                                   &zbar::zbar_image_destroy);
    zbar::zbar_image_set_format(Image.get(), zbar_fourcc('Y', '8', '0', '0'));
    zbar::zbar_image_set_size(Image.get(), static_cast<unsigned>(Width), static_cast<unsigned>(Height));
    // zbar only reads the samples; the data stays ours (no cleanup handler).
    zbar::zbar_image_set_data(Image.get(), Grey.data(), Grey.size(), nullptr);

    if (zbar::zbar_scan_image(Scanner.get(), Image.get()) > 0) {
        for (const zbar::zbar_symbol_t* Symbol = zbar::zbar_image_first_symbol(Image.get()); Symbol;
             Symbol = zbar::zbar_symbol_next(Symbol)) {
            Found.emplace_back(zbar::zbar_symbol_get_data(Symbol), zbar::zbar_symbol_get_data_length(Symbol));
        }
    }
    return Found;
}

}  // namespace zbartest
