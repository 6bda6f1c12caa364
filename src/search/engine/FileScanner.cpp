#include "search/engine/FileScanner.h"

#include <immintrin.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "search/engine/Cp932Table.h"

namespace textrove::search {

namespace {

inline bool IsTerminator(unsigned char c)
{
    return c == '\n' || c == '\r';
}

bool AnyHighByte(const unsigned char* p, std::size_t n)
{
    std::size_t i = 0;
    std::uint64_t acc = 0;
    for (; i + 8 <= n; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, p + i, 8);
        acc |= w;
    }
    for (; i < n; ++i) acc |= p[i];
    return (acc & 0x8080808080808080ull) != 0;
}

// Length of the prefix that ends before a UTF-8 sequence cut off at the end.
std::size_t CompleteUtf8Prefix(const unsigned char* p, std::size_t n)
{
    for (std::size_t k = 1; k <= 3 && k <= n; ++k) {
        const unsigned char b = p[n - k];
        if ((b & 0xC0) == 0x80) continue;
        if (b < 0x80) return n;
        const std::size_t need = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
        return k < need ? n - k : n;
    }
    return n;
}

// Last CR or LF in [from, to), or -1: one backward pass for both bytes.
std::size_t LastTerminator(const unsigned char* p, std::size_t from, std::size_t to)
{
    std::size_t i = to;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (i >= from + 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 16));
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (mask) return i - 16 + static_cast<std::size_t>(31 - __builtin_clz(mask));
        i -= 16;
    }
    while (i > from) {
        --i;
        if (IsTerminator(p[i])) return i;
    }
    return static_cast<std::size_t>(-1);
}

// First CR or LF in [from, to), or `to`: one forward pass for both bytes (two
// memchr calls would rescan the rest of a CR-only file for every line).
std::size_t NextTerminator(const unsigned char* p, std::size_t from, std::size_t to)
{
    std::size_t i = from;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= to; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const auto mask = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (mask) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    for (; i < to; ++i) {
        if (IsTerminator(p[i])) return i;
    }
    return to;
}

}  // namespace

FileScanner::FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel)
    : m_upperWords(std::move(upperWords)), m_cancel(cancel)
{
}

const WordSet& FileScanner::Words(text::Encoding encoding)
{
    auto& slot = encoding == text::Encoding::Utf8 ? m_utf8Words : m_cp932Words;
    if (!slot) slot = std::make_unique<WordSet>(m_upperWords, encoding);
    return *slot;
}

bool FileScanner::Fill(int fd)
{
    if (m_buf.size() < m_end + kBlockSize) m_buf.resize(m_end + kBlockSize);
    std::size_t want = kBlockSize;
    while (want > 0) {
        const ssize_t r = ::read(fd, m_buf.data() + m_end, want);
        if (r < 0) {
            if (errno == EINTR) continue;
            m_readError = true;
            return false;
        }
        if (r == 0) {
            m_eof = true;
            break;
        }
        m_end += static_cast<std::size_t>(r);
        m_readTotal += static_cast<std::size_t>(r);
        want -= static_cast<std::size_t>(r);
        // A short read of a regular file that has reached its known size is
        // its end; this saves the extra read that would return 0.
        if (want > 0 && m_readTotal >= m_fileSize) {
            m_eof = true;
            break;
        }
    }
    return true;
}

