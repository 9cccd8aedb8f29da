#include "payload/textformat.h"

namespace qrpayload {

std::string BackslashEscaped(std::string_view Text, std::string_view Special) {
    std::string Out;
    Out.reserve(Text.size());
    for (const char c : Text) {
        if (c == '\\' || Special.find(c) != std::string_view::npos) Out += '\\';
        Out += c;
    }
    return Out;
}

std::string EscapedTextValue(std::string_view Text) {
    return LineBreaksAs(BackslashEscaped(Text, ",;"), "\\n");
}

void AppendContentLine(std::string& Out, std::string_view Line) {
    constexpr std::size_t kMaxOctets = 75;
    std::size_t Used = 0;  // octets on the current physical line
    for (std::size_t i = 0; i < Line.size();) {
        // The length of the UTF-8 sequence that starts here: its lead byte and the continuation
        // bytes after it.
        std::size_t Length = 1;
        while (i + Length < Line.size() && (static_cast<unsigned char>(Line[i + Length]) & 0xC0) == 0x80) ++Length;
        if (Used + Length > kMaxOctets) {
            Out += "\r\n ";
            Used = 1;
        }
        Out.append(Line.substr(i, Length));
        Used += Length;
        i += Length;
    }
    Out += "\r\n";
}

std::string PercentEncoded(std::string_view Bytes, std::string_view Keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string Out;
    Out.reserve(Bytes.size());
    for (const char c : Bytes) {
        const auto b = static_cast<unsigned char>(c);
        const bool Unreserved = (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') ||
                                b == '-' || b == '.' || b == '_' || b == '~';
        if (Unreserved || (b != 0 && Keep.find(c) != std::string_view::npos)) {
            Out += c;
        } else {
            Out += '%';
            Out += kHex[b >> 4];
            Out += kHex[b & 15];
        }
    }
    return Out;
}

std::string InQuotes(std::string_view Value) {
    std::string Out(1, '\'');
    Out.append(Value);
    Out += '\'';
    return Out;
}

std::string LineBreaksAs(std::string_view Text, std::string_view Break) {
    std::string Out;
    Out.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r' || Text[i] == '\n') {
            if (Text[i] == '\r' && i + 1 < Text.size() && Text[i + 1] == '\n') ++i;
            Out += Break;
        } else {
            Out += Text[i];
        }
    }
    return Out;
}

}  // namespace qrpayload
