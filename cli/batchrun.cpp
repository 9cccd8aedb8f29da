#include "batchrun.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "batchlist.h"
#include "batchname.h"
#include "batchsystem.h"
#include "confinedfolder.h"
#include "listfile.h"
#include "outputtype.h"
#include "readerwarnings.h"
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
// The address space left for the rows' work when threads are started: no more start once less
// would be left (each thread's stack takes some).
constexpr std::size_t kWorkRoom = std::size_t{64} << 20;

// The list's format; the name column only for a template that takes names from it; the columns
// of a payload's fields.
ListFormat FormatOf(const Options& Opts, const NameTemplate& Template) {
    const BatchOptions& B = *Opts.Batch;
    ListFormat Format;
    Format.Csv = B.Csv;
    Format.Header = B.Header;
    Format.Text = *ParseColumn(B.Column);
    if (B.NameColumn && Template.UsesName())
        Format.Name = ParseColumn(*B.NameColumn);
    if (const auto& Payload = Opts.Payload) {
        Format.HasText = false;
        for (const FieldColumn& C : Payload->Columns)
            Format.Fields.push_back({C.Field, *ParseColumn(C.Column), false});
        // With a header, a column named as a field gives it, unless an option already does.
        if (B.Header)
            for (const PayloadField& Field : Payload->Format->Fields) {
                const auto Given = [&](const FieldColumn& C) { return C.Field == Field.Name; };
                if (!Payload->Values.count(Field.Name) &&
                    std::none_of(Payload->Columns.begin(), Payload->Columns.end(), Given))
                    Format.Fields.push_back({Field.Name, {0, Field.Name}, true});
            }
    }
    return Format;
}

