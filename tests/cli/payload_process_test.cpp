// The payload subcommands run as a process: each case's symbol decoded by zbarimg in binary mode
// must give back the payload's exact bytes; refused fields end with the reason and status 2, and
// write nothing; EPC's level and version are held on the symbol.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "clirun.h"

namespace {

namespace fs = std::filesystem;

using clirun::Result;
using clirun::RunQr;

// What zbarimg reads from a picture, as bytes (-Sbinary: no character-set guessing).
std::string ZbarRead(const fs::path& File) {
    return clirun::Run("zbarimg", {"zbarimg", "-q", "--raw", "-Sbinary", File.string()}).Out;
}

struct Case {
    const char* What;
    std::vector<std::string> Args;
    std::string Payload;
};

const std::string kCrLf = "\r\n";

std::string Lines(std::initializer_list<std::string> Each) {
    std::string Out;
    for (const std::string& L : Each) Out += L + kCrLf;
    return Out;
}

std::string VCard(std::initializer_list<std::string> Properties) {
    std::string Out = "BEGIN:VCARD" + kCrLf + "VERSION:3.0" + kCrLf;
    for (const std::string& P : Properties) Out += P + kCrLf;
    return Out + "END:VCARD" + kCrLf;
}

std::string Calendar(std::initializer_list<std::string> Properties) {
    std::string Out = Lines({"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Quandrel//Quandrel QR Code//EN", "BEGIN:VEVENT"});
    for (const std::string& P : Properties) Out += P + kCrLf;
    return Out + Lines({"END:VEVENT", "END:VCALENDAR"});
}

const Case kCases[] = {
    {"wifi", {"wifi", "--ssid", "Home", "--password", "correct horse"}, "WIFI:T:WPA;S:Home;P:correct horse;;"},
    {"wifi escapes", {"wifi", "--ssid", "a;b,c:d\"e\\f", "--password", "p;a,s:s\"w\\d"},
     "WIFI:T:WPA;S:a\\;b\\,c\\:d\\\"e\\\\f;P:p\\;a\\,s\\:s\\\"w\\\\d;;"},
    {"wifi hex-looking password, not quoted", {"wifi", "--ssid", "Café", "--password", "0123456789abcdef"},
     "WIFI:T:WPA;S:Café;P:0123456789abcdef;;"},
    {"wifi wpa3 hidden", {"wifi", "--ssid", "N", "--password", "12345678", "--security", "wpa3", "--hidden"},
     "WIFI:T:WPA;R:1;S:N;H:true;P:12345678;;"},
    {"wifi sae", {"wifi", "--ssid", "N", "--password", "12345678", "--security", "SAE"},
     "WIFI:T:SAE;S:N;P:12345678;;"},
    {"wifi open", {"wifi", "--ssid", "Guest", "--security", "none"}, "WIFI:T:nopass;S:Guest;;"},
    {"vcard",
     {"vcard", "--name", "Maria da Silva", "--org", "Quandrel, Lda.", "--tel", "cell:+351 912 345 678", "--tel",
      "210000000", "--email", "work:maria@example.pt", "--street", "Rua Augusta, 10", "--locality", "Lisboa",
      "--adr-type", "work", "--note", "a;b\nc", "--bday", "1980-02-29", "--url", "https://example.pt/"},
     VCard({"N:Silva;Maria da;;;", "FN:Maria da Silva", "ORG:Quandrel\\, Lda.", "TEL;TYPE=cell:+351 912 345 678",
            "TEL:210000000", "EMAIL;TYPE=work:maria@example.pt", "URL:https://example.pt/",
            "ADR;TYPE=work:;;Rua Augusta\\, 10;Lisboa;;;", "NOTE:a\\;b\\nc", "BDAY:1980-02-29"})},
    {"mecard", {"mecard", "--name", "Ana; Sousa", "--tel", "+351 1", "--email", "ana@example.pt", "--note", "x:y"},
     "MECARD:N:Ana\\; Sousa;TEL:+351 1;EMAIL:ana@example.pt;NOTE:x\\:y;;"},
    {"geo", {"geo", "--lat", "38.7100", "--lon", "-9.1400", "--alt", "12.50"}, "geo:38.71,-9.14,12.5"},
    {"geo limits", {"geo", "--lat", "89.9", "--lon", "-180"}, "geo:89.9,-180"},
    {"geo at a pole, where every longitude is 0", {"geo", "--lat", "-90", "--lon", "180"}, "geo:-90,0"},
    {"mail",
     {"mail", "--to", "ana@example.pt", "--cc", "b@example.pt", "--subject", "Olá & até já", "--body", "l1\nl2"},
     "mailto:ana@example.pt?cc=b@example.pt&subject=Ol%C3%A1%20%26%20at%C3%A9%20j%C3%A1&body=l1%0D%0Al2"},
    {"sms", {"sms", "--number", "+351912345678", "--text", "Olá: 1"}, "SMSTO:+351912345678:Olá: 1"},
    {"tel", {"tel", "--number", "+351-21-000-0000"}, "tel:+351-21-000-0000"},
    {"event in UTC",
     {"event", "--summary", "Reunião, sala 2", "--start", "2026-03-01T09:30Z", "--end", "2026-03-01T10:00Z",
      "--location", "Lisboa", "--uid", "e1@example.pt", "--stamp", "2026-01-01T00:00:00Z"},
     Calendar({"UID:e1@example.pt", "DTSTAMP:20260101T000000Z", "DTSTART:20260301T093000Z",
               "DTEND:20260301T100000Z", "SUMMARY:Reunião\\, sala 2", "LOCATION:Lisboa"})},
    {"event all day",
     {"event", "--summary", "Férias", "--start", "2026-08-01", "--end", "2026-08-15", "--uid", "f", "--stamp",
      "20260101T000000Z"},
     Calendar({"UID:f", "DTSTAMP:20260101T000000Z", "DTSTART;VALUE=DATE:20260801", "DTEND;VALUE=DATE:20260815",
               "SUMMARY:Férias"})},
    {"epc",
     {"epc", "--name", "Red Cross", "--iban", "BE72 0000 0000 1616", "--bic", "bpotbeb1", "--amount", "10.5",
      "--reference", "RF18 5390 0754 7034"},
     "BCD\n002\n1\nSCT\nBPOTBEB1\nRed Cross\nBE72000000001616\nEUR10.50\n\nRF18539007547034"},
    {"epc with text", {"epc", "--name", "Zé", "--iban", "DE89370400440532013000", "--text", "Fatura 12"},
     "BCD\n002\n1\nSCT\n\nZé\nDE89370400440532013000\n\n\n\nFatura 12"},
};

TEST(PayloadProcess, EverySubcommandRoundTripsThroughZbar) {
    const clirun::TempDir Dir("payload-roundtrip");
    for (const Case& C : kCases) {
        const fs::path File = Dir.Path / "x.png";
        std::vector<std::string> Args = C.Args;
        Args.insert(Args.end(), {"-o", File.string()});
        const Result R = RunQr(Args);
        ASSERT_EQ(R.Status, 0) << C.What << ": " << R.Err;
        EXPECT_EQ(ZbarRead(File), C.Payload) << C.What;
        fs::remove(File);
    }
}

TEST(PayloadProcess, TheOutputOptionsComeBeforeOrAfterTheSubcommand) {
    const Result Before = RunQr({"-t", "matrix", "-m", "0", "geo", "--lat", "1", "--lon", "2"});
    const Result After = RunQr({"geo", "--lat", "1", "--lon", "2", "-t", "matrix", "-m", "0"});
    const Result Text = RunQr({"-t", "matrix", "-m", "0", "geo:1,2"});
    ASSERT_EQ(Before.Status, 0) << Before.Err;
    EXPECT_EQ(Before.Out, Text.Out);
    EXPECT_EQ(After.Out, Text.Out);
    // The word itself is still a text after --.
    const Result Word = RunQr({"-t", "matrix", "--", "wifi"});
    EXPECT_EQ(Word.Status, 0);
    EXPECT_EQ(Word.Out, RunQr({"-t", "matrix"}, "wifi").Out);
}

TEST(PayloadProcess, RefusedFieldsEndWithTheReasonAndWriteNothing) {
    const clirun::TempDir Dir("payload-refused");
    const fs::path File = Dir.Path / "x.png";
    const std::pair<std::vector<std::string>, std::string> Cases[] = {
        {{"wifi", "--ssid", ""}, "wifi: the SSID is empty"},
        {{"wifi", "--ssid", "N", "--security", "none", "--password", "x"}, "no password"},
        {{"wifi", "--ssid", std::string(33, 's'), "--password", "12345678"}, "33 bytes (at most 32)"},
        {{"wifi", "--ssid", "N", "--password", "1234567"}, "8 to 63"},
        {{"wifi", "--ssid", "a\x1b[2Jb", "--password", "12345678"}, "control"},
        {{"wifi", "--ssid", "a\xFFz", "--password", "12345678"}, "UTF-8"},
        {{"vcard", "--name", "A", "--bday", "1981-02-29"}, "vcard: "},
        {{"vcard", "--name", "A", "--tel", "fax,bogus:123"}, "vcard: "},
        {{"vcard", "--name", "A", "--adr-type", "work"}, "--adr-type needs an address"},
        {{"geo", "--lat", "90.0001", "--lon", "0"}, "geo: "},
        {{"geo", "--lat", "0", "--lon", "-180.5"}, "geo: "},
        {{"geo", "--lat", "1e3", "--lon", "0"}, "geo: "},
        {{"mail", "--to", "not an address"}, "mail: "},
        {{"sms", "--number", "abc"}, "sms: "},
        {{"tel", "--number", "12;34"}, "tel: "},
        {{"event", "--summary", "x", "--start", "2026-03-01T10:00Z", "--end", "2026-03-01T09:00Z"},
         "the end must be after the start"},
        {{"event", "--summary", "x", "--start", "2026-03-01", "--end", "2026-03-01T09:00"}, "both be dates or both times"},
        {{"epc", "--name", "A", "--iban", "DE89370400440532013001"}, "epc: "},
        {{"epc", "--name", "A", "--iban", "DE89370400440532013000", "--reference", "RF19539007547034"}, "epc: "},
        {{"epc", "--name", "A", "--iban", "DE89370400440532013000", "--reference", "RF18539007547034", "--text", "t"},
         "not both"},
        {{"epc", "--name", std::string(71, 'n'), "--iban", "DE89370400440532013000"}, "71 characters (at most 70)"},
        {{"epc", "--name", "A", "--iban", "DE89370400440532013000", "--amount", "0.00"}, "epc: "},
        {{"epc", "--name", "A", "--iban", "DE89370400440532013000", "--amount", "1000000000"}, "epc: "},
        {{"epc", "--name", "A", "--iban", "DE89370400440532013000", "--text", std::string(141, 't')},
         "141 characters (at most 140)"},
    };
    for (const auto& [Args, Reason] : Cases) {
        std::vector<std::string> All = Args;
        All.insert(All.end(), {"-o", File.string()});
        const Result R = RunQr(All);
        EXPECT_EQ(R.Status, 2) << Args[0] << " " << Args[1] << " " << R.Err;
        EXPECT_NE(R.Err.find(Reason), std::string::npos) << Reason << " / " << R.Err;
        // One line, and no control character reaches the terminal.
        EXPECT_EQ(R.Err.find('\n'), R.Err.size() - 1) << R.Err;
        EXPECT_EQ(R.Err.find('\x1b'), std::string::npos) << R.Err;
        EXPECT_FALSE(fs::exists(File)) << R.Err;
    }
}

TEST(PayloadProcess, EpcSymbolsAreLevelMVersion13AtMostInUtf8) {
    const std::vector<std::string> Transfer = {"epc", "--name", "A", "--iban", "DE89370400440532013000",
                                               "--text", "t", "--info", "-t", "matrix"};
    const Result Default = RunQr(Transfer);
    ASSERT_EQ(Default.Status, 0) << Default.Err;
    EXPECT_NE(Default.Err.find("level: M"), std::string::npos) << Default.Err;
    // The transfer names its own character set: no warning about guessing it.
    const Result Accented = RunQr({"epc", "--name", "Zé", "--iban", "DE89370400440532013000", "-t", "matrix"});
    EXPECT_EQ(Accented.Err, "");
    std::vector<std::string> AtQ = Transfer;
    AtQ.insert(AtQ.end(), {"-l", "Q"});
    const Result Q = RunQr(AtQ);
    EXPECT_EQ(Q.Status, 2);
    EXPECT_NE(Q.Err.find("level M"), std::string::npos) << Q.Err;
    std::vector<std::string> Bom = Transfer;
    Bom.insert(Bom.end(), {"--encoding", "utf8-bom"});
    EXPECT_EQ(RunQr(Bom).Status, 2);
    // The largest transfer: 331 bytes at most, which level M holds in version 13.
    const std::vector<std::string> Largest = {
        "epc", "--name", std::string(70, 'n'), "--iban", "DE89370400440532013000", "--bic", "COBADEFFXXX",
        "--amount", "999999999.99", "--purpose", "CHAR", "--text", std::string(140, 't'), "--information",
        std::string(70, 'i'), "--info", "-t", "matrix"};
    const Result Big = RunQr(Largest);
    EXPECT_EQ(Big.Status, 2) << Big.Err;  // 353 bytes: over the payload's limit
    EXPECT_NE(Big.Err.find("at most 331"), std::string::npos) << Big.Err;
    std::vector<std::string> Fits = Largest;
    Fits[12] = std::string(118, 't');  // 331 bytes
    const Result AtLimit = RunQr(Fits);
    ASSERT_EQ(AtLimit.Status, 0) << AtLimit.Err;
    EXPECT_NE(AtLimit.Err.find("version: 13"), std::string::npos) << AtLimit.Err;
}

TEST(PayloadProcess, PayloadsTakeNoTextAndNoLeftOutCharacters) {
    EXPECT_EQ(RunQr({"geo", "--lat", "1", "--lon", "2", "extra"}).Status, 2);
    EXPECT_EQ(RunQr({"geo", "--lat", "1", "--lon", "2", "--crlf"}).Status, 2);
    // latin1 cannot hold the euro sign: the payload would say something else.
    const Result Dropped = RunQr({"sms", "--number", "1", "--text", "5 €", "--encoding", "latin1", "-t", "matrix"});
    EXPECT_EQ(Dropped.Status, 2);
    EXPECT_NE(Dropped.Err.find("cannot hold"), std::string::npos) << Dropped.Err;
    // Help of a subcommand names its fields.
    const Result Help = RunQr({"wifi", "--help"});
    EXPECT_EQ(Help.Status, 0);
    EXPECT_NE(Help.Out.find("--ssid"), std::string::npos);
    EXPECT_NE(Help.Out.find("SAE"), std::string::npos);
}

}  // namespace
