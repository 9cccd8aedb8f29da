// Prepared messages and calls: mailto: (RFC 6068: UTF-8 percent-encoded, CR LF in the body as
// %0D%0A), SMSTO:<number>:<text>, and tel: (RFC 3966).

#include <gtest/gtest.h>

#include "payload/payloads.h"
#include "payloadtest.h"

namespace {

using namespace qrpayload;
using payloadtest::TOutcome;

TEST(MailPayload, PercentEncodesEachPartOrRefuses) {
    const payloadtest::TCase<TMail> Cases[] = {
        {"address only", {.To = {"ana@example.pt"}}, {"mailto:ana@example.pt"}},
        {"non-ascii subject and body", {.To = {"ana@example.pt"}, .Subject = "Olá", .Body = "Até amanhã"},
         {"mailto:ana@example.pt?subject=Ol%C3%A1&body=At%C3%A9%20amanh%C3%A3"}},
        // Only letters, digits and -._~ stay as they are in the subject and the body: "+" as
        // %2B too, which form decoders would take for a space.
        {"every special character", {.To = {"a@x.org"}, .Subject = "a&b=c?d#e%f+g h/i,j;k:l@m'n"},
         {"mailto:a@x.org?subject=a%26b%3Dc%3Fd%23e%25f%2Bg%20h%2Fi%2Cj%3Bk%3Al%40m%27n"}},
        {"line breaks in the body", {.To = {"a@x.org"}, .Body = "one\ntwo\r\nthree\rend"},
         {"mailto:a@x.org?body=one%0D%0Atwo%0D%0Athree%0D%0Aend"}},
        // In an address, "@" and the sub-delimiters !$'*+ stay; the rest of the dot-atom's
        // characters ("#%&/=?^`{|}") and non-ASCII are encoded.
        {"address characters", {.To = {"john+tag@example.com", "o'neil!$*@example.com", "a#b%c&d/e=f?g@x.org"}},
         {"mailto:john+tag@example.com,o'neil!$*@example.com,a%23b%25c%26d%2Fe%3Df%3Fg@x.org"}},
        {"more address characters", {.To = {"{x}|y^z`@x.org", "josé@exemplo.pt"}},
         {"mailto:%7Bx%7D%7Cy%5Ez%60@x.org,jos%C3%A9@exemplo.pt"}},
        {"copies", {.To = {"a@x.org", "b@y.org"}, .Cc = {"c@z.org"}, .Bcc = {"d@w.org", "e@v.org"}, .Subject = "Hi"},
         {"mailto:a@x.org,b@y.org?cc=c@z.org&bcc=d@w.org,e@v.org&subject=Hi"}},
        {"no address", {.Subject = "Hi"}, {"", "the e-mail has no address to send to"}},
        {"no domain", {.To = {"ana@"}}, {"", "'ana@' is not an e-mail address"}},
        {"two at signs", {.To = {"a@b@c.org"}}, {"", "'a@b@c.org' is not an e-mail address"}},
        {"leading dot", {.To = {".ana@x.org"}}, {"", "'.ana@x.org' is not an e-mail address"}},
        {"two dots", {.To = {"ana@x..org"}}, {"", "'ana@x..org' is not an e-mail address"}},
        {"space", {.To = {"ana maria@x.org"}}, {"", "'ana maria@x.org' is not an e-mail address"}},
        {"bad copy", {.To = {"a@x.org"}, .Bcc = {"bcc"}}, {"", "'bcc' is not an e-mail address"}},
        {"line break in the subject", {.To = {"a@x.org"}, .Subject = "a\nb"}, {"", "the subject has a line break"}},
        {"control character in the body", {.To = {"a@x.org"}, .Body = "a\x7F"},
         {"", "the body has a control character"}},
    };
    payloadtest::ExpectEach(Cases, MailPayload);
}

TEST(SmsPayload, WritesTheDialledNumberAndTheTextOrRefuses) {
    const payloadtest::TCase<TSms> Cases[] = {
        // The text is written as it is: readers take everything after the number's colon.
        {"ordinary", {"+351 912-345 (678)", "Olá: tudo bem?"}, {"SMSTO:+351912345678:Olá: tudo bem?"}},
        {"empty text", {"112", ""}, {"SMSTO:112:"}},
        {"line breaks", {"112", "a\r\nb"}, {"SMSTO:112:a\r\nb"}},
        {"no number", {"", "hi"}, {"", "the telephone number is empty"}},
        {"letters", {"12ab", "hi"},
         {"", "the telephone number '12ab' may hold only digits, a leading +, spaces, - . ( and )"}},
        {"plus inside", {"12+3", "hi"},
         {"", "the telephone number '12+3' may hold only digits, a leading +, spaces, - . ( and )"}},
        {"no digit", {"+", "hi"}, {"", "the telephone number '+' has no digit"}},
        {"control character", {"112", "\x01"}, {"", "the message has a control character"}},
    };
    payloadtest::ExpectEach(Cases, SmsPayload);
}

TEST(TelPayload, WritesGlobalAndLocalNumbersOrRefuses) {
    const payloadtest::TCase<TTel> Cases[] = {
        {"global", {"+1-201-555-0123"}, {"tel:+1-201-555-0123"}},
        {"spaces left out", {"+351 912 345 678"}, {"tel:+351912345678"}},
        {"visual separators", {"+1 (201) 555.0123"}, {"tel:+1(201)555.0123"}},
        {"local with a global context", {"863-1234", "+1-914-555"}, {"tel:863-1234;phone-context=+1-914-555"}},
        // "#" would start a fragment, so it is %23.
        {"local with a domain", {"*21#", "example.com"}, {"tel:*21%23;phone-context=example.com"}},
        {"hexadecimal digits", {"7aB", "voice.example.net."}, {"tel:7aB;phone-context=voice.example.net."}},
        {"empty", {"  "}, {"", "the telephone number is empty"}},
        {"letter in a global number", {"+351 91a"},
         {"", "the telephone number '+351 91a' may hold only a leading +, then digits, spaces, - . ( and )"}},
        {"plus alone", {"+"},
         {"", "the telephone number '+' may hold only a leading +, then digits, spaces, - . ( and )"}},
        {"local without context", {"112"},
         {"", "a local telephone number needs a phone context (a +prefix or a domain name)"}},
        {"global with context", {"+1 201", "+1"}, {"", "a telephone number with + has no phone context"}},
        {"local letter", {"12G", "+1"},
         {"", "the telephone number '12G' may hold only digits, * # A-F, spaces, - . ( and ) (or a leading +)"}},
        {"context neither", {"12", "bad_domain"},
         {"", "the phone context 'bad_domain' is neither a +prefix nor a domain name"}},
        {"context ending in digits", {"12", "example.123"},
         {"", "the phone context 'example.123' is neither a +prefix nor a domain name"}},
        {"context with an empty label", {"12", "a..b"},
         {"", "the phone context 'a..b' is neither a +prefix nor a domain name"}},
    };
    payloadtest::ExpectEach(Cases, TelPayload);
}

}  // namespace
