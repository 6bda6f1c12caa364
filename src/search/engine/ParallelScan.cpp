#include "search/engine/ParallelScan.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

#include "search/engine/FileScanner.h"
#include "search/engine/FileSource.h"
#include "search/engine/RecordPrinter.h"
#include "text/TextCodec.h"

namespace textrove::search {

namespace {

// Entries of a batch's held records, back to back in one buffer.
enum Entry : char {
    kBegin = 'B',   // a file starts
    kLine = 'L',    // a line's records follow
    kRecord = 'R',  // flags (kFirst, kLast), 4-byte length, then the record or part
    kEnd = 'E',     // 1 byte: whether the file was opened
};

constexpr char kFirst = 1;
constexpr char kLast = 2;

}  // namespace

struct ParallelScan::Batch {
    std::uint64_t seq = 0;
    WalkDirectory* dir = nullptr;
    std::string names;  // NUL-terminated, back to back
    std::vector<std::uint32_t> nameAt;
    std::string out;       // held entries of files not yet released
    std::size_t held = 0;  // bytes of records in `out`, counted in m_held
    std::uint64_t bytes = 0;
    bool done = false;

    std::string_view Name(std::size_t i) const { return names.c_str() + nameAt[i]; }
};

class ParallelScan::Worker {
    // The file's blocks. A thread that is not the head reads at most
    // kAheadBytes of its batch, then waits to be the head and goes on
    // directly; the head tells the sink now and then that the file it shows
    // is still being scanned.
    class Progress : public ByteSource {
    public:
        Progress(ByteSource& inner, Worker& worker) : m_inner(inner), m_worker(worker) { }
        bool Next(Piece& piece) override
        {
            Worker& w = m_worker;
            if (m_blocks++ > 0) {
                if (!w.m_direct && w.m_ahead >= kAheadBytes) {
                    if (!w.m_owner.WaitForHead(w.m_batch, w.m_cut)) {
                        w.m_cut = true;
                        return false;  // the search stopped
                    }
                    w.m_direct = true;
                }
                if (w.m_direct && !w.m_owner.m_stopped.load(std::memory_order_relaxed))
                    w.m_owner.m_sink.StillScanning();
            }
            const bool more = m_inner.Next(piece);
            if (more && !w.m_direct) w.m_ahead += piece.size;
            return more;
        }
        bool ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n) override
        {
            return m_inner.ReadAt(offset, buffer, n);
        }

    private:
        ByteSource& m_inner;
        Worker& m_worker;
        std::size_t m_blocks = 0;
    };

public:
    explicit Worker(ParallelScan& owner) : m_owner(owner), m_scanner(owner.m_upperWords, owner.m_cancel)
    {
        m_scanner.SetLineHook([this] { Line(); });
        m_print = [this](std::string_view text, bool first, bool last) { return Record(text, first, last); };
    }

    void Process(Batch* batch)
    {
        m_batch = batch;
        m_direct = false;
        m_ahead = 0;
        for (std::size_t i = 0; i < batch->nameAt.size(); ++i) {
            if (m_owner.m_stopped.load(std::memory_order_relaxed)) return;
            if (!m_direct && m_owner.m_head.load(std::memory_order_acquire) == batch->seq) {
                bool cut;
                if (!m_owner.ReleaseBuffered(batch, cut)) return;
                m_direct = true;
            }
            if (!ScanFile(i)) return;
        }
    }

private:
    // False when the search has stopped.
    bool ScanFile(std::size_t i)
    {
        Batch& b = *m_batch;
        const std::string_view name = b.Name(i);
        m_display.clear();
        AppendDisplay(m_display, *b.dir, name);
        m_cut = false;
        if (m_direct) {
            if (!m_owner.ReleaseFileStart(*b.dir, name, m_display)) return false;
        } else {
            b.out.push_back(kBegin);
        }
        bool opened = false;
        // Past a cancellation the file is not opened: its release writes
        // the abort record before it.
        if (m_owner.m_cancel.load(std::memory_order_relaxed) == 0) {
            if (b.dir->fd < 0) m_path.assign(b.dir->path).append(name);
            opened = OpenAndScan(b.dir->fd, b.dir->fd >= 0 ? name.data() : m_path.c_str(), m_buffer, m_scratch, b.bytes,
                                 [this](ByteSource& source, text::Encoding encoding) {
                                     Progress progress(source, *this);
                                     m_scanner.Scan(progress, encoding, m_display, m_print);
                                 });
        }
        if (m_direct) {
            if (opened && !m_owner.m_stopped.load(std::memory_order_relaxed)) m_owner.m_sink.FileDone();
        } else {
            b.out.push_back(kEnd);
            b.out.push_back(opened ? 1 : 0);
        }
        return !m_owner.m_stopped.load(std::memory_order_relaxed);
    }

    void Line()
    {
        if (m_direct) {
            if (m_owner.m_cancel.load(std::memory_order_relaxed) != 0) m_cut = true;
        } else {
            m_batch->out.push_back(kLine);
        }
    }

