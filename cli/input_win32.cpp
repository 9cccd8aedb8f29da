// Standard input on Windows: a console is read as the UTF-16 text the user types; anything else
// (a file, a pipe) as the bytes it holds, in binary mode.

#include "input.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cerrno>

#include "encoder/steps.h"
#include "writefile.h"

namespace qrcli {

namespace {

Failure TooLong(std::size_t Limit) {
    return Failure{"text too long for a QR symbol: more than " + std::to_string(Limit) + " bytes of input"};
}

// A console gives what was typed in its own code page when read as bytes, so it is read as UTF-16
// and converted to UTF-8, as Linux's terminals send it. Its lines end in CR LF, taken as the LF
// a Linux terminal sends (--crlf puts the CR back); Ctrl+Z ends the text, as it ends a console's
// input for every Windows program.
Result<std::string> ReadConsoleText(HANDLE Console, std::size_t Limit) {
    std::u16string Typed;
    wchar_t Chunk[4096];
    for (;;) {
        DWORD Got = 0;
        if (!ReadConsoleW(Console, Chunk, static_cast<DWORD>(std::size(Chunk)), &Got, nullptr))
            return Failure{"cannot read standard input: Windows error " + std::to_string(GetLastError())};
        if (Got == 0)
            break;
        const std::u16string_view Part(reinterpret_cast<const char16_t*>(Chunk), Got);
        const std::size_t End = Part.find(u'\x1A');
        Typed += Part.substr(0, End);
        // Every UTF-16 unit is at least one byte of UTF-8.
        if (Typed.size() > Limit)
            return TooLong(Limit);
        if (End != std::u16string_view::npos)
            break;
    }
    std::u16string Lines;
    Lines.reserve(Typed.size());
    for (std::size_t i = 0; i < Typed.size(); ++i)
        if (!(Typed[i] == u'\r' && i + 1 < Typed.size() && Typed[i + 1] == u'\n'))
            Lines += Typed[i];
    std::string Bytes = qr::Utf16ToUtf8(Lines);
    if (Bytes.size() > Limit)
        return TooLong(Limit);
    return Bytes;
}

}  // namespace

Result<std::string> ReadInput(int Fd, std::size_t Limit) {
    // No descriptor, no handle: the C library's check, before it is asked for the handle.
    if (Fd < 0)
        return qrfiles::Cannot("read standard input", EBADF);
    if (DWORD Mode = 0; GetConsoleMode(reinterpret_cast<HANDLE>(_get_osfhandle(Fd)), &Mode))
        return ReadConsoleText(reinterpret_cast<HANDLE>(_get_osfhandle(Fd)), Limit);
    std::string Bytes;
    // As on POSIX: to the end, or one byte past the limit, the buffer growing with the input.
    std::size_t Filled = 0;
    while (Filled <= Limit) {
        if (Filled == Bytes.size())
            Bytes.resize(std::min(Limit + 1, std::max<std::size_t>(std::size_t{1} << 16, 2 * Filled)));
        const unsigned Ask = static_cast<unsigned>(std::min<std::size_t>(Bytes.size() - Filled, 1u << 30));
        const int Got = _read(Fd, Bytes.data() + Filled, Ask);
        if (Got == 0)
            break;
        if (Got < 0)
            return qrfiles::Cannot("read standard input", errno);
        Filled += static_cast<std::size_t>(Got);
    }
    if (Filled > Limit)
        return TooLong(Limit);
    Bytes.resize(Filled);
    return Bytes;
}

}  // namespace qrcli
