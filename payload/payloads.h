#pragma once
// The texts that phones read as something other than plain text: a Wi-Fi login, a contact, a
// map point, a prepared e-mail, SMS or call, a calendar event, a SEPA credit transfer. Each
// format has a struct of its fields (UTF-8) and one function that writes it to its standard or
// refuses it with the reason. Every field starts empty ({}), so that a designated initializer
// names only the fields it gives.

#include <string>
#include <string_view>
#include <vector>

#include "payload/result.h"

namespace qrpayload {

// Wi-Fi network login, the WIFI: format of the Wi-Fi Alliance (the QR code format of its WPA3
// document; the same as Android and iOS cameras read).
enum class TWifiSecurity {
    Wpa,   // WPA2 (and WPA) personal: T:WPA
    Wpa3,  // WPA3 personal with transition disabled: T:WPA;R:1; readers that do not know R join
           // as in WPA2/WPA3 transition mode
    Sae,   // WPA3 personal as T:SAE, which some phones need to join a WPA3-only network
    Wep,
    None,  // an open network: T:nopass, no password
};
// "WPA", "WPA3", "SAE", "WEP" or "none", in any case (WPA covers WPA2).
TResult<TWifiSecurity> ParseWifiSecurity(std::string_view Name);

struct TWifi {
    std::string Ssid{};
    std::string Password{};
    TWifiSecurity Security = TWifiSecurity::Wpa;
    bool Hidden = false;
};
TResult<TPayload> WifiPayload(const TWifi& Wifi);

// A contact as a vCard 3.0 (RFC 2426; text escaped and lines folded as RFC 6350 has it). Name
// is the full name (FN); the structured name (N) is Family and Given when either is given, else
// the last word of Name and the words before it. Types are RFC 2426's, in any case.
struct TTelephone {
    std::string Number{};
    // home, msg, work, pref, voice, fax, cell, video, pager, bbs, modem, car, isdn, pcs
    std::vector<std::string> Types{};
};
struct TEmail {
    std::string Address{};
    std::vector<std::string> Types{};  // internet, x400, pref, home, work
};
struct TPostalAddress {
    std::string PostOfficeBox{}, Extended{}, Street{}, Locality{}, Region{}, PostalCode{}, Country{};
    std::vector<std::string> Types{};  // dom, intl, postal, parcel, home, work, pref
};
struct TVCard {
    std::string Name{};
    std::string Family{}, Given{};
    std::string Organisation{}, Title{};
    std::vector<TTelephone> Telephones{};
    std::vector<TEmail> Emails{};
    std::vector<std::string> Urls{};
    std::vector<TPostalAddress> Addresses{};
    std::string Note{};      // may have line breaks
    std::string Birthday{};  // YYYY-MM-DD
};
TResult<TPayload> VCardPayload(const TVCard& Card);

// A contact as a MECARD (NTT DoCoMo's format): N is Name as given, or "Family,Given" when
// either part is given.
struct TMeCard {
    std::string Name{};
    std::string Family{}, Given{};
    std::string Reading{};  // SOUND: the name's reading
    std::vector<std::string> Telephones{};
    std::vector<std::string> Emails{};
    std::string Note{};      // may have line breaks
    std::string Birthday{};  // YYYY-MM-DD
    std::string Address{};   // may have line breaks
    std::string Url{};
    std::string Nickname{};
};
TResult<TPayload> MeCardPayload(const TMeCard& Card);

// A point as a geo: URI (RFC 5870) in WGS-84, the coordinates as decimal text in degrees and
// the altitude (optional) in metres.
struct TGeo {
    std::string Latitude{}, Longitude{}, Altitude{};
};
TResult<TPayload> GeoPayload(const TGeo& Point);

// A prepared e-mail as a mailto: URI (RFC 6068).
struct TMail {
    std::vector<std::string> To{}, Cc{}, Bcc{};
    std::string Subject{};
    std::string Body{};  // may have line breaks
};
TResult<TPayload> MailPayload(const TMail& Mail);

// A prepared SMS as SMSTO:number:text.
struct TSms {
    std::string Number{};
    std::string Text{};  // may have line breaks
};
TResult<TPayload> SmsPayload(const TSms& Sms);

// A telephone number as a tel: URI (RFC 3966): a global number "+..." or a local one with the
// phone context it is dialled in (a global prefix "+..." or a domain name).
struct TTel {
    std::string Number{};
    std::string Context{};
};
TResult<TPayload> TelPayload(const TTel& Tel);

// A calendar event as an iCalendar object (RFC 5545) with one VEVENT. Start and End are dates
// (an all-day event; End is the day after the last day) or times, as ParseDateTime reads
// them: UTC when they end in "Z", floating local times otherwise. Uid and Stamp (the time the
// event was made, in UTC) are the two properties RFC 5545 requires that the caller must supply.
struct TEvent {
    std::string Summary{}, Location{};
    std::string Description{};  // may have line breaks
    std::string Start{}, End{};  // End optional
    std::string Uid{}, Stamp{};
};
TResult<TPayload> EventPayload(const TEvent& Event);

// A SEPA credit transfer as the European Payments Council's QR code (EPC069-12, version 002,
// UTF-8). Reference (a structured ISO 11649 creditor reference) and Text (unstructured
// remittance information) exclude each other. The symbol must be level M, version 13 at most.
struct TEpc {
    std::string Name{};         // the beneficiary, at most 70 characters
    std::string Iban{};         // the beneficiary's account
    std::string Bic{};          // optional in the SEPA area
    std::string Amount{};       // in euro, optional (the payer types it)
    std::string Purpose{};      // an ISO 20022 purpose code of 4 letters, optional
    std::string Reference{};    // RF creditor reference
    std::string Text{};         // at most 140 characters
    std::string Information{};  // beneficiary to originator information, at most 70 characters
};
TResult<TPayload> EpcPayload(const TEpc& Transfer);

}  // namespace qrpayload
