#pragma once
// The batch run: the list read row by row on the calling thread, each row's name decided there in
// row order, the files made and written by worker threads, the results reported in row order.
// What is held at once is bounded by the workers, not by the list: a window of rows in flight.

#include <string>

#include "exitstatus.h"
#include "ledger.h"
#include "options.h"

namespace qrcli::batch {

// The closing line: "3 rows read, 2 files written, 1 row failed", after "stopped by SIGINT: "
// and with the rows not done when a signal stopped the run.
std::string SummaryText(const Counts& C, int Signal);

// The exit status: 128 and the signal when a stopping signal stopped the run (130 for SIGINT),
// Failed when a row failed or something else went wrong (the list not read to its end, the files
// not flushed, no thread started), otherwise Done.
ExitStatus BatchStatus(const Counts& C, int Signal, bool OtherError);

// Runs the batch that Opts.Batch describes, with the file of each row named by the template in
// Opts.OutputFile. Messages (row errors, list errors, the summary) go to Say; one that Say cannot
// deliver because standard error's reader went away stops the run as SIGPIPE would. The progress
// line goes to standard error when it is a terminal. While it runs, the stopping signals only ask
// it to stop and the others that would end it are held back (StopSignals).
ExitStatus RunBatch(const Options& Opts, const MessageFn& Say);

}  // namespace qrcli::batch
