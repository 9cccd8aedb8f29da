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

inline QString ToQString(std::u16string_view Text) {
    return QString::fromUtf16(Text.data(), static_cast<qsizetype>(Text.size()));
}

}  // namespace qrapp
