#include "search/engine/CandidateLines.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace textrove::search {

namespace {

using line_bytes::IsTerminator;
using line_bytes::LastTerminator;
using line_bytes::NextTerminator;

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

constexpr unsigned kAnchorBuckets = (1u << MultiSearch::kBuckets) - 1;
constexpr std::size_t kTailBytes = CandidateLines::kTailBytes;
constexpr std::size_t kHeadBytes = CandidateLines::kHeadBytes;
constexpr std::size_t kStraddleChars = CandidateLines::kStraddleChars;

}  // namespace

CandidateLines::CandidateLines(const CancelFlag& cancel, Reporter& reporter) : m_cancel(cancel), m_reporter(reporter)
{ }

std::size_t CandidateLines::LineStartBefore(std::size_t pos, std::size_t low) const
{
    if (pos <= low) return low;
    const std::size_t t = LastTerminator(m_block.p, low, pos);
    return t == kNone ? low : t + 1;
}

// The line before the one at lineStart, as far as the block holds it (from
// a character start). False for the file's first line.
bool CandidateLines::PreviousLine(std::size_t lineStart, std::size_t& prevStart, std::size_t& prevEnd) const
{
    if (lineStart == m_block.firstLineAt || lineStart == 0) return false;
    const std::size_t low = m_block.firstLineAt != kNone && m_block.firstLineAt < lineStart ? m_block.firstLineAt : 0;
    std::size_t e = lineStart - 1;  // the terminator's last byte
    if (m_block.p[e] == '\n' && e > low && m_block.p[e - 1] == '\r') --e;
    prevEnd = e;
    prevStart = LineStartBefore(e, low);
    return true;
}

bool CandidateLines::AnchorAt(std::size_t j, std::size_t end, unsigned bits) const
{
    for (unsigned b = bits & kAnchorBuckets; b != 0; b &= b - 1) {
        for (const WordSet::BucketAnchor& a : m_words->BucketAnchors(__builtin_ctz(b))) {
            if (j < a.offset) continue;
            const std::size_t start = j - a.offset;
            if (start + a.pattern->size() <= end && a.pattern->MatchesAt(m_block.p + start)) return true;
        }
    }
    return false;
}

bool CandidateLines::AnyAnchor(std::size_t from, std::size_t end) const
{
    const MultiSearch& search = m_words->Search();
    MultiSearch::Cursor cursor;
    unsigned bits;
    for (std::size_t j = from; (j = search.Next(cursor, m_block.p, j, end, bits)) < end; ++j) {
        if (AnchorAt(j, end, bits)) return true;
    }
    return false;
}

// Byte-level test for the line at `s`: it is not the first line, it and the
// previous line are not empty, its first character may continue a word and
// the previous line ends in the encoding of a character that may precede it.
bool CandidateLines::SplitCandidateAt(std::size_t s, std::size_t end)
{
    if (s >= end || s == 0 || IsTerminator(m_block.p[s])) return false;
    if (m_block.firstLineAt != kNone && s <= m_block.firstLineAt) return false;
    std::size_t e = s - 1;
    if (m_block.p[e] == '\n' && e > 0 && m_block.p[e - 1] == '\r') --e;
    const std::size_t low = m_block.firstLineAt != kNone && m_block.firstLineAt < e ? m_block.firstLineAt : 0;
    if (e <= low || IsTerminator(m_block.p[e - 1])) return false;
    if (!m_words->MaySplitAt(m_block.p + e, e - low, m_block.p + s, end - s)) return false;
    std::size_t lim = s;
    const std::size_t most = m_words->encoding() == text::Encoding::Utf8 ? 4 : 2;
    while (lim < end && lim - s < most && !IsTerminator(m_block.p[lim])) ++lim;
    m_head.clear();
    DecodeBytes(m_block.p + s, lim - s, m_head);
    const auto* preceding = m_words->PrecedingEncodings(text::ToUpper(m_head[0]));
    if (!preceding) return false;
    for (const std::string& enc : *preceding) {
        if (enc.size() <= e - low && std::memcmp(m_block.p + e - enc.size(), enc.data(), enc.size()) == 0) return true;
    }
    return false;
}

