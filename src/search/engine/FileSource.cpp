#include "search/engine/FileSource.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

namespace textrove::search {

std::size_t FirstReadSize(std::uint64_t knownSize)
{
    return static_cast<std::size_t>(std::min<std::uint64_t>(knownSize, kReadBlockSize));
}

bool ReadBlock(int fd, unsigned char* buffer, std::size_t want, std::uint64_t knownSize, std::uint64_t& total,
               std::size_t& got, bool& eof)
{
    got = 0;
    want = static_cast<std::size_t>(std::min<std::uint64_t>(want, knownSize - std::min(total, knownSize)));
    while (got < want) {
        const ssize_t r = ::read(fd, buffer + got, want - got);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) {
            eof = true;
            break;
        }
        got += static_cast<std::size_t>(r);
        total += static_cast<std::uint64_t>(r);
    }
    if (total >= knownSize) eof = true;
    return true;
}

bool ReadExactlyAt(int fd, std::uint64_t offset, unsigned char* buffer, std::size_t n)
{
    std::size_t done = 0;
    while (done < n) {
        const ssize_t r = ::pread(fd, buffer + done, n - done, static_cast<off_t>(offset + done));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) return false;
        done += static_cast<std::size_t>(r);
    }
    return true;
}

bool FileEncoding(int fd, const unsigned char* head, std::size_t n, bool eof, std::uint64_t offset,
                  std::uint64_t knownSize, std::vector<unsigned char>& scratch, text::Encoding& encoding)
{
    text::EncodingDetector check;
    check.Feed(head, n);
    return FinishEncoding(fd, check, eof, offset, knownSize, scratch, encoding);
}

bool FinishEncoding(int fd, text::EncodingDetector& check, bool eof, std::uint64_t offset, std::uint64_t knownSize,
                    std::vector<unsigned char>& scratch, text::Encoding& encoding)
{
    const std::size_t block = kReadBlockSize;
    if (check.Open() && scratch.size() < block) scratch.resize(block);
    while (check.Open() && !eof && offset < knownSize) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(block, knownSize - offset));
        const ssize_t r = ::pread(fd, scratch.data(), want, static_cast<off_t>(offset));
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) break;
        offset += static_cast<std::uint64_t>(r);
        check.Feed(scratch.data(), static_cast<std::size_t>(r));
    }
    encoding = check.Finish();
    return true;
}

bool FdSource::Open(text::Encoding& encoding)
{
    const std::size_t want = FirstReadSize(m_size);
    const std::size_t need = kHeadroom + std::max(want, kReadBlockSize);
    if (m_buffer.size() < need) m_buffer.resize(need);
    if (!ReadBlock(m_fd, m_buffer.data() + kHeadroom, want, m_size, m_total, m_firstSize, m_eof)) return false;
    if (!FileEncoding(m_fd, m_buffer.data() + kHeadroom, m_firstSize, m_eof, m_total, m_size, m_scratch, encoding))
        return false;
    m_firstPending = true;
    return true;
}

bool FdSource::Next(Piece& piece)
{
    if (m_done) return false;
    piece.data = m_buffer.data() + kHeadroom;
    piece.headroom = kHeadroom;
    if (m_firstPending) {
        m_firstPending = false;
        piece.size = m_firstSize;
    } else if (!ReadBlock(m_fd, piece.data, kReadBlockSize, m_size, m_total, piece.size, m_eof)) {
        m_done = true;
        return false;
    }
    piece.last = m_eof;
    m_done = m_eof;
    return true;
}

bool FdSource::ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n)
{
    return ReadExactlyAt(m_fd, offset, buffer, n);
}

bool OpenAndScan(int dirFd, const char* name, std::vector<unsigned char>& buffer, std::vector<unsigned char>& scratch,
                 std::uint64_t& regularBytes,
                 const std::function<void(ByteSource& source, text::Encoding encoding)>& scan)
{
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;
    const int fd = dirFd >= 0 ? ::openat(dirFd, name, kFlags) : ::open(name, kFlags);
    if (fd < 0) return false;
    struct stat st { };
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        regularBytes += static_cast<std::uint64_t>(st.st_size);
        FdSource source(fd, static_cast<std::uint64_t>(st.st_size), buffer, scratch);
        text::Encoding encoding;
        if (source.Open(encoding)) scan(source, encoding);
    }
    ::close(fd);
    return true;
}

}  // namespace textrove::search
