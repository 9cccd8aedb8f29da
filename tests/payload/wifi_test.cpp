// Wi-Fi logins: WIFI:T:<type>;[R:1;]S:<ssid>;[H:true;][P:<password>;]; with "\", ";", ",", ":"
// and '"' escaped by a backslash. The grammar in the Wi-Fi Alliance's WPA3 document would
// percent-encode instead; Android's and iOS's cameras read the backslash escapes, which is what
// they are written with.

#include <gtest/gtest.h>

#include "payload/payloads.h"
#include "payloadtest.h"

namespace {

using namespace qrpayload;
using payloadtest::TOutcome;
using S = TWifiSecurity;

TEST(WifiPayload, WritesTheFieldsEscapedOrRefuses) {
    const std::string Hex64(64, 'a');
    const payloadtest::TCase<TWifi> Cases[] = {
        {"wpa", {"Home", "correct horse"}, {"WIFI:T:WPA;S:Home;P:correct horse;;"}},
        {"every escaped character", {"a\\b;c,d:e\"f", "p;a:s,s\"w\\rd"},
         {"WIFI:T:WPA;S:a\\\\b\\;c\\,d\\:e\\\"f;P:p\\;a\\:s\\,s\\\"w\\\\rd;;"}},
        // A hexadecimal-looking value stays as it is: quotes around it stop iPhones joining.
        {"hex-looking password", {"Home", "0123456789ABCDEF"}, {"WIFI:T:WPA;S:Home;P:0123456789ABCDEF;;"}},
        {"non-ascii", {"Café ☕", "pão de açúcar"}, {"WIFI:T:WPA;S:Café ☕;P:pão de açúcar;;"}},
        {"hidden", {"Home", "correct horse", S::Wpa, true}, {"WIFI:T:WPA;S:Home;H:true;P:correct horse;;"}},
        {"wpa3 disables transition", {"Home", "secret", S::Wpa3}, {"WIFI:T:WPA;R:1;S:Home;P:secret;;"}},
        {"sae", {"Home", "secret", S::Sae}, {"WIFI:T:SAE;S:Home;P:secret;;"}},
        {"wep", {"Old", "abcde", S::Wep}, {"WIFI:T:WEP;S:Old;P:abcde;;"}},
        {"open", {"Cafe", "", S::None}, {"WIFI:T:nopass;S:Cafe;;"}},
        // An SSID is at most 32 bytes, counted in UTF-8.
        {"ssid of 32 bytes", {std::string(16, 'x') + "éééééééé", "", S::None},
         {"WIFI:T:nopass;S:" + std::string(16, 'x') + "éééééééé;;"}},
        {"ssid of 33 bytes", {std::string(17, 'x') + "éééééééé", "", S::None},
         {"", "the SSID has 33 bytes (at most 32)"}},
        {"wpa password of 8", {"H", "12345678"}, {"WIFI:T:WPA;S:H;P:12345678;;"}},
        {"wpa password of 7", {"H", "1234567"}, {"", "a WPA password has 8 to 63 bytes, or 64 hexadecimal digits"}},
        {"wpa password of 63", {"H", std::string(63, 'z')}, {"WIFI:T:WPA;S:H;P:" + std::string(63, 'z') + ";;"}},
        {"wpa key of 64 hex digits", {"H", Hex64}, {"WIFI:T:WPA;S:H;P:" + Hex64 + ";;"}},
        {"wpa password of 64", {"H", std::string(63, 'a') + "g"},
         {"", "a WPA password has 8 to 63 bytes, or 64 hexadecimal digits"}},
        {"wpa password of 65", {"H", Hex64 + "a"}, {"", "a WPA password has 8 to 63 bytes, or 64 hexadecimal digits"}},
        {"empty ssid", {"", "correct horse"}, {"", "the SSID is empty"}},
        {"password on an open network", {"Cafe", "x", S::None}, {"", "a network without security has no password"}},
        {"empty password", {"Home", "", S::Sae}, {"", "the password is empty"}},
        {"line break in the ssid", {"Ho\nme", "correct horse"}, {"", "the SSID has a line break"}},
        {"control character", {"Home", "correct\x1B horse"}, {"", "the password has a control character"}},
        {"not utf-8", {"Home\xFF", "correct horse"}, {"", "the SSID is not UTF-8"}},
    };
    payloadtest::ExpectEach(Cases, WifiPayload);
}

TEST(ParseWifiSecurity, TakesTheNamesInAnyCase) {
    const std::pair<const char*, S> Names[] = {
        {"WPA", S::Wpa}, {"wpa3", S::Wpa3}, {"Sae", S::Sae}, {"wep", S::Wep}, {"NONE", S::None}};
    for (const auto& [Name, Security] : Names) {
        const auto Parsed = ParseWifiSecurity(Name);
        ASSERT_TRUE(Parsed) << Name;
        EXPECT_EQ(*Parsed, Security) << Name;
    }
    const auto Wrong = ParseWifiSecurity("nopass");
    ASSERT_FALSE(Wrong);
    EXPECT_EQ(Wrong.Reason(), "'nopass' is not one of WPA, WPA3, SAE, WEP, none");
}

}  // namespace
