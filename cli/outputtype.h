#pragma once
// The output's type: named by -t, or told by the extension of -o.

#include "names.h"
#include "options.h"

namespace qrcli {

// The types -t names, in any case: png, svg, eps, pdf, jpeg or jpg, utf8, ascii, matrix.
const NameTable<OutputType>& TypeNames();

// The output type: -t; without it, the one the extension of -o names (.png, .svg, .eps, .pdf,
// .jpg or .jpeg, .txt for utf8; in any case); for any other name jpeg, and utf8 without -o.
OutputType ResolveType(const Options& Opts);

// Whether the output goes to standard output: without -o, or with -o -.
bool ToStandardOutput(const Options& Opts);

// Types whose output is binary, so not for a terminal.
bool IsBinary(OutputType Type);

// Whether the output is a terminal: standard output when it goes there, otherwise what -o leads
// to, whatever the path calls it (/dev/tty, /dev/stdout, /proc/self/fd/N, a link; on Windows a
// console: CON, CONOUT$, \\.\CON). (outputtype_posix.cpp, outputtype_win32.cpp)
bool OutputIsTerminal(const Options& Opts);

}  // namespace qrcli
