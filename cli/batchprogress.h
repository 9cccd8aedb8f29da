#pragma once
// The batch's progress line on a terminal: rows done (of the total, when it is known), the rate
// and the time left, redrawn in place at most ten times a second, and never wider than the
// terminal, whose width is followed (SIGWINCH; on Windows the console's width is read at each
// drawing, as it sends no such signal).

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qrcli::batch {

// "1234/10000 rows (12%), 2345 rows/s, 0:04 left", or "1234 rows, 2345 rows/s" without a total
// (or when more rows than the total are done). The rate and time left need a moment of work
// first.
std::string ProgressText(std::uint64_t Done, std::optional<std::uint64_t> Total, double Seconds);

// Text cut to fit a line of Columns columns without reaching the last one (where a terminal
// would wrap): the parts after ", " that do not fit are left out, last first, and the first part
// is cut if it alone is too long. Unchanged when Columns is 0 (the width is not known). The text
// is ASCII: a byte is a column.
std::string FitToWidth(std::string Text, std::size_t Columns);

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string Duration(std::uint64_t Seconds);

// "1 row", "2 rows": a count with its noun.
std::string Counted(std::uint64_t Count, const std::string& Noun);

// Whether the descriptor Fd is a terminal the progress line can be drawn on: on Windows a console
// (isatty there is true of any character device, NUL too).
bool IsTerminal(int Fd);

// Draws the progress line on a file descriptor (a terminal): each drawing returns to the start of
// the line and clears what was there. Not thread-safe: the caller serialises.
class ProgressLine {
public:
    // Nothing is ever drawn when not Enabled. While an enabled line lives, SIGWINCH tells it that
    // the terminal's width changed.
    ProgressLine(int Fd, bool Enabled);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // Draws the line unless it was drawn less than a tenth of a second ago.
    void Update(std::uint64_t Done, std::optional<std::uint64_t> Total);
    // Removes the line, so that a message can take its place; the next Update draws it again.
    void Clear();

private:
    void Put(const std::string& Bytes) const;

    // The terminal's width in columns, or 0 when it is not known.
    std::size_t Width() const;
    // Reads the width again when it may have changed since the last drawing.
    void FollowWidth();
    // What clears the rest of a line of Length columns from the cursor at its end, where the line
    // drawn before may have been longer, leaving the cursor there: "\x1b[K" on a terminal; on
    // Windows blanks and backspaces, which every console shows as they are meant (Wine's, and
    // consoles before Windows 10, print control sequences as text).
    std::string Erased(std::size_t Length) const;

    int FFd;
    bool FEnabled;
    bool FShown = false;
    std::size_t FColumns = 0;
    std::chrono::steady_clock::time_point FStart = std::chrono::steady_clock::now();
    // Nothing is drawn in the first tenth of a second: a short run shows no progress at all.
    std::chrono::steady_clock::time_point FLastDrawn = FStart;
    std::size_t FShownLength = 0;  // of the line drawn last
};

}  // namespace qrcli::batch
