// Calendar events: an iCalendar object (RFC 5545) with VERSION and PRODID, one VEVENT with the
// UID and DTSTAMP it requires, DATE-TIME values in UTC ("Z") or floating, DATE values for
// all-day events, text escaped and lines folded at 75 octets, CR LF line ends.

#include <gtest/gtest.h>

#include "payload/payloads.h"
#include "payloadtest.h"

namespace {

using namespace qrpayload;
using payloadtest::TOutcome;

// The calendar around the event's own lines, each ended by CR LF.
std::string Calendar(std::initializer_list<std::string> EventLines) {
    std::string Out =
        "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Quandrel//Quandrel QR Code//EN\r\nBEGIN:VEVENT\r\n"
        "UID:1@quandrel.example\r\nDTSTAMP:20260301T120000Z\r\n";
    for (const std::string& Line : EventLines) Out += Line + "\r\n";
    return Out + "END:VEVENT\r\nEND:VCALENDAR\r\n";
}

TEST(EventPayload, WritesTheEventOrRefuses) {
    const auto Event = [](std::string Start, std::string End, auto Change) {
        TEvent E{.Start = std::move(Start), .End = std::move(End), .Uid = "1@quandrel.example",
                 .Stamp = "2026-03-01T12:00:00Z"};
        Change(E);
        return E;
    };
    const auto Same = [](TEvent&) {};
    const std::string Long(100, 'd');

    const payloadtest::TCase<TEvent> Cases[] = {
        {"utc", Event("2026-03-14T09:00Z", "2026-03-14T10:30Z",
                      [](TEvent& E) {
                          E.Summary = "Reunião";
                          E.Location = "Sala 2";
                          E.Description = "Trazer o portátil";
                      }),
         {Calendar({"DTSTART:20260314T090000Z", "DTEND:20260314T103000Z", "SUMMARY:Reunião", "LOCATION:Sala 2",
                    "DESCRIPTION:Trazer o portátil"})}},
        {"floating with a space and seconds", Event("2026-03-14 09:00:15", "", Same),
         {Calendar({"DTSTART:20260314T090015"})}},
        {"basic form", Event("20260314T0900", "20260314T093000", Same),
         {Calendar({"DTSTART:20260314T090000", "DTEND:20260314T093000"})}},
        {"all day", Event("2026-03-14", "2026-03-16", Same),
         {Calendar({"DTSTART;VALUE=DATE:20260314", "DTEND;VALUE=DATE:20260316"})}},
        {"one day without end", Event("20280229", "", Same), {Calendar({"DTSTART;VALUE=DATE:20280229"})}},
        {"leap second", Event("2016-12-31T23:59:60Z", "2017-01-01T00:00Z", Same),
         {Calendar({"DTSTART:20161231T235960Z", "DTEND:20170101T000000Z"})}},
        {"every escaped character",
         Event("2026-03-14", "",
               [](TEvent& E) {
                   E.Summary = "a\\b,c;d: e";
                   E.Description = "x\r\ny\nz\rw";
               }),
         {Calendar({"DTSTART;VALUE=DATE:20260314", "SUMMARY:a\\\\b\\,c\\;d: e", "DESCRIPTION:x\\ny\\nz\\nw"})}},
        {"folded", Event("2026-03-14", "", [&](TEvent& E) { E.Description = Long; }),
         {Calendar({"DTSTART;VALUE=DATE:20260314",
                    "DESCRIPTION:" + Long.substr(0, 63) + "\r\n " + Long.substr(63)})}},
        {"no start", Event("", "", Same), {"", "the event has no start"}},
        {"end before start", Event("2026-03-14T10:00", "2026-03-14T09:59:59", Same),
         {"", "the end must be after the start"}},
        {"end at the start", Event("2026-03-14T10:00Z", "2026-03-14T10:00:00Z", Same),
         {"", "the end must be after the start"}},
        {"all-day end on the start", Event("2026-03-14", "2026-03-14", Same),
         {"", "the end must be after the start (an all-day event ends on the day after its last day)"}},
        {"date and time", Event("2026-03-14", "2026-03-15T10:00", Same),
         {"", "the start and the end must both be dates or both times"}},
        {"utc and floating", Event("2026-03-14T09:00Z", "2026-03-14T10:00", Same),
         {"", "the start and the end must both be UTC (ending in Z) or both local times"}},
        {"no such day", Event("2026-02-29", "", Same),
         {"", "the start '2026-02-29' is not a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS][Z]"}},
        {"hour 24", Event("2026-03-14T24:00", "", Same),
         {"", "the start '2026-03-14T24:00' is not a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS][Z]"}},
        {"date with a Z", Event("2026-03-14", "2026-03-15Z", Same),
         {"", "the end '2026-03-15Z' is not a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS][Z]"}},
        {"stamp in local time", Event("2026-03-14", "", [](TEvent& E) { E.Stamp = "2026-03-01T12:00"; }),
         {"", "the time stamp must be a UTC time (ending in Z)"}},
        {"no uid", Event("2026-03-14", "", [](TEvent& E) { E.Uid.clear(); }), {"", "the event has no UID"}},
        {"line break in the summary", Event("2026-03-14", "", [](TEvent& E) { E.Summary = "a\nb"; }),
         {"", "the summary has a line break"}},
    };
    payloadtest::ExpectEach(Cases, EventPayload);
}

}  // namespace
