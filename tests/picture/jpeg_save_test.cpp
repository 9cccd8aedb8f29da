// Saving the display area: the file decodes back to the picture (zbar reads the text, white
// stays white, colours and rows stay in place), and every failure leaves the user's file alone.

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <sys/resource.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <jerror.h>

#include "jpegsave.h"
#include "filesizelimit.h"
#include "jpegtest.h"
#include "jpegwriter.h"
#include "qtpixels.h"
#include "writefile.h"
#include "zbardecode.h"

namespace {

std::vector<std::uint8_t> Grey(const jpegtest::Decoded& D) {
    std::vector<std::uint8_t> Out(static_cast<std::size_t>(D.Width) * static_cast<std::size_t>(D.Height));
    for (int y = 0; y < D.Height; ++y)
        for (int x = 0; x < D.Width; ++x) {
            const std::uint8_t* P = D.Pixel(x, y);
            Out[static_cast<std::size_t>(y) * static_cast<std::size_t>(D.Width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>((P[0] + P[1] + P[2]) / 3);
        }
    return Out;
}

std::string Utf8(const std::u16string& Text) { return QString::fromStdU16String(Text).toUtf8().toStdString(); }

// A folder of its own for every test, with the helpers to look at it.
class SaveTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Dir.isValid()); }

    QString PathOf(const QString& Name) const { return Dir.filePath(Name); }

    void WriteBytes(const QString& Name, const QByteArray& Bytes) const {
        QFile File(PathOf(Name));
        ASSERT_TRUE(File.open(QIODevice::WriteOnly));
        ASSERT_EQ(File.write(Bytes), Bytes.size());
    }

    QByteArray ReadBytes(const QString& Name) const {
        QFile File(PathOf(Name));
        return File.open(QIODevice::ReadOnly) ? File.readAll() : QByteArray("<missing>");
    }

    // Every entry of the folder, hidden ones (temporary files) included.
    QStringList Listing() const {
        return QDir(Dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                          QDir::Name);
    }

    QTemporaryDir Dir;
};

// ---- The picture in the file -------------------------------------------------------------

struct RoundTripCase {
    const char* Name;
    std::u16string Text;
    int Modules;  // side of the module bitmap, checked so the case shows what it means to
    bool HasSymbol;
};

void PrintTo(const RoundTripCase& Case, std::ostream* Out) { *Out << Case.Name; }

class SavedPicture : public SaveTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(SavedPicture, DecodesToTheDisplayArea) {
    const RoundTripCase& Case = GetParam();
    int Modules = 0;
    const QImage Area = qrapp::ToQImage(jpegtest::DisplayArea(Case.Text, 406, 406, &Modules));
    ASSERT_EQ(Modules, Case.Modules);

    qrapp::SavePictureAsJpeg(Area, PathOf("symbol.jpg"), qrpicture::kSaveQuality);
    const auto Bytes = jpegtest::ReadFileBytes(PathOf("symbol.jpg").toStdString());
    const auto Decoded = jpegtest::DecodeJpeg(Bytes);
    ASSERT_TRUE(Decoded);
    ASSERT_EQ(Decoded->Width, 406);
    ASSERT_EQ(Decoded->Height, 406);
    EXPECT_EQ(Decoded->Components, 3);

    // An independent decoder reads the text back from the saved file.
    const auto Found = zbartest::DecodeGrey(Grey(*Decoded), 406, 406);
    if (Case.HasSymbol)
        EXPECT_EQ(Found, std::vector<std::string>{Utf8(Case.Text)});
    else
        EXPECT_TRUE(Found.empty());

