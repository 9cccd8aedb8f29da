#include "payload/fields.h"

#include <algorithm>
#include <array>

#include "payload/ascii.h"
#include "payload/textformat.h"
#include "text/textconv.h"

namespace qrpayload {

namespace {

using ascii::IsAlnum;
using ascii::IsDigit;
using ascii::IsUpper;

bool AllDigits(std::string_view s) { return std::all_of(s.begin(), s.end(), IsDigit); }

std::string Quoted(std::string_view What, std::string_view Value) { return std::string(What) + " " + InQuotes(Value); }

// Spaces left out (IBANs and references are printed in groups of four) and ASCII letters in
// upper case, as their electronic form has them.
std::string Compact(std::string_view Text) {
    std::string Out = ascii::Upper(Text);
    std::erase(Out, ' ');
    return Out;
}

// ISO 7064 MOD 97-10 over letters and digits, letters counting as 10 (A) to 35 (Z), as IBANs
// and creditor references use it.
int Mod97(std::string_view Alnum) {
    int r = 0;
    for (const char c : Alnum)
        r = IsDigit(c) ? (r * 10 + (c - '0')) % 97 : (r * 100 + (c - 'A' + 10)) % 97;
    return r;
}

// The check digits of Prefix (two letters) and Body: the Body followed by Prefix and "00"
// leaves a remainder r, and 98 - r makes the whole leave 1.
std::string CheckDigits(std::string_view Prefix, std::string_view Body) {
    const int d = 98 - Mod97(std::string(Body) + std::string(Prefix) + "00");
    return {static_cast<char>('0' + d / 10), static_cast<char>('0' + d % 10)};
}

// [2 letters][2 check digits][Body], the layout IBANs and creditor references share.
TResult<std::string> CheckedMod97(std::string Compacted, std::string_view What) {
    const std::string Expected = CheckDigits(Compacted.substr(0, 2), Compacted.substr(4));
    if (Compacted.compare(2, 2, Expected) != 0)
        return TRefusal{std::string(What) + "'s check digits are wrong (expected " + Expected + ")"};
    return Compacted;
}

// The IBAN lengths of the countries of the SEPA payment area (ISO 13616 registry).
constexpr std::array<std::pair<std::string_view, int>, 41> kIbanLengths{{
    {"AD", 24}, {"AL", 28}, {"AT", 20}, {"BE", 16}, {"BG", 22}, {"CH", 21}, {"CY", 28}, {"CZ", 24}, {"DE", 22},
    {"DK", 18}, {"EE", 20}, {"ES", 24}, {"FI", 18}, {"FR", 27}, {"GB", 22}, {"GI", 23}, {"GR", 27}, {"HR", 21},
    {"HU", 28}, {"IE", 22}, {"IS", 26}, {"IT", 27}, {"LI", 21}, {"LT", 20}, {"LU", 20}, {"LV", 21}, {"MC", 27},
    {"MD", 24}, {"ME", 22}, {"MK", 19}, {"MT", 31}, {"NL", 18}, {"NO", 15}, {"PL", 28}, {"PT", 25}, {"RO", 24},
    {"SE", 24}, {"SI", 19}, {"SK", 24}, {"SM", 27}, {"VA", 22},
}};

int DaysInMonth(int Year, int Month) {
    static constexpr int Days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool Leap = (Year % 4 == 0 && Year % 100 != 0) || Year % 400 == 0;
    return Month == 2 && Leap ? 29 : Days[Month - 1];
}

int Number(std::string_view Digits) {
    int n = 0;
    for (const char c : Digits) n = n * 10 + (c - '0');
    return n;
}

// YYYY-MM-DD or YYYYMMDD, a day of the Gregorian calendar.
std::optional<TDate> DateOf(std::string_view s) {
    std::string Digits;
    if (s.size() == 10 && s[4] == '-' && s[7] == '-')
        Digits = std::string(s.substr(0, 4)) + std::string(s.substr(5, 2)) + std::string(s.substr(8, 2));
    else if (s.size() == 8)
        Digits = s;
    if (Digits.size() != 8 || !AllDigits(Digits)) return std::nullopt;
    const TDate D{Number(Digits.substr(0, 4)), Number(Digits.substr(4, 2)), Number(Digits.substr(6, 2))};
    if (D.Month < 1 || D.Month > 12 || D.Day < 1 || D.Day > DaysInMonth(D.Year, D.Month)) return std::nullopt;
    return D;
}

// HH:MM[:SS] or HHMM[SS]; a second of 60 is a leap second, which iCalendar allows.
std::optional<TDateTime> TimeOf(std::string_view s) {
    std::string Digits;
    if ((s.size() == 5 || s.size() == 8) && s[2] == ':' && (s.size() == 5 || s[5] == ':')) {
        for (std::size_t i = 0; i < s.size(); i += 3) Digits += s.substr(i, 2);
    } else if (s.size() == 4 || s.size() == 6) {
        Digits = s;
    }
    if (Digits.empty() || !AllDigits(Digits)) return std::nullopt;
    TDateTime T;
    T.HasTime = true;
    T.Hour = Number(Digits.substr(0, 2));
    T.Minute = Number(Digits.substr(2, 2));
    T.Second = Digits.size() == 6 ? Number(Digits.substr(4, 2)) : 0;
    if (T.Hour > 23 || T.Minute > 59 || T.Second > 60) return std::nullopt;
    return T;
}

// Value in Width digits with leading zeros.
std::string Padded(int Value, std::size_t Width) {
    std::string s = std::to_string(Value);
    return std::string(Width - std::min(Width, s.size()), '0') + s;
}

}  // namespace

std::string TDate::Basic() const { return Padded(Year, 4) + Padded(Month, 2) + Padded(Day, 2); }
std::string TDate::Extended() const { return Padded(Year, 4) + "-" + Padded(Month, 2) + "-" + Padded(Day, 2); }

std::string TDateTime::Basic() const {
    if (!HasTime) return Date.Basic();
    return Date.Basic() + "T" + Padded(Hour, 2) + Padded(Minute, 2) + Padded(Second, 2) + (Utc ? "Z" : "");
}

TResult<std::string> CheckText(std::string_view Value, std::string_view What, TLines Lines) {
    for (std::size_t i = 0; i < Value.size();) {
        const auto One = qrtext::DecodeOne(Value, i);
        if (!One) return TRefusal{std::string(What) + " is not UTF-8"};
        const char32_t c = One->Value;
        if (c == '\r' || c == '\n') {
            if (Lines == TLines::Refused) return TRefusal{std::string(What) + " has a line break"};
        } else if ((c < 0x20 && c != '\t') || (c >= 0x7F && c <= 0x9F)) {
            return TRefusal{std::string(What) + " has a control character"};
        }
        i += One->Length;
    }
    return std::string(Value);
}

TResult<std::monostate> CheckTexts(std::initializer_list<TTextField> Fields) {
    for (const TTextField& F : Fields) {
        const auto Checked = CheckText(F.Value, F.What, F.Lines);
        if (!Checked) return Checked.Error();
    }
    return std::monostate();
}

std::size_t CharacterCount(std::string_view Utf8) {
    // Every byte but a continuation byte starts a character.
    return static_cast<std::size_t>(
        std::count_if(Utf8.begin(), Utf8.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string TDecimal::Text() const {
    return (Negative ? "-" : "") + Integer + (Fraction.empty() ? "" : "." + Fraction);
}

bool TDecimal::AtMost(unsigned Limit) const {
    const std::string L = std::to_string(Limit);
    if (Integer.size() != L.size()) return Integer.size() < L.size();
    return Integer < L || (Integer == L && Fraction.empty());
}

TResult<TDecimal> ParseDecimal(std::string_view Text, std::string_view What) {
    if (Text.empty()) return TRefusal{std::string(What) + " is empty"};
    std::string_view s = Text;
    TDecimal D;
    if (!s.empty() && (s[0] == '+' || s[0] == '-')) {
        D.Negative = s[0] == '-';
        s.remove_prefix(1);
    }
    const std::size_t Point = s.find('.');
    std::string_view Integer = s.substr(0, Point);
    std::string_view Fraction = Point == std::string_view::npos ? std::string_view() : s.substr(Point + 1);
    if (Integer.empty() || !AllDigits(Integer) || !AllDigits(Fraction) ||
        (Point != std::string_view::npos && Fraction.empty()))
        return TRefusal{Quoted(What, Text) + " is not a decimal number"};
    Integer.remove_prefix(std::min(Integer.find_first_not_of('0'), Integer.size() - 1));
    Fraction = Fraction.substr(0, Fraction.find_last_not_of('0') + 1);
    D.Integer = Integer;
    D.Fraction = Fraction;
    if (D.Integer == "0" && D.Fraction.empty()) D.Negative = false;
    return D;
}

TResult<std::int64_t> ParseEuroAmount(std::string_view Text) {
    const auto D = ParseDecimal(Text, "the amount");
    if (!D) return D.Error();
    if (D->Fraction.size() > 2) return TRefusal{Quoted("the amount", Text) + " has more than two decimals"};
    if (D->Negative || (D->Integer == "0" && D->Fraction.empty()))
        return TRefusal{"the amount must be at least 0.01"};
    if (D->Integer.size() > 9) return TRefusal{"the amount must be at most 999999999.99"};
    std::int64_t Cents = 0;
    for (const char c : D->Integer + (D->Fraction + "00").substr(0, 2)) Cents = Cents * 10 + (c - '0');
    return Cents;
}

TResult<std::string> CheckIban(std::string_view Text) {
    const std::string Iban = Compact(Text);
    if (Iban.empty()) return TRefusal{"the IBAN is empty"};
    if (!std::all_of(Iban.begin(), Iban.end(), IsAlnum))
        return TRefusal{"the IBAN may hold only letters, digits and spaces"};
    if (Iban.size() < 4 || !IsUpper(Iban[0]) || !IsUpper(Iban[1]) || !IsDigit(Iban[2]) || !IsDigit(Iban[3]))
        return TRefusal{"the IBAN must begin with its country's two letters and two check digits"};
    const auto Known = std::find_if(kIbanLengths.begin(), kIbanLengths.end(),
                                    [&](const auto& Entry) { return Entry.first == Iban.substr(0, 2); });
    const std::string Count = std::to_string(Iban.size());
    if (Known != kIbanLengths.end()) {
        if (static_cast<int>(Iban.size()) != Known->second)
            return TRefusal{"a " + std::string(Known->first) + " IBAN has " + std::to_string(Known->second) +
                            " characters, not " + Count};
    } else if (Iban.size() < 15 || Iban.size() > 34) {
        return TRefusal{"the IBAN has " + Count + " characters (an IBAN has 15 to 34)"};
    }
    return CheckedMod97(Iban, "the IBAN");
}

TResult<std::string> CheckCreditorReference(std::string_view Text) {
    const std::string Reference = Compact(Text);
    if (Reference.size() < 5 || Reference.compare(0, 2, "RF") != 0 || !IsDigit(Reference[2]) ||
        !IsDigit(Reference[3]))
        return TRefusal{"the creditor reference must be RF, two check digits and the reference"};
    if (!std::all_of(Reference.begin(), Reference.end(), IsAlnum))
        return TRefusal{"the creditor reference may hold only letters, digits and spaces"};
    if (Reference.size() > 25)
        return TRefusal{"the creditor reference has " + std::to_string(Reference.size()) +
                        " characters (at most 25)"};
    return CheckedMod97(Reference, "the creditor reference");
}

TResult<std::string> CheckBic(std::string_view Text) {
    std::string Bic = Compact(Text);
    const bool Form = (Bic.size() == 8 || Bic.size() == 11) && std::all_of(Bic.begin(), Bic.end(), IsAlnum) &&
                      IsUpper(Bic[4]) && IsUpper(Bic[5]);
    if (!Form)
        return TRefusal{Quoted("the BIC", Text) +
                        " is not 8 or 11 letters and digits (bank 4, country 2 letters, location 2, branch 3)"};
    return Bic;
}

TResult<std::string> CheckEmailAddress(std::string_view Text) {
    const auto Bad = [&] { return TRefusal{InQuotes(Text) + " is not an e-mail address"}; };
    const auto Valid = CheckText(Text, "the e-mail address");
    if (!Valid) return Valid.Error();
    const std::size_t At = Text.find('@');
    if (At == std::string_view::npos || Text.find('@', At + 1) != std::string_view::npos) return Bad();
    const std::string_view Local = Text.substr(0, At), Domain = Text.substr(At + 1);
    // Dot-separated runs, none empty, each made of characters Allowed accepts (non-ASCII always).
    const auto DotRuns = [](std::string_view Part, auto Allowed) {
        if (Part.empty() || Part.front() == '.' || Part.back() == '.' ||
            Part.find("..") != std::string_view::npos)
            return false;
        return std::all_of(Part.begin(), Part.end(),
                           [&](char c) { return c == '.' || static_cast<unsigned char>(c) >= 0x80 || Allowed(c); });
    };
    constexpr std::string_view AtextSymbols = "!#$%&'*+-/=?^_`{|}~";
    const bool LocalOk = Local.size() <= 64 && DotRuns(Local, [&](char c) {
                             return IsAlnum(c) || AtextSymbols.find(c) != std::string_view::npos;
                         });
    const bool DomainOk = Domain.size() <= 255 && DotRuns(Domain, [](char c) { return IsAlnum(c) || c == '-'; });
    if (!LocalOk || !DomainOk) return Bad();
    return std::string(Text);
}

TResult<std::string> CheckPhoneNumber(std::string_view Text, std::string_view What) {
    constexpr std::string_view Separators = " -.()";
    bool Digit = false;
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const char c = Text[i];
        Digit |= IsDigit(c);
        if (!IsDigit(c) && !(c == '+' && i == 0) && Separators.find(c) == std::string_view::npos)
            return TRefusal{Quoted(What, Text) + " may hold only digits, a leading +, spaces, - . ( and )"};
    }
    if (!Digit) return TRefusal{Text.empty() ? std::string(What) + " is empty" : Quoted(What, Text) + " has no digit"};
    return std::string(Text);
}

TResult<TDate> ParseDate(std::string_view Text, std::string_view What) {
    const auto D = DateOf(Text);
    if (!D) return TRefusal{Quoted(What, Text) + " is not a date YYYY-MM-DD"};
    return *D;
}

TResult<TDateTime> ParseDateTime(std::string_view Text, std::string_view What) {
    const std::size_t Split = Text.find_first_of("T ");
    const auto D = DateOf(Text.substr(0, Split));
    std::optional<TDateTime> T = TDateTime{};
    if (Split != std::string_view::npos) {
        std::string_view Time = Text.substr(Split + 1);
        const bool Utc = !Time.empty() && Time.back() == 'Z';
        if (Utc) Time.remove_suffix(1);
        T = TimeOf(Time);
        if (T) T->Utc = Utc;
    }
    if (!D || !T)
        return TRefusal{Quoted(What, Text) + " is not a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS][Z]"};
    T->Date = *D;
    return *T;
}

}  // namespace qrpayload
