#pragma once
// The ways payload formats write text: backslash escapes, the text values and folded content
// lines of vCard and iCalendar, and URI percent-encoding.

#include <string>
#include <string_view>

namespace qrpayload {

// Each of the Special characters, and the backslash itself, preceded by a backslash.
std::string BackslashEscaped(std::string_view Text, std::string_view Special);

// A TEXT value of vCard (RFC 6350 3.4) and iCalendar (RFC 5545 3.3.11): backslash, comma and
// semicolon escaped by a backslash, each line break (CR LF, CR or LF) written as \n.
std::string EscapedTextValue(std::string_view Text);

// Appends Line as a content line ended by CR LF, folded so that no line is longer than 75
// octets: a longer one goes on in lines that begin with a space (RFC 6350 3.2, RFC 5545 3.1),
// and a fold never splits a UTF-8 sequence.
void AppendContentLine(std::string& Out, std::string_view Line);

// Every byte that is not an unreserved URI character (RFC 3986: letters, digits, "-._~") nor
// one of Keep, as %XX with upper-case hexadecimal digits.
std::string PercentEncoded(std::string_view Bytes, std::string_view Keep = {});

// Value in single quotes, as a refusal names what it refuses.
std::string InQuotes(std::string_view Value);

// Each line break (CR LF, CR or LF) written as Break.
std::string LineBreaksAs(std::string_view Text, std::string_view Break);

}  // namespace qrpayload
