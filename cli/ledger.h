#pragma once
// The batch's rows between the reader and the report: how many may be in flight at once, and
// each row's outcome reported in row order, whatever order the workers finish them in.

#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "batchprogress.h"
#include "stopsignals.h"

namespace qrcli::batch {

// Writes one message for the user (without the program's prefix or a line end); gives 0, or the
// error that kept it from its reader (EPIPE when the reader has gone).
using MessageFn = std::function<int(const std::string&)>;

struct Counts {
    std::uint64_t Read = 0;     // rows taken from the list
    std::uint64_t Written = 0;  // files written
    std::uint64_t Failed = 0;   // rows reported as failed
    std::uint64_t NotDone = 0;  // rows taken but left when the run was stopped
};

enum class Outcome { Written, Failed, NotDone };

// The reader waits for room, the workers take jobs, and each row's outcome is reported once every
// earlier row's has been. A window of Window rows, and of ByteBudget bytes of the rows' texts and
// paths, bounds what is in flight (a row larger than the budget is let in alone). Messages go to
// Say; the progress line to standard error when Progress.
class Ledger {
public:
    Ledger(std::size_t Window, std::size_t ByteBudget, const MessageFn& Say, bool Progress, const StopSignals& Stop)
        : FWindow(Window), FByteBudget(ByteBudget), FSay(Say), FStop(Stop), FProgress(STDERR_FILENO, Progress) {}

    // Waits until Row (the next row of the list) fits in the window; false when the run is
    // stopped meanwhile. Once the window is full, the reader waits until it is half empty, so
    // that it is woken once for many rows rather than once a row.
    bool Admit(std::uint64_t Row, std::size_t Bytes);

    // Row is done: Message (a failure's reason, or a written row's warning) is reported with it.
    // A written row's Path is kept until it is reported, in case an earlier row takes its name.
    // A written row counts Files files (a structured-append set's).
    void Finish(std::uint64_t Row, std::size_t Bytes, Outcome What, std::string Message = {}, std::string Path = {},
                std::uint64_t Files = 1);

    // Row made no file: Path is already the file of the earlier row Earlier. Reported as
    // "\"<Path>\" is already the file of row N", N the row whose file has the name in the end.
    void Repeated(std::uint64_t Row, std::size_t Bytes, std::string Path, std::uint64_t Earlier);

    // Row's file took the name from the file of the later row Later, which is reported as a repeat
    // of Row's name. Said before Row finishes, so before Later is reported.
    void Displaced(std::uint64_t Later, std::uint64_t Row);

    // The number of rows in the list, for the progress line, once it is known.
    void SetTotal(std::uint64_t Rows) { FTotal = Rows; }

    // Once every thread is done: the counts, the progress line removed.
    Counts Results();

private:
    struct Done {
        Outcome What = Outcome::Written;
        std::string Message;
        std::string Path;           // of a written or repeated row
        std::uint64_t Earlier = 0;  // a repeated row: the row whose file had the name
        std::uint64_t Files = 1;    // a written row's
    };

    // Whether Row, holding Bytes, fits a window of Rows rows (and the byte budget).
    bool Fits(std::uint64_t Row, std::size_t Bytes, std::size_t Rows) const {
        return Row < FNextReport + Rows && (FBytesInFlight == 0 || FBytesInFlight + Bytes <= FByteBudget);
    }
    std::optional<std::uint64_t> Total() const;
    // Records Row as done and reports what can be reported.
    void Record(std::uint64_t Row, std::size_t Bytes, Done What);
    // The row whose file has the name that Row's had, once every row that took a name from
    // another is known.
    std::uint64_t Owner(std::uint64_t Row) const;

    static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};
    const std::size_t FWindow;
    const std::size_t FByteBudget;
    const MessageFn& FSay;
    const StopSignals& FStop;

    std::mutex FMutex;
    std::condition_variable FRoom;
    bool FReaderWaiting = false;  // for FWaitingRow, holding FWaitingBytes
    std::uint64_t FWaitingRow = 0;
    std::size_t FWaitingBytes = 0;
    std::size_t FBytesInFlight = 0;
    std::uint64_t FNextReport = 1;
    std::map<std::uint64_t, Done> FDone;
    std::map<std::uint64_t, std::uint64_t> FDisplacedBy;  // a row whose file lost its name, and to whom
    Counts FCounts;
    ProgressLine FProgress;
    std::atomic<std::uint64_t> FTotal{kUnknown};
};

}  // namespace qrcli::batch
