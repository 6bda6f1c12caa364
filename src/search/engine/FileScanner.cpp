#include "search/engine/FileScanner.h"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/Cp932Table.h"
#include "search/engine/TranscodingSource.h"
#include "text/StreamDecoder.h"

namespace textrove::search {

namespace {

inline bool IsTerminator(unsigned char c)
{
    return c == '\n' || c == '\r';
}

inline bool AllAscii8(const unsigned char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    return (w & 0x8080808080808080ull) == 0;
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

// First CR or LF in [from, to), or `to`.
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

// Decoded text as shown in a record: each invalid sequence as U+FFFD.
void AppendShown(std::string& out, const unsigned char* p, std::size_t n)
{
    while (n > 0) {
        const auto* bad = static_cast<const unsigned char*>(std::memchr(p, text::kInvalidByte, n));
        const std::size_t good = bad ? static_cast<std::size_t>(bad - p) : n;
        out.append(reinterpret_cast<const char*>(p), good);
        if (!bad) return;
        out.append("\xEF\xBF\xBD");
        p += good + 1;
        n -= good + 1;
    }
}


constexpr unsigned kAnchorBuckets = (1u << MultiSearch::kBuckets) - 1;

// Bit k set when p[k] is CR or LF; p[0, 64) readable.
__attribute__((target("avx2"))) std::uint64_t TerminatorsAvx2(const unsigned char* p)
{
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto lo = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(a, lf), _mm256_cmpeq_epi8(a, cr))));
    const auto hi = static_cast<std::uint32_t>(
        _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(b, lf), _mm256_cmpeq_epi8(b, cr))));
    return static_cast<std::uint64_t>(hi) << 32 | lo;
}

std::uint64_t TerminatorsSse2(const unsigned char* p)
{
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    std::uint64_t mask = 0;
    for (int k = 0; k < 4; ++k) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
        mask |= static_cast<std::uint64_t>(static_cast<unsigned>(
                    _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr)))))
                << (16 * k);
    }
    return mask;
}

const bool kTerminatorsAvx2 = __builtin_cpu_supports("avx2");
// Room before the line's text in m_lineUtf8 for a record's "WORD :", so a
// record is the line's own buffer and a long line is not copied again.
constexpr std::size_t kPrefixRoom = 4 * kMaxWordLength + 2;
constexpr std::size_t kStraddleChars = kMaxWordLength - 1;
// Bytes that surely hold the first kStraddleChars characters of a line and
// whatever their decoding looks at.
constexpr std::size_t kHeadBytes = 4 * kStraddleChars + 4;

}  // namespace

FileScanner::FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel)
    : FileScanner(std::move(upperWords), cancel, {kHoldLimit, kBlockSize})
{
}

// A streamed line must show its first characters whole when it starts
// streaming, for the straddle check; hence the floor on the hold limit.
FileScanner::FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel, Limits limits)
    : m_upperWords(std::move(upperWords)),
      m_cancel(cancel),
      m_holdLimit(std::max(limits.holdLimit, kHeadBytes)),
      m_rereadBlock(std::max<std::size_t>(limits.rereadBlock, 8))
{
    for (const auto& w : m_upperWords) m_longestWord = std::max(m_longestWord, w.size());
}

FileScanner::~FileScanner() = default;

const WordSet& FileScanner::Words(text::Encoding encoding)
{
    auto& slot = encoding == text::Encoding::Utf8 ? m_utf8Words : m_cp932Words;
    if (!slot) slot = std::make_unique<WordSet>(m_upperWords, encoding);
    return *slot;
}

