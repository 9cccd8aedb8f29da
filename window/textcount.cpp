#include "textcount.h"

namespace qrwindow {

namespace {

// Length in code units of the character starting at Text[i]: a CR LF pair and a surrogate pair
// are one character of two units.
std::size_t CharacterUnits(std::u16string_view Text, std::size_t i) {
    if (i + 1 < Text.size()) {
        const char16_t First = Text[i], Second = Text[i + 1];
        const bool HighThenLow = First >= 0xD800 && First <= 0xDBFF && Second >= 0xDC00 && Second <= 0xDFFF;
        if ((First == u'\r' && Second == u'\n') || HighThenLow)
            return 2;
    }
    return 1;
}

// The units the character of Step code units starting with First takes when stored.
int StoredUnits(char16_t First, std::size_t Step) { return IsLineBreak(First) ? 2 : static_cast<int>(Step); }

}  // namespace

std::u16string StoredText(std::u16string_view Text) {
    std::u16string Stored;
    Stored.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size();) {
        const std::size_t Step = CharacterUnits(Text, i);
        if (IsLineBreak(Text[i]))
            Stored += u"\r\n";
        else
            Stored += Text.substr(i, Step);
        i += Step;
    }
    return Stored;
}

int StoredLength(std::u16string_view Text) {
    int Units = 0;
    for (std::size_t i = 0; i < Text.size();) {
        const std::size_t Step = CharacterUnits(Text, i);
        Units += StoredUnits(Text[i], Step);
        i += Step;
    }
    return Units;
}

std::size_t FittingPrefix(std::u16string_view Text, int Room) {
    int Units = 0;
    std::size_t i = 0;
    while (i < Text.size()) {
        const std::size_t Step = CharacterUnits(Text, i);
        const int Cost = StoredUnits(Text[i], Step);
        if (Units + Cost > Room)
            break;
        Units += Cost;
        i += Step;
    }
    return i;
}

}  // namespace qrwindow
