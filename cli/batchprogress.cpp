#include "batchprogress.h"

#include <cmath>
#include <cstdio>

#include "writefile.h"

namespace qrcli::batch {

namespace {

// Below this much work the rate says little.
constexpr double kSettleSeconds = 0.2;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

}  // namespace

std::string FitToWidth(std::string Text, std::size_t Columns) {
    if (Columns == 0)
        return Text;
    const std::size_t Most = Columns - 1;
    while (Text.size() > Most) {
        const std::size_t Comma = Text.rfind(", ");
        if (Comma == std::string::npos) {
            Text.resize(Most);
            break;
        }
        Text.resize(Comma);
    }
    return Text;
}

std::string Duration(std::uint64_t Seconds) {
    char Text[32];
    const auto Hours = static_cast<unsigned long long>(Seconds / 3600);
    const auto Minutes = static_cast<unsigned>(Seconds / 60 % 60), Rest = static_cast<unsigned>(Seconds % 60);
    if (Hours > 0)
        std::snprintf(Text, sizeof Text, "%llu:%02u:%02u", Hours, Minutes, Rest);
    else
        std::snprintf(Text, sizeof Text, "%u:%02u", Minutes, Rest);
    return Text;
}

std::string Counted(std::uint64_t Count, const std::string& Noun) {
    return std::to_string(Count) + " " + Noun + (Count == 1 ? "" : "s");
}

std::string ProgressText(std::uint64_t Done, std::optional<std::uint64_t> Total, double Seconds) {
    const bool Known = Total && Done <= *Total;
    const std::uint64_t All = Known ? *Total : 0;
    std::string Text;
    if (Known) {
        const std::uint64_t Percent = All == 0 ? 100 : Done * 100 / All;
        Text = std::to_string(Done) + "/" + Counted(All, "row") + " (" + std::to_string(Percent) + "%)";
    } else {
        Text = Counted(Done, "row");
    }
    if (Seconds < kSettleSeconds || Done == 0)
        return Text;
    const double Rate = static_cast<double>(Done) / Seconds;
    Text += ", " + std::to_string(static_cast<std::uint64_t>(std::llround(Rate))) + " rows/s";
    if (Known)
        Text += ", " + Duration(static_cast<std::uint64_t>(std::ceil(static_cast<double>(All - Done) / Rate))) + " left";
    return Text;
}

void ProgressLine::Update(std::uint64_t Done, std::optional<std::uint64_t> Total) {
    if (!FEnabled)
        return;
    const auto Now = std::chrono::steady_clock::now();
    if (Now - FLastDrawn < kRedrawInterval)
        return;
    FLastDrawn = Now;
    FShown = true;
    FollowWidth();
    const std::string Text = FitToWidth(ProgressText(Done, Total, std::chrono::duration<double>(Now - FStart).count()), FColumns);
    Put('\r' + Text + Erased(Text.size()));
    FShownLength = Text.size();
}

void ProgressLine::Clear() {
    if (!FShown)
        return;
    FShown = false;
    Put('\r' + Erased(0));
    FShownLength = 0;
}

void ProgressLine::Put(const std::string& Bytes) const {
    // A terminal that cannot be written to shows no progress.
    qrfiles::WriteAll(FFd, {reinterpret_cast<const unsigned char*>(Bytes.data()), Bytes.size()});
}

}  // namespace qrcli::batch