void FileScanner::Scan(ByteSource& source, text::Encoding encoding, std::string_view displayPath,
                       const Print& print)
{
    m_transcoded = text::ReadThroughUtf8(encoding);
    ByteSource* input = &source;
    if (m_transcoded) {
        if (!m_transcoding) m_transcoding = std::make_unique<TranscodingSource>();
        m_transcoding->Reset(source, encoding);
        input = m_transcoding.get();
    }
    m_words = &Words(m_transcoded ? text::Encoding::Utf8 : encoding);
    m_source = input;
    m_print = &print;
    m_displayPath = displayPath;
    m_banner = false;
    ByteSource::Piece piece;
    bool anyMatchable = false;
    for (const auto& w : m_words->words()) anyMatchable = anyMatchable || w.matchable;
    if (!anyMatchable) {
        // Nothing can be found, but the file is still read to its end.
        while (source.Next(piece)) {
            if (piece.last || m_cancel.load(std::memory_order_relaxed) != 0) break;
        }
        return;
    }

    m_carry.clear();
    m_carryLine = 0;
    m_carryFirst = true;
    m_streaming = false;
    m_base = 0;
    bool first = true;
    while (input->Next(piece)) {
        if (m_cancel.load(std::memory_order_relaxed) != 0) break;
        Assemble(piece);
        m_eof = piece.last;
        std::size_t lineStart;
        if (first) {
            if (encoding == text::Encoding::Utf8 && m_n < 3 && !piece.last) {
                // A short first read may cut a BOM: wait for three bytes.
                m_carry.assign(m_p, m_p + m_n);
                continue;
            }
            first = false;
            lineStart = encoding == text::Encoding::Utf8
                            ? text::Utf8BomLength(std::string_view(
                                  reinterpret_cast<const char*>(m_p), std::min<std::size_t>(m_n, 3)))
                            : 0;
            m_firstLineAt = lineStart;
        } else {
            lineStart = m_carryLine;
            m_firstLineAt = m_carryFirst ? m_carryLine : kNone;
        }
        if (!ProcessBlock(lineStart) || piece.last) break;
    }
    ReleaseLargeBuffers();
}

void FileScanner::Assemble(const ByteSource::Piece& piece)
{
    const std::size_t c = m_carry.size();
    if (c <= piece.headroom) {
        m_p = piece.data - c;
        if (c > 0) std::memcpy(m_p, m_carry.data(), c);
    } else {
        if (m_work.size() < c + piece.size) m_work.resize(c + piece.size);
        std::memcpy(m_work.data(), m_carry.data(), c);
        if (piece.size > 0) std::memcpy(m_work.data() + c, piece.data, piece.size);
        m_p = m_work.data();
    }
    m_n = c + piece.size;
}

// Returns false when the scan is to stop (cancellation).
bool FileScanner::ProcessBlock(std::size_t lineStart)
{
    if (m_streaming) {
        const std::size_t t = NextTerminator(m_p, 0, m_n);
        if (!m_streamAnchor) m_streamAnchor = AnyAnchor(0, t);
        if (t == m_n && !m_eof) {
            if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
            KeepStreamTail(0);
            return true;
        }
        if (!FinishStreamedLine(m_base + t)) return false;
        m_streaming = false;
        if (t == m_n) return true;
        // A CR as the last byte may be the first half of a CR LF; the LF
        // then starts the next block and is passed over as an empty line.
        lineStart = t + 1;
        if (m_p[t] == '\r' && lineStart < m_n && m_p[lineStart] == '\n') ++lineStart;
        m_firstLineAt = kNone;
    }
    const std::size_t regionEnd = RegionEnd(lineStart);
    if (regionEnd != kNone && regionEnd > lineStart) {
        if (!ProcessRegion(lineStart, regionEnd)) return false;
        lineStart = regionEnd;
    }
    if (m_eof) return true;
    if (m_n - lineStart > m_holdLimit) return EnterStreaming(lineStart);
    KeepForNext(lineStart);
    return true;
}

// The previous line's last characters (for straddles) and the partial line
// go with the next piece.
void FileScanner::KeepForNext(std::size_t lineStart)
{
    std::size_t keep = lineStart;
    std::size_t ps, pe;
    if (PreviousLine(lineStart, ps, pe))
        keep = pe - ps > kTailBytes ? BoundaryAtOrAfter(ps, pe - kTailBytes) : ps;
    m_carry.assign(m_p + keep, m_p + m_n);
    m_carryLine = lineStart - keep;
    m_carryFirst = m_firstLineAt == lineStart;
    m_base += keep;
}

// `from` is a character start in the streamed line.
void FileScanner::KeepStreamTail(std::size_t from)
{
    const std::size_t keep = m_n - from > kTailBytes ? BoundaryAtOrAfter(from, m_n - kTailBytes) : from;
    m_carry.assign(m_p + keep, m_p + m_n);
    m_carryLine = 0;
    m_carryFirst = false;
    m_base += keep;
}

