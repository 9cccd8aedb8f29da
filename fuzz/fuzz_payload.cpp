// Fuzzes every payload builder with arbitrary field bytes, and the reader warnings with any
// look. A payload that is built must be UTF-8, and a reader's parse of it (written here from
// each format's rules: WIFI: and MECARD backslash escapes, vCard and iCalendar unfolding and
// text unescaping, mailto: percent-decoding, the EPC lines) must give back the fields that went
// in, their line breaks in the format's one form (LineBreaksAs, whose forms the unit tests
// pin down). A refusal must give a reason.
//
// Input: byte 0 chooses the builder (mod 9), byte 1 its options; the rest are the fields,
// separated by 0xFF bytes (which UTF-8 never has).

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzcheck.h"
#include "payload/fields.h"
#include "payload/payloads.h"
#include "payload/textformat.h"
#include "payload/warnings.h"
#include "text/textconv.h"

using fuzzcheck::Check;
using namespace qrpayload;

namespace {

bool IsUtf8(std::string_view s) { return qrtext::DecodeUtf8(s).Text.has_value(); }

std::string Field(const std::vector<std::string>& Fields, std::size_t i) {
    return i < Fields.size() ? Fields[i] : std::string();
}

std::string_view TrimSpaces(std::string_view s) {
    const std::size_t First = s.find_first_not_of(' ');
    if (First == std::string_view::npos) return {};
    return s.substr(First, s.find_last_not_of(' ') - First + 1);
}

// KEY:value; pairs after Prefix, values with backslash escapes, ended by a lone ";".
std::multimap<std::string, std::string> EscapedFields(std::string_view Text, std::string_view Prefix) {
    Check(Text.substr(0, Prefix.size()) == Prefix, "the payload starts with its scheme");
    std::multimap<std::string, std::string> Fields;
    std::size_t i = Prefix.size();
    while (true) {
        Check(i < Text.size(), "the fields end with an empty one");
        if (Text[i] == ';') {
            Check(i + 1 == Text.size(), "nothing follows the closing semicolon");
            return Fields;
        }
        const std::size_t Colon = Text.find(':', i);
        Check(Colon != std::string_view::npos, "every field has a name and a colon");
        const std::string Key(Text.substr(i, Colon - i));
        std::string Value;
        for (i = Colon + 1; i < Text.size() && Text[i] != ';'; ++i) {
            if (Text[i] == '\\') {
                ++i;
                Check(i < Text.size(), "a backslash escapes a character");
            }
            Value += Text[i];
        }
        Check(i < Text.size(), "every field ends with a semicolon");
        ++i;
        Fields.emplace(Key, Value);
    }
}

// vCard and iCalendar: every physical line ends in CR LF, holds at most 75 octets and is
// UTF-8 on its own; the logical lines, unfolded.
std::vector<std::string> Unfold(std::string_view Text) {
    std::vector<std::string> Lines;
    for (std::size_t Start = 0; Start < Text.size();) {
        const std::size_t End = Text.find("\r\n", Start);
        Check(End != std::string_view::npos, "every line ends in CR LF");
        const std::string_view Physical = Text.substr(Start, End - Start);
        Check(Physical.size() <= 75, "no line is longer than 75 octets");
        Check(IsUtf8(Physical), "a fold never splits a UTF-8 sequence");
        Check(Physical.find_first_of("\r\n") == std::string_view::npos, "no bare CR or LF");
        if (!Physical.empty() && Physical[0] == ' ') {
            Check(!Lines.empty(), "a continuation follows a line");
            Lines.back() += Physical.substr(1);
        } else {
            Lines.emplace_back(Physical);
        }
        Start = End + 2;
    }
    return Lines;
}

// The TEXT value of the first line that begins with Name, unescaped.
std::optional<std::string> TextValue(const std::vector<std::string>& Lines, std::string_view Name) {
    for (const std::string& Line : Lines) {
        if (Line.compare(0, Name.size(), Name) != 0) continue;
        std::string Value;
        for (std::size_t i = Name.size(); i < Line.size(); ++i) {
            char c = Line[i];
            Check(c != ',' && c != ';', "commas and semicolons in text are escaped");
            if (c == '\\') {
                Check(++i < Line.size(), "a backslash escapes a character");
                c = Line[i];
                Check(c == '\\' || c == ',' || c == ';' || c == 'n', "only \\\\ \\, \\; and \\n are written");
                if (c == 'n') c = '\n';
            }
            Value += c;
        }
        return Value;
    }
    return std::nullopt;
}

std::string PercentDecoded(std::string_view s) {
    std::string Out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            Out += s[i];
            continue;
        }
        Check(i + 2 < s.size(), "a percent sign has two hexadecimal digits");
        Out += static_cast<char>(std::stoi(std::string(s.substr(i + 1, 2)), nullptr, 16));
        i += 2;
    }
    return Out;
}

