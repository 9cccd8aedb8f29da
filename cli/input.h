#pragma once
// The text on standard input, read whole and bounded.

#include <cstddef>
#include <string>

#include "result.h"

namespace qrcli {

using qrfiles::Failure;
using qrfiles::Result;

// At most this many bytes of input are taken: far more than any symbol holds, even after an
// encoding option has dropped the characters it cannot carry.
inline constexpr std::size_t kMaxInputBytes = std::size_t{4} << 20;

// Reads standard input, open as Fd, to its end, but never more than Limit bytes. Fails with
// "cannot read standard input: <reason>" when a read fails (a folder, a closed descriptor, a
// failing device), and with "text too long for a QR symbol: more than <Limit> bytes of input"
// when more arrived. A descriptor left non-blocking is waited on instead of failing.
Result<std::string> ReadInput(int Fd, std::size_t Limit = kMaxInputBytes);

}  // namespace qrcli
