#pragma once
// Qt's strings at the edge of the toolkit-free code, which takes UTF-16 as std::u16string_view.

#include <QString>
#include <QStringView>

#include <string_view>

namespace qrapp {

// The code units of Text, borrowed: valid while Text is.
inline std::u16string_view View(QStringView Text) {
    return {Text.utf16(), static_cast<std::size_t>(Text.size())};
}

// The code units of Text, copied as they are: QString::fromUtf16 would take a leading U+FEFF for
// a byte-order mark and drop it, and a text may begin with that character.
inline QString ToQString(std::u16string_view Text) {
    return QString(reinterpret_cast<const QChar*>(Text.data()), static_cast<qsizetype>(Text.size()));
}

}  // namespace qrapp
