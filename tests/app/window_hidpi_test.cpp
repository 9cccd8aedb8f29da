// The display area on a scaled screen (run with QT_SCALE_FACTOR set): the symbol is drawn in
// device pixels, so it holds only pure black and white and its modules differ in width by at most
// one pixel.

#include <QTest>

#include <algorithm>
#include <cmath>

#include "guitest.h"
#include "mainwindow.h"

namespace {

// Widths of the runs of identical pixel columns (or rows) of Picture between its first and last
// change: one run per module column of the symbol, the quiet zone left out.
std::vector<int> ModuleRuns(const QImage& Picture, bool Columns) {
    const int Length = Columns ? Picture.width() : Picture.height();
    const int Across = Columns ? Picture.height() : Picture.width();
    auto Same = [&](int a, int b) {
        for (int i = 0; i < Across; ++i)
            if ((Columns ? Picture.pixel(a, i) : Picture.pixel(i, a)) != (Columns ? Picture.pixel(b, i) : Picture.pixel(i, b)))
                return false;
        return true;
    };
    std::vector<int> Changes;
    for (int i = 1; i < Length; ++i)
        if (!Same(i - 1, i))
            Changes.push_back(i);
    std::vector<int> Runs;
    for (std::size_t k = 1; k < Changes.size(); ++k)
        Runs.push_back(Changes[k] - Changes[k - 1]);
    return Runs;
}

}  // namespace

class WindowHiDpiTest : public QObject {
    Q_OBJECT

private slots:
    void theSymbolIsCrispAtTheScreenScale_data() {
        QTest::addColumn<QString>("Text");
        QTest::newRow("version 1") << QStringLiteral("Olá");
        QTest::newRow("version 2") << QStringLiteral("Quandrel QR Code, 150 %");
        QTest::newRow("version 7") << QString(120, u'x');
    }

    void theSymbolIsCrispAtTheScreenScale() {
        QFETCH(QString, Text);
        qrapp::TForm1 Form;
        const guitest::Form1Parts Parts(Form);
        Form.ShowCentred();
        QVERIFY(QTest::qWaitForWindowExposed(&Form));
        const qreal Ratio = Parts.PaintBox1->devicePixelRatioF();
        const qreal Expected = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qEnvironmentVariable("QT_SCALE_FACTOR").toDouble() : 1.0;
        QCOMPARE(Ratio, Expected);

        Parts.Memo1->setPlainText(Text);
        const QImage Area = guitest::Grab(Parts.PaintBox1);
        const int Side = qRound(406 * Ratio);
        QCOMPARE(Area.size(), QSize(Side, Side));

        int Grey = 0;
        for (int y = 0; y < Area.height(); ++y)
            for (int x = 0; x < Area.width(); ++x)
                Grey += Area.pixel(x, y) != 0xFF000000u && Area.pixel(x, y) != 0xFFFFFFFFu;
        QCOMPARE(Grey, 0);

        const int Modules = guitest::ModuleBitmapSide(Text) - 8;
        for (const bool Columns : {true, false}) {
            const std::vector<int> Runs = ModuleRuns(Area, Columns);
            QCOMPARE(static_cast<int>(Runs.size()), Modules);
            const auto [Narrowest, Widest] = std::minmax_element(Runs.begin(), Runs.end());
            QVERIFY2(*Widest - *Narrowest <= 1, qPrintable(QStringLiteral("module widths %1 to %2").arg(*Narrowest).arg(*Widest)));
        }
        // What is shown is the picture core's display area for the text at the device size, the
        // picture a save captures.
        QCOMPARE(Area, guitest::DisplayAreaFor(Text, Area.size()));
        QCOMPARE(guitest::Decode(Area), std::vector<std::string>{guitest::Utf8(Text)});
    }
};

QTEST_MAIN(WindowHiDpiTest)
#include "window_hidpi_test.moc"
