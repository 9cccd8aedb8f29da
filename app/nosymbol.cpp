#include "nosymbol.h"

#include <string_view>

#include "encoder/qrcode.h"

namespace qrapp {

std::optional<QString> NoSymbolReason(QStringView Text) {
    const auto Segment = qr::TEncoder::MeasureSegment(
        std::u16string_view(reinterpret_cast<const char16_t*>(Text.utf16()), static_cast<std::size_t>(Text.size())),
        qr::qrUTF8BOM);
    const int Limit = qr::TEncoder::MaxCount(Segment.Mode);
    if (Segment.Count <= Limit)
        return std::nullopt;
    return QStringLiteral("O texto tem %1 bytes em UTF-8; o limite é %2 bytes.").arg(Segment.Count).arg(Limit);
}

}  // namespace qrapp