    // A record or a part of one (FileScanner::Print); false ends a record
    // given in parts.
    bool Record(std::string_view text, bool first, bool last)
    {
        if (m_direct) {
            if (m_cut || m_owner.m_stopped.load(std::memory_order_relaxed)) return false;
            return m_owner.PrintPart(text, first, last);
        }
        std::string& out = m_batch->out;
        const auto n = static_cast<std::uint32_t>(text.size());
        char length[4];
        std::memcpy(length, &n, 4);
        out.push_back(kRecord);
        out.push_back(static_cast<char>((first ? kFirst : 0) | (last ? kLast : 0)));
        out.append(length, 4);
        out.append(text);
        const std::size_t size = text.size() + 6;
        m_batch->held += size;
        const std::size_t held = m_owner.m_held.fetch_add(size, std::memory_order_relaxed) + size;
        for (std::size_t peak = m_owner.m_peakHeld.load(std::memory_order_relaxed);
             held > peak && !m_owner.m_peakHeld.compare_exchange_weak(peak, held, std::memory_order_relaxed);) { }
        if (held > m_owner.m_heldLimit) {
            // Too much held back (a hit on a huge line comes in parts of
            // any number): wait to be the head, hand everything over and go
            // on directly. A refusal or a cancellation met while handing
            // them over cuts the rest of the file.
            if (!m_owner.WaitForHead(m_batch, m_cut)) m_cut = true;
            m_direct = true;
            return !m_cut;
        }
        return true;
    }

    ParallelScan& m_owner;
    FileScanner m_scanner;
    FileScanner::Print m_print;
    std::vector<unsigned char> m_buffer;
    std::vector<unsigned char> m_scratch;
    std::string m_display;
    std::string m_path;
    Batch* m_batch = nullptr;
    bool m_direct = false;      // this file's records go to the sink at once
    bool m_cut = false;         // a cancellation cut this file's remaining records
    std::uint64_t m_ahead = 0;  // bytes of the batch read while not the head
};

ParallelScan::ParallelScan(ResultSink& sink, CancelFlag& cancel, const std::vector<std::u32string>& upperWords,
                           Print print)
    : m_sink(sink),
      m_cancel(cancel),
      m_upperWords(upperWords),
      m_print(std::move(print)),
      m_ring(kMaxBatchesAhead, nullptr)
{ }

ParallelScan::~ParallelScan()
{
    for (auto& b : m_all) WalkDirectory::Unref(b->dir);
}

unsigned ParallelScan::DefaultThreads()
{
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads);
}

void ParallelScan::AppendDisplay(std::string& out, const WalkDirectory& dir, std::string_view name)
{
    out.append(dir.display);
    if (text::IsValidUtf8(name))
        out.append(name);
    else
        out.append(text::LossyUtf8(name));
}

void ParallelScan::PrintText(std::string_view record)
{
    PrintPart(record, true, true);
}

bool ParallelScan::PrintPart(std::string_view text, bool first, bool last)
{
    return m_print(text, first, last);
}

void ParallelScan::Stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped.store(true, std::memory_order_relaxed);
    }
    m_changed.notify_all();
}

// Head only: the check a single thread makes before each file.
bool ParallelScan::ReleaseFileStart(const WalkDirectory& dir, std::string_view name, std::string_view display)
{
    if (m_stopped.load(std::memory_order_relaxed)) return false;
    if (m_cancel.load() != 0) {
        PrintText(RecordPrinter::AbortRecord());
        Stop();
        return false;
    }
    m_releasePath.assign(dir.path).append(name);
    m_sink.ScanningPath(m_releasePath);
    m_sink.ScanningFile(display);
    return true;
}

// Head only: hands over the held entries of `batch`; false when the search
// stopped on the way. `cut`: a cancellation cut the last file's records.
bool ParallelScan::ReleaseBuffered(Batch* batch, bool& cut)
{
    const std::string& out = batch->out;
    std::size_t file = 0;
    cut = false;
    bool ok = true;
    for (std::size_t at = 0; at < out.size() && ok;) {
        switch (out[at++]) {
        case kBegin:
            m_releaseDisplay.clear();
            AppendDisplay(m_releaseDisplay, *batch->dir, batch->Name(file));
            cut = false;
            ok = ReleaseFileStart(*batch->dir, batch->Name(file), m_releaseDisplay);
            break;
        case kLine:
            cut = cut || m_cancel.load() != 0;
            break;
        case kRecord: {
            const char flags = out[at++];
            std::uint32_t n;
            std::memcpy(&n, out.data() + at, 4);
            at += 4;
            if (!cut && !m_stopped.load(std::memory_order_relaxed)
                && !PrintPart(std::string_view(out).substr(at, n), flags & kFirst, flags & kLast)
                && (flags & (kFirst | kLast)) != (kFirst | kLast))
                cut = true;  // a record in parts refused: its line's other records are not made either
            at += n;
            break;
        }
        case kEnd:
            if (out[at++] && !m_stopped.load(std::memory_order_relaxed)) m_sink.FileDone();
            ++file;
            break;
        }
    }
    m_held.fetch_sub(batch->held, std::memory_order_relaxed);
    batch->held = 0;
    batch->out.clear();
    return ok && !m_stopped.load(std::memory_order_relaxed);
}

