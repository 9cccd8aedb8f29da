#pragma once
// The batch's progress line on a terminal: rows done (of the total, when it is known), the rate
// and the time left, redrawn in place at most ten times a second.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace qrcli::batch {

// "1234/10000 rows (12%), 2345 rows/s, 0:04 left", or "1234 rows, 2345 rows/s" without a total
// (or when more rows than the total are done). The rate and time left need a moment of work
// first.
std::string ProgressText(std::uint64_t Done, std::optional<std::uint64_t> Total, double Seconds);

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(std::uint64_t Seconds);

// "1 row", "2 rows": a count with its noun.
std::string Counted(std::uint64_t Count, const std::string& Noun);

// Draws the progress line on a file descriptor (a terminal): each drawing returns to the start of
// the line and clears what was there. Not thread-safe: the caller serialises.
class ProgressLine {
public:
    // Nothing is ever drawn when not Enabled.
    ProgressLine(int Fd, bool Enabled);

    // Draws the line unless it was drawn less than a tenth of a second ago.
    void Update(std::uint64_t Done, std::optional<std::uint64_t> Total);
    // Removes the line, so that a message can take its place; the next Update draws it again.
    void Clear();

private:
    void Put(const std::string& Bytes) const;

    int FFd;
    bool FEnabled;
    bool FShown = false;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    // Nothing is drawn in the first tenth of a second: a short run shows no progress at all.
    std::chrono::steady_clock::time_point FLastDrawn = FStart;
};

}  // namespace qrcli::batch
