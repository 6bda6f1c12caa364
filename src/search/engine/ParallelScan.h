// The walk and the scan of a search on every core. Threads take the files of
// the walk in batches, scan each file into a buffer of its own records, and
// the records reach the sink strictly in walk order: the thread whose batch
// is the oldest not yet released (the head) hands its records over directly
// and then releases the finished batches after it; the others keep theirs
// until then. Cancellation is looked at where a single thread would look:
// before each file and before each line's records, as they are released.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/DirectoryWalk.h"
#include "search/engine/ResultSink.h"
#include "search/engine/SearchTypes.h"

namespace textrove::search {

class ParallelScan {
public:
    // Bounds: batches taken but not released, and bytes of records held back
    // for ordering across all threads. A thread whose records pass the
    // byte bound waits until its batch is the head, then hands them over
    // and goes on directly.
    static constexpr std::size_t kMaxBatchesAhead = 32;
    // Bytes of its batch a thread reads before its batch is the head: how
    // far the scan runs ahead of the records handed over (a file changed
    // after that point is seen as it was read).
    static constexpr std::uint64_t kAheadBytes = std::uint64_t{4} << 20;
    static constexpr std::size_t kHeldBytes = std::size_t{8} << 20;
    static constexpr std::size_t kMaxBatchFiles = 64;
    // File bytes a batch aims at, so that big files go out a few at a time.
    static constexpr std::uint64_t kBatchBytes = 256 * 1024;
    // Threads beyond this add read buffers but no speed.
    static constexpr unsigned kMaxThreads = 16;

    // Records go out through `print` (a record, or a part of one as
    // ResultSink::AppendPart has it; false when refused, after the failure
    // has been reported and the flag raised); the other calls go to `sink`.
    using Print = std::function<bool(std::string_view text, bool first, bool last)>;
    ParallelScan(ResultSink& sink, CancelFlag& cancel, const std::vector<std::u32string>& upperWords, Print print);
    ~ParallelScan();
    ParallelScan(const ParallelScan&) = delete;
    ParallelScan& operator=(const ParallelScan&) = delete;

    // Replaces kHeldBytes and kMaxBatchFiles where not 0 (for tests).
    void SetLimits(std::size_t heldBytes, std::size_t batchFiles)
    {
        if (heldBytes) m_heldLimit = heldBytes;
        if (batchFiles) m_batchFilesLimit = batchFiles;
    }

    // Walks `targetDirectory` and scans its files on `threads` threads (the
    // caller's among them; fewer when no more can be started); ends with
    // the abort record when a cancellation was seen before a file.
    void Run(const std::string& targetDirectory, DirectoryLister& lister, unsigned threads);

    // The most bytes of records held back for ordering at one time.
    std::size_t PeakHeld() const { return m_peakHeld.load(std::memory_order_relaxed); }

    // Threads for a search on this machine.
    static unsigned DefaultThreads();

private:
    struct Batch;
    class Worker;

    Batch* Take();
    void Complete(Batch* batch);
    bool WaitForHead(Batch* batch, bool& cut);
    bool ReleaseBuffered(Batch* batch, bool& cut);
    bool ReleaseFileStart(const WalkDirectory& dir, std::string_view name, std::string_view display);
    void PrintText(std::string_view record);
    bool PrintPart(std::string_view text, bool first, bool last);
    void Stop();
    void WorkerMain();
    static void AppendDisplay(std::string& out, const WalkDirectory& dir, std::string_view name);

    ResultSink& m_sink;
    CancelFlag& m_cancel;
    const std::vector<std::u32string>& m_upperWords;
    Print m_print;

    std::atomic<bool> m_stopped{false};
    std::atomic<std::uint64_t> m_head{0};  // mirrors m_headSeq for reads without the lock
    std::atomic<std::size_t> m_held{0};    // bytes of records held back
    std::atomic<std::size_t> m_peakHeld{0};
    std::atomic<std::uint64_t> m_avgFileBytes{4096};
    std::size_t m_heldLimit = kHeldBytes;
    std::size_t m_batchFilesLimit = kMaxBatchFiles;

    // Only the thread holding the head uses these.
    std::string m_releaseDisplay;
    std::string m_releasePath;

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    std::unique_ptr<DirectoryWalk> m_walk;
    bool m_walkDone = false;
    std::uint64_t m_nextSeq = 0;
    std::uint64_t m_headSeq = 0;
    std::vector<Batch*> m_ring;  // batches taken, by seq % kMaxBatchesAhead
    std::vector<std::unique_ptr<Batch>> m_all;
    std::vector<Batch*> m_free;
    int m_waiters = 0;
    std::exception_ptr m_error;
};

}  // namespace textrove::search
