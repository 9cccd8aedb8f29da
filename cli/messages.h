#pragma once
// What quandrel-qr says and writes on its standard streams. Every message to the user goes
// through Message: escaped, so that no file name or argument can break a line or send the
// terminal an escape sequence, and in one write, so that runs sharing a standard error do not
// interleave their lines.

#include <string>
#include <string_view>

#include <unistd.h>

namespace qrcli {

// Text as it may be shown on a terminal: UTF-8 characters pass, the rest is escaped: "\n", "\r",
// "\t" and "\\" for line feed, carriage return, tab and backslash, "\xHH" for each byte of any
// other control character (U+0000 to U+001F, U+007F to U+009F) and for each byte that is not
// part of valid UTF-8.
std::string Escaped(std::string_view Text);

// Writes "quandrel-qr: <Text, escaped>\n" to Fd in one write(2) call. Returns 0 or the error
// that stopped it.
int Message(std::string_view Text, int Fd = STDERR_FILENO);

// Writes Bytes whole to Fd (help, version, --info, the symbol). Returns 0 or the error.
int WriteText(int Fd, std::string_view Bytes);

// The system's description of an error number ("No space left on device").
std::string ErrorText(int Error);

// Keeps standard input, output and error that were closed when the program started closed for
// reading and writing (each read or write fails with EBADF), while taking their numbers, so that
// no file the program opens later takes one of them and receives its messages or output.
void HoldClosedStandardStreams();

}  // namespace qrcli
