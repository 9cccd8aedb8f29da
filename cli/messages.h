#pragma once
// What quandrel-qr says and writes on its standard streams. Every message to the user goes
// through Message: escaped, so that no file name or argument can break a line or send the
// terminal an escape sequence, and in one write, so that runs sharing a standard error do not
// interleave their lines.

#include <string>
#include <string_view>

#include "result.h"

namespace qrcli {

using qrfiles::Failure;
using qrfiles::Result;

// Text as it may be shown on a terminal: UTF-8 characters pass, the rest is escaped: "\n", "\r",
// "\t" and "\\" for line feed, carriage return, tab and backslash, "\xHH" for each byte of any
// other control character (U+0000 to U+001F, U+007F to U+009F) and for each byte that is not
// part of valid UTF-8.
std::string Escaped(std::string_view Text);

// Writes "quandrel-qr: <Text, escaped>\n" to standard error in one write(2) call, with SIGPIPE
// held off: a standard error whose reader went away gives EPIPE rather than ending the program
// (on Windows, which has no SIGPIPE, the failed write's error).
// Returns 0 or the error; a message that cannot be written has nowhere else to go, so callers
// mostly let the exit status tell.
int Message(std::string_view Text);

// Writes Bytes whole to Fd, standard output or standard error (help, version, --info, the symbol).
// Fails with "cannot write standard output: <reason>" (or standard error).
Result<void> WriteStream(int Fd, std::string_view Bytes);

// Keeps standard input, output and error that were closed when the program started closed for
// reading and writing (each read or write fails with EBADF), while taking their numbers, so that
// no file the program opens later takes one of them and receives its messages or output. (On
// Windows the program opens its files as handles, so nothing needs holding.)
void HoldClosedStandardStreams();

}  // namespace qrcli
