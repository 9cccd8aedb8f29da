// Calendar events: an iCalendar object (RFC 5545) holding one VEVENT.
#include <tuple>

#include "payload/fields.h"
#include "payload/payloads.h"
#include "payload/textformat.h"

namespace qrpayload {

namespace {

auto Order(const TDateTime& T) { return std::tie(T.Date, T.Hour, T.Minute, T.Second); }

// DTSTART or DTEND: a date is marked VALUE=DATE (RFC 5545 3.3.4), a time is DATE-TIME, the
// default.
std::string DateProperty(std::string_view Name, const TDateTime& T) {
    return std::string(Name) + (T.HasTime ? ":" : ";VALUE=DATE:") + T.Basic();
}

}  // namespace

TResult<TPayload> EventPayload(const TEvent& Event) {
    const auto Fields = CheckTexts({{Event.Summary, "the summary"},
                                    {Event.Location, "the location"},
                                    {Event.Description, "the description", TLines::Allowed},
                                    {Event.Uid, "the UID"}});
    if (!Fields) return Fields.Error();
    if (Event.Uid.empty()) return TRefusal{"the event has no UID"};
    const auto Stamp = ParseDateTime(Event.Stamp, "the time stamp");
    if (!Stamp) return Stamp.Error();
    if (!Stamp->HasTime || !Stamp->Utc) return TRefusal{"the time stamp must be a UTC time (ending in Z)"};
    if (Event.Start.empty()) return TRefusal{"the event has no start"};
    const auto Start = ParseDateTime(Event.Start, "the start");
    if (!Start) return Start.Error();
    std::optional<TDateTime> End;
    if (!Event.End.empty()) {
        const auto Parsed = ParseDateTime(Event.End, "the end");
        if (!Parsed) return Parsed.Error();
        End = *Parsed;
        // RFC 5545 3.6.1: DTEND has DTSTART's value type and comes after it.
        if (End->HasTime != Start->HasTime) return TRefusal{"the start and the end must both be dates or both times"};
        if (End->Utc != Start->Utc)
            return TRefusal{"the start and the end must both be UTC (ending in Z) or both local times"};
        if (Order(*End) <= Order(*Start))
            return TRefusal{Start->HasTime ? "the end must be after the start"
                                           : "the end must be after the start (an all-day event ends on the day "
                                             "after its last day)"};
    }

    std::string Text;
    for (const char* Line : {"BEGIN:VCALENDAR", "VERSION:2.0", "PRODID:-//Quandrel//Quandrel QR Code//EN",
                             "BEGIN:VEVENT"})
        AppendContentLine(Text, Line);
    AppendContentLine(Text, "UID:" + EscapedTextValue(Event.Uid));
    AppendContentLine(Text, "DTSTAMP:" + Stamp->Basic());
    AppendContentLine(Text, DateProperty("DTSTART", *Start));
    if (End) AppendContentLine(Text, DateProperty("DTEND", *End));
    for (const auto& [Name, Value] : {std::pair{"SUMMARY:", &Event.Summary}, std::pair{"LOCATION:", &Event.Location},
                                      std::pair{"DESCRIPTION:", &Event.Description}})
        if (!Value->empty()) AppendContentLine(Text, Name + EscapedTextValue(*Value));
    for (const char* Line : {"END:VEVENT", "END:VCALENDAR"}) AppendContentLine(Text, Line);
    return TPayload{Text, {}};
}

}  // namespace qrpayload
