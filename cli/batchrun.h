#pragma once
// The batch run: the list read row by row on the calling thread, each row's name decided there in
// row order, the files made and written by worker threads, the results reported in row order.
// What is held at once is bounded by the workers, not by the list: a window of rows in flight.

#include <cstdint>
#include <functional>
#include <string>

#include "commandline.h"

namespace qrcli::batch {

// Writes one message for the user (without the program's prefix or a line end).
using MessageFn = std::function<void(const std::string&)>;

struct Counts {
    std::uint64_t Read = 0;     // rows taken from the list
    std::uint64_t Written = 0;  // files written
    std::uint64_t Failed = 0;   // rows reported as failed
    std::uint64_t NotDone = 0;  // rows taken but left when the run was stopped
};

// The closing line: "3 rows read, 2 files written, 1 row failed", after "stopped by SIGINT: "
// and with the rows not done when a signal stopped the run.
std::string SummaryText(const Counts& C, int Signal);

// The exit status: 130 or 143 when SIGINT or SIGTERM stopped the run, 1 when a row failed or
// something else went wrong (the list not read to its end, the files not flushed), otherwise 0.
int BatchStatus(const Counts& C, int Signal, bool OtherError);

// Runs the batch that Opts.Batch describes, with the file of each row named by the template in
// Opts.OutputFile. Messages (row errors, list errors, the summary) go to Say; the progress line
// goes to standard error when it is a terminal. While it runs, SIGINT and SIGTERM only set a
// flag. Returns the exit status.
int RunBatch(const Options& Opts, const MessageFn& Say);

}  // namespace qrcli::batch