bool FileScanner::EnterStreaming(std::size_t lineStart)
{
    if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
    // The previous line and this line's head are at hand only now.
    m_streamSplit = 0;
    if (m_words->HasSplitWords() && SplitCandidateAt(lineStart, m_n))
        m_streamSplit = StraddleMask(lineStart, m_n);
    m_streamAnchor = AnyAnchor(lineStart, m_n);
    m_streamStart = m_base + lineStart;
    m_streaming = true;
    KeepStreamTail(lineStart);
    return true;
}

bool FileScanner::FinishStreamedLine(std::uint64_t endOffset)
{
    std::uint32_t inLine = 0;
    if (m_streamAnchor && !RereadInLine(m_streamStart, endOffset, inLine)) return false;
    if ((m_streamSplit | inLine) == 0) return true;
    if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
    m_streamEnd = endOffset;
    m_lineStreamed = true;
    const bool taken = EmitHits(m_streamSplit, inLine);
    m_lineStreamed = false;
    ReleaseLargeBuffers();
    return taken;
}

// End of the whole lines from lineStart on: after the last terminator, or
// the end of data at the end of the file. A CR as the very last byte read
// may be the first half of a CR LF and waits for more data.
std::size_t FileScanner::RegionEnd(std::size_t lineStart) const
{
    if (m_eof) return m_n;
    std::size_t limit = m_n;
    if (limit > lineStart && m_p[limit - 1] == '\r') --limit;
    if (limit <= lineStart) return kNone;
    const std::size_t t = LastTerminator(m_p, lineStart, limit);
    return t == kNone ? kNone : t + 1;
}

std::size_t FileScanner::LineStartBefore(std::size_t pos, std::size_t low) const
{
    if (pos <= low) return low;
    const std::size_t t = LastTerminator(m_p, low, pos);
    return t == kNone ? low : t + 1;
}

// The line before the one at lineStart, as far as the block holds it (from
// a character start). False for the file's first line.
bool FileScanner::PreviousLine(std::size_t lineStart, std::size_t& prevStart,
                               std::size_t& prevEnd) const
{
    if (lineStart == m_firstLineAt || lineStart == 0) return false;
    const std::size_t low = m_firstLineAt != kNone && m_firstLineAt < lineStart ? m_firstLineAt : 0;
    std::size_t e = lineStart - 1;  // the terminator's last byte
    if (m_p[e] == '\n' && e > low && m_p[e - 1] == '\r') --e;
    prevEnd = e;
    prevStart = LineStartBefore(e, low);
    return true;
}

// First character start at or after `target`, found by stepping from the
// character start `from` (CP932 cannot be synchronised backwards).
std::size_t FileScanner::BoundaryAtOrAfter(std::size_t from, std::size_t target) const
{
    if (m_words->encoding() == text::Encoding::Utf8) {
        std::size_t j = std::max(from, target);
        while (j < m_n && j < target + 3 && (m_p[j] & 0xC0) == 0x80) ++j;
        return j;
    }
    const text::Cp932Table& table = text::Cp932Table::Get();
    std::size_t i = from;
    while (i < target) {
        if (m_p[i] < 0x80) {
            ++i;
            while (i + 8 <= target && AllAscii8(m_p + i)) i += 8;
            continue;
        }
        i += table.CharLength(m_p + i, m_n - i);
    }
    return i;
}

// Length of the prefix of whole characters whose decoding does not depend
// on bytes after `n` (p[0] is a character start).
std::size_t FileScanner::CompletePrefix(const unsigned char* p, std::size_t n) const
{
    if (m_words->encoding() == text::Encoding::Utf8) return text::CompleteUtf8Prefix(p, n);
    const text::Cp932Table& table = text::Cp932Table::Get();
    std::size_t i = 0;
    while (i < n) {
        if (p[i] < 0x80) {
            ++i;
            while (i + 8 <= n && AllAscii8(p + i)) i += 8;
            continue;
        }
        if (i + 1 >= n) break;
        i += table.CharLength(p + i, n - i);
    }
    return i;
}