// The words that straddle the break before the line at `begin` (which
// ends at or before `end`): the previous line's last n - 1 characters and
// this line's first n - 1, upper-cased.
std::uint32_t CandidateLines::StraddleMask(std::size_t begin, std::size_t end)
{
    std::size_t ps, pe;
    if (!PreviousLine(begin, ps, pe) || pe <= ps) return 0;
    if (pe - ps > kTailBytes) ps = Boundary(ps, pe - kTailBytes);
    m_prevTail.clear();
    DecodeBytes(m_block.p + ps, pe - ps, m_prevTail);
    if (m_prevTail.size() > kStraddleChars) m_prevTail.erase(0, m_prevTail.size() - kStraddleChars);
    text::ToUpperInPlace(m_prevTail);
    m_head.clear();
    DecodeBytes(m_block.p + begin, std::min(end - begin, kHeadBytes), m_head);
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
void CandidateLines::FindSplitStarts(std::size_t from, std::size_t end)
{
    const WordSet& words = *m_words;
    // Whether the byte before the one looked at is a terminator; the byte
    // before the file's first counts as one.
    std::uint64_t carry = (from == 0 || IsTerminator(m_block.p[from - 1])) ? 1 : 0;
    for (std::size_t i = from; i < end; i += 64) {
        std::uint64_t t;
        if (i + 64 <= end) {
            t = kTerminatorsAvx2 ? TerminatorsAvx2(m_block.p + i) : TerminatorsSse2(m_block.p + i);
        } else {
            t = 0;
            for (std::size_t k = 0; i + k < end; ++k) t |= std::uint64_t{IsTerminator(m_block.p[i + k])} << k;
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
                const unsigned char* q = m_block.p + at;
                s = at + 1 + static_cast<std::size_t>((q[0] == '\r') & (q[1] == '\n'));
                may = words.MaySplitPairs(static_cast<unsigned>(q[-2]) << 8 | q[-1],
                                          static_cast<unsigned>(m_block.p[s]) << 8 | m_block.p[s + 1]);
            } else {
                s = at + 1;
                if (m_block.p[at] == '\r' && s < end && m_block.p[s] == '\n') ++s;
                may = s < end && words.MaySplitAt(m_block.p + at, at, m_block.p + s, end - s);
            }
            if (may && SplitCandidateAt(s, end)) m_splitStarts.push_back(s);
        }
    }
}

// Candidates: lines that may complete a straddling word (found at each line
// break), and lines holding an anchor (one pass over the bytes). Lines
// without either cannot report anything and are passed over.
bool CandidateLines::ProcessRegion(std::size_t begin, std::size_t end)
{
    Pending pending;
    std::size_t first = begin;
    if (m_block.p[first] == '\n' && first > 0 && m_block.p[first - 1] == '\r') ++first;
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
            pending = {s, NextTerminator(m_block.p, s, end), false, true};
        }
        return true;
    };

    const MultiSearch& search = m_words->Search();
    MultiSearch::Cursor cursor;
    unsigned bits;
    std::size_t j = begin;
    for (;;) {
        if (pending.begin != kNone && pending.inLine && j + 1 < pending.end) j = pending.end - 1;
        j = search.Next(cursor, m_block.p, j, end, bits);
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
                    pending = {lineStart, NextTerminator(m_block.p, j, end), true, split};
                }
            }
        }
        ++j;
    }
    if (!splitsBefore(end)) return false;
    return Flush(pending);
}

bool CandidateLines::Flush(Pending& pending)
{
    if (pending.begin == kNone) return true;
    // Lines passed over cannot report, so looking at the flag here sees
    // every line that could.
    if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
    ProcessLine(pending.begin, pending.end, pending.inLine, pending.split);
    pending = Pending{};
    return true;
}

void CandidateLines::ProcessLine(std::size_t begin, std::size_t end, bool inLine, bool split)
{
    const std::uint32_t splitBits = split ? StraddleMask(begin, end) : 0;
    std::uint32_t inLineBits = 0;
    if (inLine) {
        m_line.clear();
        DecodeBytes(m_block.p + begin, end - begin, m_line);
        m_upper.assign(m_line);
        text::ToUpperInPlace(m_upper);
        const auto& words = m_words->words();
        for (std::size_t j = 0; j < words.size(); ++j) {
            if (words[j].matchable && m_upper.find(words[j].text) != std::u32string::npos) inLineBits |= 1u << j;
        }
    }
    if ((splitBits | inLineBits) == 0) return;
    m_reporter.LineHits(begin, end, splitBits, inLineBits, inLine ? &m_line : nullptr);
}

std::size_t CandidateLines::Boundary(std::size_t from, std::size_t target) const
{
    return line_bytes::BoundaryAtOrAfter(m_block.p, m_block.n, from, target, m_words->encoding());
}

void CandidateLines::DecodeBytes(const unsigned char* p, std::size_t n, std::u32string& out) const
{
    line_bytes::DecodeBytes(p, n, m_words->encoding(), out);
}

void CandidateLines::Release(std::size_t keepBytes)
{
    auto shrink = [](std::u32string& buffer, std::size_t bytes) {
        if (buffer.capacity() * sizeof(buffer[0]) > bytes) std::u32string().swap(buffer);
    };
    shrink(m_line, keepBytes);
    shrink(m_upper, keepBytes);
}

}  // namespace textrove::search
