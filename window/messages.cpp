#include "messages.h"

namespace qrwindow {

namespace {

std::u16string Decimal(int Value) {
    const std::string Digits = std::to_string(Value);
    return {Digits.begin(), Digits.end()};
}

}  // namespace

std::u16string NoSymbolReason(const qr::TDataSize& Size) {
    return u"O texto tem " + Decimal(Size.Count) + u" bytes em UTF-8; o limite é " + Decimal(Size.Limit) + u" bytes.";
}

std::u16string DisplayAreaDescription(const qr::TQRCodeGrid& Grid) {
    if (!Grid.HasSymbol())
        return NoSymbolReason(Grid.DataSize());
    // A version v symbol is 17 + 4v modules a side.
    const int Side = Grid.Rows() - 2 * Grid.QuietZone();
    const std::u16string Modules = Decimal(Side);
    return u"Símbolo QR Code versão " + Decimal((Side - 17) / 4) + u", " + Modules + u" × " + Modules +
           u" módulos, com os " + Decimal(Grid.DataSize().Count) + u" bytes do texto em UTF-8.";
}

std::u16string ErrorBoxText(std::u16string_view Message) {
    std::u16string Text(Message);
    if (!Text.empty() && Text.back() > u'.')
        Text += u'.';
    return Text;
}

std::u16string StyleNotFound(std::u16string_view Name) { return u"Style '" + std::u16string(Name) + u"' not found"; }

std::string NoDisplayMessage(std::string_view Reason) {
    constexpr std::string_view Blanks = " \t\r\n";
    const auto First = Reason.find_first_not_of(Blanks);
    Reason = First == std::string_view::npos ? std::string_view() : Reason.substr(First, Reason.find_last_not_of(Blanks) + 1 - First);
    std::string Line = "quandrel-qr-code: no display could be opened";
    if (!Reason.empty())
        Line.append(" (").append(Reason).append(")");
    return Line + "; set DISPLAY or WAYLAND_DISPLAY to a running display server\n";
}

}  // namespace qrwindow
