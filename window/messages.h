#pragma once
// The window's messages that are not the toolkit's: why the display area is blank, the text an
// error box shows, and the word that a theme is missing. The save's own failures come with their
// text from the file writer (qrfiles::FileError: "Cannot create file "<path>". <reason>") and from
// the JPEG writer ("JPEG error #<code>"); ErrorBoxText completes them like any other message.

#include <string>
#include <string_view>

#include "grid/qrcodegrid.h"

namespace qrwindow {

// Why the window's code grid holds no symbol, from its DataSize(): "O texto tem <count> bytes em
// UTF-8; o limite é <limit> bytes." (the window encodes in byte mode, UTF-8 without a byte-order
// mark).
std::u16string NoSymbolReason(const qr::TDataSize& Size);

// The text an error box shows for Message: the message, with "." appended when its last code
// unit is above "." (46); an empty message stays empty.
std::u16string ErrorBoxText(std::u16string_view Message);

// The display area's accessible name, and its description for the symbol the window's Grid
// holds: "Símbolo QR Code versão <v>, <n> × <n> módulos, com os <count> bytes do texto em UTF-8."
// (n the symbol's side without the quiet zone), or NoSymbolReason when it holds none.
inline constexpr std::u16string_view kDisplayAreaName = u"Símbolo QR Code";
std::u16string DisplayAreaDescription(const qr::TQRCodeGrid& Grid);

// "Style '<Name>' not found": said when the theme of that name is not among the program's.
std::u16string StyleNotFound(std::u16string_view Name);

// The line said on standard error when the program cannot open any display, Reason being the
// toolkit's first word on it (surrounding blanks dropped; left out when empty):
// "quandrel-qr-code: no display could be opened (<Reason>); set DISPLAY or WAYLAND_DISPLAY to a
// running display server\n".
std::string NoDisplayMessage(std::string_view Reason);

}  // namespace qrwindow