// Up to Count threads that do the same work, started together and joined together: fewer when
// the system cannot start more, or when the address space would keep too little room for their
// work, Error then saying why.
std::vector<std::thread> StartCrew(int Count, const std::function<void()>& Body, int& Error) {
    std::vector<std::thread> Crew;
    Crew.reserve(static_cast<std::size_t>(Count));
    Error = 0;
    try {
        while (static_cast<int>(Crew.size()) < Count) {
            if (!RoomFor(kWorkRoom)) {
                Error = ENOMEM;
                break;
            }
            Crew.push_back(StopSignals::StartThread(Body));
        }
    } catch (const std::system_error& E) {
        Error = E.code().value();
    }
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
    Run(const Options& Opts, const MessageFn& Say, StopSignals& Stop)
        : FOpts(Opts),
          FOuterSay(Say),
          FStop(Stop),
          FTemplate(*NameTemplate::Parse(*Opts.OutputFile)),
          // Rows whose names may meet are remembered; {n}{s} can meet too (row 1's 12th, row 11's 2nd).
          FFiles(FTemplate.Confined(), FTemplate.UsesName() || !FTemplate.UsesRow() || FTemplate.UsesSymbol()),
          FType(ResolveType(Opts)),
          FFormat(FormatOf(Opts, FTemplate)),
          FProgress(!Opts.Batch->Quiet && IsTerminal(STDERR_FILENO)),
          FWorkers(Opts.Batch->Jobs > 0 ? Opts.Batch->Jobs : CoreCount()),
          FFlushers(std::min(kFlushersPerWorker * FWorkers, kMostFlushers)),
          FRows(4 * static_cast<std::size_t>(FWorkers) + static_cast<std::size_t>(FFlushers) + 16, kByteBudget, FSay,
                FProgress, Stop) {}

    // The total, for the progress line: the list read a second time, from its own offset, while
    // the run goes on, when a thread can be had for it.
    void StartCounting(const ListFile& List) {
        if (!FProgress || !List.Regular())
            return;
        try {
            FCounter = StopSignals::StartThread([this, &List] {
                if (const auto Total = List.CountRows(FFormat, [this] { return FFinished || FStop.Caught(); }))
                    FRows.SetTotal(*Total);
            });
        } catch (const std::system_error&) {
            // The line shows the rows done without the total.
        }
    }

    // The workers and the flushers, as many as the system can start: false when not one worker
    // could start. With fewer workers than asked the run goes on and says so; without flushers,
    // the workers write the replacements themselves.
    bool StartWorkers() {
        int Error = 0;
        FWorkerCrew = StartCrew(FWorkers, [this] { MakeFiles(); }, Error);
        if (FWorkerCrew.empty()) {
            FSay(qrfiles::Cannot("start the batch's threads", Error).Message);
            FCannotStart = true;
            return false;
        }
        if (Error != 0)
            FSay("warning: only " + std::to_string(FWorkerCrew.size()) + " of " + std::to_string(FWorkers) +
                 " workers could start (" + qrfiles::ErrorText(Error) + "); the run goes on with them");
        FFlusherCrew = StartCrew(FFlushers, [this] { WriteReplacements(); }, Error);
        return true;
    }

    // Reads the list to its end, or until the run is stopped, and hands its rows out.
    void ReadRows(const ListFile& List) {
        ListReader Reader(FFormat, List.Reader(FStop));
        while (!FStop.Caught()) {
            auto Next = Reader.Next();
            if (!Next) {
                FListFailure = Next.TakeFailure();
                FColumnNotFound = Reader.ColumnNotFound();
                break;
            }
            if (!*Next) {
                // A signal ends the wait for more of the list as its end would.
                FListEnded = !FStop.Caught();
                break;
            }
            if (FStop.Caught())
                break;
            ListRow& Row = **Next;
            auto Prepared = PrepareRow(Row, FOpts, FTemplate, FFormat);
            // Said once a run, with the first row it is true of: the rest would only repeat it.
            if (Prepared && !FTextWarned)
                if (const auto Warning = TextWarning(Row.Text, Prepared->Text, FOpts)) {
                    FSay("row " + std::to_string(Row.Number) + ": " + *Warning);
                    FTextWarned = true;
                }
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
        // A signal that came once every row of the list was done stopped nothing.
        const int Signal = FListEnded && C.NotDone == 0 ? 0 : FStop.Caught();
        const bool ListError = Signal == 0 && FListFailure;
        if (ListError)
            FSay(FListFailure->Message);
        if (ListError && FColumnNotFound)
            return ExitStatus::Usage;
        FSay(SummaryText(C, Signal));
        return BatchStatus(C, Signal, ListError || SyncError || FCannotStart);
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
            auto File = MakeRowFile(std::move(*J), FType, FOpts, FFiles);
            if (!File)
                FRows.Finish(Row, Bytes, Outcome::Failed, File.TakeFailure().Message);
            else if (File->Place.Earlier != 0)
                FRows.Repeated(Row, Bytes, File->J.Path, File->Place.Earlier);
            else if (File->Place.Exists && !FFlusherCrew.empty())
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
        auto Written = WriteRowFile(M, FFiles);
        if (!Written) {
            FRows.Finish(M.J.Row, M.J.Bytes, Outcome::Failed, Written.TakeFailure().Message);
            return;
        }
        for (std::size_t k = 0; k < Written->size(); ++k) {
            const qrfiles::Placed& P = (*Written)[k];
            if (P.Earlier != 0) {
                FRows.Repeated(M.J.Row, M.J.Bytes, M.PathOf(k), P.Earlier);
                return;
            }
            if (P.Displaced != 0)
                FRows.Displaced(P.Displaced, M.J.Row);
        }
        FRows.Finish(M.J.Row, M.J.Bytes, Outcome::Written, M.J.Warning, M.J.Path, Written->size());
    }

    // Says a message; one that cannot reach standard error's reader, who went away, stops the run
    // as SIGPIPE would.
    int Say(const std::string& Message) {
        const int Error = FOuterSay(Message);
        if (Error == EPIPE)
            FStop.Request(kBrokenPipe);
        return Error;
    }

    const Options& FOpts;
    const MessageFn& FOuterSay;
    const MessageFn FSay{[this](const std::string& Message) { return Say(Message); }};
    StopSignals& FStop;
    const NameTemplate FTemplate;
    qrfiles::ConfinedFiles FFiles;
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
    bool FListEnded = false;    // the list was read to its end
    bool FCannotStart = false;  // not one worker could start
    bool FTextWarned = false;   // a row's text was warned about
};

}  // namespace

std::string SummaryText(const Counts& C, int Signal) {
    std::string Text;
    if (Signal != 0)
        Text = std::string("stopped by ") + SignalName(Signal) + ": ";
    Text += Counted(C.Read, "row") + " read, " + Counted(C.Written, "file") + " written, " + Counted(C.Failed, "row") +
            " failed";
    if (Signal != 0)
        Text += ", " + Counted(C.NotDone, "row") + " not done";
    return Text;
}

ExitStatus BatchStatus(const Counts& C, int Signal, bool OtherError) {
    for (const int Stop : kStopSignals)
        if (Signal == Stop)
            return static_cast<ExitStatus>(128 + Signal);
    return C.Failed > 0 || OtherError ? ExitStatus::Failed : ExitStatus::Done;
}

ExitStatus RunBatch(const Options& Opts, const MessageFn& Say) {
    auto List = ListFile::Open(Opts.Batch->List);
    if (!List) {
        Say(List.Error());
        return ExitStatus::Usage;
    }
    // The same for every row: said once, before the rows.
    for (const std::string& Warning : LookWarnings(ResolveType(Opts), Opts))
        Say(Warning);
    StopSignals Stop;
    Run Batch(Opts, Say, Stop);
    if (Batch.StartWorkers()) {
        Batch.StartCounting(*List);
        Batch.ReadRows(*List);
    }
    Batch.Finish();
    return Batch.Report();
}

}  // namespace qrcli::batch
