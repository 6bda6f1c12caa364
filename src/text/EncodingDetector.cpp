#include "text/EncodingDetector.h"

#include <emmintrin.h>

#include <cstring>
#include <string_view>

namespace textrove::text {

namespace {

std::string_view View(const unsigned char* p, std::size_t n)
{
    return std::string_view(reinterpret_cast<const char*>(p), n);
}

constexpr unsigned char kEsc = 0x1B;

}  // namespace

Encoding DetectEncoding(std::string_view bytes)
{
    EncodingDetector detector;
    detector.Feed(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return detector.Finish();
}

bool EncodingDetector::Feed(const unsigned char* p, std::size_t n)
{
    if (m_utf16) return false;
    if (!m_headDone) {
        while (n > 0 && m_headLength < 3) {
            m_head[m_headLength++] = *p++;
            --n;
            if (m_headLength == 2 && ((m_head[0] == 0xFF && m_head[1] == 0xFE) || (m_head[0] == 0xFE && m_head[1] == 0xFF))) {
                m_utf16 = true;
                m_utf16Encoding = m_head[0] == 0xFF ? Encoding::Utf16Le : Encoding::Utf16Be;
                m_headDone = true;
                return false;
            }
        }
        if (m_headLength < 3) return true;
        EndHead();
    }
    FeedRest(p, n);
    return Open();
}

// Steps 2 to 5 look at the bytes after a UTF-8 byte-order mark.
void EncodingDetector::EndHead()
{
    m_headDone = true;
    m_utf8Bom = Utf8BomLength(View(m_head, m_headLength)) == 3;
    if (!m_utf8Bom) FeedRest(m_head, m_headLength);
}

void EncodingDetector::FeedRest(const unsigned char* p, std::size_t n)
{
    if (n == 0) return;
    if (m_utf8Valid) FeedUtf8(p, n);
    if (m_eucFormed) FeedEuc(p, n);
    if (m_utf8Valid && !m_high && !m_jisEscape) FeedEscapes(p, n);
}

void EncodingDetector::FeedUtf8(const unsigned char* p, std::size_t n)
{
    std::size_t i = 0;
    if (m_carryLength > 0) {
        // Finish the character begun in the previous piece.
        const unsigned char lead = m_carry[0];
        const std::size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        while (m_carryLength < need && i < n) m_carry[m_carryLength++] = p[i++];
        if (m_carryLength < need) return;  // still cut off
        m_utf8Valid = IsValidUtf8(View(m_carry, m_carryLength));
        m_high = true;
        m_carryLength = 0;
        if (!m_utf8Valid) return;
    }
    const std::size_t complete = i + CompleteUtf8Prefix(p + i, n - i);
    bool high = false;
    if (!IsValidUtf8(View(p + i, complete - i), high)) {
        m_utf8Valid = false;
        return;
    }
    m_high = m_high || high;
    m_carryLength = n - complete;
    std::memcpy(m_carry, p + complete, m_carryLength);
}

namespace {

// Bits of a 64-byte block (four loaded lanes) whose bytes satisfy `test`.
template <typename Test>
std::uint64_t Mask64(const __m128i (&v)[4], Test test)
{
    std::uint64_t m = 0;
    for (int k = 0; k < 4; ++k)
        m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(test(v[k])))) << (16 * k);
    return m;
}

constexpr std::uint64_t kEven = 0x5555555555555555ull;

// Inline: the baseline target has no popcnt instruction, and the library
// call it would make costs more than this.
inline std::uint64_t PopCount(std::uint64_t x)
{
    x -= (x >> 1) & kEven;
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return (x * 0x0101010101010101ull) >> 56;
}

}  // namespace

