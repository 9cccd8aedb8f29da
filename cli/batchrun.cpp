#include "batchrun.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include "batchlist.h"
#include "batchname.h"
#include "listfile.h"
#include "outputtype.h"
#include "rowfile.h"
#include "rowjob.h"
#include "stopsignals.h"
#include "workqueue.h"
#include "writefile.h"

namespace qrcli::batch {

namespace {

// Threads that write files which replace others (each waits for the disk): per worker, and at most.
constexpr int kFlushersPerWorker = 8;
constexpr int kMostFlushers = 64;
// The texts and paths of the rows in flight, at most (a larger row is let in alone).
constexpr std::size_t kByteBudget = std::size_t{64} << 20;

// The cores this process may run on.
int CoreCount() {
    cpu_set_t Set;
    if (sched_getaffinity(0, sizeof Set, &Set) == 0)
        return std::max(1, CPU_COUNT(&Set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

ListFormat FormatOf(const BatchOptions& B) {
    ListFormat Format;
    Format.Csv = B.Csv;
    Format.Header = B.Header;
    Format.Text = *ParseColumn(B.Column);
    if (B.NameColumn)
        Format.Name = ParseColumn(*B.NameColumn);
    return Format;
}

// Threads that do the same work, started together and joined together.
std::vector<std::thread> StartCrew(int Count, const std::function<void()>& Body) {
    std::vector<std::thread> Crew;
    for (int i = 0; i < Count; ++i)
        Crew.push_back(StopSignals::StartThread(Body));
    return Crew;
}

void Join(std::vector<std::thread>& Crew) {
    for (std::thread& T : Crew)
        T.join();
    Crew.clear();
}

// One run of the batch: the reader (the calling thread) prepares each row's job and admits it
// to the ledger; -j workers make the files and write the new ones; a file that replaces another
// waits for the disk before it takes its name, so flushers write those, many at once, and the
// workers go on meanwhile while the disk gathers the waits.
class Run {
public:
    Run(const Options& Opts, const MessageFn& Say, const StopSignals& Stop)
        : FOpts(Opts),
          FSay(Say),
          FStop(Stop),
          FTemplate(*NameTemplate::Parse(*Opts.OutputFile)),
          FType(ResolveType(Opts)),
          FFormat(FormatOf(*Opts.Batch)),
          FProgress(!Opts.Batch->Quiet && isatty(STDERR_FILENO)),
          FWorkers(Opts.Batch->Jobs > 0 ? Opts.Batch->Jobs : CoreCount()),
          FFlushers(std::min(kFlushersPerWorker * FWorkers, kMostFlushers)),
          FRows(4 * static_cast<std::size_t>(FWorkers) + static_cast<std::size_t>(FFlushers) + 16, kByteBudget, Say,
                FProgress, Stop) {}

    // The total, for the progress line: the list read a second time, from its own offset, while
    // the run goes on.
    void StartCounting(const ListFile& List) {
        if (FProgress && List.Regular())
            FCounter = StopSignals::StartThread([this, &List] {
                if (const auto Total = List.CountRows(FFormat, [this] { return FFinished || FStop.Caught(); }))
                    FRows.SetTotal(*Total);
            });
    }

    void StartWorkers() {
        FWorkerCrew = StartCrew(FWorkers, [this] { MakeFiles(); });
        FFlusherCrew = StartCrew(FFlushers, [this] { WriteReplacements(); });
    }

    // Reads the list to its end, or until the run is stopped, and hands its rows out.
    void ReadRows(const ListFile& List) {
        ListReader Reader(FFormat, List.Reader(FStop));
        std::optional<TakenNames> Taken;
        if (FTemplate.UsesName() || !FTemplate.UsesRow())
            Taken.emplace();
        while (!FStop.Caught()) {
            auto Next = Reader.Next();
            if (!Next) {
                FListFailure = Next.TakeFailure();
                FColumnNotFound = Reader.ColumnNotFound();
                break;
            }
            if (!*Next || FStop.Caught())
                break;
            ListRow& Row = **Next;
            auto Prepared = PrepareRow(Row, FOpts, FTemplate, Taken);
            if (!FRows.Admit(Row.Number, Prepared ? Prepared->Bytes : 0))
                break;
            if (Prepared)
                FJobs.Push(std::move(*Prepared));
            else
                FRows.Finish(Row.Number, 0, Outcome::Failed, Prepared.TakeFailure().Message);
        }
    }

    // Waits for every thread to finish its work.
    void Finish() {
        FJobs.Close();
        Join(FWorkerCrew);
        FReplacements.Close();
        Join(FFlusherCrew);
        FFinished = true;
        if (FCounter.joinable())
            FCounter.join();
    }

    // Flushes what was written, says what went wrong and the summary, and gives the status.
    ExitStatus Report() {
        const Counts C = FRows.Results();
        // Every file written is on the disk before the run reports.
        bool SyncError = false;
        if (C.Written > 0)
            if (auto Synced = qrfiles::SyncFileSystem(FTemplate.Folder()); !Synced) {
                FSay(Synced.Error());
                SyncError = true;
            }
        const int Signal = FStop.Caught();
        const bool ListError = Signal == 0 && FListFailure;
        if (ListError)
            FSay(FListFailure->Message);
        if (ListError && FColumnNotFound)
            return ExitStatus::Usage;
        FSay(SummaryText(C, Signal));
        return BatchStatus(C, Signal, ListError || SyncError);
    }

private:
    // A worker: makes each job's file, writes a new one, hands one that replaces a file on.
    void MakeFiles() {
        while (std::optional<Job> J = FJobs.Pop()) {
            if (FStop.Caught()) {
                FRows.Finish(J->Row, J->Bytes, Outcome::NotDone);
                continue;
            }
            const std::uint64_t Row = J->Row;
            const std::size_t Bytes = J->Bytes;
            auto File = MakeRowFile(std::move(*J), FType, FOpts, FTemplate.Confined());
            if (!File)
                FRows.Finish(Row, Bytes, Outcome::Failed, File.TakeFailure().Message);
            else if (File->Replaces)
                FReplacements.Push(std::move(*File));
            else
                Write(*File);
        }
    }

    // A flusher: writes the files that replace others.
    void WriteReplacements() {
        while (std::optional<Made> M = FReplacements.Pop()) {
            if (FStop.Caught())
                FRows.Finish(M->J.Row, M->J.Bytes, Outcome::NotDone);
            else
                Write(*M);
        }
    }

    void Write(const Made& M) {
        auto Written = WriteRowFile(M);
        if (Written)
            FRows.Finish(M.J.Row, M.J.Bytes, Outcome::Written, M.J.Warning);
        else
            FRows.Finish(M.J.Row, M.J.Bytes, Outcome::Failed, Written.TakeFailure().Message);
    }

    const Options& FOpts;
    const MessageFn& FSay;
    const StopSignals& FStop;
    const NameTemplate FTemplate;
    const OutputType FType;
    const ListFormat FFormat;
    const bool FProgress;
    const int FWorkers;
    const int FFlushers;
    Ledger FRows;
    WorkQueue<Job> FJobs;
    WorkQueue<Made> FReplacements;
    std::vector<std::thread> FWorkerCrew, FFlusherCrew;
    std::thread FCounter;
    std::atomic<bool> FFinished{false};
    std::optional<qrfiles::Failure> FListFailure;
    bool FColumnNotFound = false;
};

}  // namespace

std::string SummaryText(const Counts& C, int Signal) {
    std::string Text;
    if (Signal != 0)
        Text = std::string("stopped by ") + (Signal == SIGINT ? "SIGINT" : Signal == SIGTERM ? "SIGTERM" : "a signal") +
               ": ";
    Text += Counted(C.Read, "row") + " read, " + Counted(C.Written, "file") + " written, " + Counted(C.Failed, "row") +
            " failed";
    if (Signal != 0)
        Text += ", " + Counted(C.NotDone, "row") + " not done";
    return Text;
}

ExitStatus BatchStatus(const Counts& C, int Signal, bool OtherError) {
    if (Signal == SIGINT)
        return ExitStatus::Interrupted;
    if (Signal == SIGTERM)
        return ExitStatus::Terminated;
    return C.Failed > 0 || OtherError ? ExitStatus::Failed : ExitStatus::Done;
}

ExitStatus RunBatch(const Options& Opts, const MessageFn& Say) {
    auto List = ListFile::Open(Opts.Batch->List);
    if (!List) {
        Say(List.Error());
        return ExitStatus::Usage;
    }
    const StopSignals Stop;
    Run Batch(Opts, Say, Stop);
    Batch.StartCounting(*List);
    Batch.StartWorkers();
    Batch.ReadRows(*List);
    Batch.Finish();
    return Batch.Report();
}

}  // namespace qrcli::batch
