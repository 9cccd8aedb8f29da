#pragma once
// Work handed between the batch's threads.

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>

namespace qrcli::batch {

// Pop waits for an item, and gives none once the queue is closed and empty. It holds what the
// ledger of rows in flight lets in, so it needs no bound of its own.
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

}  // namespace qrcli::batch
