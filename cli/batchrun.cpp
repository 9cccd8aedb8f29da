#include "batchrun.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <variant>
#include <vector>

#include "batchlist.h"
#include "batchname.h"
#include "batchprogress.h"
#include "text/textconv.h"
#include "writefile.h"

namespace qrcli::batch {

namespace {

namespace fs = std::filesystem;

// Threads that write files which replace others (each waits for the disk): per worker, and at most.
constexpr int kFlushersPerWorker = 8;
constexpr int kMostFlushers = 64;

// --- Signals -------------------------------------------------------------------------------

// The first stopping signal caught, and the pipe that wakes a reader waiting for the list. Every
// thread reads the flag; a lock-free atomic may be written from a signal handler.
std::atomic<int> CaughtSignal{0};
static_assert(std::atomic<int>::is_always_lock_free);
int WakeWriteFd = -1;

extern "C" void OnStopSignal(int Signal) {
    const int SavedErrno = errno;
    int None = 0;
    CaughtSignal.compare_exchange_strong(None, Signal);
    if (WakeWriteFd >= 0 && write(WakeWriteFd, "", 1) < 0) {
        // The pipe is full: a wake-up is already waiting.
    }
    errno = SavedErrno;
}

// While it lives, SIGINT and SIGTERM only set CaughtSignal (and wake the reader), in the thread
// that created it; every thread it starts through StartThread holds them back, so that no
// signal's default action can end the process while a worker's file has a temporary name.
class StopSignals {
public:
    StopSignals() {
        int Pipe[2];
        if (pipe2(Pipe, O_CLOEXEC | O_NONBLOCK) == 0) {
            FWakeRead = Pipe[0];
            WakeWriteFd = Pipe[1];
        }
        CaughtSignal = 0;
        struct sigaction Action{};
        Action.sa_handler = OnStopSignal;
        sigemptyset(&Action.sa_mask);
        Action.sa_flags = SA_RESTART;
        sigaction(SIGINT, &Action, &FOldInt);
        sigaction(SIGTERM, &Action, &FOldTerm);
    }
    ~StopSignals() {
        sigaction(SIGINT, &FOldInt, nullptr);
        sigaction(SIGTERM, &FOldTerm, nullptr);
        if (WakeWriteFd >= 0)
            close(std::exchange(WakeWriteFd, -1));
        if (FWakeRead >= 0)
            close(FWakeRead);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    static int Caught() { return CaughtSignal; }
    int WakeFd() const { return FWakeRead; }

    // A thread that never receives SIGINT or SIGTERM.
    template <typename Fn>
    static std::thread StartThread(Fn&& Body) {
        sigset_t Stop, Old;
        sigemptyset(&Stop);
        sigaddset(&Stop, SIGINT);
        sigaddset(&Stop, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &Stop, &Old);
        std::thread Thread(std::forward<Fn>(Body));
        pthread_sigmask(SIG_SETMASK, &Old, nullptr);
        return Thread;
    }

private:
    int FWakeRead = -1;
    struct sigaction FOldInt{}, FOldTerm{};
};

// --- Rows in flight ------------------------------------------------------------------------

struct Job {
    std::uint64_t Row = 0;
    std::u16string Text;
    std::string Path;
    std::string Warning;    // said with the row when its file is written
    std::size_t Bytes = 0;  // what it holds, for the window
};

enum class Outcome { Written, Failed, NotDone };

// Work handed between threads: Pop waits for an item, and gives none once the queue is closed and
// empty. The window of rows in flight bounds how much it holds.
template <typename T>
class WorkQueue {
public:
    void Push(T Item) {
        {
            const std::lock_guard Lock(FMutex);
            FItems.push_back(std::move(Item));
        }
        FReady.notify_one();
    }

    std::optional<T> Pop() {
        std::unique_lock Lock(FMutex);
        FReady.wait(Lock, [&] { return !FItems.empty() || FClosed; });
        if (FItems.empty())
            return std::nullopt;
        T Item = std::move(FItems.front());
        FItems.pop_front();
        return Item;
    }

