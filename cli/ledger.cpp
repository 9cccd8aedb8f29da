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

void Ledger::Finish(std::uint64_t Row, std::size_t Bytes, Outcome What, std::string Message) {
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
