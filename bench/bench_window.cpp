// Update as the text box runs it after every change: the code grid's two encodings, the module
// bitmap and the synchronous repaint of the display area, in a shown window on the offscreen
// platform. Also its parts on their own: the bitmap and the rendering of the display area, and the
// reason given for a text without a symbol.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPlainTextEdit>

#include <memory>
#include <random>
#include <string>

#include "displayarea.h"
#include "grid/qrcodegrid.h"
#include "mainwindow.h"
#include "modulebitmap.h"
#include "qtstrings.h"
#include "texts.h"
#include "window/messages.h"

namespace {

// The text box holds at most 1200 units, so a version 40 text is made of three-byte characters:
// 984 CJK ideographs from a fixed seed, 2952 UTF-8 bytes.
std::u16string Ideographs(std::size_t n) {
    std::mt19937 Rng(40);
    std::uniform_int_distribution<int> Ideograph(0x4E00, 0x9FFF);
    std::u16string s(n, u' ');
    for (auto& c : s)
        c = static_cast<char16_t>(Ideograph(Rng));
    return s;
}

void BM_Update(benchmark::State& State, std::u16string Text, int ExpectedSide) {
    if (qrpicture::WindowModuleBitmap(Text).Width() != ExpectedSide) {
        State.SkipWithError("unexpected symbol size");
        return;
    }
    qrapp::TForm1 Form;
    Form.ShowCentred();
    QApplication::processEvents();
    const auto* PaintBox1 = Form.findChild<QWidget*>(QStringLiteral("PaintBox1"));
    auto* Memo1 = Form.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
    if (!PaintBox1 || !Memo1 || !PaintBox1->isVisible()) {
        State.SkipWithError("window not shown");
        return;
    }
    Memo1->setPlainText(qrapp::ToQString(Text));
    if (Memo1->toPlainText() != qrapp::ToQString(Text)) {
        State.SkipWithError("the text box did not take the whole text");
        return;
    }
    for (auto _ : State)
        Form.Update();
}

void BM_ModuleBitmap(benchmark::State& State, std::size_t Length) {
    const qr::TQRCodeGrid Grid = qrpicture::WindowGrid(benchtexts::Ascii(Length));
    for (auto _ : State)
        benchmark::DoNotOptimize(qrpicture::MakeModuleBitmap(Grid).All().data());
}

void BM_RenderDisplayArea(benchmark::State& State, int Side) {
    const qrpicture::TPixels Bitmap =
        qrpicture::MakeModuleBitmap(185, 185, [](int Row, int Column) { return (Row ^ Column) & 1; });
    for (auto _ : State)
        benchmark::DoNotOptimize(qrpicture::RenderDisplayArea(Bitmap, Side, Side).All().data());
}

// The reason Update gives for a text no version holds, from its code grid: 1200 ideographs,
// 3600 bytes.
void BM_NoSymbolReason(benchmark::State& State) {
    const qr::TQRCodeGrid Grid = qrpicture::WindowGrid(Ideographs(1200));
    for (auto _ : State)
        benchmark::DoNotOptimize(qrwindow::NoSymbolReason(Grid.DataSize()));
}

// Empty: one encoding; the others two, as every non-empty text. Sides include the quiet zone.
BENCHMARK_CAPTURE(BM_Update, Empty, std::u16string(), 29)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Update, T1, benchtexts::Ascii(8), 29)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Update, T10, benchtexts::Ascii(270), 65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Update, T40, Ideographs(984), 185)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleBitmap, T40, 2953)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoSymbolReason)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RenderDisplayArea, At100, qrpicture::kDisplayAreaSide)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_RenderDisplayArea, At200, 812)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication Application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