void FileScanner::DecodeBytes(const unsigned char* p, std::size_t n, std::u32string& out) const
{
    if (m_words->encoding() == text::Encoding::Cp932) {
        text::Cp932Table::Get().DecodeAppend(p, n, out);
    } else {
        text::DecodeAppend(std::string_view(reinterpret_cast<const char*>(p), n),
                           text::Encoding::Utf8, out);
    }
}

bool FileScanner::AnchorAt(std::size_t j, std::size_t end, unsigned bits) const
{
    for (unsigned b = bits & kAnchorBuckets; b != 0; b &= b - 1) {
        for (const WordSet::BucketAnchor& a : m_words->BucketAnchors(__builtin_ctz(b))) {
            if (j < a.offset) continue;
            const std::size_t start = j - a.offset;
            if (start + a.pattern->size() <= end && a.pattern->MatchesAt(m_p + start)) return true;
        }
    }
    return false;
}

bool FileScanner::AnyAnchor(std::size_t from, std::size_t end) const
{
    const MultiSearch& search = m_words->Search();
    MultiSearch::Cursor cursor;
    unsigned bits;
    for (std::size_t j = from; (j = search.Next(cursor, m_p, j, end, bits)) < end; ++j) {
        if (AnchorAt(j, end, bits)) return true;
    }
    return false;
}

// Byte-level test for the line at `s`: it is not the first line, it and the
// previous line are not empty, its first character may continue a word and
// the previous line ends in the encoding of a character that may precede it.
bool FileScanner::SplitCandidateAt(std::size_t s, std::size_t end)
{
    if (s >= end || s == 0 || IsTerminator(m_p[s])) return false;
    if (m_firstLineAt != kNone && s <= m_firstLineAt) return false;
    std::size_t e = s - 1;
    if (m_p[e] == '\n' && e > 0 && m_p[e - 1] == '\r') --e;
    const std::size_t low = m_firstLineAt != kNone && m_firstLineAt < e ? m_firstLineAt : 0;
    if (e <= low || IsTerminator(m_p[e - 1])) return false;
    if (!m_words->MaySplitAt(m_p + e, e - low, m_p + s, end - s)) return false;
    std::size_t lim = s;
    const std::size_t most = m_words->encoding() == text::Encoding::Utf8 ? 4 : 2;
    while (lim < end && lim - s < most && !IsTerminator(m_p[lim])) ++lim;
    m_head.clear();
    DecodeBytes(m_p + s, lim - s, m_head);
    const auto* preceding = m_words->PrecedingEncodings(text::ToUpper(m_head[0]));
    if (!preceding) return false;
    for (const std::string& enc : *preceding) {
        if (enc.size() <= e - low && std::memcmp(m_p + e - enc.size(), enc.data(), enc.size()) == 0)
            return true;
    }
    return false;
}

// The words that straddle the break before the line at `begin` (which
// ends at or before `end`): the previous line's last n - 1 characters and
// this line's first n - 1, upper-cased.
std::uint32_t FileScanner::StraddleMask(std::size_t begin, std::size_t end)
{
    std::size_t ps, pe;
    if (!PreviousLine(begin, ps, pe) || pe <= ps) return 0;
    if (pe - ps > kTailBytes) ps = BoundaryAtOrAfter(ps, pe - kTailBytes);
    m_prevTail.clear();
    DecodeBytes(m_p + ps, pe - ps, m_prevTail);
    if (m_prevTail.size() > kStraddleChars) m_prevTail.erase(0, m_prevTail.size() - kStraddleChars);
    text::ToUpperInPlace(m_prevTail);
    m_head.clear();
    DecodeBytes(m_p + begin, std::min(end - begin, kHeadBytes), m_head);
    if (m_head.size() > kStraddleChars) m_head.resize(kStraddleChars);
    text::ToUpperInPlace(m_head);

    std::uint32_t mask = 0;
    const auto& words = m_words->words();
    for (std::size_t j = 0; j < words.size(); ++j) {
        const SearchWord& w = words[j];
        const std::size_t n = w.text.size();
        if (!w.matchable || n < 2) continue;
        const std::size_t tail = std::min(n - 1, m_prevTail.size());
        const std::size_t head = std::min(n - 1, m_head.size());
        m_split.assign(m_prevTail, m_prevTail.size() - tail, tail);
        m_split.append(m_head, 0, head);
        if (m_split.find(w.text) != std::u32string::npos) mask |= 1u << j;
    }
    return mask;
}