    void Close() {
        {
            const std::lock_guard Lock(FMutex);
            FClosed = true;
        }
        FReady.notify_all();
    }

private:
    std::mutex FMutex;
    std::condition_variable FReady;
    std::deque<T> FItems;
    bool FClosed = false;
};

// The rows between the reader and the report: the reader waits for room, the workers take jobs,
// and each row's outcome is reported once every earlier row's has been.
class Ledger {
public:
    Ledger(std::size_t Window, std::size_t ByteBudget, const MessageFn& Say, bool Progress)
        : FWindow(Window), FByteBudget(ByteBudget), FSay(Say), FProgress(STDERR_FILENO, Progress) {}

    // Waits until Row (the next row of the list) fits in the window; false when the run is
    // stopped meanwhile. Once the window is full, the reader waits until it is half empty, so
    // that it is woken once for many rows rather than once a row.
    bool Admit(std::uint64_t Row, std::size_t Bytes) {
        std::unique_lock Lock(FMutex);
        if (!Fits(Row, Bytes, FWindow)) {
            FReaderWaiting = true;
            FWaitingRow = Row;
            FWaitingBytes = Bytes;
            while (!Fits(Row, Bytes, FWindow / 2)) {
                if (StopSignals::Caught()) {
                    FReaderWaiting = false;
                    return false;
                }
                // A signal cannot notify a condition variable: look at the flag now and then.
                FRoom.wait_for(Lock, std::chrono::milliseconds(50));
            }
            FReaderWaiting = false;
        }
        FBytesInFlight += Bytes;
        ++FCounts.Read;
        return true;
    }

    // Row is done: Message (a failure's reason, or a written row's warning) is reported with it.
    void Finish(std::uint64_t Row, std::size_t Bytes, Outcome What, std::string Message = {}) {
        bool WakeReader = false;
        {
            const std::lock_guard Lock(FMutex);
            FBytesInFlight -= Bytes;
            FDone.emplace(Row, std::pair(What, std::move(Message)));
            for (auto Next = FDone.find(FNextReport); Next != FDone.end(); Next = FDone.find(FNextReport)) {
                auto& [Result, Text] = Next->second;
                if (!Text.empty()) {
                    FProgress.Clear();
                    FSay("row " + std::to_string(FNextReport) + ": " + Text);
                }
                ++(Result == Outcome::Written ? FCounts.Written
                   : Result == Outcome::Failed ? FCounts.Failed
                                               : FCounts.NotDone);
                FDone.erase(Next);
                ++FNextReport;
            }
            FProgress.Update(FCounts.Written + FCounts.Failed, Total());
            WakeReader = FReaderWaiting && Fits(FWaitingRow, FWaitingBytes, FWindow / 2);
        }
        if (WakeReader)
            FRoom.notify_one();
    }

    void SetTotal(std::uint64_t Rows) { FTotal = Rows; }

    // Once every thread is done: the counts, the progress line removed.
    Counts Results() {
        const std::lock_guard Lock(FMutex);
        FProgress.Clear();
        return FCounts;
    }

private:
    // Whether Row, holding Bytes, fits a window of Rows rows (and the byte budget).
    bool Fits(std::uint64_t Row, std::size_t Bytes, std::size_t Rows) const {
        return Row < FNextReport + Rows && (FBytesInFlight == 0 || FBytesInFlight + Bytes <= FByteBudget);
    }

    std::optional<std::uint64_t> Total() const {
        const std::uint64_t Rows = FTotal;
        return Rows == kUnknown ? std::nullopt : std::optional(Rows);
    }

    static constexpr std::uint64_t kUnknown = ~std::uint64_t{0};
    const std::size_t FWindow;
    const std::size_t FByteBudget;
    const MessageFn& FSay;