void CheckWifi(const TWifi& In, const std::string& Text) {
    const auto Fields = EscapedFields(Text, "WIFI:");
    Check(Fields.count("S") == 1 && Fields.find("S")->second == In.Ssid, "the SSID reads back");
    if (In.Security == TWifiSecurity::None)
        Check(Fields.count("P") == 0, "an open network has no password");
    else
        Check(Fields.count("P") == 1 && Fields.find("P")->second == In.Password, "the password reads back");
    Check(Fields.count("H") == (In.Hidden ? 1u : 0u), "H:true only for a hidden network");
    Check(Fields.count("R") == (In.Security == TWifiSecurity::Wpa3 ? 1u : 0u), "R only for WPA3");
}

void CheckVCard(const TVCard& In, const std::string& Text) {
    const auto Lines = Unfold(Text);
    Check(Lines.size() >= 5 && Lines.front() == "BEGIN:VCARD" && Lines[1] == "VERSION:3.0" &&
              Lines.back() == "END:VCARD",
          "a vCard 3.0 begins and ends as one");
    if (!TrimSpaces(In.Name).empty())
        Check(TextValue(Lines, "FN:") == std::string(TrimSpaces(In.Name)), "the full name reads back");
    if (!In.Organisation.empty())
        Check(TextValue(Lines, "ORG:") == In.Organisation, "the organisation reads back");
    if (!In.Note.empty()) Check(TextValue(Lines, "NOTE:") == LineBreaksAs(In.Note, "\n"), "the note reads back");
}

void CheckMeCard(const TMeCard& In, const std::string& Text) {
    const auto Fields = EscapedFields(Text, "MECARD:");
    Check(Fields.count("N") == 1 && Fields.find("N")->second == TrimSpaces(In.Name), "the name reads back");
    if (!In.Note.empty())
        Check(Fields.count("NOTE") == 1 && Fields.find("NOTE")->second == In.Note, "the note reads back");
    if (!In.Url.empty())
        Check(Fields.count("URL") == 1 && Fields.find("URL")->second == In.Url, "the URL reads back");
}

void CheckGeo(const std::string& Text) {
    Check(Text.compare(0, 4, "geo:") == 0, "a geo: URI");
    std::string_view Rest = std::string_view(Text).substr(4);
    for (std::size_t Part = 0; !Rest.empty(); ++Part) {
        const std::size_t Comma = std::min(Rest.find(','), Rest.size());
        const auto Number = ParseDecimal(Rest.substr(0, Comma), "a coordinate");
        Check(Number && Number->Text() == Rest.substr(0, Comma), "each number is in its shortest form");
        Check(Part < 3, "at most latitude, longitude and altitude");
        Rest.remove_prefix(std::min(Comma + 1, Rest.size()));
    }
}

void CheckMail(const TMail& In, const std::string& Text) {
    Check(Text.compare(0, 7, "mailto:") == 0, "a mailto: URI");
    for (const char c : Text)
        Check(c > 0x20 && c < 0x7F && c != '#' && c != '"' && c != '<' && c != '>' && c != '\\',
              "only URI characters");
    const std::size_t Query = Text.find('?');
    Check(PercentDecoded(Text.substr(7, Query - 7)) == In.To.front(), "the address reads back");
    std::map<std::string, std::string> Fields;
    for (std::size_t i = Query; i != std::string::npos && i < Text.size();) {
        const std::size_t End = Text.find('&', i + 1);
        const std::string Pair = Text.substr(i + 1, End == std::string::npos ? std::string::npos : End - i - 1);
        const std::size_t Equals = Pair.find('=');
        Check(Equals != std::string::npos, "every field has a value");
        Fields[Pair.substr(0, Equals)] = PercentDecoded(Pair.substr(Equals + 1));
        i = End;
    }
    Check(Fields["subject"] == In.Subject, "the subject reads back");
    Check(Fields["body"] == LineBreaksAs(In.Body, "\r\n"), "the body reads back with CR LF line breaks");
}

void CheckEvent(const TEvent& In, const std::string& Text) {
    const auto Lines = Unfold(Text);
    Check(Lines.front() == "BEGIN:VCALENDAR" && Lines.back() == "END:VCALENDAR", "an iCalendar object");
    if (!In.Summary.empty()) Check(TextValue(Lines, "SUMMARY:") == In.Summary, "the summary reads back");
    if (!In.Description.empty())
        Check(TextValue(Lines, "DESCRIPTION:") == LineBreaksAs(In.Description, "\n"), "the description reads back");
    Check(TextValue(Lines, "UID:") == In.Uid, "the UID reads back");
}

