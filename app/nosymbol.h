#pragma once
// Why a text has no symbol: its UTF-8 form is longer than the most a version-40 symbol holds in
// byte mode at level L.

#include <QString>
#include <QStringView>

#include <optional>

namespace qrapp {

// The message that says why Text (as the window encodes it: UTF-16, CR LF line breaks, written as
// UTF-8 without a byte-order mark) has no symbol, giving its byte count and the limit; nothing
// when it has one.
std::optional<QString> NoSymbolReason(QStringView Text);

}  // namespace qrapp
