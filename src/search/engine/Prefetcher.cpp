#include "search/engine/Prefetcher.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>

#include "search/engine/FileSource.h"

namespace textrove::search {

namespace {

constexpr std::size_t kWholeBlock = kHeadroom + FileScanner::kBlockSize;
// Buffer sizes kept for reuse, so that their pages stay mapped and warm;
// each pool holds at most what the queue can hold, plus the two in hand.
constexpr std::array<std::size_t, 3> kSizes = {32 * 1024, 256 * 1024, kWholeBlock};

std::size_t SizeClass(std::size_t bytes)
{
    std::size_t c = 0;
    while (c + 1 < kSizes.size() && kSizes[c] < bytes) ++c;
    return c;
}

}  // namespace

Prefetcher::Descriptor::~Descriptor()
{
    if (fd >= 0) ::close(fd);
}

Prefetcher::Prefetcher(const CancelFlag& cancel) : m_cancel(cancel), m_source(*this) {}

Prefetcher::~Prefetcher()
{
    Stop();
    if (m_thread.joinable()) m_thread.join();
}

void Prefetcher::Start(std::function<void()> walk)
{
    m_thread = std::thread([this, walk = std::move(walk)] {
        try {
            walk();
        } catch (...) {
            // Out of memory while listing or reading: the walk ends here and
            // the scan ends in good order with what it has.
        }
        Message end;
        end.kind = Message::Kind::End;
        Push(std::move(end));
    });
}

void Prefetcher::Stop()
{
    std::deque<Message> dropped;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
        dropped.swap(m_queue);
        m_queuedBytes = 0;
        m_queuedFiles = 0;
    }
    m_changed.notify_all();
}

bool Prefetcher::Push(Message&& message)
{
    const std::size_t bytes = message.buffer.capacity;
    const bool isFile = message.kind == Message::Kind::File;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] {
            return m_stop || m_queue.empty() ||
                   (m_queuedBytes + bytes <= kQueueBytes && (!isFile || m_queuedFiles < kQueueFiles));
        });
        if (m_stop) return false;
        m_queuedBytes += bytes;
        m_queuedFiles += isFile ? 1 : 0;
        m_queue.push_back(std::move(message));
    }
    m_changed.notify_all();
    return true;
}

Prefetcher::Message Prefetcher::Pop()
{
    Message message;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return !m_queue.empty() || m_stop; });
        if (m_queue.empty()) return message;  // stopped: reads as the end
        message = std::move(m_queue.front());
        m_queue.pop_front();
        m_queuedBytes -= message.buffer.capacity;
        m_queuedFiles -= message.kind == Message::Kind::File ? 1 : 0;
    }
    m_changed.notify_all();
    return message;
}

Prefetcher::Buffer Prefetcher::TakeBuffer(std::size_t bytes)
{
    const std::size_t c = SizeClass(bytes);
    {
        std::lock_guard lock(m_mutex);
        if (!m_pool[c].empty()) {
            Buffer b = std::move(m_pool[c].back());
            m_pool[c].pop_back();
            return b;
        }
    }
    return Buffer{std::unique_ptr<unsigned char[]>(new unsigned char[kSizes[c]]), kSizes[c]};
}

void Prefetcher::Recycle(Buffer&& buffer)
{
    if (!buffer.data) return;
    const std::size_t c = SizeClass(buffer.capacity);
    std::lock_guard lock(m_mutex);
    if (m_pool[c].size() < kQueueBytes / kSizes[c] + 2) m_pool[c].push_back(std::move(buffer));
    buffer = Buffer{};
}

