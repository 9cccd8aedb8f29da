// SEPA credit transfers (EPC069-12 version 002): the twelve fields one a line (LF), nothing
// after the last field given, UTF-8 (character set 1); the symbol at level M, version 13 at
// most, the payload at most 331 bytes.

#include <gtest/gtest.h>

#include "payload/payloads.h"
#include "payloadtest.h"

namespace {

using namespace qrpayload;
using payloadtest::TOutcome;

constexpr const char* kIban = "DE89370400440532013000";  // ISO 13616's example

TEST(EpcPayload, WritesTheTransferOrRefuses) {
    const auto Transfer = [](auto Change) {
        TEpc T{.Name = "Ana Silva", .Iban = kIban};
        Change(T);
        return T;
    };
    const std::string Head = "BCD\n002\n1\nSCT\n";
    const std::string AnaHead = Head + "\nAna Silva\n" + kIban;
    // 70 two-byte characters, and a text of 140 characters in 149 or 150 bytes: the payload
    // then takes 42 + 140 + 149 = 331 bytes, or one more.
    const std::string Name70 = [] { std::string s; for (int i = 0; i < 70; ++i) s += "ç"; return s; }();
    const auto Text = [](int TwoByte) {
        std::string s;
        for (int i = 0; i < TwoByte; ++i) s += "é";
        return s + std::string(140 - TwoByte, 't');
    };

    const payloadtest::TCase<TEpc> Cases[] = {
        {"name and IBAN only", Transfer([](TEpc&) {}), {AnaHead}},
        {"every field",
         {.Name = "Cruz Vermelha", .Iban = "BE68539007547034", .Bic = "gkccbebb", .Amount = "12.5",
          .Purpose = "char", .Text = "Donativo", .Information = "Obrigado"},
         {Head + "GKCCBEBB\nCruz Vermelha\nBE68539007547034\nEUR12.50\nCHAR\n\nDonativo\nObrigado"}},
        {"creditor reference", Transfer([](TEpc& T) { T.Reference = "rf18 5390 0754 7034"; }),
         {AnaHead + "\n\n\nRF18539007547034"}},
        {"IBAN in print form", Transfer([](TEpc& T) { T.Iban = "de89 3704 0044 0532 0130 00"; }), {AnaHead}},
        {"smallest amount", Transfer([](TEpc& T) { T.Amount = "0.01"; }), {AnaHead + "\nEUR0.01"}},
        {"largest amount", Transfer([](TEpc& T) { T.Amount = "999999999.99"; }), {AnaHead + "\nEUR999999999.99"}},
        {"whole euros", Transfer([](TEpc& T) { T.Amount = "007"; }), {AnaHead + "\nEUR7.00"}},
        {"non-ascii name of 70 characters", Transfer([&](TEpc& T) { T.Name = Name70; }),
         {Head + "\n" + Name70 + "\n" + kIban}},
        {"331 bytes", Transfer([&](TEpc& T) { T.Name = Name70; T.Text = Text(9); }),
         {Head + "\n" + Name70 + "\n" + kIban + "\n\n\n\n" + Text(9)}},
        {"332 bytes", Transfer([&](TEpc& T) { T.Name = Name70; T.Text = Text(10); }),
         {"", "the transfer takes 332 bytes (at most 331)"}},
        {"name of 71 characters", Transfer([&](TEpc& T) { T.Name = Name70 + "x"; }),
         {"", "the name has 71 characters (at most 70)"}},
        {"text of 141 characters", Transfer([&](TEpc& T) { T.Text = Text(0) + "t"; }),
         {"", "the text has 141 characters (at most 140)"}},
        {"information of 71 characters", Transfer([](TEpc& T) { T.Information = std::string(71, 'i'); }),
         {"", "the information has 71 characters (at most 70)"}},
        {"no name", Transfer([](TEpc& T) { T.Name.clear(); }), {"", "the beneficiary's name is empty"}},
        {"line break in the name", Transfer([](TEpc& T) { T.Name = "Ana\nSilva"; }), {"", "the name has a line break"}},
        {"line break in the text", Transfer([](TEpc& T) { T.Text = "a\r\nb"; }), {"", "the text has a line break"}},
        {"check digits", Transfer([](TEpc& T) { T.Iban = "DE88370400440532013000"; }),
         {"", "the IBAN's check digits are wrong (expected 89)"}},
        {"a digit changed", Transfer([](TEpc& T) { T.Iban = "DE89370400440532013001"; }),
         {"", "the IBAN's check digits are wrong (expected 62)"}},
        {"country length", Transfer([](TEpc& T) { T.Iban = "DE8937040044053201300"; }),
         {"", "a DE IBAN has 22 characters, not 21"}},
        {"too short", Transfer([](TEpc& T) { T.Iban = "ZZ12 3456 7890 12"; }),
         {"", "the IBAN has 14 characters (an IBAN has 15 to 34)"}},
        {"too long", Transfer([](TEpc& T) { T.Iban = "ZZ12" + std::string(31, '1'); }),
         {"", "the IBAN has 35 characters (an IBAN has 15 to 34)"}},
        {"hyphens", Transfer([](TEpc& T) { T.Iban = "DE89-3704-0044-0532-0130-00"; }),
         {"", "the IBAN may hold only letters, digits and spaces"}},
        {"no country", Transfer([](TEpc& T) { T.Iban = "8937040044053201300012"; }),
         {"", "the IBAN must begin with its country's two letters and two check digits"}},
        {"no IBAN", Transfer([](TEpc& T) { T.Iban.clear(); }), {"", "the IBAN is empty"}},
        {"BIC of 9", Transfer([](TEpc& T) { T.Bic = "GKCCBEBB1"; }),
         {"", "the BIC 'GKCCBEBB1' is not 8 or 11 letters and digits (bank 4, country 2 letters, location 2, branch 3)"}},
        {"BIC country", Transfer([](TEpc& T) { T.Bic = "GKCC12BB"; }),
         {"", "the BIC 'GKCC12BB' is not 8 or 11 letters and digits (bank 4, country 2 letters, location 2, branch 3)"}},
        {"zero", Transfer([](TEpc& T) { T.Amount = "0.00"; }), {"", "the amount must be at least 0.01"}},
        {"negative", Transfer([](TEpc& T) { T.Amount = "-5"; }), {"", "the amount must be at least 0.01"}},
        {"a billion", Transfer([](TEpc& T) { T.Amount = "1000000000"; }),
         {"", "the amount must be at most 999999999.99"}},
        {"three decimals", Transfer([](TEpc& T) { T.Amount = "1.234"; }),
         {"", "the amount '1.234' has more than two decimals"}},
        {"decimal comma", Transfer([](TEpc& T) { T.Amount = "12,50"; }),
         {"", "the amount '12,50' is not a decimal number"}},
        {"purpose", Transfer([](TEpc& T) { T.Purpose = "GDD"; }),
         {"", "the purpose 'GDD' is not a code of four letters"}},
        {"reference and text", Transfer([](TEpc& T) { T.Reference = "RF18539007547034"; T.Text = "x"; }),
         {"", "a transfer has a creditor reference or a text, not both"}},
        {"reference check digits", Transfer([](TEpc& T) { T.Reference = "RF19539007547034"; }),
         {"", "the creditor reference's check digits are wrong (expected 18)"}},
        {"reference of 26", Transfer([](TEpc& T) { T.Reference = "RF00" + std::string(22, '1'); }),
         {"", "the creditor reference has 26 characters (at most 25)"}},
        {"not a creditor reference", Transfer([](TEpc& T) { T.Reference = "1234567"; }),
         {"", "the creditor reference must be RF, two check digits and the reference"}},
    };
    // Every transfer built asks for its symbol at level M within version 13, which the round
    // trip then uses.
    payloadtest::ExpectEach(Cases, [](const TEpc& T) {
        auto Built = EpcPayload(T);
        if (Built) {
            EXPECT_EQ(Built->Limits.RequiredLevel, TLevel::M);
            EXPECT_EQ(Built->Limits.MaxVersion, 13);
        }
        return Built;
    });
}

}  // namespace
