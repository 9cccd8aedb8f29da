// The account checks on their own: the published example IBAN of every country whose length
// is checked must pass, and fail once any one character of it is changed.

#include <gtest/gtest.h>

#include "payload/fields.h"

namespace {

using namespace qrpayload;

// The example IBANs of the ISO 13616 registry, one per country of the SEPA area.
constexpr const char* kExamples[] = {
    "AD1200012030200359100100",    "AL47212110090000000235698741", "AT611904300234573201",
    "BE68539007547034",            "BG80BNBG96611020345678",       "CH9300762011623852957",
    "CY17002001280000001200527600", "CZ6508000000192000145399",    "DE89370400440532013000",
    "DK5000400440116243",          "EE382200221020145685",         "ES9121000418450200051332",
    "FI2112345600000785",          "FR1420041010050500013M02606",  "GB29NWBK60161331926819",
    "GI75NWBK000000007099453",     "GR1601101250000000012300695",  "HR1210010051863000160",
    "HU42117730161111101800000000", "IE29AIBK93115212345678",      "IS140159260076545510730339",
    "IT60X0542811101000000123456", "LI21088100002324013AA",        "LT121000011101001000",
    "LU280019400644750000",        "LV80BANK0000435195001",        "MC5811222000010123456789030",
    "MD24AG000225100013104168",    "ME25505000012345678951",       "MK07250120000058984",
    "MT84MALT011000012345MTLCAST001S", "NL91ABNA0417164300",      "NO9386011117947",
    "PL61109010140000071219812874", "PT50000201231234567890154",   "RO49AAAA1B31007593840000",
    "SE4550000000058398257466",    "SI56263300012039086",          "SK3112000000198742637541",
    "SM86U0322509800000000270100", "VA59001123000012345678",
};

TEST(CheckIban, AcceptsEveryCountrysExampleAndNoneWithACharacterChanged) {
    for (const std::string Iban : kExamples) {
        const auto Checked = CheckIban(Iban);
        ASSERT_TRUE(Checked) << Iban << ": " << Checked.Reason();
        EXPECT_EQ(*Checked, Iban);
        // One digit or letter changed to the next one, anywhere after the country code: mod 97
        // catches every such substitution.
        for (std::size_t i = 2; i < Iban.size(); ++i) {
            std::string Changed = Iban;
            Changed[i] = Changed[i] == '9' ? '0' : Changed[i] == 'Z' ? 'A' : static_cast<char>(Changed[i] + 1);
            EXPECT_FALSE(CheckIban(Changed)) << Changed;
        }
        // One character fewer or more: the country's length.
        EXPECT_FALSE(CheckIban(Iban.substr(0, Iban.size() - 1))) << Iban;
        EXPECT_FALSE(CheckIban(Iban + "0")) << Iban;
    }
}

TEST(CheckCreditorReference, ChecksTheDigitsOfShortAndLongestReferences) {
    // ISO 11649's example, the same with leading zeros (25 characters), and one of a single
    // character.
    for (const char* Reference : {"RF18539007547034", "RF18000000000539007547034", "RF712348231", "RF25A"}) {
        const auto Checked = CheckCreditorReference(Reference);
        EXPECT_TRUE(Checked) << Reference << ": " << (Checked ? "" : Checked.Reason());
    }
    const auto Wrong = CheckCreditorReference("RF18539007547035");
    ASSERT_FALSE(Wrong);
    EXPECT_EQ(Wrong.Reason(), "the creditor reference's check digits are wrong (expected 88)");
}

}  // namespace
