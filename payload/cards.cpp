// Contacts: vCard 3.0 and MECARD.
#include <algorithm>
#include <initializer_list>

#include "payload/ascii.h"
#include "payload/fields.h"
#include "payload/payloads.h"
#include "payload/textformat.h"

namespace qrpayload {

namespace {

// The parameter TYPE=a,b of a property, from Types checked against the names Known (RFC 2426
// lists them per property) and written in lower case as its examples are.
TResult<std::string> TypeParameter(const std::vector<std::string>& Types,
                                   std::initializer_list<std::string_view> Known, std::string_view What) {
    std::string Written;
    for (const std::string& Type : Types) {
        const std::string Lower = ascii::Lower(Type);
        if (std::find(Known.begin(), Known.end(), Lower) == Known.end()) {
            std::string List;
            for (const std::string_view k : Known) List += (List.empty() ? "" : ", ") + std::string(k);
            return TRefusal{InQuotes(Type) + " is not " + std::string(What) + " type (" + List + ")"};
        }
        Written += (Written.empty() ? ";TYPE=" : ",") + Lower;
    }
    return Written;
}

std::string_view Trimmed(std::string_view s) {
    const std::size_t First = s.find_first_not_of(' ');
    if (First == std::string_view::npos) return {};
    return s.substr(First, s.find_last_not_of(' ') - First + 1);
}

TResult<std::string> Birthday(const std::string& Text, bool Basic) {
    if (Text.empty()) return std::string();
    const auto Date = ParseDate(Text, "the birthday");
    if (!Date) return Date.Error();
    return Basic ? Date->Basic() : Date->Extended();
}

TResult<std::string> Url(const std::string& Text) {
    const auto Checked = CheckText(Text, "the URL");
    if (!Checked) return Checked.Error();
    if (Text.empty() || Text.find_first_of(" \t") != std::string::npos)
        return TRefusal{"the URL " + InQuotes(Text) + " is empty or has a space"};
    return Text;
}

}  // namespace

TResult<TPayload> VCardPayload(const TVCard& Card) {
    const auto Fields = CheckTexts({{Card.Name, "the name"},
                                    {Card.Family, "the family name"},
                                    {Card.Given, "the given name"},
                                    {Card.Organisation, "the organisation"},
                                    {Card.Title, "the title"},
                                    {Card.Note, "the note", TLines::Allowed}});
    if (!Fields) return Fields.Error();

    // N is structured: family; given; additional names; prefixes; suffixes.
    std::string Family(Trimmed(Card.Family)), Given(Trimmed(Card.Given));
    const std::string_view Name = Trimmed(Card.Name);
    if (Family.empty() && Given.empty()) {
        const std::size_t Space = Name.find_last_of(' ');
        Family = Name.substr(Space == std::string_view::npos ? 0 : Space + 1);
        Given = Trimmed(Name.substr(0, Space == std::string_view::npos ? 0 : Space));
    }
    std::string FullName(Name);
    if (FullName.empty()) FullName = Given + (Given.empty() || Family.empty() ? "" : " ") + Family;
    if (FullName.empty()) return TRefusal{"the card has no name"};

    std::string Text;
    for (const char* Line : {"BEGIN:VCARD", "VERSION:3.0"}) AppendContentLine(Text, Line);
    AppendContentLine(Text, "N:" + EscapedTextValue(Family) + ";" + EscapedTextValue(Given) + ";;;");
    AppendContentLine(Text, "FN:" + EscapedTextValue(FullName));
    if (!Card.Organisation.empty()) AppendContentLine(Text, "ORG:" + EscapedTextValue(Card.Organisation));
    if (!Card.Title.empty()) AppendContentLine(Text, "TITLE:" + EscapedTextValue(Card.Title));
    for (const TTelephone& Tel : Card.Telephones) {
        const auto Number = CheckPhoneNumber(Tel.Number, "the telephone number");
        if (!Number) return Number.Error();
        const auto Types = TypeParameter(Tel.Types,
                                         {"home", "msg", "work", "pref", "voice", "fax", "cell", "video", "pager",
                                          "bbs", "modem", "car", "isdn", "pcs"},
                                         "a telephone");
        if (!Types) return Types.Error();
        AppendContentLine(Text, "TEL" + *Types + ":" + *Number);
    }
    for (const TEmail& Email : Card.Emails) {
        const auto Address = CheckEmailAddress(Email.Address);
        if (!Address) return Address.Error();
        const auto Types = TypeParameter(Email.Types, {"internet", "x400", "pref", "home", "work"}, "an e-mail");
        if (!Types) return Types.Error();
        AppendContentLine(Text, "EMAIL" + *Types + ":" + EscapedTextValue(*Address));
    }
    for (const std::string& Link : Card.Urls) {
        // A URI value, not text: written as it is.
        const auto Checked = Url(Link);
        if (!Checked) return Checked.Error();
        AppendContentLine(Text, "URL:" + *Checked);
    }
    for (const TPostalAddress& A : Card.Addresses) {
        std::string Value;
        bool Empty = true;
        for (const std::string* Part :
             {&A.PostOfficeBox, &A.Extended, &A.Street, &A.Locality, &A.Region, &A.PostalCode, &A.Country}) {
            const auto Checked = CheckText(*Part, "the address", TLines::Allowed);
            if (!Checked) return Checked.Error();
            Empty &= Part->empty();
            Value += (Part == &A.PostOfficeBox ? "" : ";") + EscapedTextValue(*Part);
        }
        if (Empty) return TRefusal{"an address is empty"};
        const auto Types =
            TypeParameter(A.Types, {"dom", "intl", "postal", "parcel", "home", "work", "pref"}, "an address");
        if (!Types) return Types.Error();
        AppendContentLine(Text, "ADR" + *Types + ":" + Value);
    }
    if (!Card.Note.empty()) AppendContentLine(Text, "NOTE:" + EscapedTextValue(Card.Note));
    const auto Bday = Birthday(Card.Birthday, false);
    if (!Bday) return Bday.Error();
    if (!Bday->empty()) AppendContentLine(Text, "BDAY:" + *Bday);
    AppendContentLine(Text, "END:VCARD");
    return TPayload{Text, {}};
}

TResult<TPayload> MeCardPayload(const TMeCard& Card) {
    const auto Fields = CheckTexts({{Card.Name, "the name"},
                                    {Card.Family, "the family name"},
                                    {Card.Given, "the given name"},
                                    {Card.Reading, "the reading"},
                                    {Card.Note, "the note", TLines::Allowed},
                                    {Card.Address, "the address", TLines::Allowed},
                                    {Card.Nickname, "the nickname"}});
    if (!Fields) return Fields.Error();
    // MECARD's one escape: a backslash before "\", ";", "," and ":", wherever they are in a value.
    const auto Escaped = [](std::string_view Value) { return BackslashEscaped(Value, ";,:"); };

    // N: the family and given names separated by a comma, or the name as one.
    const std::string_view Family = Trimmed(Card.Family), Given = Trimmed(Card.Given);
    std::string Name = Escaped(Trimmed(Card.Name));
    if (!Family.empty() || !Given.empty()) Name = Escaped(Family) + "," + Escaped(Given);
    if (Name.empty()) return TRefusal{"the card has no name"};

    std::string Text = "MECARD:N:" + Name + ";";
    const auto Field = [&](std::string_view Key, std::string_view Value) {
        if (!Value.empty()) Text += std::string(Key) + ":" + Escaped(Value) + ";";
    };
    Field("SOUND", Card.Reading);
    for (const std::string& Tel : Card.Telephones) {
        const auto Number = CheckPhoneNumber(Tel, "the telephone number");
        if (!Number) return Number.Error();
        Field("TEL", *Number);
    }
    for (const std::string& Email : Card.Emails) {
        const auto Address = CheckEmailAddress(Email);
        if (!Address) return Address.Error();
        Field("EMAIL", *Address);
    }
    Field("NOTE", Card.Note);
    const auto Bday = Birthday(Card.Birthday, true);
    if (!Bday) return Bday.Error();
    Field("BDAY", *Bday);
    Field("ADR", Card.Address);
    if (!Card.Url.empty()) {
        const auto Checked = Url(Card.Url);
        if (!Checked) return Checked.Error();
        Field("URL", *Checked);
    }
    Field("NICKNAME", Card.Nickname);
    Text += ";";
    return TPayload{Text, {}};
}

}  // namespace qrpayload
