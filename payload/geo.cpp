// geo: URIs (RFC 5870): geo:<latitude>,<longitude>[,<altitude>] in WGS-84.
#include "payload/fields.h"
#include "payload/payloads.h"

namespace qrpayload {

TResult<TPayload> GeoPayload(const TGeo& Point) {
    const auto Latitude = ParseDecimal(Point.Latitude, "the latitude");
    if (!Latitude) return Latitude.Error();
    if (!Latitude->AtMost(90)) return TRefusal{"the latitude " + Latitude->Text() + " is outside -90 to 90"};
    const auto Longitude = ParseDecimal(Point.Longitude, "the longitude");
    if (!Longitude) return Longitude.Error();
    if (!Longitude->AtMost(180))
        return TRefusal{"the longitude " + Longitude->Text() + " is outside -180 to 180"};
    // At the poles every longitude is the same point; RFC 5870 3.4.2 asks for 0 there.
    const bool Pole = Latitude->Integer == "90";
    std::string Text = "geo:" + Latitude->Text() + "," + (Pole ? "0" : Longitude->Text());
    if (!Point.Altitude.empty()) {
        const auto Altitude = ParseDecimal(Point.Altitude, "the altitude");
        if (!Altitude) return Altitude.Error();
        Text += ',';
        Text += Altitude->Text();
    }
    return TPayload{Text, {}};
}

}  // namespace qrpayload