    // Pixel by pixel, with the tolerance lossy compression needs: every pixel keeps its side of
    // mid-grey, and every 8 x 8 block that is all white on screen (the margins, the quiet zone)
    // is still white in the file.
    int WrongSide = 0;
    int GreyedWhite = 0;
    for (int By = 0; By + 8 <= 406; By += 8)
        for (int Bx = 0; Bx + 8 <= 406; Bx += 8) {
            bool AllWhite = true;
            for (int y = By; y < By + 8; ++y)
                for (int x = Bx; x < Bx + 8; ++x)
                    AllWhite = AllWhite && Area.pixel(x, y) == qRgb(255, 255, 255);
            for (int y = By; y < By + 8; ++y)
                for (int x = Bx; x < Bx + 8; ++x) {
                    const bool Dark = qRed(Area.pixel(x, y)) < 128;
                    const std::uint8_t* P = Decoded->Pixel(x, y);
                    for (int c = 0; c < 3; ++c) {
                        WrongSide += (P[c] < 128) != Dark;
                        GreyedWhite += AllWhite && P[c] < 253;
                    }
                }
        }
    // The last two rows and columns (406 is not a multiple of 8) are checked for their side.
    for (int y = 0; y < 406; ++y)
        for (int x = 0; x < 406; ++x)
            if (x >= 400 || y >= 400) {
                const bool Dark = qRed(Area.pixel(x, y)) < 128;
                const std::uint8_t* P = Decoded->Pixel(x, y);
                for (int c = 0; c < 3; ++c)
                    WrongSide += (P[c] < 128) != Dark;
            }
    EXPECT_EQ(WrongSide, 0);
    EXPECT_EQ(GreyedWhite, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SavedPicture,
    ::testing::Values(
        // Version 1: 29 modules of exactly 14 pixels fill the whole area.
        RoundTripCase{"Empty", u"", 29, true},
        RoundTripCase{"Accented", u"Quandrel QR Code \u2014 ol\u00e1, \u00e7a va? \u2713", 37, true},
        // Version 17: 93 modules drawn 405 x 405, a one-pixel white column and row remain.
        RoundTripCase{"Version17", std::u16string(600, u'q'), 93, true},
        // 1200 three-byte characters fit no version: the area, and so the file, is all white.
        RoundTripCase{"NoVersionHoldsIt", std::u16string(1200, u'\u20ac'), 8, false}),
    [](const auto& Info) { return std::string(Info.param.Name); });

TEST_F(SaveTest, ColoursAndRowsStayInPlace) {
    // The window only paints black and white, but the conversion to RGB must not swap channels
    // or misplace rows (406 RGB pixels need padding in Qt's rows). Solid squares on 16-pixel
    // boundaries keep chroma subsampling out of the comparison.
    QImage Picture(406, 406, QImage::Format_RGB32);
    Picture.fill(qRgb(255, 255, 255));
    const struct {
        int X, Y;
        QRgb Colour;
    } Squares[] = {{16, 16, qRgb(220, 30, 30)},
                   {112, 16, qRgb(30, 200, 40)},
                   {208, 16, qRgb(40, 40, 210)},
                   {16, 320, qRgb(230, 200, 20)},
                   {320, 352, qRgb(20, 20, 20)}};
    for (const auto& S : Squares)
        for (int y = S.Y; y < S.Y + 48; ++y)
            for (int x = S.X; x < S.X + 48; ++x)
                Picture.setPixel(x, y, S.Colour);

    qrapp::SavePictureAsJpeg(Picture, PathOf("colours.jpg"), 90);
    const auto Decoded = jpegtest::DecodeJpeg(jpegtest::ReadFileBytes(PathOf("colours.jpg").toStdString()));
    ASSERT_TRUE(Decoded);
    for (const auto& S : Squares)
        for (int y = S.Y + 4; y < S.Y + 44; y += 5)
            for (int x = S.X + 4; x < S.X + 44; x += 5) {
                const std::uint8_t* P = Decoded->Pixel(x, y);
                EXPECT_NEAR(P[0], qRed(S.Colour), 8) << x << "," << y;
                EXPECT_NEAR(P[1], qGreen(S.Colour), 8) << x << "," << y;
                EXPECT_NEAR(P[2], qBlue(S.Colour), 8) << x << "," << y;
            }
}

// ---- libjpeg failures and bad arguments --------------------------------------------------

TEST(CompressJpeg, LibjpegErrorsBecomeJpegErrorWithTheMessageCode) {
    const std::vector<std::uint8_t> Pixels(70000 * 3, 255);
    const struct {
        int Width, Height, Code;
    } Cases[] = {{0, 0, JERR_EMPTY_IMAGE}, {0, 10, JERR_EMPTY_IMAGE}, {10, 0, JERR_EMPTY_IMAGE},
                 {70000, 1, JERR_IMAGE_TOO_BIG}};
    for (const auto& C : Cases) {
        try {
            qrpicture::CompressJpeg(Pixels, C.Width, C.Height, 90);
            ADD_FAILURE() << C.Width << "x" << C.Height << " compressed";
        } catch (const qrpicture::JpegError& E) {
            EXPECT_EQ(E.Code(), C.Code) << C.Width << "x" << C.Height;
            EXPECT_EQ(std::string(E.what()), "JPEG error #" + std::to_string(C.Code));
        }
    }
}

TEST(CompressJpeg, RefusesPixelBuffersTooSmallForThePicture) {
    const std::vector<std::uint8_t> Pixels(10 * 10 * 3 - 1, 0);
    EXPECT_THROW(qrpicture::CompressJpeg(Pixels, 10, 10, 90), std::invalid_argument);
    EXPECT_THROW(qrpicture::CompressJpeg(Pixels, 10, 9, 90, 29), std::invalid_argument) << "row shorter than 10 pixels";
    EXPECT_THROW(qrpicture::CompressJpeg(Pixels, -1, 10, 90), std::invalid_argument);
    // Nine rows 33 bytes apart fit: the last row needs only its 30 bytes.
    EXPECT_NO_THROW(qrpicture::CompressJpeg(Pixels, 10, 9, 90, 33));
}

// ---- The save sequence and its failures --------------------------------------------------

TEST_F(SaveTest, CreatesThenReplacesWithoutQuestionLeavingNothingElse) {
    const QImage Area = qrapp::ToQImage(jpegtest::DisplayArea(u"Quandrel QR Code"));
    const QImage Rgb = Area.convertToFormat(QImage::Format_RGB888);
    const std::vector<unsigned char> Jpeg =
        qrpicture::CompressJpeg(std::span(Rgb.constBits(), static_cast<std::size_t>(Rgb.sizeInBytes())), 406, 406, 90,
                            static_cast<std::size_t>(Rgb.bytesPerLine()));
    const QByteArray Expected(reinterpret_cast<const char*>(Jpeg.data()), static_cast<qsizetype>(Jpeg.size()));

    qrapp::SavePictureAsJpeg(Area, PathOf("new.jpg"), 90);
    EXPECT_EQ(ReadBytes("new.jpg"), Expected);

    // A longer file is replaced whole: nothing of its old contents remains past the new end.
    WriteBytes("old.jpg", QByteArray(4 * static_cast<qsizetype>(Jpeg.size()), 'x'));
    qrapp::SavePictureAsJpeg(Area, PathOf("old.jpg"), 90);
    EXPECT_EQ(ReadBytes("old.jpg"), Expected);
    EXPECT_EQ(Listing(), (QStringList{"new.jpg", "old.jpg"}));
}

TEST_F(SaveTest, CancelDoesNothingAtAll) {
    // Not even the compression runs: a picture libjpeg would refuse raises nothing.
    EXPECT_NO_THROW(qrapp::SavePictureAsJpeg(QImage(), std::nullopt, 90));
    EXPECT_TRUE(Listing().isEmpty());
}

TEST_F(SaveTest, JpegErrorLeavesTheExistingFileAlone) {
    WriteBytes("picture.jpg", "the user's picture");
    try {
        // A null picture reaches libjpeg as 0 x 0 pixels, which it refuses.
        qrapp::SavePictureAsJpeg(QImage(), PathOf("picture.jpg"), 90);
        ADD_FAILURE() << "no error";
    } catch (const qrpicture::JpegError& E) {
        EXPECT_EQ(E.Code(), JERR_EMPTY_IMAGE);
    }
    EXPECT_EQ(ReadBytes("picture.jpg"), "the user's picture");
    EXPECT_EQ(Listing(), QStringList{"picture.jpg"});
}

// Restores the working directory when it goes out of scope.
struct CurrentDirGuard {
    QString Saved = QDir::currentPath();
    ~CurrentDirGuard() { QDir::setCurrent(Saved); }
};

TEST_F(SaveTest, CannotCreateNamesTheFullPathAndTheSystemError) {
    // A path below a regular file cannot be created, whoever runs the test (root included).
    WriteBytes("notes.txt", "the user's notes");
    const QString Base = QDir(Dir.path()).absolutePath();
    const QString NotADir = QString::fromLocal8Bit(std::strerror(ENOTDIR));
    const QString NoEntry = QString::fromLocal8Bit(std::strerror(ENOENT));
    const struct {
        QString Given, Shown, Reason;
    } Cases[] = {
        {Base + "/notes.txt/picture.jpg", Base + "/notes.txt/picture.jpg", NotADir},
        // A relative name is shown expanded against the working directory.
        {"notes.txt/picture.jpg", Base + "/notes.txt/picture.jpg", NotADir},
        {"./notes.txt/picture.jpg", Base + "/notes.txt/picture.jpg", NotADir},
        {Base + "/missing/picture.jpg", Base + "/missing/picture.jpg", NoEntry},
    };
    CurrentDirGuard Guard;
    ASSERT_TRUE(QDir::setCurrent(Base));
    const QImage Area = qrapp::ToQImage(jpegtest::DisplayArea(u"Gravar"));
    for (const auto& C : Cases) {
        try {
            qrapp::SavePictureAsJpeg(Area, C.Given, 90);
            ADD_FAILURE() << C.Given.toStdString() << " was written";
        } catch (const qrfiles::FileError& E) {
            EXPECT_EQ(QString::fromUtf8(E.what()), "Cannot create file \"" + C.Shown + "\". " + C.Reason);
        }
    }
    EXPECT_EQ(ReadBytes("notes.txt"), "the user's notes");
    EXPECT_EQ(Listing(), QStringList{"notes.txt"});
}

TEST_F(SaveTest, FailedWriteReportsAndLeavesTheExistingFileAlone) {
    WriteBytes("picture.jpg", "the user's picture");
    const QImage Area = qrapp::ToQImage(jpegtest::DisplayArea(u"Quandrel QR Code"));
    std::optional<std::string> Message;
    {
        // The compressed picture is tens of kilobytes; the disk takes only the first 4096 bytes.
        FileSizeLimit Limit(4096);
        ASSERT_TRUE(Limit.Active);
        try {
            qrapp::SavePictureAsJpeg(Area, PathOf("picture.jpg"), 90);
        } catch (const qrfiles::FileError& E) {
            Message = E.what();
        }
    }
    ASSERT_TRUE(Message) << "a short write was reported as success";
    EXPECT_EQ(QString::fromStdString(*Message), "Cannot write file \"" + QDir(Dir.path()).absoluteFilePath("picture.jpg") +
                                                    "\". " + QString::fromLocal8Bit(std::strerror(EFBIG)));
    EXPECT_EQ(ReadBytes("picture.jpg"), "the user's picture");
    EXPECT_EQ(Listing(), QStringList{"picture.jpg"});
}

TEST(TrimErrorText, DropsTrailingBlanksLineBreaksAndFullStops) {
    EXPECT_EQ(qrfiles::TrimErrorText("Access is denied.\r\n"), "Access is denied");
    EXPECT_EQ(qrfiles::TrimErrorText("No space left on device . \n.."), "No space left on device");
    EXPECT_EQ(qrfiles::TrimErrorText("v1.2 is bad"), "v1.2 is bad");
    EXPECT_EQ(qrfiles::TrimErrorText(" .\r\n"), "");
}

TEST(WithJpegSuffix, AddsJpgOnlyToANameWithoutExtension) {
    EXPECT_EQ(qrapp::WithJpegSuffix("/home/u/picture"), "/home/u/picture.jpg");
    EXPECT_EQ(qrapp::WithJpegSuffix("/home/u/picture.jpg"), "/home/u/picture.jpg");
    EXPECT_EQ(qrapp::WithJpegSuffix("/home/u/picture.png"), "/home/u/picture.png");
    // Only the file name counts, not a dot in a folder name.
    EXPECT_EQ(qrapp::WithJpegSuffix("/home/u.v/picture"), "/home/u.v/picture.jpg");
}

}  // namespace