// 64 bytes at a time from a character start when their high bytes are all
// A1-FE: each run of high bytes is two-byte characters from its first byte,
// so the leads are the bytes at even distance from the run's start (found
// with one addition, as for runs of backslashes), and each must be
// followed by a high byte. 8E (half-width katakana) is a two-byte lead too;
// 8F (three bytes) cuts the run. Blocks with a byte that starts nothing, or
// with 8F in their last two bytes, go byte by byte.
void EncodingDetector::FeedEuc(const unsigned char* p, std::size_t n)
{
    std::size_t i = 0;
    std::uint64_t multi = m_multiByte, kana = m_kana;
    int due = m_eucDue;
    unsigned char lead = m_eucLead;
    bool formed = true;
    const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i low = _mm_set1_epi8(0x21);   // A1 after the flip
    const __m128i high = _mm_set1_epi8(0x7E);  // FE after the flip
    const __m128i even = _mm_set1_epi8(static_cast<char>(0xFE));
    const __m128i kanaLead = _mm_set1_epi8(static_cast<char>(0xA4));
    const __m128i e8 = _mm_set1_epi8(static_cast<char>(0x8E));
    const __m128i f8 = _mm_set1_epi8(static_cast<char>(0x8F));
    std::size_t scalarTo = 0;
    while (i < n && formed) {
        if (due == 0 && i >= scalarTo && i + 64 <= n) {
            const unsigned char* b = p + i;
            __m128i lanes[4];
            for (int k = 0; k < 4; ++k) lanes[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
            const std::uint64_t hi = Mask64(lanes, [](__m128i v) { return v; });
            if (hi == 0) {
                i += 64;
                continue;
            }
            const std::uint64_t two = Mask64(lanes, [&](__m128i v) {
                const __m128i x = _mm_xor_si128(v, flip);  // A1-FE become 0x21-0x7E
                return _mm_andnot_si128(_mm_or_si128(_mm_cmplt_epi8(x, low), _mm_cmpgt_epi8(x, high)),
                                        _mm_set1_epi8(-1));
            });
            const std::uint64_t kana8e = Mask64(lanes, [&](__m128i v) { return _mm_cmpeq_epi8(v, e8); });
            const std::uint64_t three = Mask64(lanes, [&](__m128i v) { return _mm_cmpeq_epi8(v, f8); });
            if ((hi & ~(two | kana8e | three)) == 0 && (three >> 62) == 0) {
                // 8F is never a trail, so it starts a character: its two
                // trails must be A1-FE, and the run after them starts afresh.
                const std::uint64_t threeTrails = three << 1 | three << 2;
                const std::uint64_t run = hi & ~(three | threeTrails);
                const std::uint64_t starts = run & ~(run << 1);
                const std::uint64_t evenRuns = run & ~(run + (starts & kEven));
                std::uint64_t leads = (evenRuns & kEven) | (run & ~evenRuns & ~kEven);
                // Every lead has a trail; 8E only leads, and its trail is at most DF.
                const std::uint64_t pastDf = kana8e ? Mask64(lanes, [&](__m128i v) {
                    return _mm_cmpgt_epi8(_mm_xor_si128(v, flip), _mm_set1_epi8(0x5F));
                }) : 0;
                if (((leads << 1) & ~run) != 0 || (threeTrails & ~two) != 0 || (kana8e & ~leads) != 0 ||
                    (((kana8e & leads) << 1) & pastDf) != 0) {
                    formed = false;
                    break;
                }
                if (leads >> 63) {  // its trail is in the next block
                    due = 1;
                    lead = b[63];
                    leads &= ~(std::uint64_t{1} << 63);
                }
                const std::uint64_t kanaBytes =
                    Mask64(lanes, [&](__m128i v) { return _mm_cmpeq_epi8(_mm_and_si128(v, even), kanaLead); });
                multi += PopCount(leads) + PopCount(three);
                kana += PopCount(leads & kanaBytes);
                i += 64;
                continue;
            }
            scalarTo = i + 64;
        }
        const unsigned char c = p[i++];
        if (due > 0) {
            if (c < 0xA1 || c > (lead == 0x8E ? 0xDF : 0xFE)) {
                formed = false;
            } else if (--due == 0) {
                ++multi;
                kana += (lead & 0xFE) == 0xA4;
            }
        } else if (c >= 0x80) {
            if ((c >= 0xA1 && c <= 0xFE) || c == 0x8E) {
                due = 1;
            } else if (c == 0x8F) {
                due = 2;
            } else {
                formed = false;
            }
            lead = c;
        }
    }
    m_eucFormed = formed;
    m_eucDue = due;
    m_eucLead = lead;
    m_multiByte = multi;
    m_kana = kana;
}

void EncodingDetector::FeedEscapes(const unsigned char* p, std::size_t n)
{
    std::size_t i = 0;
    // A match begun at the end of the previous piece.
    if (m_escapeMatched == 1 && i < n) {
        if (p[i] == '$') {
            m_escapeMatched = 2;
            ++i;
        } else {
            m_escapeMatched = 0;
        }
    }
    if (m_escapeMatched == 2 && i < n) {
        if (p[i] == '@' || p[i] == 'B') {
            m_jisEscape = true;
            return;
        }
        m_escapeMatched = 0;
    }
    if (i >= n) return;
    while (const void* found = std::memchr(p + i, kEsc, n - i)) {
        const std::size_t e = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - p);
        if (e + 1 == n) {
            m_escapeMatched = 1;
            return;
        }
        if (p[e + 1] == '$') {
            if (e + 2 == n) {
                m_escapeMatched = 2;
                return;
            }
            if (p[e + 2] == '@' || p[e + 2] == 'B') {
                m_jisEscape = true;
                return;
            }
        }
        i = e + 1;
    }
}

Encoding EncodingDetector::Finish()
{
    if (!m_headDone) EndHead();
    if (m_utf16) return m_utf16Encoding;
    const bool utf8 = m_utf8Valid && m_carryLength == 0;
    if (utf8 && m_high) return Encoding::Utf8;
    if (utf8) {
        // Every byte below 0x80. Without the JIS escapes, a file with a UTF-8
        // byte-order mark stays UTF-8 (the same text as CP932 would give).
        if (m_jisEscape) return Encoding::Iso2022Jp;
        return m_utf8Bom ? Encoding::Utf8 : Encoding::Cp932;
    }
    if (m_eucFormed && m_eucDue == 0 && m_multiByte > 0 && m_kana * 5 >= m_multiByte) return Encoding::EucJp;
    return Encoding::Cp932;
}

}  // namespace textrove::text
