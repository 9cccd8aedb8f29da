// The WIFI: login: WIFI:T:<type>;[R:1;]S:<ssid>;[H:true;][P:<password>;];
#include <algorithm>
#include <array>

#include "payload/ascii.h"
#include "payload/fields.h"
#include "payload/payloads.h"
#include "payload/textformat.h"

namespace qrpayload {

namespace {

struct TSecurityName {
    std::string_view Name;
    TWifiSecurity Security;
    std::string_view Fields;  // what the payload says for it, before the SSID
};
constexpr std::array<TSecurityName, 5> kSecurities{{
    {"wpa", TWifiSecurity::Wpa, "T:WPA;"},
    {"wpa3", TWifiSecurity::Wpa3, "T:WPA;R:1;"},
    {"sae", TWifiSecurity::Sae, "T:SAE;"},
    {"wep", TWifiSecurity::Wep, "T:WEP;"},
    {"none", TWifiSecurity::None, "T:nopass;"},
}};

// Readers split the fields at ";" and the field names at ":", and treat "," and the double
// quote specially too; a backslash before any of them, and before itself, makes it literal.
// Values are never put in quotes, also when they look hexadecimal: readers that would take a
// quoted value as text take an unquoted one as text too, and quotes break others.
std::string Escaped(std::string_view Value) { return BackslashEscaped(Value, ";,:\""); }

}  // namespace

TResult<TWifiSecurity> ParseWifiSecurity(std::string_view Name) {
    const std::string Lower = ascii::Lower(Name);
    for (const auto& S : kSecurities)
        if (S.Name == Lower) return S.Security;
    return TRefusal{InQuotes(Name) + " is not one of WPA, WPA3, SAE, WEP, none"};
}

TResult<TPayload> WifiPayload(const TWifi& Wifi) {
    const auto Ssid = CheckText(Wifi.Ssid, "the SSID");
    if (!Ssid) return Ssid.Error();
    if (Ssid->empty()) return TRefusal{"the SSID is empty"};
    // IEEE 802.11: an SSID is at most 32 octets.
    if (Ssid->size() > 32) return TRefusal{"the SSID has " + std::to_string(Ssid->size()) + " bytes (at most 32)"};
    const auto Password = CheckText(Wifi.Password, "the password");
    if (!Password) return Password.Error();
    if (Wifi.Security == TWifiSecurity::None) {
        if (!Password->empty()) return TRefusal{"a network without security has no password"};
    } else if (Password->empty()) {
        return TRefusal{"the password is empty"};
    }
    // IEEE 802.11i: a WPA passphrase has 8 to 63 characters (octets); 64 hexadecimal digits are
    // the key itself.
    if (Wifi.Security == TWifiSecurity::Wpa && !(Password->size() >= 8 && Password->size() <= 63) &&
        !(Password->size() == 64 && std::all_of(Password->begin(), Password->end(), ascii::IsHexDigit)))
        return TRefusal{"a WPA password has 8 to 63 bytes, or 64 hexadecimal digits"};

    const auto Security = std::find_if(kSecurities.begin(), kSecurities.end(),
                                       [&](const auto& S) { return S.Security == Wifi.Security; });
    std::string Text = "WIFI:" + std::string(Security->Fields) + "S:" + Escaped(*Ssid) + ";";
    if (Wifi.Hidden) Text += "H:true;";
    if (!Password->empty()) Text += "P:" + Escaped(*Password) + ";";
    Text += ";";
    return TPayload{Text, {}};
}

}  // namespace qrpayload
