// The window's logic without a toolkit: the text box's counting, the messages, the layout and its
// scaling, and the theme.

#include <gtest/gtest.h>

#include <string>

#include "encoder/steps.h"
#include "grid/qrcodegrid.h"
#include "window/fixedsize.h"
#include "window/layout.h"
#include "window/messages.h"
#include "window/textcount.h"
#include "window/theme.h"

using namespace qrwindow;

namespace {

std::string Utf8(std::u16string_view Text) { return qr::Utf16ToUtf8(Text); }

TEST(StoredLength, LineBreaksCountTwoWhateverTheirForm) {
    struct Case {
        std::u16string_view Text;
        int Expected;
    };
    const Case Cases[] = {
        {u"", 0},
        {u"abc", 3},
        {u"a\r\nb", 4},
        {u"a\nb", 4},
        {u"a\rb", 4},
        {u"a\u2029b", 4},  // a paragraph break in a text document
        {u"a\u2028b", 4},  // a line break within a paragraph
        {u"\r\n\r\n", 4},
        {u"\n\r", 4},    // LF then CR: two breaks
        {u"😀", 2},       // a surrogate pair is two code units
        {u"\xD83D", 1},  // so is each half alone
        {u"á€", 2},
    };
    for (const Case& C : Cases) {
        EXPECT_EQ(StoredLength(C.Text), C.Expected) << Utf8(C.Text);
        // The stored form has exactly that many units, and storing it again changes nothing.
        const std::u16string Stored = StoredText(C.Text);
        EXPECT_EQ(static_cast<int>(Stored.size()), C.Expected) << Utf8(C.Text);
        EXPECT_EQ(StoredText(Stored), Stored) << Utf8(C.Text);
    }
    EXPECT_EQ(StoredText(u"a\nb\rc\u2029d\r\ne\n\r"), u"a\r\nb\r\nc\r\nd\r\ne\r\n\r\n");
}

TEST(FittingPrefix, NeverSplitsAPairAndStopsAtTheRoom) {
    struct Case {
        std::u16string_view Text;
        int Room;
        std::size_t Expected;
    };
    const Case Cases[] = {
        {u"abcdef", 4, 4},
        {u"abcdef", 10, 6},
        {u"abcdef", 0, 0},
        {u"abcdef", -3, 0},
        {u"ab\r\ncd", 3, 2},  // CR LF needs two; half of it is not taken
        {u"ab\r\ncd", 4, 4},
        {u"ab\ncd", 4, 3},  // a lone LF takes two units but is one code unit
        {u"a😀b", 2, 1},     // no half surrogate pair
        {u"a😀b", 3, 3},
        {u"\u2029x", 1, 0},
    };
    for (const Case& C : Cases)
        EXPECT_EQ(FittingPrefix(C.Text, C.Room), C.Expected) << Utf8(C.Text) << " in " << C.Room;
}

TEST(ErrorBoxText, AFullStopFollowsALastCharacterAboveIt) {
    struct Case {
        std::u16string_view Message, Expected;
    };
    const Case Cases[] = {
        {u"Disk full", u"Disk full."},
        {u"JPEG error #42", u"JPEG error #42."},  // '2' is above '.'
        {u"Done.", u"Done."},
        {u"Path /", u"Path /."},  // '/' is 47
        {u"Wait -", u"Wait -"},   // '-' is 45
        {u"Trailing ", u"Trailing "},
        {u"Quoted \"x\"", u"Quoted \"x\""},  // '"' is 34
        {u"Ação", u"Ação."},
        {u"", u""},
    };
    for (const Case& C : Cases) EXPECT_EQ(ErrorBoxText(C.Message), C.Expected) << Utf8(C.Message);
}

TEST(Messages, TheReasonGivesTheWindowGridsByteCountAndLimit) {
    // 985 euro signs are 2955 UTF-8 bytes, two more than version 40 holds at level L.
    for (const auto& [Signs, Expected] : {std::pair{985, u"O texto tem 2955 bytes em UTF-8; o limite é 2953 bytes."},
                                          std::pair{1200, u"O texto tem 3600 bytes em UTF-8; o limite é 2953 bytes."}}) {
        qr::TQRCodeGrid Grid;
        Grid.SetData(std::u16string(static_cast<std::size_t>(Signs), u'€'));
        Grid.SetEncoding(qr::qrUTF8BOM);
        ASSERT_FALSE(Grid.HasSymbol()) << Signs;
        EXPECT_EQ(NoSymbolReason(Grid.DataSize()), Expected) << Signs;
    }
    EXPECT_EQ(StyleNotFound(u"Aqua Dark Slate"), u"Style 'Aqua Dark Slate' not found");
}

TEST(Messages, TheDisplayAreaDescribesItsSymbolOrWhyThereIsNone) {
    struct Case {
        std::u16string Text;
        std::u16string_view Expected;
    };
    const Case Cases[] = {
        {u"", u"Símbolo QR Code versão 1, 21 × 21 módulos, com os 0 bytes do texto em UTF-8."},
        {u"Olá", u"Símbolo QR Code versão 1, 21 × 21 módulos, com os 4 bytes do texto em UTF-8."},
        {std::u16string(2953, u'a'), u"Símbolo QR Code versão 40, 177 × 177 módulos, com os 2953 bytes do texto em UTF-8."},
        {std::u16string(2954, u'a'), u"O texto tem 2954 bytes em UTF-8; o limite é 2953 bytes."},
    };
    for (const Case& C : Cases) {
        qr::TQRCodeGrid Grid;
        Grid.SetData(C.Text);
        Grid.SetEncoding(qr::qrUTF8BOM);
        EXPECT_EQ(DisplayAreaDescription(Grid), C.Expected) << C.Text.size();
    }
}

TEST(Messages, NoDisplayGivesTheToolkitsReasonTrimmedOrNone) {
    const std::pair<std::string_view, std::string_view> Cases[] = {
        {"could not connect to display :77",
         "quandrel-qr-code: no display could be opened (could not connect to display :77); set DISPLAY or WAYLAND_DISPLAY to a running display server\n"},
        {"  Failed to create wl_display (No such file or directory)\n",
         "quandrel-qr-code: no display could be opened (Failed to create wl_display (No such file or directory)); set DISPLAY or WAYLAND_DISPLAY to a running display server\n"},
        {" \n", "quandrel-qr-code: no display could be opened; set DISPLAY or WAYLAND_DISPLAY to a running display server\n"},
        {"", "quandrel-qr-code: no display could be opened; set DISPLAY or WAYLAND_DISPLAY to a running display server\n"},
    };
    for (const auto& [Reason, Expected] : Cases) EXPECT_EQ(NoDisplayMessage(Reason), Expected) << Reason;
}

TEST(Layout, ChildrenFitTheirParentsClientAreasAt96Dpi) {
    const TWindowLayout& L = kLayout;
    const TSize Panel1Client{L.Panel1.Width - 2 * L.PanelFrame, L.Panel1.Height - 2 * L.PanelFrame};
    const TSize Panel2Client{L.Panel2.Width - 2 * L.PanelFrame, L.Panel2.Height - 2 * L.PanelFrame};
    EXPECT_EQ(Panel1Client, (TSize{416, 416}));
    EXPECT_EQ(Panel2Client, (TSize{316, 416}));
    const auto Inside = [](const TRect& R, TSize Area) {
        return R.Left >= 0 && R.Top >= 0 && R.Right() <= Area.Width && R.Bottom() <= Area.Height;
    };
    EXPECT_TRUE(Inside(L.PaintBox1, Panel1Client));
    for (const TRect& Child : {L.Label1, L.Memo1, L.Button1, L.Button2}) EXPECT_TRUE(Inside(Child, Panel2Client));
    for (const TRect& Child : {L.Panel1, L.Panel2, L.StatusBar1}) EXPECT_TRUE(Inside(Child, L.ClientSize));
    // The status bar is docked to the bottom edge, full width; Image1 lies outside the client area.
    EXPECT_EQ(L.StatusBar1.Bottom(), L.ClientSize.Height);
    EXPECT_EQ(L.StatusBar1.Width, L.ClientSize.Width);
    EXPECT_GE(L.Image1.Left, L.ClientSize.Width);
}

TEST(Layout, ScalingRoundsEachEdgeToTheNearestPixel) {
    struct Case {
        int Value, Dpi, Expected;
    };
    const Case Values[] = {
        {406, 96, 406},
        {406, 144, 609},
        {6, 120, 8},  // 7.5: halves away from zero
        {1, 144, 2},
        {-1, 144, -2},
        {-3, 144, -5},
        {5, 100, 5},
        {200, 168, 350},
    };
    for (const Case& C : Values) EXPECT_EQ(Scaled(C.Value, C.Dpi), C.Expected) << C.Value << " at " << C.Dpi;

    // Left 6 and right 412 at 120 DPI: 7.5 and 515 become 8 and 515, so the width is 507, not 508.
    EXPECT_EQ(Scaled(kLayout.PaintBox1, 120), (TRect{8, 5, 507, 508}));
    const TWindowLayout At144 = Scaled(kLayout, 144);
    EXPECT_EQ(At144.ClientSize, (TSize{1146, 681}));
    EXPECT_EQ(At144.Panel1, (TRect{501, 12, 630, 630}));
    EXPECT_EQ(At144.PaintBox1, (TRect{9, 6, 609, 609}));
    EXPECT_EQ(At144.PanelFrame, 3);
    EXPECT_EQ(At144.StatusPanel0Width, 300);
    EXPECT_EQ(At144.Caption, kLayout.Caption);

    // Whatever the DPI, what meets at 96 DPI still meets: the status bar spans the bottom edge.
    for (int Dpi = 72; Dpi <= 480; ++Dpi) {
        const TWindowLayout At = Scaled(kLayout, Dpi);
        ASSERT_EQ(At.StatusBar1.Bottom(), At.ClientSize.Height) << Dpi;
        ASSERT_EQ(At.StatusBar1.Width, At.ClientSize.Width) << Dpi;
    }
    EXPECT_EQ(Scaled(kLayout, 96).Memo1, kLayout.Memo1);
}

TEST(Layout, TheFontsPixelHeightFollowsTheDpi) {
    EXPECT_EQ(FontPixelHeight(kLayout.FontPoints, 96), 11);
    EXPECT_EQ(FontPixelHeight(kLayout.FontPoints, 120), 13);
    EXPECT_EQ(FontPixelHeight(kLayout.FontPoints, 144), 16);
}

TEST(Theme, TheProgramsThemeIsFoundByNameAndKeepsTheLayoutsColours) {
    const TTheme* Theme = FindTheme(kThemeName);
    ASSERT_NE(Theme, nullptr);
    EXPECT_EQ(Theme->Name, u"Aqua Light Slate");
    EXPECT_EQ(Theme->Background, kLayout.Colour);
    EXPECT_EQ(Theme->StatusBar, kLayout.StatusBarColour);
    EXPECT_EQ(FindTheme(u"Aqua Dark Slate"), nullptr);
    EXPECT_EQ(FindTheme(u"aqua light slate"), nullptr);
}

}  // namespace

