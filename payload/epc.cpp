// SEPA credit transfers: the European Payments Council's QR code (EPC069-12, version 002).
#include <algorithm>
#include <array>

#include "payload/ascii.h"
#include "payload/fields.h"
#include "payload/payloads.h"
#include "payload/textformat.h"

namespace qrpayload {

namespace {

// EPC069-12's limits on the symbol and the payload.
constexpr int kMaxVersion = 13;
constexpr std::size_t kMaxBytes = 331;

TResult<std::string> Limited(const std::string& Value, std::string_view What, std::size_t MaxCharacters) {
    const auto Checked = CheckText(Value, What);
    if (!Checked) return Checked.Error();
    const std::size_t Count = CharacterCount(Value);
    if (Count > MaxCharacters)
        return TRefusal{std::string(What) + " has " + std::to_string(Count) + " characters (at most " +
                        std::to_string(MaxCharacters) + ")"};
    return Value;
}

// Euro amount in the payload's form: "EUR", the euros, a point and two digits of cents.
std::string AmountText(std::int64_t Cents) {
    const std::string c = std::to_string(Cents % 100);
    return "EUR" + std::to_string(Cents / 100) + "." + (c.size() == 1 ? "0" : "") + c;
}

}  // namespace

TResult<TPayload> EpcPayload(const TEpc& Transfer) {
    const auto Name = Limited(Transfer.Name, "the name", 70);
    if (!Name) return Name.Error();
    if (Name->empty()) return TRefusal{"the beneficiary's name is empty"};
    const auto Iban = CheckIban(Transfer.Iban);
    if (!Iban) return Iban.Error();

    // The fields of version 002 in their order, one a line; a field left out stays as an
    // empty line, and the lines after the last field given are left out.
    std::array<std::string, 12> Lines{"BCD", "002", "1", "SCT", "", *Name, *Iban};
    if (!Transfer.Bic.empty()) {
        const auto Bic = CheckBic(Transfer.Bic);
        if (!Bic) return Bic.Error();
        Lines[4] = *Bic;
    }
    if (!Transfer.Amount.empty()) {
        const auto Cents = ParseEuroAmount(Transfer.Amount);
        if (!Cents) return Cents.Error();
        Lines[7] = AmountText(*Cents);
    }
    if (!Transfer.Purpose.empty()) {
        // An ISO 20022 ExternalPurpose1Code: four letters, such as GDDS or CHAR.
        const std::string Purpose = ascii::Upper(Transfer.Purpose);
        if (Purpose.size() != 4 || !std::all_of(Purpose.begin(), Purpose.end(), ascii::IsUpper))
            return TRefusal{"the purpose " + InQuotes(Transfer.Purpose) + " is not a code of four letters"};
        Lines[8] = Purpose;
    }
    if (!Transfer.Reference.empty() && !Transfer.Text.empty())
        return TRefusal{"a transfer has a creditor reference or a text, not both"};
    if (!Transfer.Reference.empty()) {
        const auto Reference = CheckCreditorReference(Transfer.Reference);
        if (!Reference) return Reference.Error();
        Lines[9] = *Reference;
    }
    const auto Text = Limited(Transfer.Text, "the text", 140);
    if (!Text) return Text.Error();
    Lines[10] = *Text;
    const auto Information = Limited(Transfer.Information, "the information", 70);
    if (!Information) return Information.Error();
    Lines[11] = *Information;

    const auto Last = std::find_if(Lines.rbegin(), Lines.rend(), [](const std::string& l) { return !l.empty(); });
    std::string Payload;
    for (auto Line = Lines.begin(); Line != Last.base(); ++Line) Payload += (Line == Lines.begin() ? "" : "\n") + *Line;
    if (Payload.size() > kMaxBytes)
        return TRefusal{"the transfer takes " + std::to_string(Payload.size()) + " bytes (at most " +
                        std::to_string(kMaxBytes) + ")"};
    return TPayload{Payload, {TLevel::M, kMaxVersion}};
}

}  // namespace qrpayload
