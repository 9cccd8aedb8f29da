// Messages and calls: mailto: (RFC 6068), SMSTO: and tel: (RFC 3966).
#include <algorithm>
#include <iterator>

#include "payload/ascii.h"
#include "payload/fields.h"
#include "payload/payloads.h"
#include "payload/textformat.h"

namespace qrpayload {

namespace {

// Characters of an address's dot-atom that a URI may hold as they are; the rest of it ("#",
// "%", "&", "/", "=", "?", "^", "`", "{", "|", "}" and non-ASCII UTF-8) is percent-encoded,
// as RFC 6068 2 requires.
constexpr std::string_view kAddressKeep = "@!$'*+";

TResult<std::string> AddressList(const std::vector<std::string>& Addresses) {
    std::string List;
    for (const std::string& A : Addresses) {
        const auto Address = CheckEmailAddress(A);
        if (!Address) return Address.Error();
        if (!List.empty()) List += ',';
        List += PercentEncoded(*Address, kAddressKeep);
    }
    return List;
}

using ascii::IsAlnum;
using ascii::IsAlpha;
using ascii::IsDigit;
using ascii::IsHexDigit;
bool IsVisualSeparator(char c) { return c == '-' || c == '.' || c == '(' || c == ')'; }

// RFC 3966 global-number-digits: "+", then digits and visual separators, at least one digit.
bool IsGlobalNumber(std::string_view s) {
    return s.size() > 1 && s[0] == '+' && std::any_of(s.begin() + 1, s.end(), IsDigit) &&
           std::all_of(s.begin() + 1, s.end(), [](char c) { return IsDigit(c) || IsVisualSeparator(c); });
}

// RFC 3966 domainname: labels of letters, digits and inner hyphens between dots, the last one
// beginning with a letter, an optional final dot.
bool IsDomainName(std::string_view s) {
    if (!s.empty() && s.back() == '.') s.remove_suffix(1);
    if (s.empty()) return false;
    std::string_view Label;
    for (std::size_t Start = 0; Start <= s.size();) {
        const std::size_t End = std::min(s.find('.', Start), s.size());
        Label = s.substr(Start, End - Start);
        if (Label.empty() || Label.front() == '-' || Label.back() == '-' ||
            !std::all_of(Label.begin(), Label.end(), [](char c) { return IsAlnum(c) || c == '-'; }))
            return false;
        Start = End + 1;
    }
    return IsAlpha(Label.front());
}

}  // namespace

TResult<TPayload> MailPayload(const TMail& Mail) {
    if (Mail.To.empty()) return TRefusal{"the e-mail has no address to send to"};
    const auto To = AddressList(Mail.To);
    if (!To) return To.Error();
    std::string Fields;
    const auto Add = [&Fields](std::string_view Name, const std::string& Value) {
        if (Value.empty()) return;
        Fields += Fields.empty() ? '?' : '&';
        Fields.append(Name).append("=").append(Value);
    };
    for (const auto& [Name, List] : {std::pair{"cc", &Mail.Cc}, std::pair{"bcc", &Mail.Bcc}}) {
        const auto Addresses = AddressList(*List);
        if (!Addresses) return Addresses.Error();
        Add(Name, *Addresses);
    }
    const auto Subject = CheckText(Mail.Subject, "the subject");
    if (!Subject) return Subject.Error();
    Add("subject", PercentEncoded(*Subject));
    // RFC 6068 5: line breaks in the body are CR LF, encoded as %0D%0A.
    const auto Body = CheckText(Mail.Body, "the body", TLines::Allowed);
    if (!Body) return Body.Error();
    Add("body", PercentEncoded(LineBreaksAs(*Body, "\r\n")));
    return TPayload{"mailto:" + *To + Fields, {}};
}

TResult<TPayload> SmsPayload(const TSms& Sms) {
    const auto Number = CheckPhoneNumber(Sms.Number, "the telephone number");
    if (!Number) return Number.Error();
    const auto Text = CheckText(Sms.Text, "the message", TLines::Allowed);
    if (!Text) return Text.Error();
    // Readers take the number up to the second colon and dial it: only "+" and the digits.
    std::string Dialled;
    std::copy_if(Number->begin(), Number->end(), std::back_inserter(Dialled),
                 [](char c) { return IsDigit(c) || c == '+'; });
    return TPayload{"SMSTO:" + Dialled + ":" + *Text, {}};
}

TResult<TPayload> TelPayload(const TTel& Tel) {
    // Spaces are how people group digits; a tel: URI has no room for them (its separators are
    // "-", ".", "(" and ")"), so they are left out.
    std::string Number;
    std::copy_if(Tel.Number.begin(), Tel.Number.end(), std::back_inserter(Number), [](char c) { return c != ' '; });
    if (Number.empty()) return TRefusal{"the telephone number is empty"};
    if (Number[0] == '+') {
        if (!IsGlobalNumber(Number))
            return TRefusal{"the telephone number " + InQuotes(Tel.Number) +
                            " may hold only a leading +, then digits, spaces, - . ( and )"};
        if (!Tel.Context.empty()) return TRefusal{"a telephone number with + has no phone context"};
        return TPayload{"tel:" + Number, {}};
    }
    // RFC 3966 local-number-digits: hexadecimal digits, "*" and "#" with visual separators.
    const auto Dialled = [](char c) { return IsHexDigit(c) || c == '*' || c == '#'; };
    if (!std::any_of(Number.begin(), Number.end(), Dialled) ||
        !std::all_of(Number.begin(), Number.end(), [&](char c) { return Dialled(c) || IsVisualSeparator(c); }))
        return TRefusal{"the telephone number " + InQuotes(Tel.Number) +
                        " may hold only digits, * # A-F, spaces, - . ( and ) (or a leading +)"};
    // A local number means nothing without the place it is dialled from (RFC 3966 5.1.5).
    if (Tel.Context.empty())
        return TRefusal{"a local telephone number needs a phone context (a +prefix or a domain name)"};
    if (!IsGlobalNumber(Tel.Context) && !IsDomainName(Tel.Context))
        return TRefusal{"the phone context " + InQuotes(Tel.Context) + " is neither a +prefix nor a domain name"};
    // A bare "#" would begin the URI's fragment; RFC 3966 writes it percent-encoded.
    return TPayload{"tel:" + PercentEncoded(Number, "*()") + ";phone-context=" + Tel.Context, {}};
}

}  // namespace qrpayload
