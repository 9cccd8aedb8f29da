// The command line's work without the process around it: the T40 symbol encoded once at each
// setting the command line uses, and each file writer on its own, at the default drawing
// (3 pixels or units a module, a margin of 4).

#include <benchmark/benchmark.h>

#include "symbolfile.h"
#include "formats.h"
#include "modulebitmap.h"
#include "texts.h"

namespace {

const std::u16string kT40 = benchtexts::Ascii(2953);

qr::TQRCodeGrid T40Grid(int QuietZone) {
    return qrpicture::SymbolGrid(kT40, {qr::qrUTF8BOM, qr::LevelL(), QuietZone, {}});
}

void BM_SymbolGrid(benchmark::State& State) {
    for (auto _ : State)
        benchmark::DoNotOptimize(T40Grid(4).Rows());
}

void BM_Output(benchmark::State& State, qrcli::OutputType Type) {
    const qr::TQRCodeGrid Grid = T40Grid(4);
    const qrpicture::TDrawing Drawing;
    std::size_t Bytes = 0;
    for (auto _ : State) {
        const qrpicture::TBytes Out = qrcli::MakeOutput(Type, Grid, Drawing);
        Bytes = Out.size();
        benchmark::DoNotOptimize(Out.data());
    }
    State.counters["bytes"] = static_cast<double>(Bytes);
}

BENCHMARK(BM_SymbolGrid)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Output, Png, qrcli::OutputType::Png)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Output, Svg, qrcli::OutputType::Svg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Output, Eps, qrcli::OutputType::Eps)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Output, Pdf, qrcli::OutputType::Pdf)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Output, Jpeg, qrcli::OutputType::Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Output, Utf8, qrcli::OutputType::Utf8)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
