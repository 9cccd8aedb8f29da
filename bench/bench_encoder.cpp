#include <benchmark/benchmark.h>
#include <qrencode.h>

#include <memory>

#include "encoder/qrcode.h"
#include "texts.h"

namespace {

void BM_EncodeSymbol(benchmark::State& State, std::size_t Length, int ExpectedVersion) {
    const std::u16string Text = benchtexts::Ascii(Length);
    for (auto _ : State) {
        qr::TEncoder Encoder;
        qr::TQRCode Record;
        Encoder.EncodeSymbol(Text, qr::qrUTF8BOM, qr::LevelL(), Record);
        benchmark::DoNotOptimize(Record.Matrix());
        if (Record.Version() != ExpectedVersion) State.SkipWithError("unexpected version");
    }
}

// --optimize on the same texts: the dynamic programme over the characters for each group of
// count-field widths comes on top of the plain encoding's work.
void BM_EncodeOptimized(benchmark::State& State, std::size_t Length, int ExpectedVersion) {
    const std::u16string Text = benchtexts::Ascii(Length);
    qr::TSymbolChoices Optimize;
    Optimize.Optimize = true;
    for (auto _ : State) {
        qr::TEncoder Encoder;
        qr::TQRCode Record;
        Encoder.EncodeSymbol(Text, qr::qrUTF8BOM, qr::LevelL(), Optimize, Record);
        benchmark::DoNotOptimize(Record.Matrix());
        if (Record.Version() != ExpectedVersion) State.SkipWithError("unexpected version");
    }
}

void BM_Libqrencode(benchmark::State& State, std::size_t Length, int ExpectedVersion) {
    const std::u16string Text = benchtexts::Ascii(Length);
    const std::string Bytes(Text.begin(), Text.end());
    for (auto _ : State) {
        std::unique_ptr<QRcode, decltype(&QRcode_free)> Code(
            QRcode_encodeData(static_cast<int>(Bytes.size()), reinterpret_cast<const unsigned char*>(Bytes.data()), 0,
                              QR_ECLEVEL_L),
            &QRcode_free);
        if (!Code) {
            State.SkipWithError("libqrencode encodes no symbol for this text");
            break;
        }
        benchmark::DoNotOptimize(Code->data);
        if (Code->version != ExpectedVersion) State.SkipWithError("unexpected version");
    }
}

BENCHMARK_CAPTURE(BM_EncodeSymbol, T1, 0, 1);
BENCHMARK_CAPTURE(BM_EncodeSymbol, T10, 270, 10);
BENCHMARK_CAPTURE(BM_EncodeSymbol, T25, 1250, 25);
BENCHMARK_CAPTURE(BM_EncodeSymbol, T40, 2953, 40);
BENCHMARK_CAPTURE(BM_EncodeOptimized, T10, 270, 10);
BENCHMARK_CAPTURE(BM_EncodeOptimized, T40, 2953, 40);
BENCHMARK_CAPTURE(BM_Libqrencode, T1, 0, 1);
BENCHMARK_CAPTURE(BM_Libqrencode, T10, 270, 10);
BENCHMARK_CAPTURE(BM_Libqrencode, T25, 1250, 25);
BENCHMARK_CAPTURE(BM_Libqrencode, T40, 2953, 40);

}  // namespace

BENCHMARK_MAIN();
