// Reads the files of a walk ahead of the scan, on a second thread, so that
// the scanning thread finds their bytes in memory. The walk itself runs on
// that thread too; files, then each file's blocks, are queued in walk order.
// The queue is bounded by bytes and by files (each queued file holds an
// open descriptor).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "search/engine/FileScanner.h"
#include "search/engine/SearchEngine.h"
#include "text/TextCodec.h"

namespace textrove::search {

class Prefetcher {
public:
    struct File {
        std::string path;     // the path's bytes, as the walk joined them
        std::string display;  // the path as shown (valid UTF-8)
        bool opened = false;  // it could be opened (it counts as scanned)
        bool scan = false;    // a readable regular file: its bytes follow
        text::Encoding encoding = text::Encoding::Cp932;
    };

    static constexpr std::size_t kQueueBytes = std::size_t{4} << 20;
    // Bytes of one file held back while its encoding is still open.
    static constexpr std::size_t kHoldBytes = std::size_t{6} << 20;
    static constexpr std::size_t kQueueFiles = 128;

    explicit Prefetcher(const CancelFlag& cancel);
    ~Prefetcher();  // stops the walk and waits for its thread
    Prefetcher(const Prefetcher&) = delete;
    Prefetcher& operator=(const Prefetcher&) = delete;

    // Runs `walk` on the reading thread; it hands each file to AddFile.
    // Throws std::system_error when no thread can be started.
    void Start(std::function<void()> walk);

    // Reading thread: queues one file and reads it. False when the walk is
    // to stop: the consumer gave up, or a cancellation was seen (the walk
    // then stops at this file, where the scanning side checks the flag).
    bool AddFile(const std::string& path);

    // Scanning thread: the next file of the walk; false when the walk ended.
    // Bytes of the previous file that were not taken are passed over.
    bool NextFile(File& file);
    // The current file's bytes.
    ByteSource& Source() { return m_source; }

private:
    struct Buffer {
        std::unique_ptr<unsigned char[]> data;
        std::size_t capacity = 0;
    };
    struct Descriptor {
        int fd = -1;
        ~Descriptor();
    };
    struct Message {
        enum class Kind { File, Data, End } kind = Kind::End;
        File file;
        std::shared_ptr<Descriptor> descriptor;
        Buffer buffer;
        std::size_t headroom = 0;
        std::size_t size = 0;
        bool last = false;    // the end of the file follows
        bool failed = false;  // no more bytes of this file: read error or cancellation
    };

    class FileBytes : public ByteSource {
    public:
        explicit FileBytes(Prefetcher& owner) : m_owner(owner) {}
        bool Next(Piece& piece) override;
        bool ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n) override;

        Prefetcher& m_owner;
        std::shared_ptr<Descriptor> m_descriptor;
        Buffer m_held;
        bool m_ended = true;
    };

    bool Push(Message&& message);
    Message Pop();
    Buffer TakeBuffer(std::size_t capacity);
    void Recycle(Buffer&& buffer);
    void Stop();

    const CancelFlag& m_cancel;
    FileBytes m_source;
    std::thread m_thread;
    std::vector<unsigned char> m_scratch;  // reading thread: the encoding check

    std::mutex m_mutex;  // guards everything below
    std::condition_variable m_changed;
    std::deque<Message> m_queue;
    std::size_t m_queuedBytes = 0;
    std::size_t m_queuedFiles = 0;
    std::array<std::vector<Buffer>, 3> m_pool;  // buffers for reuse, by size
    bool m_stop = false;
};

}  // namespace textrove::search
