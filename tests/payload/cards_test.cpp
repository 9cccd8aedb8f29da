// Contacts: vCard 3.0 (CR LF line ends, "\", "," and ";" escaped and line breaks written \n in
// text values, lines folded at 75 octets) and MECARD ("\", ";", "," and ":" escaped by a
// backslash everywhere, URLs too, as DoCoMo's format asks).

#include <gtest/gtest.h>

#include "payload/payloads.h"
#include "payloadtest.h"

namespace {

using namespace qrpayload;
using payloadtest::TOutcome;

// A vCard from its content lines, each ended by CR LF.
std::string VCard(std::initializer_list<std::string> Lines) {
    std::string Out = "BEGIN:VCARD\r\nVERSION:3.0\r\n";
    for (const std::string& Line : Lines) Out += Line + "\r\n";
    return Out + "END:VCARD\r\n";
}

TEST(VCardPayload, WritesEachPropertyOrRefuses) {
    TVCard Full;
    Full.Name = "Ludwig van Beethoven";
    Full.Family = "van Beethoven";
    Full.Given = "Ludwig";
    Full.Organisation = "Quandrel, Lda.";
    Full.Title = "Dr: Chief; Engineer";
    Full.Telephones = {{"+351 912 345 678", {"CELL"}}, {"(21) 555-0100", {"work", "Voice"}}};
    Full.Emails = {{"ludwig@example.com", {"internet", "pref"}}};
    Full.Urls = {"https://example.com/a,b;c"};
    Full.Addresses = {{"", "", "Rua Augusta, 10", "Lisboa", "", "1100-053", "Portugal", {"work"}}};
    Full.Note = "first line\nsecond line";
    Full.Birthday = "17701217";

    // Every character a text value escapes, and the three forms of a line break.
    TVCard Escapes;
    Escapes.Name = "A\\B, C; D";
    Escapes.Note = "a\\b,c;d:e\r\nf\rg\nh";

    // Folding: the first line holds 75 octets, each continuation a space and 74 more; a fold
    // never splits a UTF-8 sequence.
    TVCard Fold75, Fold76, Fold155, FoldUtf8;
    Fold75.Name = Fold76.Name = Fold155.Name = FoldUtf8.Name = "X";
    Fold75.Note = std::string(70, 'a');
    Fold76.Note = std::string(71, 'a');
    Fold155.Note = std::string(150, 'a');
    FoldUtf8.Note = std::string(69, 'a') + "é" + std::string(72, 'b') + "😀";

    const auto Card = [](auto Change) {
        TVCard C;
        C.Name = "Ana";
        Change(C);
        return C;
    };

    const payloadtest::TCase<TVCard> Cases[] = {
        {"name split at its last word", {.Name = "Maria da Silva"},
         {VCard({"N:Silva;Maria da;;;", "FN:Maria da Silva"})}},
        {"one word", {.Name = "Cher"}, {VCard({"N:Cher;;;;", "FN:Cher"})}},
        {"parts without a full name", {.Family = "Lovelace", .Given = "Ada"},
         {VCard({"N:Lovelace;Ada;;;", "FN:Ada Lovelace"})}},
        {"every property", Full,
         {VCard({"N:van Beethoven;Ludwig;;;", "FN:Ludwig van Beethoven", "ORG:Quandrel\\, Lda.",
                 "TITLE:Dr: Chief\\; Engineer", "TEL;TYPE=cell:+351 912 345 678",
                 "TEL;TYPE=work,voice:(21) 555-0100", "EMAIL;TYPE=internet,pref:ludwig@example.com",
                 "URL:https://example.com/a,b;c", "ADR;TYPE=work:;;Rua Augusta\\, 10;Lisboa;;1100-053;Portugal",
                 "NOTE:first line\\nsecond line", "BDAY:1770-12-17"})}},
        {"every escaped character", Escapes,
         {VCard({"N:D;A\\\\B\\, C\\;;;;", "FN:A\\\\B\\, C\\; D", "NOTE:a\\\\b\\,c\\;d:e\\nf\\ng\\nh"})}},
        {"non-ascii", {.Name = "José Ñúñez", .Organisation = "Ação 漢字"},
         {VCard({"N:Ñúñez;José;;;", "FN:José Ñúñez", "ORG:Ação 漢字"})}},
        {"line of 75 octets", Fold75, {VCard({"N:X;;;;", "FN:X", "NOTE:" + std::string(70, 'a')})}},
        {"line of 76 octets", Fold76, {VCard({"N:X;;;;", "FN:X", "NOTE:" + std::string(70, 'a') + "\r\n a"})}},
        {"three folded lines", Fold155,
         {VCard({"N:X;;;;", "FN:X",
                 "NOTE:" + std::string(70, 'a') + "\r\n " + std::string(74, 'a') + "\r\n " + std::string(6, 'a')})}},
        {"folds between characters", FoldUtf8,
         {VCard({"N:X;;;;", "FN:X",
                 "NOTE:" + std::string(69, 'a') + "\r\n é" + std::string(72, 'b') + "\r\n 😀"})}},
        {"birthday on a leap day", Card([](TVCard& C) { C.Birthday = "2000-02-29"; }),
         {VCard({"N:Ana;;;;", "FN:Ana", "BDAY:2000-02-29"})}},
        {"no name", {.Organisation = "Quandrel"}, {"", "the card has no name"}},
        {"blank name", {.Name = "   "}, {"", "the card has no name"}},
        {"telephone type", Card([](TVCard& C) { C.Telephones = {{"112", {"mobile"}}}; }),
         {"", "'mobile' is not a telephone type (home, msg, work, pref, voice, fax, cell, video, pager, bbs, modem, "
              "car, isdn, pcs)"}},
        {"telephone number", Card([](TVCard& C) { C.Telephones = {{"+351 91x", {}}}; }),
         {"", "the telephone number '+351 91x' may hold only digits, a leading +, spaces, - . ( and )"}},
        {"e-mail address", Card([](TVCard& C) { C.Emails = {{"ana@", {}}}; }), {"", "'ana@' is not an e-mail address"}},
        {"e-mail type", Card([](TVCard& C) { C.Emails = {{"ana@example.com", {"cell"}}}; }),
         {"", "'cell' is not an e-mail type (internet, x400, pref, home, work)"}},
        {"url with a space", Card([](TVCard& C) { C.Urls = {"https://example.com/a b"}; }),
         {"", "the URL 'https://example.com/a b' is empty or has a space"}},
        {"empty address", Card([](TVCard& C) { C.Addresses = {{}}; }), {"", "an address is empty"}},
        {"address type", Card([](TVCard& C) { C.Addresses = {{.Street = "Rua", .Types = {"office"}}}; }),
         {"", "'office' is not an address type (dom, intl, postal, parcel, home, work, pref)"}},
        {"birthday not in the calendar", Card([](TVCard& C) { C.Birthday = "1990-02-29"; }),
         {"", "the birthday '1990-02-29' is not a date YYYY-MM-DD"}},
        {"line break in the name", {.Name = "Ana\nMaria"}, {"", "the name has a line break"}},
        {"not utf-8", Card([](TVCard& C) { C.Title = "\xC3("; }), {"", "the title is not UTF-8"}},
    };
    payloadtest::ExpectEach(Cases, VCardPayload);
}

TEST(MeCardPayload, WritesEachFieldOrRefuses) {
    TMeCard Full;
    Full.Family = "Yamada";
    Full.Given = "Taro";
    Full.Reading = "やまだたろう";
    Full.Telephones = {"+81 3 1234 5678", "090-1234-5678"};
    Full.Emails = {"taro@example.jp"};
    Full.Note = "first\nsecond";
    Full.Birthday = "1990-01-31";
    Full.Address = "1-2-3 Chiyoda, Tokyo";
    Full.Url = "https://example.jp/";
    Full.Nickname = "Taro";

    const auto Card = [](auto Change) {
        TMeCard C;
        C.Name = "Ana";
        Change(C);
        return C;
    };

    const payloadtest::TCase<TMeCard> Cases[] = {
        {"name as given", {.Name = "Maria da Silva"}, {"MECARD:N:Maria da Silva;;"}},
        {"every field in DoCoMo's order", Full,
         {"MECARD:N:Yamada,Taro;SOUND:やまだたろう;TEL:+81 3 1234 5678;TEL:090-1234-5678;EMAIL:taro@example.jp;"
          "NOTE:first\nsecond;BDAY:19900131;ADR:1-2-3 Chiyoda\\, Tokyo;URL:https\\://example.jp/;NICKNAME:Taro;;"}},
        {"every escaped character", Card([](TMeCard& C) { C.Note = "a\\b;c,d:e"; }),
         {"MECARD:N:Ana;NOTE:a\\\\b\\;c\\,d\\:e;;"}},
        // The comma between the parts is the separator; one inside a part is escaped.
        {"comma in a part", {.Family = "Smith, Jr.", .Given = "John"}, {"MECARD:N:Smith\\, Jr.,John;;"}},
        {"non-ascii", {.Name = "山田太郎"}, {"MECARD:N:山田太郎;;"}},
        {"no name", {.Note = "x"}, {"", "the card has no name"}},
        {"e-mail address", Card([](TMeCard& C) { C.Emails = {"taro@@example.jp"}; }),
         {"", "'taro@@example.jp' is not an e-mail address"}},
        {"telephone number", Card([](TMeCard& C) { C.Telephones = {"-"}; }),
         {"", "the telephone number '-' has no digit"}},
        {"birthday", Card([](TMeCard& C) { C.Birthday = "1990-13-01"; }),
         {"", "the birthday '1990-13-01' is not a date YYYY-MM-DD"}},
        {"url with a space", Card([](TMeCard& C) { C.Url = "a b"; }), {"", "the URL 'a b' is empty or has a space"}},
        {"line break in the nickname", Card([](TMeCard& C) { C.Nickname = "a\r\nb"; }),
         {"", "the nickname has a line break"}},
    };
    payloadtest::ExpectEach(Cases, MeCardPayload);
}

}  // namespace