void CheckEpc(const TEpc& In, const TPayload& Payload) {
    const std::string& Text = Payload.Text;
    Check(Text.size() <= 331, "at most 331 bytes");
    Check(Payload.Limits.RequiredLevel == TLevel::M && Payload.Limits.MaxVersion == 13, "level M, version 13");
    std::vector<std::string> Lines;
    for (std::size_t Start = 0;;) {
        const std::size_t End = Text.find('\n', Start);
        Lines.push_back(Text.substr(Start, End - Start));
        if (End == std::string::npos) break;
        Start = End + 1;
    }
    Check(Lines.size() >= 7 && Lines.size() <= 12 && !Lines.back().empty(), "7 to 12 lines, the last one given");
    Check(Lines[0] == "BCD" && Lines[1] == "002" && Lines[2] == "1" && Lines[3] == "SCT", "the header of version 002");
    Check(Lines[5] == In.Name, "the name reads back");
    Check(static_cast<bool>(CheckIban(Lines[6])), "the IBAN written is a valid IBAN");
    Check(!(Lines.size() > 10 && !Lines[9].empty() && !Lines[10].empty()), "a reference or a text, not both");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 2) return 0;
    const unsigned Options = Data[1];
    std::vector<std::string> F(1);
    for (std::size_t i = 2; i < Size; ++i) {
        if (Data[i] == 0xFF)
            F.emplace_back();
        else
            F.back() += static_cast<char>(Data[i]);
    }

    std::optional<TResult<TPayload>> Built;
    switch (Data[0] % 9) {
        case 0: {
            const TWifi In{F[0], Field(F, 1), static_cast<TWifiSecurity>(Options % 5), (Options & 8) != 0};
            Built = WifiPayload(In);
            if (*Built) CheckWifi(In, (*Built)->Text);
            break;
        }
        case 1: {
            // The options leave out the telephone, the e-mail address and the parts of the name.
            TVCard In{.Name = F[0], .Family = Field(F, 1), .Given = Field(F, 2), .Organisation = Field(F, 3),
                      .Telephones = {{Field(F, 4), {Field(F, 5)}}}, .Emails = {{Field(F, 6), {}}},
                      .Note = Field(F, 7), .Birthday = Field(F, 8)};
            if (Options & 1) In.Telephones.clear();
            if (Options & 2) In.Emails.clear();
            if (Options & 4) In.Family = In.Given = "";
            Built = VCardPayload(In);
            if (*Built) CheckVCard(In, (*Built)->Text);
            break;
        }
        case 2: {
            const TMeCard In{.Name = F[0], .Note = Field(F, 1), .Address = Field(F, 2), .Url = Field(F, 3)};
            Built = MeCardPayload(In);
            if (*Built) CheckMeCard(In, (*Built)->Text);
            break;
        }
        case 3:
            Built = GeoPayload({F[0], Field(F, 1), Field(F, 2)});
            if (*Built) CheckGeo((*Built)->Text);
            break;
        case 4: {
            const TMail In{.To = {F[0]}, .Subject = Field(F, 1), .Body = Field(F, 2)};
            Built = MailPayload(In);
            if (*Built) CheckMail(In, (*Built)->Text);
            break;
        }
        case 5:
            Built = SmsPayload({F[0], Field(F, 1)});
            if (*Built)
                Check((*Built)->Text.compare(0, 6, "SMSTO:") == 0 && (*Built)->Text.ends_with(":" + Field(F, 1)),
                      "the message follows the number");
            break;
        case 6:
            Built = TelPayload({F[0], Field(F, 1)});
            if (*Built)
                Check((*Built)->Text.find_first_of(" #\"<>") == std::string::npos, "a tel: URI without spaces or #");
            break;
        case 7: {
            const TEvent In{F[0], Field(F, 1), Field(F, 2), Field(F, 3), Field(F, 4),
                            F.size() > 5 ? F[5] : "1@fuzz", F.size() > 6 ? F[6] : "20260101T000000Z"};
            Built = EventPayload(In);
            if (*Built) CheckEvent(In, (*Built)->Text);
            break;
        }
        default: {
            const TEpc In{F[0],        Field(F, 1), Field(F, 2), Field(F, 3),
                          Field(F, 4), Field(F, 5), Field(F, 6), Field(F, 7)};
            Built = EpcPayload(In);
            if (*Built) CheckEpc(In, **Built);
            break;
        }
    }
    if (*Built)
        Check(IsUtf8((*Built)->Text), "a payload is UTF-8");
    else
        Check(!Built->Reason().empty(), "a refusal has a reason");

    // The warnings for the first field as the text, the colours from the option byte.
    TSymbolLook Look{.Text = F[0], .Latin1 = (Options & 16) != 0, .Eci = (Options & 32) != 0,
                     .QuietZone = static_cast<int>(Options % 6)};
    Look.Foreground = {static_cast<std::uint8_t>(Options * 37), static_cast<std::uint8_t>(Options * 11), 0,
                       static_cast<std::uint8_t>(Options * 101)};
    Look.ModuleSize = 1 + Options % 7;
    Look.Dpi = static_cast<int>(Options) * 13;
    const auto Warnings = ReaderWarnings(Look);
    Check(Warnings.size() <= 5, "each warning at most once");
    for (const std::string& W : Warnings)
        Check(W.compare(0, 9, "warning: ") == 0 && W.find('\n') == std::string::npos, "a warning is one line");
    return 0;
}