// The encoding rule needs the whole file: valid UTF-8 to the end, with some
// byte of 0x80 or above. The first block stays in m_buf; the rest is read
// into scratch space and the file position is put back after the first block.
bool FileScanner::DetectLargeFile(int fd, text::Encoding& encoding)
{
    encoding = text::Encoding::Cp932;
    std::size_t complete = CompleteUtf8Prefix(m_buf.data(), m_end);
    std::string_view head(reinterpret_cast<const char*>(m_buf.data()), complete);
    if (!text::IsValidUtf8(head)) return true;
    bool high = AnyHighByte(m_buf.data(), complete);
    std::size_t carry = m_end - complete;
    if (m_scratch.size() < kBlockSize + 4) m_scratch.resize(kBlockSize + 4);
    std::memcpy(m_scratch.data(), m_buf.data() + complete, carry);
    bool valid = true;
    for (;;) {
        const ssize_t r = ::read(fd, m_scratch.data() + carry, kBlockSize);
        if (r < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (r == 0) {
            if (carry > 0) valid = false;  // cut off inside a character
            break;
        }
        const std::size_t n = carry + static_cast<std::size_t>(r);
        complete = CompleteUtf8Prefix(m_scratch.data(), n);
        if (!text::IsValidUtf8(
                std::string_view(reinterpret_cast<const char*>(m_scratch.data()), complete))) {
            valid = false;
            break;
        }
        high = high || AnyHighByte(m_scratch.data(), complete);
        carry = n - complete;
        std::memmove(m_scratch.data(), m_scratch.data() + complete, carry);
    }
    if (::lseek(fd, static_cast<off_t>(m_readTotal), SEEK_SET) < 0) return false;
    if (valid && high) encoding = text::Encoding::Utf8;
    return true;
}

void FileScanner::Drain(int fd)
{
    while (!m_eof && !m_readError) {
        if (m_cancel.load(std::memory_order_relaxed) != 0) return;
        m_end = 0;
        Fill(fd);
    }
}

void FileScanner::Scan(int fd, std::string_view displayPath, const Print& print)
{
    m_end = 0;
    m_readTotal = 0;
    m_eof = false;
    m_readError = false;
    m_banner = false;
    m_print = &print;
    m_displayPath = displayPath;
    m_cachedBegin = m_cachedEnd = kNone;
    struct stat st{};
    m_fileSize = ::fstat(fd, &st) == 0 ? static_cast<std::size_t>(st.st_size) : 0;

    if (!Fill(fd)) return;
    text::Encoding encoding;
    if (m_eof) {
        encoding = text::DetectEncoding(
            std::string_view(reinterpret_cast<const char*>(m_buf.data()), m_end));
    } else if (!DetectLargeFile(fd, encoding)) {
        return;
    }
    m_words = &Words(encoding);
    bool anyMatchable = false;
    for (const auto& w : m_words->words()) anyMatchable = anyMatchable || w.matchable;
    if (!anyMatchable) {
        Drain(fd);
        return;
    }

    m_firstLineAt = 0;
    if (encoding == text::Encoding::Utf8)
        m_firstLineAt = text::Utf8BomLength(
            std::string_view(reinterpret_cast<const char*>(m_buf.data()), m_end));
    std::size_t lineStart = m_firstLineAt;
    for (;;) {
        if (m_cancel.load(std::memory_order_relaxed) != 0) return;
        const std::size_t regionEnd = RegionEnd(lineStart);
        if (regionEnd != kNone && regionEnd > lineStart) {
            if (!ProcessRegion(lineStart, regionEnd)) return;
            lineStart = regionEnd;
        }
        if (m_eof || m_readError) return;
        std::size_t prevStart, prevEnd;
        const std::size_t keep =
            PreviousLine(lineStart, prevStart, prevEnd) ? prevStart : lineStart;
        Compact(keep);
        lineStart -= keep;
        if (!Fill(fd)) return;
    }
}

void FileScanner::Compact(std::size_t keepFrom)
{
    if (keepFrom == 0) return;
    std::memmove(m_buf.data(), m_buf.data() + keepFrom, m_end - keepFrom);
    m_end -= keepFrom;
    if (m_firstLineAt != kNone)
        m_firstLineAt = m_firstLineAt >= keepFrom ? m_firstLineAt - keepFrom : kNone;
    if (m_cachedBegin != kNone && m_cachedBegin >= keepFrom) {
        m_cachedBegin -= keepFrom;
        m_cachedEnd -= keepFrom;
    } else {
        m_cachedBegin = m_cachedEnd = kNone;
    }
}

// End of the whole lines from lineStart on: after the last terminator, or
// the end of data at the end of the file. A CR as the very last byte read
// may be the first half of a CR LF and waits for more data.
std::size_t FileScanner::RegionEnd(std::size_t lineStart) const
{
    if (m_eof || m_readError) return m_end;
    std::size_t limit = m_end;
    if (limit > lineStart && m_buf[limit - 1] == '\r') --limit;
    if (limit <= lineStart) return kNone;
    const std::size_t t = LastTerminator(m_buf.data(), lineStart, limit);
    return t == kNone ? kNone : t + 1;
}

std::size_t FileScanner::LineStartBefore(std::size_t pos, std::size_t low) const
{
    if (pos <= low) return low;
    const std::size_t t = LastTerminator(m_buf.data(), low, pos);
    return t == kNone ? low : t + 1;
}

bool FileScanner::PreviousLine(std::size_t lineStart, std::size_t& prevStart,
                               std::size_t& prevEnd) const
{
    if (lineStart == m_firstLineAt || lineStart == 0) return false;
    const std::size_t low = m_firstLineAt != kNone && m_firstLineAt < lineStart ? m_firstLineAt : 0;
    std::size_t e = lineStart - 1;  // the terminator's last byte
    if (m_buf[e] == '\n' && e > low && m_buf[e - 1] == '\r') --e;
    prevEnd = e;
    prevStart = LineStartBefore(e, low);
    return true;
}

// Next line start at or after `from` (itself a line start) where a
// straddling word could end: a non-empty line after a non-empty line, whose
// first character upper-cases to a non-first character of some word.
std::size_t FileScanner::NextSplitStart(std::size_t from, std::size_t end)
{
    const unsigned char* p = m_buf.data();
    std::size_t s = from;
    for (;;) {
        if (s >= end) return end;
        if (s != m_firstLineAt && s > 0 && !IsTerminator(p[s]) &&
            m_words->MaySplitStartAt(p + s, end - s)) {
            std::size_t e = s - 1;
            if (p[e] == '\n' && e > 0 && p[e - 1] == '\r') --e;
            if (e > 0 && !IsTerminator(p[e - 1]) && e != m_firstLineAt) return s;
        }
        const std::size_t t = NextTerminator(p, s, end);
        if (t >= end) return end;
        s = t + 1;
        if (p[t] == '\r' && s < end && p[s] == '\n') ++s;
    }
}

bool FileScanner::ProcessRegion(std::size_t begin, std::size_t end)
{
    const unsigned char* p = m_buf.data();
    m_anchors.clear();
    for (const auto& w : m_words->words()) {
        if (!w.matchable) continue;
        for (const auto& a : w.anchors) m_anchors.push_back({&a, 0, false});
    }
    const bool split = m_words->HasSplitWords();
    std::size_t splitNext = 0;
    bool splitValid = false;

    std::size_t cursor = begin;
    while (cursor < end) {
        std::size_t candidate = end;
        for (auto& a : m_anchors) {
            if (!a.valid || a.next < cursor) {
                a.next = a.pattern->Find(p, cursor, end);
                a.valid = true;
            }
            candidate = std::min(candidate, a.next);
        }
        if (split) {
            if (!splitValid || splitNext < cursor) {
                splitNext = NextSplitStart(cursor, end);
                splitValid = true;
            }
            candidate = std::min(candidate, splitNext);
        }
        if (candidate >= end) break;
        const std::size_t lineBegin = LineStartBefore(candidate, cursor);
        const std::size_t lineEnd = NextTerminator(p, candidate, end);
        std::size_t next = lineEnd;
        if (next < end) {
            ++next;
            if (p[lineEnd] == '\r' && next < end && p[next] == '\n') ++next;
        }
        // Lines skipped without a candidate cannot report anything, so
        // looking at the flag here sees every line that could.
        if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
        ProcessLine(lineBegin, lineEnd);
        cursor = next;
    }
    return true;
}

void FileScanner::DecodeLine(std::size_t begin, std::size_t end, std::u32string& out) const
{
    out.clear();
    if (m_words->encoding() == text::Encoding::Cp932) {
        Cp932Table::Get().DecodeAppend(m_buf.data() + begin, end - begin, out);
    } else {
        text::DecodeAppend(
            std::string_view(reinterpret_cast<const char*>(m_buf.data()) + begin, end - begin),
            text::Encoding::Utf8, out);
    }
}

void FileScanner::ProcessLine(std::size_t begin, std::size_t end)
{
    DecodeLine(begin, end, m_line);
    m_upper.assign(m_line);
    text::ToUpperInPlace(m_upper);
    m_lineUtf8Ready = false;

    // The previous line, upper-cased, only when some word could straddle.
    const std::u32string* prev = nullptr;
    if (!m_upper.empty() && m_words->IsSplitChar(m_upper[0])) {
        std::size_t ps, pe;
        if (PreviousLine(begin, ps, pe) && pe > ps) {
            if (!(m_cachedBegin == ps && m_cachedEnd == pe)) {
                DecodeLine(ps, pe, m_cachedUpper);
                text::ToUpperInPlace(m_cachedUpper);
                m_cachedBegin = ps;
                m_cachedEnd = pe;
            }
            prev = &m_cachedUpper;
        }
    }

    const std::u32string_view u(m_upper);
    for (const SearchWord& w : m_words->words()) {
        if (!w.matchable) continue;
        const std::size_t n = w.text.size();
        if (prev && n >= 2 && !prev->empty()) {
            const std::size_t tail = std::min(n - 1, prev->size());
            const std::size_t head = std::min(n - 1, u.size());
            m_split.assign(*prev, prev->size() - tail, tail);
            m_split.append(u.substr(0, head));
            if (m_split.find(w.text) != std::u32string::npos) Report(w, begin, end);
        }
        if (u.find(w.text) != std::u32string_view::npos) Report(w, begin, end);
    }

    std::swap(m_cachedUpper, m_upper);
    m_cachedBegin = begin;
    m_cachedEnd = end;
}

void FileScanner::Report(const SearchWord& word, std::size_t begin, std::size_t end)
{
    if (!m_banner) {
        m_banner = true;
        (*m_print)(std::string_view());
        m_record.assign(kBannerHead);
        m_record.append(m_displayPath);
        m_record.append(kBannerTail);
        (*m_print)(m_record);
    }
    if (!m_lineUtf8Ready) {
        m_lineUtf8.clear();
        if (m_words->encoding() == text::Encoding::Utf8) {
            m_lineUtf8.assign(reinterpret_cast<const char*>(m_buf.data()) + begin, end - begin);
        } else {
            for (char32_t c : m_line) text::AppendUtf8(c, m_lineUtf8);
        }
        m_lineUtf8Ready = true;
    }
    m_record.assign(word.utf8);
    m_record.append(" :");
    m_record.append(m_lineUtf8);
    (*m_print)(m_record);
}

}  // namespace textrove::search