bool ParallelScan::WaitForHead(Batch* batch, bool& cut)
{
    {
        std::unique_lock lock(m_mutex);
        ++m_waiters;
        m_changed.wait(lock, [&] { return m_stopped.load(std::memory_order_relaxed) || m_headSeq == batch->seq; });
        --m_waiters;
    }
    return !m_stopped.load(std::memory_order_relaxed) && ReleaseBuffered(batch, cut);
}

ParallelScan::Batch* ParallelScan::Take()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_stopped.load(std::memory_order_relaxed) || m_walkDone) return nullptr;
        if (m_nextSeq - m_headSeq < kMaxBatchesAhead) break;
        ++m_waiters;
        m_changed.wait(lock);
        --m_waiters;
    }
    Batch* b;
    if (m_free.empty()) {
        m_all.push_back(std::make_unique<Batch>());
        b = m_all.back().get();
    } else {
        b = m_free.back();
        m_free.pop_back();
    }
    b->names.clear();
    b->nameAt.clear();
    b->out.clear();
    b->held = 0;
    b->bytes = 0;
    b->done = false;
    b->dir = nullptr;
    const std::uint64_t avg = std::max<std::uint64_t>(1, m_avgFileBytes.load(std::memory_order_relaxed));
    const std::size_t want =
        static_cast<std::size_t>(std::clamp<std::uint64_t>(kBatchBytes / avg, 1, m_batchFilesLimit));
    // A batch holds files of one directory.
    while (b->nameAt.size() < want && !(b->dir && m_walk->AtDirectoryEnd())) {
        WalkDirectory* dir;
        std::string_view name;
        if (!m_walk->Next(dir, name)) {
            m_walkDone = true;
            break;
        }
        if (!b->dir) {
            b->dir = dir;
            dir->Ref();
        }
        b->nameAt.push_back(static_cast<std::uint32_t>(b->names.size()));
        b->names.append(name);
        b->names.push_back('\0');
        // One file past a cancellation is enough: its release writes the
        // abort record.
        if (m_cancel.load(std::memory_order_relaxed) != 0) {
            m_walkDone = true;
            break;
        }
    }
    if (b->nameAt.empty()) {
        m_free.push_back(b);
        return nullptr;
    }
    b->seq = m_nextSeq++;
    m_ring[b->seq % kMaxBatchesAhead] = b;
    return b;
}

void ParallelScan::Complete(Batch* b)
{
    const std::uint64_t avg = m_avgFileBytes.load(std::memory_order_relaxed);
    m_avgFileBytes.store((avg * 3 + b->bytes / b->nameAt.size()) / 4, std::memory_order_relaxed);
    std::unique_lock lock(m_mutex);
    b->done = true;
    if (m_headSeq != b->seq) return;  // whoever releases the batch before it takes it on
    // This thread holds the head: what the batch still holds goes now, then
    // every finished batch after it.
    for (;;) {
        if (!b->out.empty()) {
            lock.unlock();
            bool cut;
            ReleaseBuffered(b, cut);
            lock.lock();
        }
        m_ring[b->seq % kMaxBatchesAhead] = nullptr;
        WalkDirectory::Unref(b->dir);
        b->dir = nullptr;
        m_free.push_back(b);
        ++m_headSeq;
        m_head.store(m_headSeq, std::memory_order_release);
        if (m_stopped.load(std::memory_order_relaxed)) break;
        Batch* next = m_ring[m_headSeq % kMaxBatchesAhead];
        if (!next || next->seq != m_headSeq || !next->done) break;
        b = next;
    }
    if (m_waiters > 0) m_changed.notify_all();
}

void ParallelScan::WorkerMain()
{
    try {
        Worker worker(*this);
        while (Batch* b = Take()) {
            worker.Process(b);
            Complete(b);
        }
    } catch (...) {
        {
            std::lock_guard lock(m_mutex);
            if (!m_error) m_error = std::current_exception();
        }
        Stop();
    }
}

void ParallelScan::Run(const std::string& targetDirectory, DirectoryLister& lister, unsigned threads)
{
    m_walk = std::make_unique<DirectoryWalk>(targetDirectory, lister);
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back([this] { WorkerMain(); });
        } catch (const std::system_error&) {
            break;  // fewer threads; the search goes on
        }
    }
    WorkerMain();
    for (auto& t : helpers) t.join();
    m_walk.reset();
    if (m_error) std::rethrow_exception(m_error);
}

}  // namespace textrove::search
