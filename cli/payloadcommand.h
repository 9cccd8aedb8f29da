#pragma once
// The payload subcommands (wifi, vcard, mecard, geo, mail, sms, tel, event, epc): their fields
// as options, the payload they build from them, and what the payload asks of its symbol.

#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "encoder/qrcode.h"
#include "payload/payloads.h"

namespace qrcli {

enum class PayloadKind { Wifi, VCard, MeCard, Geo, Mail, Sms, Tel, Event, Epc };

// A field of a payload: the option --Name (or a batch column) that gives it.
struct PayloadField {
    const char* Name;
    const char* TypeName;  // shown in the help; "" for a flag
    const char* Help;
    bool Repeatable = false;
    bool Flag = false;  // a switch: given or not (in a column: 1, yes, true or 0, no, false, empty)
};

struct PayloadFormat {
    PayloadKind Kind;
    const char* Command;
    const char* Description;  // one line, for the list of subcommands
    const char* Notes;        // the subcommand's help after its options
    std::span<const PayloadField> Fields;
};

// Every payload subcommand, in the order --help lists them.
std::span<const PayloadFormat> PayloadFormats();

// The values of a payload's fields by field name, each as often as it was given.
using FieldValues = std::map<std::string, std::vector<std::string>>;

// A batch column that gives a field: --field NAME=COLUMN, or a header named as the field.
struct FieldColumn {
    std::string Field;
    std::string Column;  // a number from 1 or a header name, as --column takes it
};

// What a payload subcommand asks for: the format, the fields given as options, and (with
// --batch) the columns the other fields come from.
struct PayloadRequest {
    const PayloadFormat* Format = nullptr;
    FieldValues Values;
    std::vector<FieldColumn> Columns;
};

// The payload of the fields, or the refusal of the first field that is wrong.
qrpayload::TResult<qrpayload::TPayload> BuildPayload(const PayloadFormat& Format, const FieldValues& Values);

// A flag's value from a column: true for 1, yes, true; false for 0, no, false or nothing (in
// any case); none for anything else.
std::optional<bool> ParseFlagValue(std::string_view Text);

// Why the symbol of a payload (Text its UTF-16 form) cannot be made as asked: an encoding that
// cannot hold all its characters or is not the payload's own character set, a level other than
// the one its standard requires, or a symbol beyond its largest version. (The arguments make an
// EPC transfer's level M unless -l is given.)
std::optional<std::string> PayloadSymbolProblem(const PayloadFormat& Format, const qrpayload::TPayload& Payload,
                                                std::u16string_view Text, qr::TQRCodeEncoding Encoding, char Level);

}  // namespace qrcli