// Line starts in (from, end) where a straddling word may end, in order,
// after m_splitStarts' own entries. Only a break after a line that is not
// empty counts (the LF of a CR LF is part of its CR's break); the byte pairs
// on both of its sides decide before the characters are looked at.
void FileScanner::FindSplitStarts(std::size_t from, std::size_t end)
{
    const WordSet& words = *m_words;
    // Whether the byte before the one looked at is a terminator; the byte
    // before the file's first counts as one.
    std::uint64_t carry = (from == 0 || IsTerminator(m_p[from - 1])) ? 1 : 0;
    for (std::size_t i = from; i < end; i += 64) {
        std::uint64_t t;
        if (i + 64 <= end) {
            t = kTerminatorsAvx2 ? TerminatorsAvx2(m_p + i) : TerminatorsSse2(m_p + i);
        } else {
            t = 0;
            for (std::size_t k = 0; i + k < end; ++k) t |= std::uint64_t{IsTerminator(m_p[i + k])} << k;
        }
        std::uint64_t breaks = t & ~((t << 1) | carry);
        carry = t >> 63;
        // Most breaks fail the pair test; it is made without a branch on
        // the bytes, which text makes unpredictable. A terminator never
        // begins a word's tail, so an empty next line fails it too.
        for (; breaks != 0; breaks &= breaks - 1) {
            const std::size_t at = i + static_cast<std::size_t>(__builtin_ctzll(breaks));
            bool may;
            std::size_t s;
            if (at >= 2 && at + 4 <= end) {
                const unsigned char* q = m_p + at;
                s = at + 1 + static_cast<std::size_t>((q[0] == '\r') & (q[1] == '\n'));
                may = words.MaySplitPairs(static_cast<unsigned>(q[-2]) << 8 | q[-1],
                                          static_cast<unsigned>(m_p[s]) << 8 | m_p[s + 1]);
            } else {
                s = at + 1;
                if (m_p[at] == '\r' && s < end && m_p[s] == '\n') ++s;
                may = s < end && words.MaySplitAt(m_p + at, at, m_p + s, end - s);
            }
            if (may && SplitCandidateAt(s, end)) m_splitStarts.push_back(s);
        }
    }
}

// Candidates: lines that may complete a straddling word (found at each line
// break), and lines holding an anchor (one pass over the bytes). Lines
// without either cannot report anything and are passed over.
bool FileScanner::ProcessRegion(std::size_t begin, std::size_t end)
{
    Pending pending;
    std::size_t first = begin;
    if (m_p[first] == '\n' && first > 0 && m_p[first - 1] == '\r') ++first;
    m_splitStarts.clear();
    if (m_words->HasSplitWords()) {
        // A straddle into the region's first line shows before the region.
        if (SplitCandidateAt(first, end)) m_splitStarts.push_back(first);
        FindSplitStarts(first, end);
    }
    std::size_t nextSplit = 0;
    // Lines that only a straddle brings, before `pos`, in order.
    const auto splitsBefore = [&](std::size_t pos) {
        for (; nextSplit < m_splitStarts.size() && m_splitStarts[nextSplit] < pos; ++nextSplit) {
            if (!Flush(pending)) return false;
            const std::size_t s = m_splitStarts[nextSplit];
            pending = {s, NextTerminator(m_p, s, end), false, true};
        }
        return true;
    };

    const MultiSearch& search = m_words->Search();
    MultiSearch::Cursor cursor;
    unsigned bits;
    std::size_t j = begin;
    for (;;) {
        if (pending.begin != kNone && pending.inLine && j + 1 < pending.end) j = pending.end - 1;
        j = search.Next(cursor, m_p, j, end, bits);
        if (j >= end) break;
        if ((bits & kAnchorBuckets) && AnchorAt(j, end, bits)) {
            if (pending.begin != kNone && j >= pending.begin && j < pending.end) {
                pending.inLine = true;
            } else {
                const std::size_t lineStart = LineStartBefore(j, begin);
                if (!splitsBefore(lineStart)) return false;
                if (pending.begin != kNone && j >= pending.begin && j < pending.end) {
                    pending.inLine = true;
                } else {
                    const bool split = nextSplit < m_splitStarts.size() && m_splitStarts[nextSplit] == lineStart;
                    nextSplit += split ? 1 : 0;
                    if (!Flush(pending)) return false;
                    pending = {lineStart, NextTerminator(m_p, j, end), true, split};
                }
            }
        }
        ++j;
    }
    if (!splitsBefore(end)) return false;
    return Flush(pending);
}

