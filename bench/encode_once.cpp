// Encodes the T40 text once (or N times), for heap and instruction profiles of one encoding.
#include <cstdlib>

#include "encoder/qrcode.h"
#include "texts.h"

int main(int argc, char** argv) {
    const std::u16string Text = benchtexts::Ascii(2953);
    const int Times = argc > 1 ? std::atoi(argv[1]) : 1;
    int Version = 0;
    for (int i = 0; i < Times; ++i) {
        qr::TEncoder Encoder;
        qr::TQRCode Record;
        Encoder.EncodeSymbol(Text, qr::qrUTF8BOM, qr::LevelL(), Record);
        Version = Record.Version();
    }
    return Version == 40 ? 0 : 1;
}
