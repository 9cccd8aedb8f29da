#include "ledger.h"

#include <chrono>

namespace qrcli::batch {

bool Ledger::Admit(std::uint64_t Row, std::size_t Bytes) {
    std::unique_lock Lock(FMutex);
    if (!Fits(Row, Bytes, FWindow)) {
        FReaderWaiting = true;
        FWaitingRow = Row;
        FWaitingBytes = Bytes;
        while (!Fits(Row, Bytes, FWindow / 2)) {
            if (FStop.Caught()) {
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

void Ledger::Finish(std::uint64_t Row, std::size_t Bytes, Outcome What, std::string Message, std::string Path,
                    std::uint64_t Files) {
    Record(Row, Bytes, {What, std::move(Message), std::move(Path), 0, Files});
}

void Ledger::Repeated(std::uint64_t Row, std::size_t Bytes, std::string Path, std::uint64_t Earlier) {
    Record(Row, Bytes, {Outcome::Failed, {}, std::move(Path), Earlier});
}

void Ledger::Displaced(std::uint64_t Later, std::uint64_t Row) {
    const std::lock_guard Lock(FMutex);
    FDisplacedBy[Later] = Row;
}

std::uint64_t Ledger::Owner(std::uint64_t Row) const {
    for (auto Next = FDisplacedBy.find(Row); Next != FDisplacedBy.end(); Next = FDisplacedBy.find(Row))
        Row = Next->second;
    return Row;
}

void Ledger::Record(std::uint64_t Row, std::size_t Bytes, Done What) {
    bool WakeReader = false;
    {
        const std::lock_guard Lock(FMutex);
        FBytesInFlight -= Bytes;
        FDone.emplace(Row, std::move(What));
        for (auto Next = FDone.find(FNextReport); Next != FDone.end(); Next = FDone.find(FNextReport)) {
            Done& D = Next->second;
            // A written file whose name an earlier row's file took in the end is a repeat too.
            if (const auto By = FDisplacedBy.find(FNextReport); By != FDisplacedBy.end() && D.What == Outcome::Written) {
                D.What = Outcome::Failed;
                D.Earlier = By->second;
            }
            if (D.Earlier != 0)
                D.Message = "\"" + D.Path + "\" is already the file of row " + std::to_string(Owner(D.Earlier));
            if (!D.Message.empty()) {
                FProgress.Clear();
                FSay("row " + std::to_string(FNextReport) + ": " + D.Message);
            }
            if (D.What == Outcome::Written)
                FCounts.Written += D.Files;
            else
                ++(D.What == Outcome::Failed ? FCounts.Failed : FCounts.NotDone);
            FDone.erase(Next);
            ++FNextReport;
        }
        // Rows, not files: a set is one row of the list.
        FProgress.Update(FNextReport - 1 - FCounts.NotDone, Total());
        WakeReader = FReaderWaiting && Fits(FWaitingRow, FWaitingBytes, FWindow / 2);
    }
    if (WakeReader)
        FRoom.notify_one();
}

Counts Ledger::Results() {
    const std::lock_guard Lock(FMutex);
    FProgress.Clear();
    return FCounts;
}

std::optional<std::uint64_t> Ledger::Total() const {
    const std::uint64_t Rows = FTotal;
    return Rows == kUnknown ? std::nullopt : std::optional(Rows);
}

}  // namespace qrcli::batch