    std::mutex FMutex;
    std::condition_variable FRoom;
    bool FReaderWaiting = false;  // for FWaitingRow, holding FWaitingBytes
    std::uint64_t FWaitingRow = 0;
    std::size_t FWaitingBytes = 0;
    std::size_t FBytesInFlight = 0;
    std::uint64_t FNextReport = 1;
    std::map<std::uint64_t, std::pair<Outcome, std::string>> FDone;
    Counts FCounts;
    ProgressLine FProgress;
    std::atomic<std::uint64_t> FTotal{kUnknown};
};

// --- Files ---------------------------------------------------------------------------------

// Makes the missing folders of Path: the template's folder (its first FolderLength bytes) as the
// system follows it, and below it only real folders: a symbolic link or anything but a folder on
// the way, or anything but a regular file at Path itself, fails the row, so that no name from the
// list can lead outside the template's folder. Returns why the row fails, or nothing; Exists
// tells whether a file is there already.
std::optional<std::string> PrepareFolders(const std::string& Path, std::size_t FolderLength, bool& Exists) {
    const auto Quoted = [](const fs::path& Part, const std::string& What) {
        std::string Text(1, '"');
        Text += Part.string();
        Text += "\" ";
        Text += What;
        return Text;
    };
    std::error_code Error;
    if (FolderLength > 0) {
        const fs::path Folder(Path.substr(0, FolderLength));
        if (!fs::is_directory(Folder, Error)) {
            fs::create_directories(Folder, Error);
            if (Error && !fs::is_directory(Folder))
                return "cannot create the folder " + Quoted(Folder, Error.message());
        }
    }
    for (std::size_t Slash = Path.find('/', FolderLength);; Slash = Path.find('/', Slash + 1)) {
        const bool Last = Slash == std::string::npos;
        const fs::path Part(Last ? Path : Path.substr(0, Slash));
        fs::file_status Status = fs::symlink_status(Part, Error);
        if (!Last && Status.type() == fs::file_type::not_found) {
            fs::create_directory(Part, Error);
            Status = fs::symlink_status(Part, Error);
        }
        if (Status.type() == fs::file_type::symlink)
            return Quoted(Part, "is a symbolic link");
        if (Last) {
            Exists = Status.type() == fs::file_type::regular;
            if (Status.type() == fs::file_type::not_found || Exists)
                return std::nullopt;
            return Quoted(Part, "exists and is not a regular file");
        }
        if (Status.type() != fs::file_type::directory)
            return "cannot create the folder " +
                   Quoted(Part, Error ? Error.message() : std::string("(a file of that name is in the way)"));
    }
}

// A row's file, made and ready to be written.
struct Made {
    Job J;
    qrpicture::TBytes File;
    bool Replaces = false;  // a file of that name exists
};

// Makes the file of one job, or says why it cannot be written.
std::variant<Made, std::string> MakeFile(Job J, OutputType Type, const Options& Opts, std::size_t FolderLength) {
    try {
        // The folders first: a row that cannot be written costs no encoding.
        Made M;
        if (auto Why = PrepareFolders(J.Path, FolderLength, M.Replaces))
            return std::move(*Why);
        M.File = MakeSymbolFile(Type, J.Text, Opts);
        M.J = std::move(J);
        return M;
    } catch (const std::exception& E) {
        return std::string(E.what());
    }
}

// Writes a row's file. Returns why it failed, or nothing.
std::optional<std::string> WriteFile(const Made& M) {
    try {
        // New files are flushed together at the end of the run: one flush per file would hold
        // every worker up on the disk. A file that replaces another is flushed before it takes
        // the name, so that the old one is never lost.
        qrfiles::SaveFile(M.J.Path, M.File, qrfiles::Durability::NewFilesLater);
        return std::nullopt;
    } catch (const std::exception& E) {
        return std::string(E.what());
    }
}

// --- Reading -------------------------------------------------------------------------------

// The cores this process may run on.
int CoreCount() {
    cpu_set_t Set;
    if (sched_getaffinity(0, sizeof Set, &Set) == 0)
        return std::max(1, CPU_COUNT(&Set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

// Reads the list from Fd; waits for it with the wake pipe, so that a signal ends the wait. At a
// signal the list ends.
ReadFn ListSource(int Fd, bool Regular, int WakeFd) {
    return [=](char* Buffer, std::size_t Size) -> long {
        while (!Regular) {
            if (StopSignals::Caught())
                return 0;
            pollfd Wait[2] = {{Fd, POLLIN, 0}, {WakeFd, POLLIN, 0}};
            if (poll(Wait, WakeFd >= 0 ? 2 : 1, -1) < 0 && errno != EINTR)
                break;  // read will say what is wrong
            if (StopSignals::Caught())
                return 0;
            if (Wait[0].revents != 0)
                break;
        }
        return static_cast<long>(read(Fd, Buffer, Size));
    };
}

// The row's job, or why the row makes no file. Names are taken here, in row order.
std::variant<Job, std::string> Prepare(ListRow& Row, const Options& Opts, const NameTemplate& Template,
                                       std::optional<TakenNames>& Taken) {
    if (!Row.Problem.empty())
        return std::move(Row.Problem);
    qrtext::Decoded Text = qrtext::DecodeUtf8(Row.Text);
    if (!Text.Text)
        return "the text is not valid UTF-8 (at byte offset " + std::to_string(Text.ErrorOffset) + ")";
    Job J;
    J.Row = Row.Number;
    J.Text = Opts.Crlf ? qrtext::LineFeedsToCrLf(*Text.Text) : std::move(*Text.Text);
    if (auto Why = TooLongForSymbol(J.Text, Opts))
        return std::move(*Why);
    if (auto Warning = DroppedWarning(J.Text, Opts.Encoding))
        J.Warning = std::move(*Warning);
    PathOrError Name;
    if (Template.UsesName()) {
        Name = CleanName(Row.Name);
        if (!Name.Error.empty())
            return std::move(Name.Error);
    }
    PathOrError Path = Template.Expand(Row.Number, Name.Path);
    if (!Path.Error.empty())
        return std::move(Path.Error);
    if (Taken)
        if (const auto Earlier = Taken->Take(Path.Path, Row.Number))
            return "\"" + Path.Path + "\" is already the file of row " + std::to_string(*Earlier);
    J.Path = std::move(Path.Path);
    J.Bytes = J.Text.size() * sizeof(char16_t) + J.Path.size();
    return J;
}

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

int BatchStatus(const Counts& C, int Signal, bool OtherError) {
    if (Signal == SIGINT)
        return 130;
    if (Signal == SIGTERM)
        return 143;
    return C.Failed > 0 || OtherError ? 1 : 0;
}

int RunBatch(const Options& Opts, const MessageFn& Say) {
    const BatchOptions& B = *Opts.Batch;
    const NameTemplate Template = std::get<NameTemplate>(NameTemplate::Parse(*Opts.OutputFile));
    const OutputType Type = ResolveType(Opts);
    ListFormat Format;
    Format.Csv = B.Csv;
    Format.Header = B.Header;
    Format.Text = *ParseColumn(B.Column);
    if (B.NameColumn)
        Format.Name = ParseColumn(*B.NameColumn);

    // The list.
    int Fd = STDIN_FILENO;
    std::optional<int> Opened;
    if (B.List != "-") {
        Fd = open(B.List.c_str(), O_RDONLY | O_CLOEXEC);
        if (Fd < 0) {
            Say("cannot open the list \"" + B.List + "\": " + std::strerror(errno));
            return 2;
        }
        Opened = Fd;
    }
    struct Closer {
        std::optional<int> Fd;
        ~Closer() {
            if (Fd)
                close(*Fd);
        }
    } CloseList{Opened};
    struct stat Status{};
    if (fstat(Fd, &Status) == 0 && S_ISDIR(Status.st_mode)) {
        Say("cannot open the list \"" + B.List + "\": " + std::strerror(EISDIR));
        return 2;
    }
    const bool Regular = S_ISREG(Status.st_mode);

    const StopSignals Signals;
    const bool Progress = !B.Quiet && isatty(STDERR_FILENO);
    // -j workers make the files and write the new ones. A file that replaces another waits for
    // the disk before it takes its name; flushers write those, many at once, so that the workers
    // go on meanwhile and the disk gathers the waits.
    const int Workers = B.Jobs > 0 ? B.Jobs : CoreCount();
    const int Flushers = std::min(kFlushersPerWorker * Workers, kMostFlushers);
    Ledger Rows(4 * static_cast<std::size_t>(Workers) + static_cast<std::size_t>(Flushers) + 16,
                std::size_t{64} << 20, Say, Progress);
    WorkQueue<Job> Jobs;
    WorkQueue<Made> Replacements;

    // The total, for the progress line: the list read a second time, from its own offset, while
    // the run goes on.
    std::atomic<bool> Finished{false};
    std::thread Counter;
    if (Progress && Regular)
        Counter = StopSignals::StartThread([&] {
            off_t Offset = 0;
            ListReader Count(Format, [&](char* Buffer, std::size_t Size) -> long {
                if (Finished || StopSignals::Caught())
                    return 0;
                const ssize_t Got = pread(Fd, Buffer, Size, Offset);
                Offset += Got > 0 ? Got : 0;
                return static_cast<long>(Got);
            });
            ListRow Row;
            while (Count.Next(Row)) {}
            if (Count.Error().empty() && !Finished && !StopSignals::Caught())
                Rows.SetTotal(Count.Rows());
        });

    const auto Write = [&](const Made& M) {
        const auto Why = WriteFile(M);
        Rows.Finish(M.J.Row, M.J.Bytes, Why ? Outcome::Failed : Outcome::Written, Why.value_or(M.J.Warning));
    };
    std::vector<std::thread> Pool, FlushPool;
    for (int i = 0; i < Workers; ++i)
        Pool.push_back(StopSignals::StartThread([&] {
            while (std::optional<Job> J = Jobs.Pop()) {
                if (StopSignals::Caught()) {
                    Rows.Finish(J->Row, J->Bytes, Outcome::NotDone);
                    continue;
                }
                const std::uint64_t Row = J->Row;
                const std::size_t Bytes = J->Bytes;
                auto File = MakeFile(std::move(*J), Type, Opts, Template.Folder().size());
                if (auto* Why = std::get_if<std::string>(&File))
                    Rows.Finish(Row, Bytes, Outcome::Failed, std::move(*Why));
                else if (Made& M = std::get<Made>(File); M.Replaces)
                    Replacements.Push(std::move(M));
                else
                    Write(M);
            }
        }));
    for (int i = 0; i < Flushers; ++i)
        FlushPool.push_back(StopSignals::StartThread([&] {
            while (std::optional<Made> M = Replacements.Pop()) {
                if (StopSignals::Caught())
                    Rows.Finish(M->J.Row, M->J.Bytes, Outcome::NotDone);
                else
                    Write(*M);
            }
        }));

    ListReader Reader(Format, ListSource(Fd, Regular, Signals.WakeFd()));
    std::optional<TakenNames> Taken;
    if (Template.UsesName() || !Template.UsesRow())
        Taken.emplace();
    ListRow Row;
    while (!StopSignals::Caught() && Reader.Next(Row)) {
        if (StopSignals::Caught())
            break;
        auto Prepared = Prepare(Row, Opts, Template, Taken);
        Job* J = std::get_if<Job>(&Prepared);
        if (!Rows.Admit(Row.Number, J ? J->Bytes : 0))
            break;
        if (J)
            Jobs.Push(std::move(*J));
        else
            Rows.Finish(Row.Number, 0, Outcome::Failed, std::move(std::get<std::string>(Prepared)));
    }
    Jobs.Close();
    for (std::thread& T : Pool) T.join();
    Replacements.Close();
    for (std::thread& T : FlushPool) T.join();
    Finished = true;
    if (Counter.joinable())
        Counter.join();
    const Counts C = Rows.Results();

    // Every file written is on the disk before the run reports.
    bool SyncError = false;
    if (C.Written > 0)
        if (auto Synced = qrfiles::SyncFileSystem(Template.Folder()); !Synced) {
            Say(Synced.Error());
            SyncError = true;
        }
    const int Signal = StopSignals::Caught();
    const bool ListError = Signal == 0 && !Reader.Error().empty();
    if (ListError)
        Say(Reader.Error());
    if (ListError && Reader.ColumnNotFound())
        return 2;
    Say(SummaryText(C, Signal));
    return BatchStatus(C, Signal, ListError || SyncError);
}

}  // namespace qrcli::batch