bool FileScanner::Flush(Pending& pending)
{
    if (pending.begin == kNone) return true;
    // Lines passed over cannot report, so looking at the flag here sees
    // every line that could.
    if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
    ProcessLine(pending.begin, pending.end, pending.inLine, pending.split);
    pending = Pending{};
    return true;
}

void FileScanner::ProcessLine(std::size_t begin, std::size_t end, bool inLine, bool split)
{
    const std::uint32_t splitBits = split ? StraddleMask(begin, end) : 0;
    std::uint32_t inLineBits = 0;
    if (inLine) {
        m_line.clear();
        DecodeBytes(m_p + begin, end - begin, m_line);
        m_upper.assign(m_line);
        text::ToUpperInPlace(m_upper);
        const auto& words = m_words->words();
        for (std::size_t j = 0; j < words.size(); ++j) {
            if (words[j].matchable && m_upper.find(words[j].text) != std::u32string::npos)
                inLineBits |= 1u << j;
        }
    }
    if ((splitBits | inLineBits) == 0) return;
    m_lineBegin = begin;
    m_lineEnd = end;
    m_lineDecoded = inLine;
    m_lineUtf8Ready = false;
    EmitHits(splitBits, inLineBits);
}

// Reads a streamed line again in blocks and looks for every word in it,
// keeping the last characters of each block for words that cross into the
// next. False on cancellation; a read failure finds nothing.
bool FileScanner::RereadInLine(std::uint64_t start, std::uint64_t end, std::uint32_t& mask)
{
    mask = 0;
    const std::size_t overlap = m_longestWord > 0 ? m_longestWord - 1 : 0;
    m_reread.resize(m_rereadBlock + 8);
    m_upper.clear();
    std::size_t pending = 0;
    std::uint64_t offset = start;
    const auto& words = m_words->words();
    for (;;) {
        if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(m_rereadBlock, end - offset));
        if (want > 0 && !m_source->ReadAt(offset, m_reread.data() + pending, want)) {
            mask = 0;
            return true;
        }
        offset += want;
        const std::size_t n = pending + want;
        const bool final = offset >= end;
        const std::size_t complete = final ? n : CompletePrefix(m_reread.data(), n);
        if (m_upper.size() > overlap) m_upper.erase(0, m_upper.size() - overlap);
        const std::size_t keptChars = m_upper.size();
        DecodeBytes(m_reread.data(), complete, m_upper);
        for (std::size_t k = keptChars; k < m_upper.size(); ++k) m_upper[k] = text::ToUpper(m_upper[k]);
        for (std::size_t j = 0; j < words.size(); ++j) {
            if (words[j].matchable && !(mask >> j & 1u) &&
                m_upper.find(words[j].text) != std::u32string::npos)
                mask |= 1u << j;
        }
        pending = n - complete;
        std::memmove(m_reread.data(), m_reread.data() + complete, pending);
        if (final) return true;
    }
}

// A streamed line's record, read again and handed over in parts, so that
// memory stays bounded however long the line is. The parts are cut and
// decoded as the whole line would be (CompletePrefix), so the record's bytes
// are the same. A line that cannot be read again (the file shrank) is left
// out; one that stops being readable part-way ends there. False when the
// sink refused a part.
bool FileScanner::StreamRecord(const SearchWord& word)
{
    const bool utf8 = m_words->encoding() == text::Encoding::Utf8;
    m_reread.resize(m_rereadBlock + 8);
    std::size_t pending = 0;
    std::uint64_t offset = m_streamStart;
    bool first = true;
    for (;;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(m_rereadBlock, m_streamEnd - offset));
        const bool read = want == 0 || m_source->ReadAt(offset, m_reread.data() + pending, want);
        if (first) {
            if (!read) return true;
            first = false;
            Banner();
            m_record.assign(word.utf8);
            m_record.append(" :");
            if (!(*m_print)(m_record, true, false)) return false;
        }
        if (!read) return (*m_print)(std::string_view(), false, true);
        offset += want;
        const std::size_t n = pending + want;
        const bool final = offset >= m_streamEnd;
        const std::size_t complete = final ? n : CompletePrefix(m_reread.data(), n);
        std::string_view part(reinterpret_cast<const char*>(m_reread.data()), complete);
        if (m_transcoded) {
            m_record.clear();
            AppendShown(m_record, m_reread.data(), complete);
            part = m_record;
        } else if (!utf8) {
            m_line.clear();
            DecodeBytes(m_reread.data(), complete, m_line);
            m_record.clear();
            for (char32_t c : m_line) text::AppendUtf8(c, m_record);
            part = m_record;
        }
        if ((complete > 0 || final) && !(*m_print)(part, false, final)) return false;
        if (final) return true;
        pending = n - complete;
        std::memmove(m_reread.data(), m_reread.data() + complete, pending);
    }
}

