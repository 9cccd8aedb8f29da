// Map points: geo:<lat>,<lon>[,<alt>] (RFC 5870), the numbers without spaces, leading zeros,
// trailing zeros or a plus sign, never rounded.

#include <gtest/gtest.h>

#include "payload/payloads.h"
#include "payloadtest.h"

namespace {

using namespace qrpayload;
using payloadtest::TOutcome;

TEST(GeoPayload, WritesTheShortestDecimalsOrRefuses) {
    const payloadtest::TCase<TGeo> Cases[] = {
        {"ordinary", {"38.7223", "-9.1393"}, {"geo:38.7223,-9.1393"}},
        {"trailing zeros", {"38.70000", "-9.10"}, {"geo:38.7,-9.1"}},
        {"whole degrees", {"38.000", "0"}, {"geo:38,0"}},
        {"sign and leading zeros", {"+007.50", "-000.25"}, {"geo:7.5,-0.25"}},
        {"negative zero", {"-0.000", "-0"}, {"geo:0,0"}},
        {"digits kept without rounding", {"38.123456789012345678901234567891", "-9.99999999999999999999"},
         {"geo:38.123456789012345678901234567891,-9.99999999999999999999"}},
        {"altitude", {"27.98785", "86.9250", "8848.860"}, {"geo:27.98785,86.925,8848.86"}},
        {"altitude below the sea", {"31.5", "35.5", "-430"}, {"geo:31.5,35.5,-430"}},
        // At a pole every longitude is the same point: RFC 5870 asks for 0.
        {"north pole", {"90", "45"}, {"geo:90,0"}},
        {"south pole", {"-90.000", "-120.5"}, {"geo:-90,0"}},
        {"longitude at the limits", {"0", "-180"}, {"geo:0,-180"}},
        {"longitude 180", {"1", "180.0"}, {"geo:1,180"}},
        {"latitude past 90", {"90.0000001", "0"}, {"", "the latitude 90.0000001 is outside -90 to 90"}},
        {"latitude past -90", {"-91", "0"}, {"", "the latitude -91 is outside -90 to 90"}},
        {"longitude past 180", {"0", "180.01"}, {"", "the longitude 180.01 is outside -180 to 180"}},
        {"longitude far past", {"0", "-1000"}, {"", "the longitude -1000 is outside -180 to 180"}},
        {"decimal comma", {"38,7", "-9.1"}, {"", "the latitude '38,7' is not a decimal number"}},
        {"exponent", {"1", "1e2"}, {"", "the longitude '1e2' is not a decimal number"}},
        {"space", {" 38.7", "-9.1"}, {"", "the latitude ' 38.7' is not a decimal number"}},
        {"no digits before the point", {".5", "1"}, {"", "the latitude '.5' is not a decimal number"}},
        {"no digits after the point", {"5.", "1"}, {"", "the latitude '5.' is not a decimal number"}},
        {"sign alone", {"1", "-"}, {"", "the longitude '-' is not a decimal number"}},
        {"degree sign", {"38.7°", "1"}, {"", "the latitude '38.7°' is not a decimal number"}},
        {"empty", {"", "1"}, {"", "the latitude is empty"}},
        {"bad altitude", {"1", "1", "1.2.3"}, {"", "the altitude '1.2.3' is not a decimal number"}},
    };
    payloadtest::ExpectEach(Cases, GeoPayload);
}

}  // namespace
