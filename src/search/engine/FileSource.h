// Reading a regular file for the scan: whole blocks, and the encoding rule,
// which needs the whole file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "search/engine/ByteSource.h"
#include "text/EncodingDetector.h"
#include "text/TextCodec.h"

namespace textrove::search {

// Free space before each block after the first, where the scanner puts the
// bytes it carries over, so that most blocks need no copy.
inline constexpr std::size_t kHeadroom = 4096;

// A file is read only up to the size it had when it was opened (`knownSize`,
// from fstat): one that grows while it is read would otherwise be read to its
// moving end, and a writer faster than the scan would keep it going forever.

// How much to ask for first: a file smaller than a block in one read.
std::size_t FirstReadSize(std::uint64_t knownSize);

// Reads up to `want` bytes at the file position into `buffer`, never past
// `knownSize`; reaching it, or a read of 0 bytes (the file shrank), is the
// end. False on a read error.
bool ReadBlock(int fd, unsigned char* buffer, std::size_t want, std::uint64_t knownSize, std::uint64_t& total,
               std::size_t& got, bool& eof);

// The encoding of a file that begins with head[0, n) (the whole file when
// `eof`), by the rule of text::DetectEncoding. Reads the rest with pread from
// `offset` up to `knownSize` while the head cannot decide. False on a read
// error.
bool FileEncoding(int fd, const unsigned char* head, std::size_t n, bool eof, std::uint64_t offset,
                  std::uint64_t knownSize, std::vector<unsigned char>& scratch, text::Encoding& encoding);

// The same for a file whose bytes up to `offset` went through `check`.
bool FinishEncoding(int fd, text::EncodingDetector& check, bool eof, std::uint64_t offset, std::uint64_t knownSize,
                    std::vector<unsigned char>& scratch, text::Encoding& encoding);

// Reads exactly `n` bytes at `offset`.
bool ReadExactlyAt(int fd, std::uint64_t offset, unsigned char* buffer, std::size_t n);

// A file read on the scanning thread itself.
class FdSource : public ByteSource {
public:
    // The buffers belong to the caller, so that scanning file after file
    // reuses them instead of allocating a block per file.
    // `size` is the file's size from an fstat made at its open.
    FdSource(int fd, std::uint64_t size, std::vector<unsigned char>& buffer, std::vector<unsigned char>& scratch)
        : m_fd(fd), m_size(size), m_buffer(buffer), m_scratch(scratch)
    { }
    // Reads the first block and decides the encoding; false on a read error.
    bool Open(text::Encoding& encoding);
    bool Next(Piece& piece) override;
    bool ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n) override;

private:
    int m_fd;
    std::uint64_t m_size = 0;
    std::uint64_t m_total = 0;
    bool m_eof = false;
    bool m_firstPending = false;
    bool m_done = false;
    std::size_t m_firstSize = 0;
    std::vector<unsigned char>& m_buffer;
    std::vector<unsigned char>& m_scratch;
};

// The one way the scan opens a file, for every read path: without blocking
// (a FIFO or device swapped in since the listing must not block the open)
// and without a controlling terminal; only a regular file is read. For a
// regular file `regularBytes` grows by its size and, once its first block is
// read and its encoding decided, `scan` reads it. False when the file could
// not be opened. `name` is relative to `dirFd`, or a path when `dirFd` < 0.
bool OpenAndScan(int dirFd, const char* name, std::vector<unsigned char>& buffer, std::vector<unsigned char>& scratch,
                 std::uint64_t& regularBytes,
                 const std::function<void(ByteSource& source, text::Encoding encoding)>& scan);

}  // namespace textrove::search