// Per word in list order: the straddle report, then the in-line report.
// False when a streamed record was refused: its line's other records are
// not made.
bool FileScanner::EmitHits(std::uint32_t splitBits, std::uint32_t inLineBits)
{
    if (m_onLine) m_onLine();
    const auto& words = m_words->words();
    for (std::size_t j = 0; j < words.size(); ++j) {
        if ((splitBits >> j & 1u) && !Report(words[j])) return false;
        if ((inLineBits >> j & 1u) && !Report(words[j])) return false;
    }
    return true;
}

void FileScanner::EnsureLineUtf8()
{
    if (m_lineUtf8Ready) return;
    m_lineUtf8.assign(kPrefixRoom, ' ');
    if (m_transcoded) {
        AppendShown(m_lineUtf8, m_p + m_lineBegin, m_lineEnd - m_lineBegin);
    } else if (m_words->encoding() == text::Encoding::Utf8) {
        m_lineUtf8.append(reinterpret_cast<const char*>(m_p) + m_lineBegin, m_lineEnd - m_lineBegin);
    } else {
        if (!m_lineDecoded) {
            m_line.clear();
            DecodeBytes(m_p + m_lineBegin, m_lineEnd - m_lineBegin, m_line);
            m_lineDecoded = true;
        }
        for (char32_t c : m_line) text::AppendUtf8(c, m_lineUtf8);
    }
    m_lineUtf8Ready = true;
}

void FileScanner::Banner()
{
    if (m_banner) return;
    m_banner = true;
    (*m_print)(std::string_view(), true, true);
    m_record.assign(kBannerHead);
    m_record.append(m_displayPath);
    m_record.append(kBannerTail);
    (*m_print)(m_record, true, true);
}

// A whole record's refusal is left to the cancellation it raises, as for
// any other record.
bool FileScanner::Report(const SearchWord& word)
{
    if (m_lineStreamed) return StreamRecord(word);
    Banner();
    EnsureLineUtf8();
    const std::size_t prefix = word.utf8.size() + 2;
    if (prefix > kPrefixRoom) {  // a word longer than the list allows
        m_record.assign(word.utf8);
        m_record.append(" :");
        m_record.append(m_lineUtf8, kPrefixRoom);
        (*m_print)(m_record, true, true);
        return true;
    }
    char* at = m_lineUtf8.data() + kPrefixRoom - prefix;
    std::memcpy(at, word.utf8.data(), word.utf8.size());
    at[prefix - 2] = ' ';
    at[prefix - 1] = ':';
    (*m_print)(std::string_view(at, m_lineUtf8.size() - kPrefixRoom + prefix), true, true);
    return true;
}

// A long line's text is not kept past its use.
void FileScanner::ReleaseLargeBuffers()
{
    const std::size_t kKeep = 4 * m_holdLimit;
    auto shrink = [](auto& buffer, std::size_t bytes) {
        if (buffer.capacity() * sizeof(buffer[0]) > bytes) std::remove_reference_t<decltype(buffer)>().swap(buffer);
    };
    shrink(m_lineUtf8, kKeep);
    shrink(m_record, kKeep);
    shrink(m_line, kKeep);
    shrink(m_upper, kKeep);
    shrink(m_reread, 2 * m_rereadBlock);
    shrink(m_work, 2 * (m_holdLimit + kBlockSize));
}

}  // namespace textrove::search
