#include "model/entry_loader.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

namespace trawlix {

namespace {

// Fewer rows are read on this thread alone: a second thread would cost more than it saves.
constexpr std::size_t cTwoThreadsFrom = 4096;
constexpr std::size_t cBatchRows = 512;
constexpr std::size_t cBatchBytes = 1 << 20;  // pictures make rows large
constexpr std::size_t cBatchesWaiting = 2;

template <class TRow>
void TakeRow(const TRow& aRow, const TEntryColumns& aColumns, const TTakeEntry& aTake) {
    IEntry entry;
    try {
        entry = std::make_shared<TEntry>(aRow, aColumns);
    } catch (const EEntryLoadError&) {
        return;  // a damaged row: the search keeps its other results
    }
    aTake(std::move(entry));
}

// The batches on their way from the reading thread to the making thread.
class TBatchQueue {
public:
    // Waits while enough batches wait; false once the making thread has given up.
    bool Push(TCopiedRows aBatch) {
        std::unique_lock lock(fMutex);
        fChanged.wait(lock, [this] { return fBatches.size() < cBatchesWaiting || fAbandoned; });
        if (fAbandoned) return false;
        fBatches.push_back(std::move(aBatch));
        fChanged.notify_all();
        return true;
    }
    // The next batch; none once the reading thread has finished and every batch is taken.
    std::optional<TCopiedRows> Pop() {
        std::unique_lock lock(fMutex);
        fChanged.wait(lock, [this] { return !fBatches.empty() || fFinished; });
        if (fBatches.empty()) return std::nullopt;
        TCopiedRows batch = std::move(fBatches.front());
        fBatches.pop_front();
        fChanged.notify_all();
        return batch;
    }
    void Finish() { Set(fFinished); }
    void Abandon() { Set(fAbandoned); }

private:
    void Set(bool& aFlag) {
        std::lock_guard lock(fMutex);
        aFlag = true;
        fChanged.notify_all();
    }

    std::mutex fMutex;
    std::condition_variable fChanged;
    std::deque<TCopiedRows> fBatches;
    bool fFinished = false;
    bool fAbandoned = false;
};

// The making thread: takes batches until the reading thread is done, keeps its failure.
class TEntryMaker {
public:
    TEntryMaker(TBatchQueue& aQueue, const TEntryColumns& aColumns, const TTakeEntry& aTake)
        : fThread([this, &aQueue, &aColumns, &aTake] { Run(aQueue, aColumns, aTake); }) {}
    // Waits for the thread, also when the reading thread leaves by an error.
    ~TEntryMaker() { Join(); }
    TEntryMaker(const TEntryMaker&) = delete;
    TEntryMaker& operator=(const TEntryMaker&) = delete;

    void Join() {
        if (fThread.joinable()) fThread.join();
    }
    void RaiseItsFailure() {
        if (fFailure) std::rethrow_exception(fFailure);
    }

private:
    void Run(TBatchQueue& aQueue, const TEntryColumns& aColumns, const TTakeEntry& aTake) {
        try {
            while (std::optional<TCopiedRows> batch = aQueue.Pop())
                for (std::size_t row = 0; row < batch->size(); ++row) TakeRow((*batch)[row], aColumns, aTake);
        } catch (...) {
            fFailure = std::current_exception();
            aQueue.Abandon();
        }
    }

    std::exception_ptr fFailure;
    std::thread fThread;  // last: starts once the members above exist
};

void LoadOnTwoThreads(TSQLiteQuery& aRows, const TEntryColumns& aColumns, const TTakeEntry& aTake) {
    const int columnCount = aRows.ColumnCount();
    TBatchQueue queue;
    TEntryMaker maker(queue, aColumns, aTake);
    struct TFinishGuard {
        TBatchQueue& fQueue;
        ~TFinishGuard() { fQueue.Finish(); }
    } finish{queue};
    TCopiedRows batch(columnCount);
    for (; !aRows.Eof(); aRows.Next()) {
        batch.Append(aRows);
        if (batch.size() < cBatchRows && batch.Bytes() < cBatchBytes) continue;
        if (!queue.Push(std::exchange(batch, TCopiedRows(columnCount)))) break;
    }
    if (batch.size() > 0) queue.Push(std::move(batch));
    queue.Finish();
    maker.Join();
    maker.RaiseItsFailure();
}

}  // namespace

void LoadEntries(TSQLiteQuery& aRows, std::size_t aExpectedRows, const TTakeEntry& aTake) {
    if (aRows.Eof()) return;
    // Columns are looked up by name once, not for every row.
    const TEntryColumns columns(aRows);
    if (aExpectedRows >= cTwoThreadsFrom) {
        LoadOnTwoThreads(aRows, columns, aTake);
        return;
    }
    for (; !aRows.Eof(); aRows.Next()) TakeRow(aRows, columns, aTake);
}

}  // namespace trawlix
