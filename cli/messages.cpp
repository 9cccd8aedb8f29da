// The messages and streams that are the same on every system; messages_posix.cpp and
// messages_win32.cpp hold how a message reaches standard error.

#include "messages.h"

#include <unistd.h>

#include <cstdio>

#include "text/textconv.h"
#include "writefile.h"

namespace qrcli {

namespace {

void AppendHex(std::string& Out, unsigned char Byte) {
    char Text[5];
    std::snprintf(Text, sizeof Text, "\\x%02X", Byte);
    Out += Text;
}

int WriteBytes(int Fd, std::string_view Bytes) {
    return qrfiles::WriteAll(Fd, {reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size()});
}

}  // namespace

std::string Escaped(std::string_view Text) {
    std::string Out;
    Out.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size();) {
        const auto One = qrtext::DecodeOne(Text, i);
        const std::size_t Length = One ? One->Length : 1;
        const std::string_view Bytes = Text.substr(i, Length);
        i += Length;
        if (!One) {
            AppendHex(Out, static_cast<unsigned char>(Bytes[0]));
            continue;
        }
        switch (One->Value) {
            case U'\n': Out += "\\n"; continue;
            case U'\r': Out += "\\r"; continue;
            case U'\t': Out += "\\t"; continue;
            case U'\\': Out += "\\\\"; continue;
            default: break;
        }
        if (One->Value < 0x20 || (One->Value >= 0x7F && One->Value <= 0x9F))
            for (const char Byte : Bytes) AppendHex(Out, static_cast<unsigned char>(Byte));
        else
            Out += Bytes;
    }
    return Out;
}

Result<void> WriteStream(int Fd, std::string_view Bytes) {
    if (const int Error = WriteBytes(Fd, Bytes))
        return qrfiles::Cannot(Fd == STDOUT_FILENO ? "write standard output" : "write standard error", Error);
    return {};
}

}  // namespace qrcli