bool Prefetcher::AddFile(const std::string& path)
{
    Message start;
    start.kind = Message::Kind::File;
    start.file.path = path;
    start.file.display = text::LossyUtf8(path);
    if (m_cancel.load(std::memory_order_relaxed) != 0) {
        Push(std::move(start));
        return false;
    }
    // O_NONBLOCK: a FIFO or device swapped in since the listing must not
    // block the open; only a regular file is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Push(std::move(start));
    auto descriptor = std::make_shared<Descriptor>();
    descriptor->fd = fd;
    start.file.opened = true;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return Push(std::move(start));
    const auto size = static_cast<std::uint64_t>(st.st_size);

    // Blocks are read and held until the encoding is known: at once for a
    // CP932 or UTF-16 file, at the end for one that stays valid UTF-8 or
    // well-formed EUC-JP. Past kHoldBytes the rest is checked by reading it
    // twice.
    std::vector<Message> held;
    text::EncodingDetector check;
    std::uint64_t total = 0;
    std::size_t heldBytes = 0;
    bool eof = false;
    bool failed = false;
    while (!eof && check.Open() && heldBytes < kHoldBytes) {
        const std::size_t want = held.empty() ? FirstReadSize(size) : FileScanner::kBlockSize;
        Message data;
        data.kind = Message::Kind::Data;
        data.headroom = held.empty() ? 0 : kHeadroom;
        data.buffer = TakeBuffer(data.headroom + want);
        unsigned char* at = data.buffer.data.get() + data.headroom;
        if (!ReadBlock(fd, at, want, size, total, data.size, eof)) {
            Recycle(std::move(data.buffer));
            failed = true;
            break;
        }
        check.Feed(at, data.size);
        heldBytes += data.size;
        held.push_back(std::move(data));
    }
    if (!failed && !FinishEncoding(fd, check, eof, total, size, m_scratch, start.file.encoding)) failed = true;
    if (failed) {
        for (Message& m : held) Recycle(std::move(m.buffer));
        return Push(std::move(start));
    }
    start.file.scan = true;
    start.descriptor = descriptor;
    if (!Push(std::move(start))) return false;
    held.back().last = eof;
    for (Message& m : held) {
        if (!Push(std::move(m))) return false;
    }
    while (!eof) {
        Message more;
        more.kind = Message::Kind::Data;
        if (m_cancel.load(std::memory_order_relaxed) != 0) {
            more.failed = true;  // the scan stops at its next line anyway
            return Push(std::move(more));
        }
        more.buffer = TakeBuffer(kWholeBlock);
        more.headroom = kHeadroom;
        if (!ReadBlock(fd, more.buffer.data.get() + kHeadroom, FileScanner::kBlockSize, size, total,
                       more.size, eof)) {
            Recycle(std::move(more.buffer));
            more.failed = true;
            return Push(std::move(more));
        }
        more.last = eof;
        if (!Push(std::move(more))) return false;
    }
    return true;
}

bool Prefetcher::NextFile(File& file)
{
    while (!m_source.m_ended) {
        Message m = Pop();
        Recycle(std::move(m.buffer));
        if (m.kind != Message::Kind::Data || m.failed || m.last) m_source.m_ended = true;
    }
    m_source.m_descriptor.reset();
    Recycle(std::move(m_source.m_held));
    Message m = Pop();
    if (m.kind != Message::Kind::File) return false;
    file = std::move(m.file);
    m_source.m_descriptor = std::move(m.descriptor);
    m_source.m_ended = !file.scan;
    return true;
}

bool Prefetcher::FileBytes::Next(Piece& piece)
{
    if (m_ended) return false;
    Message m = m_owner.Pop();
    m_owner.Recycle(std::move(m_held));
    if (m.kind != Message::Kind::Data || m.failed) {
        m_ended = true;
        return false;
    }
    m_held = std::move(m.buffer);
    piece.data = m_held.data.get() + m.headroom;
    piece.size = m.size;
    piece.headroom = m.headroom;
    piece.last = m.last;
    m_ended = m.last;
    return true;
}

bool Prefetcher::FileBytes::ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n)
{
    return m_descriptor && ReadExactlyAt(m_descriptor->fd, offset, buffer, n);
}

}  // namespace textrove::search