TEST(FixedSize, AMaximizeRequestIsFollowedAndUndoneOrRefused) {
    using enum TFixedSizeAction;
    // Granted: the request, the configured size, the normal state asked for, the size back.
    {
        TFixedSizeKeeper Keeper;
        EXPECT_EQ(Keeper.Resized(false, true), None);  // an ordinary resize leaves the limit alone
        EXPECT_EQ(Keeper.StateChanged(true, true), LiftSizeLimit);
        EXPECT_EQ(Keeper.StateChanged(true, true), None);  // the compositor's answer
        EXPECT_EQ(Keeper.Resized(true, false), AskForNormal);
        EXPECT_EQ(Keeper.StateChanged(false, false), None);  // still at the maximized size
        EXPECT_EQ(Keeper.Resized(false, true), FixSizeAgain);
        EXPECT_EQ(Keeper.Resized(false, true), None);
        // A second request is handled the same way.
        EXPECT_EQ(Keeper.StateChanged(true, true), LiftSizeLimit);
    }
    // Refused: the compositor answers with the normal state, at the fixed size.
    {
        TFixedSizeKeeper Keeper;
        EXPECT_EQ(Keeper.StateChanged(true, true), LiftSizeLimit);
        EXPECT_EQ(Keeper.StateChanged(false, true), FixSizeAgain);
        EXPECT_EQ(Keeper.StateChanged(false, true), None);
    }
}
