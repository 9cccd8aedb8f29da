#pragma once
// The checks of the fields that payloads are made of, each returning the field in the form the
// payloads write it, or the reason it was refused. What names the field in the reason ("the
// SSID", "the latitude").

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "payload/result.h"

namespace qrpayload {

// Text of a field: well-formed UTF-8 without control characters other than the tab and, where
// Lines allows them, line breaks (CR LF, CR or LF).
enum class TLines { Refused, Allowed };
TResult<std::string> CheckText(std::string_view Value, std::string_view What, TLines Lines = TLines::Refused);

// Several text fields at once: the first refusal, in the order given.
struct TTextField {
    std::string_view Value;
    std::string_view What;
    TLines Lines = TLines::Refused;
};
TResult<std::monostate> CheckTexts(std::initializer_list<TTextField> Fields);

// The characters (code points) of well-formed UTF-8.
std::size_t CharacterCount(std::string_view Utf8);

// A decimal number written as [+|-]digits[.digits] (no exponent, no grouping), kept as its
// digits so that nothing is rounded. Integer has no leading zeros ("0" for none), Fraction no
// trailing ones; zero is never negative.
struct TDecimal {
    bool Negative = false;
    std::string Integer = "0";
    std::string Fraction;
    // The shortest form: "-9.5", "38", "0.25".
    std::string Text() const;
    // Whether the magnitude is at most Limit (a whole number).
    bool AtMost(unsigned Limit) const;
};
TResult<TDecimal> ParseDecimal(std::string_view Text, std::string_view What);

// A euro amount from 0.01 to 999999999.99 written with at most two decimals after a point, in
// cents.
TResult<std::int64_t> ParseEuroAmount(std::string_view Text);

// An IBAN (ISO 13616) in its electronic form: spaces left out, letters in upper case, the
// country's length where it is known, the mod-97 check digits verified.
TResult<std::string> CheckIban(std::string_view Text);

// A structured creditor reference (ISO 11649, "RF", two check digits and up to 21 letters or
// digits), spaces left out, upper case, its mod-97 check digits verified.
TResult<std::string> CheckCreditorReference(std::string_view Text);

// A BIC (ISO 9362): 4 letters for the institution, 2 for the country, 2 letters or digits for
// the location and an optional branch of 3, in upper case.
TResult<std::string> CheckBic(std::string_view Text);

// An e-mail address checked minimally: one unquoted local part of the characters RFC 5322's
// dot-atom allows (or non-ASCII, RFC 6532), "@", and a domain of letters, digits and hyphens in
// labels between dots.
TResult<std::string> CheckEmailAddress(std::string_view Text);

// A telephone number as people write it: an optional leading "+", digits, and spaces, "-",
// "." and parentheses between them; at least one digit. Returned as given.
TResult<std::string> CheckPhoneNumber(std::string_view Text, std::string_view What);

// A calendar date, from YYYY-MM-DD or YYYYMMDD.
struct TDate {
    int Year = 0;
    int Month = 0;
    int Day = 0;
    auto operator<=>(const TDate&) const = default;
    std::string Basic() const;     // YYYYMMDD
    std::string Extended() const;  // YYYY-MM-DD
};
TResult<TDate> ParseDate(std::string_view Text, std::string_view What);

// A date, or a date and time from YYYY-MM-DD[T| ]HH:MM[:SS] or YYYYMMDDTHHMM[SS], with a final
// "Z" for UTC; without it the time is floating (local time wherever the reader is).
struct TDateTime {
    TDate Date;
    bool HasTime = false;
    int Hour = 0;
    int Minute = 0;
    int Second = 0;
    bool Utc = false;
    // iCalendar's form: YYYYMMDD for a date, YYYYMMDDTHHMMSS with a final Z in UTC for a time.
    std::string Basic() const;
};
TResult<TDateTime> ParseDateTime(std::string_view Text, std::string_view What);

}  // namespace qrpayload
