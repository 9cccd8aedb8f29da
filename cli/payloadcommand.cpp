#include "payloadcommand.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "payload/ascii.h"
#include "symbol.h"

namespace qrcli {

namespace {

using qrpayload::TRefusal;
using qrpayload::TResult;

constexpr PayloadField kWifiFields[] = {
    {"ssid", "SSID", "the network's name (at most 32 bytes)"},
    {"password", "TEXT", "its password (none for an open network)"},
    {"security", "KIND", "WPA (default; WPA2 too), WPA3, SAE, WEP or none"},
    {"hidden", "", "the network does not announce its SSID", false, true},
};
constexpr PayloadField kVCardFields[] = {
    {"name", "TEXT", "the full name (FN)"},
    {"family", "TEXT", "the family name, when it is not the name's last word"},
    {"given", "TEXT", "the given names, when they are not the words before it"},
    {"org", "TEXT", "the organisation"},
    {"title", "TEXT", "the job title"},
    {"tel", "[TYPES:]NUMBER", "a telephone, with types such as cell,work (repeatable)", true},
    {"email", "[TYPES:]ADDRESS", "an e-mail address, with types such as work (repeatable)", true},
    {"url", "URL", "a web address (repeatable)", true},
    {"po-box", "TEXT", "the address: post office box"},
    {"extended", "TEXT", "the address: extended address (flat, floor)"},
    {"street", "TEXT", "the address: street"},
    {"locality", "TEXT", "the address: town or city"},
    {"region", "TEXT", "the address: region"},
    {"postal-code", "TEXT", "the address: postal code"},
    {"country", "TEXT", "the address: country"},
    {"adr-type", "TYPES", "the address's types, such as home or work,postal"},
    {"note", "TEXT", "a note (may have line breaks)"},
    {"bday", "YYYY-MM-DD", "the birthday"},
};
constexpr PayloadField kMeCardFields[] = {
    {"name", "TEXT", "the name as it is written"},
    {"family", "TEXT", "the family name (N is then FAMILY,GIVEN)"},
    {"given", "TEXT", "the given name"},
    {"reading", "TEXT", "how the name is read (SOUND)"},
    {"tel", "NUMBER", "a telephone (repeatable)", true},
    {"email", "ADDRESS", "an e-mail address (repeatable)", true},
    {"note", "TEXT", "a note (may have line breaks)"},
    {"bday", "YYYY-MM-DD", "the birthday"},
    {"adr", "TEXT", "the address (may have line breaks)"},
    {"url", "URL", "a web address"},
    {"nickname", "TEXT", "the nickname"},
};
constexpr PayloadField kGeoFields[] = {
    {"lat", "DEGREES", "latitude, -90 to 90 (WGS-84, decimal)"},
    {"lon", "DEGREES", "longitude, -180 to 180"},
    {"alt", "METRES", "altitude (optional)"},
};
constexpr PayloadField kMailFields[] = {
    {"to", "ADDRESS", "a recipient (repeatable)", true},
    {"cc", "ADDRESS", "a copy's recipient (repeatable)", true},
    {"bcc", "ADDRESS", "a blind copy's recipient (repeatable)", true},
    {"subject", "TEXT", "the subject"},
    {"body", "TEXT", "the body (may have line breaks)"},
};
constexpr PayloadField kSmsFields[] = {
    {"number", "NUMBER", "the number to send to"},
    {"text", "TEXT", "the message (may have line breaks)"},
};
constexpr PayloadField kTelFields[] = {
    {"number", "NUMBER", "a global number +... or a local one with --context"},
    {"context", "CONTEXT", "where a local number is dialled: +prefix or a domain"},
};
constexpr PayloadField kEventFields[] = {
    {"summary", "TEXT", "what the event is"},
    {"start", "WHEN", "YYYY-MM-DD (all day) or YYYY-MM-DDTHH:MM[:SS], Z at the end\nfor UTC, else a local (floating) time"},
    {"end", "WHEN", "the same kind as --start; for all-day events the day after\nthe last"},
    {"location", "TEXT", "where"},
    {"description", "TEXT", "more about it (may have line breaks)"},
    {"uid", "TEXT", "the event's unique ID (default: made from the time stamp and\nthe fields)"},
    {"stamp", "WHEN", "when the event was made, a UTC time ending in Z (default: now)"},
};
constexpr PayloadField kEpcFields[] = {
    {"name", "TEXT", "the beneficiary (at most 70 characters)"},
    {"iban", "IBAN", "the beneficiary's account (mod-97 check digits checked)"},
    {"bic", "BIC", "the beneficiary's bank (optional in the SEPA area)"},
    {"amount", "EUROS", "0.01 to 999999999.99 (optional: the payer types it)"},
    {"purpose", "CODE", "an ISO 20022 purpose code of four letters"},
    {"reference", "RF...", "a structured creditor reference (ISO 11649), or --text"},
    {"text", "TEXT", "remittance text, at most 140 characters, or --reference"},
    {"information", "TEXT", "a note to the payer, at most 70 characters"},
};

const PayloadFormat kFormats[] = {
    {PayloadKind::Wifi, "wifi", "a Wi-Fi network's login (WIFI:)",
     "Security: WPA for WPA2 and WPA2/WPA3 networks; WPA3 for a WPA3-only network (T:WPA with R:1,\n"
     "which phones that do not know R join in transition mode); SAE writes T:SAE, which some phones\n"
     "need to join a WPA3-only network: try it when WPA3 does not join.",
     kWifiFields},
    {PayloadKind::VCard, "vcard", "a contact as a vCard 3.0",
     "N is --family and --given when either is given, else the last word of --name and the rest.\n"
     "Telephone types: home, msg, work, pref, voice, fax, cell, video, pager, bbs, modem, car, isdn,\n"
     "pcs; e-mail types: internet, x400, pref, home, work; address types: dom, intl, postal, parcel,\n"
     "home, work, pref.",
     kVCardFields},
    {PayloadKind::MeCard, "mecard", "a contact as a MECARD", "", kMeCardFields},
    {PayloadKind::Geo, "geo", "a point on the map (geo: URI)", "", kGeoFields},
    {PayloadKind::Mail, "mail", "a prepared e-mail (mailto: URI)", "", kMailFields},
    {PayloadKind::Sms, "sms", "a prepared SMS (SMSTO:number:text)", "", kSmsFields},
    {PayloadKind::Tel, "tel", "a telephone number to call (tel: URI)", "", kTelFields},
    {PayloadKind::Event, "event", "a calendar event (iCalendar VEVENT)", "", kEventFields},
    {PayloadKind::Epc, "epc", "a SEPA credit transfer (EPC QR code, version 002)",
     "The symbol is level M (the default here; another -l is refused), version 13 at most, the\n"
     "payload 331 bytes at most, in UTF-8 (--encoding utf8).",
     kEpcFields},
};

const std::string& One(const FieldValues& Values, const char* Name) {
    static const std::string kNone;
    const auto Found = Values.find(Name);
    return Found == Values.end() || Found->second.empty() ? kNone : Found->second.front();
}

std::vector<std::string> All(const FieldValues& Values, const char* Name) {
    const auto Found = Values.find(Name);
    return Found == Values.end() ? std::vector<std::string>() : Found->second;
}

std::vector<std::string> SplitTypes(std::string_view Types) {
    std::vector<std::string> Out;
    while (!Types.empty()) {
        const std::size_t Comma = Types.find(',');
        Out.emplace_back(Types.substr(0, Comma));
        Types = Comma == std::string_view::npos ? std::string_view() : Types.substr(Comma + 1);
    }
    return Out;
}

// "[TYPES:]VALUE": neither a telephone number nor an e-mail address has a colon.
std::pair<std::vector<std::string>, std::string> Typed(const std::string& Value) {
    const std::size_t Colon = Value.find(':');
    if (Colon == std::string::npos)
        return {{}, Value};
    return {SplitTypes(std::string_view(Value).substr(0, Colon)), Value.substr(Colon + 1)};
}

// The calendar of the standard library rather than gmtime_r, which Windows does not have.
std::string UtcNow() {
    using namespace std::chrono;
    const auto Now = floor<seconds>(system_clock::now());
    const auto Day = floor<days>(Now);
    const year_month_day Date(Day);
    const hh_mm_ss Time(Now - Day);
    char Text[32];
    std::snprintf(Text, sizeof Text, "%04d%02u%02uT%02d%02d%02dZ", static_cast<int>(Date.year()),
                  static_cast<unsigned>(Date.month()), static_cast<unsigned>(Date.day()),
                  static_cast<int>(Time.hours().count()), static_cast<int>(Time.minutes().count()),
                  static_cast<int>(Time.seconds().count()));
    return Text;
}

// A UID that is the same for the same event made at the same moment (FNV-1a over its fields),
// so that a reader that stores the event finds it again rather than adding a copy.
std::string MadeUid(const qrpayload::TEvent& E) {
    std::uint64_t Hash = 14695981039346656037ull;
    for (const std::string* Field : {&E.Summary, &E.Start, &E.End, &E.Location, &E.Description})
        for (const unsigned char c : *Field + '\0')
            Hash = (Hash ^ c) * 1099511628211ull;
    char Hex[17];
    std::snprintf(Hex, sizeof Hex, "%016llx", static_cast<unsigned long long>(Hash));
    return E.Stamp + "-" + Hex + "@quandrel-qr";
}

TResult<qrpayload::TPayload> Wifi(const FieldValues& V) {
    qrpayload::TWifi W{.Ssid = One(V, "ssid"), .Password = One(V, "password")};
    if (const std::string& Security = One(V, "security"); !Security.empty()) {
        const auto Parsed = qrpayload::ParseWifiSecurity(Security);
        if (!Parsed)
            return Parsed.Error();
        W.Security = *Parsed;
    }
    W.Hidden = !One(V, "hidden").empty();
    return qrpayload::WifiPayload(W);
}

TResult<qrpayload::TPayload> VCard(const FieldValues& V) {
    qrpayload::TVCard C{.Name = One(V, "name"), .Family = One(V, "family"), .Given = One(V, "given"),
                        .Organisation = One(V, "org"), .Title = One(V, "title")};
    for (const std::string& Tel : All(V, "tel")) {
        auto [Types, Number] = Typed(Tel);
        C.Telephones.push_back({std::move(Number), std::move(Types)});
    }
    for (const std::string& Email : All(V, "email")) {
        auto [Types, Address] = Typed(Email);
        C.Emails.push_back({std::move(Address), std::move(Types)});
    }
    C.Urls = All(V, "url");
    qrpayload::TPostalAddress A{.PostOfficeBox = One(V, "po-box"), .Extended = One(V, "extended"),
                                .Street = One(V, "street"), .Locality = One(V, "locality"),
                                .Region = One(V, "region"), .PostalCode = One(V, "postal-code"),
                                .Country = One(V, "country"), .Types = SplitTypes(One(V, "adr-type"))};
    if (!(A.PostOfficeBox + A.Extended + A.Street + A.Locality + A.Region + A.PostalCode + A.Country).empty())
        C.Addresses.push_back(std::move(A));
    else if (!A.Types.empty())
        return TRefusal{"--adr-type needs an address (--street, --locality, ...)"};
    C.Note = One(V, "note");
    C.Birthday = One(V, "bday");
    return qrpayload::VCardPayload(C);
}

TResult<qrpayload::TPayload> MeCard(const FieldValues& V) {
    return qrpayload::MeCardPayload({.Name = One(V, "name"), .Family = One(V, "family"), .Given = One(V, "given"),
                                     .Reading = One(V, "reading"), .Telephones = All(V, "tel"),
                                     .Emails = All(V, "email"), .Note = One(V, "note"), .Birthday = One(V, "bday"),
                                     .Address = One(V, "adr"), .Url = One(V, "url"),
                                     .Nickname = One(V, "nickname")});
}

TResult<qrpayload::TPayload> Event(const FieldValues& V) {
    qrpayload::TEvent E{.Summary = One(V, "summary"), .Location = One(V, "location"),
                        .Description = One(V, "description"), .Start = One(V, "start"), .End = One(V, "end"),
                        .Uid = One(V, "uid"), .Stamp = One(V, "stamp")};
    if (E.Stamp.empty())
        E.Stamp = UtcNow();
    if (E.Uid.empty())
        E.Uid = MadeUid(E);
    return qrpayload::EventPayload(E);
}

}  // namespace

std::span<const PayloadFormat> PayloadFormats() { return kFormats; }

TResult<qrpayload::TPayload> BuildPayload(const PayloadFormat& Format, const FieldValues& V) {
    switch (Format.Kind) {
        case PayloadKind::Wifi: return Wifi(V);
        case PayloadKind::VCard: return VCard(V);
        case PayloadKind::MeCard: return MeCard(V);
        case PayloadKind::Geo:
            return qrpayload::GeoPayload({One(V, "lat"), One(V, "lon"), One(V, "alt")});
        case PayloadKind::Mail:
            return qrpayload::MailPayload({.To = All(V, "to"), .Cc = All(V, "cc"), .Bcc = All(V, "bcc"),
                                           .Subject = One(V, "subject"), .Body = One(V, "body")});
        case PayloadKind::Sms: return qrpayload::SmsPayload({One(V, "number"), One(V, "text")});
        case PayloadKind::Tel: return qrpayload::TelPayload({One(V, "number"), One(V, "context")});
        case PayloadKind::Event: return Event(V);
        case PayloadKind::Epc:
            return qrpayload::EpcPayload({.Name = One(V, "name"), .Iban = One(V, "iban"), .Bic = One(V, "bic"),
                                          .Amount = One(V, "amount"), .Purpose = One(V, "purpose"),
                                          .Reference = One(V, "reference"), .Text = One(V, "text"),
                                          .Information = One(V, "information")});
    }
    return TRefusal{"unknown payload"};
}

std::optional<bool> ParseFlagValue(std::string_view Text) {
    const std::string Lower = qrpayload::ascii::Lower(Text);
    if (Lower.empty() || Lower == "0" || Lower == "no" || Lower == "false")
        return false;
    if (Lower == "1" || Lower == "yes" || Lower == "true")
        return true;
    return std::nullopt;
}

std::optional<std::string> PayloadSymbolProblem(const PayloadFormat& Format, const qrpayload::TPayload& Payload,
                                                std::u16string_view Text, qr::TQRCodeEncoding Encoding, char Level) {
    // Left-out characters would make a payload that says something else.
    if (DroppedCharacters(Text, Encoding) > 0)
        return std::string("the ") + Format.Command + " payload has characters the chosen --encoding cannot hold";
    // The transfer says it is UTF-8 (its character set 1), so its bytes must be, and nothing before them.
    if (Format.Kind == PayloadKind::Epc && Encoding != qr::qrUTF8BOM)
        return std::string("an EPC transfer is written in UTF-8 without a byte-order mark: use --encoding utf8");
    if (const auto Required = Payload.Limits.RequiredLevel) {
        const char Letter = "LMQH"[static_cast<int>(*Required)];
        if (Level != Letter)
            return std::string("the ") + Format.Command + " symbol must be level " + Letter + ", not " + Level;
    }
    if (Payload.Limits.MaxVersion < 40) {
        qr::TEncoder Encoder;
        qr::TQRCode Record;
        Encoder.EncodeSymbol(Text, Encoding, LevelFor(Level), Record);
        if (Record.Version() > Payload.Limits.MaxVersion)
            return std::string("the ") + Format.Command + " symbol would be version " +
                   std::to_string(Record.Version()) + ", its standard allows at most " +
                   std::to_string(Payload.Limits.MaxVersion);
    }
    return std::nullopt;
}

}  // namespace qrcli
