// The cost of saving the shown picture, without the dialog: rendering the 406 x 406 display
// area from the module bitmap (the capture), compressing it at quality 90, and writing the file
// atomically; each step alone and the three together. Texts of version 1 and version 40.

#include <benchmark/benchmark.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include <QImage>
#include <QTemporaryDir>

#include "displayarea.h"
#include "jpegsave.h"
#include "jpegwriter.h"
#include "modulebitmap.h"
#include "qtpixels.h"
#include "writefile.h"

namespace {

// The module bitmap the window holds after Update for a text of the given length.
qrpicture::TPixels ModuleBitmap(std::size_t Length) { return qrpicture::WindowModuleBitmap(std::u16string(Length, u'x')); }

// Arg: the text length; 0 gives version 1 (29 modules), 2900 gives version 40 (185 modules).
void BM_Capture(benchmark::State& State) {
    const qrpicture::TPixels Bitmap = ModuleBitmap(static_cast<std::size_t>(State.range(0)));
    for (auto _ : State)
        benchmark::DoNotOptimize(qrpicture::WindowPicture(Bitmap));
}

void BM_Compress(benchmark::State& State) {
    const qrpicture::TPixels Picture = qrpicture::WindowPicture(ModuleBitmap(static_cast<std::size_t>(State.range(0))));
    std::size_t Bytes = 0;
    for (auto _ : State) {
        const auto Jpeg = qrpicture::PictureToJpeg(Picture, qrpicture::kSaveQuality);
        Bytes = Jpeg.size();
        benchmark::DoNotOptimize(Jpeg.data());
    }
    State.counters["jpeg_bytes"] = static_cast<double>(Bytes);
}

void BM_Write(benchmark::State& State) {
    const auto Jpeg = qrpicture::PictureToJpeg(
        qrpicture::WindowPicture(ModuleBitmap(static_cast<std::size_t>(State.range(0)))), qrpicture::kSaveQuality);
    QTemporaryDir Dir;
    const std::string Path = Dir.filePath("picture.jpg").toStdString();
    for (auto _ : State)
        qrfiles::SaveFile(Path, Jpeg);
}

// What "Gravar" does once the user has picked the file: capture, then save (convert, compress,
// write and replace the file of the previous iteration).
void BM_CaptureCompressWrite(benchmark::State& State) {
    const qrpicture::TPixels Bitmap = ModuleBitmap(static_cast<std::size_t>(State.range(0)));
    QTemporaryDir Dir;
    const QString Path = Dir.filePath("picture.jpg");
    for (auto _ : State) {
        const QImage Captured = qrapp::ToQImage(qrpicture::WindowPicture(Bitmap));
        qrapp::SavePictureAsJpeg(Captured, Path, qrpicture::kSaveQuality);
    }
}

#define QUANDREL_JPEG_BENCH(Fn) \
    BENCHMARK(Fn)->Arg(0)->Arg(2900)->Unit(benchmark::kMillisecond)->Repetitions(9)->DisplayAggregatesOnly(true)

QUANDREL_JPEG_BENCH(BM_Capture);
QUANDREL_JPEG_BENCH(BM_Compress);
QUANDREL_JPEG_BENCH(BM_Write);
QUANDREL_JPEG_BENCH(BM_CaptureCompressWrite);

}  // namespace

BENCHMARK_MAIN();
