// Update as the text box runs it after every change: the code grid's two encodings, the module
// bitmap and the synchronous repaint of the display area, in a shown window on the offscreen
// platform. Also its parts on their own: the bitmap and the rendering of the display area, and the
// check for a text without a symbol that follows every change.

#include <benchmark/benchmark.h>

#include <QApplication>

#include <memory>
#include <random>
#include <string>

#include "grid/qrcodegrid.h"
#include "mainwindow.h"
#include "nosymbol.h"
#include "render.h"
#include "textlimit.h"
#include "texts.h"

namespace {

QString ToQString(const std::u16string& Text) {
    return QString(reinterpret_cast<const QChar*>(Text.data()), static_cast<qsizetype>(Text.size()));
}

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
    qrapp::TForm1 Form;
    Form.ShowCentred();
    QApplication::processEvents();
    if (!Form.PaintBox1->isVisible()) {
        State.SkipWithError("window not shown");
        return;
    }
    Form.Memo1->setPlainText(ToQString(Text));
    if (Form.Memo1->Text() != ToQString(Text)) {
        State.SkipWithError("the text box did not take the whole text");
        return;
    }
    for (auto _ : State) {
        Form.Update();
        benchmark::DoNotOptimize(Form.ModuleBitmap().constBits());
    }
    if (Form.ModuleBitmap().width() != ExpectedSide)
        State.SkipWithError("unexpected symbol size");
}

void BM_ModuleBitmap(benchmark::State& State, std::size_t Length) {
    qr::TQRCodeGrid Grid;
    Grid.SetData(benchtexts::Ascii(Length));
    Grid.SetEncoding(qr::qrUTF8BOM);
    for (auto _ : State)
        benchmark::DoNotOptimize(qrapp::MakeModuleBitmap(Grid).constBits());
}

void BM_RenderDisplayArea(benchmark::State& State, int Side) {
    const QImage Bitmap = qrapp::MakeModuleBitmap(185, 185, [](int Row, int Column) { return (Row ^ Column) & 1; });
    for (auto _ : State)
        benchmark::DoNotOptimize(qrapp::RenderDisplayArea(Bitmap, Side, Side).constBits());
}

// The check after every change for a text no version holds: 1200 ideographs, 3600 bytes.
void BM_NoSymbolReason(benchmark::State& State) {
    const QString Text = ToQString(Ideographs(1200));
    for (auto _ : State)
        benchmark::DoNotOptimize(qrapp::NoSymbolReason(Text));
}

// Empty: one encoding; the others two, as every non-empty text. Sides include the quiet zone.
BENCHMARK_CAPTURE(BM_Update, Empty, std::u16string(), 29)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Update, T1, benchtexts::Ascii(8), 29)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Update, T10, benchtexts::Ascii(270), 65)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Update, T40, Ideographs(984), 185)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ModuleBitmap, T40, 2953)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NoSymbolReason)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_RenderDisplayArea, At100, 406)->Unit(benchmark::kMillisecond);
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
