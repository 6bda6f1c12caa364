#include "text/EncodingDetector.h"

#include <immintrin.h>

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
            if (m_headLength == 2
                && ((m_head[0] == 0xFF && m_head[1] == 0xFE) || (m_head[0] == 0xFE && m_head[1] == 0xFF))) {
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

// What FeedEuc needs of a 64-byte block, a bit per byte: high bytes; high
// bytes that may be in EUC-JP (A1-FE, 8E, 8F); 8E; 8F; E0-FF (past a
// half-width katakana trail); A4 and A5 (the kana rows). All but `hi` are
// left 0 when `hi` is.
struct BlockMasks {
    std::uint64_t hi, valid, kana8e, three, pastDf, kanaRows;
};

BlockMasks MasksSse2(const unsigned char* b)
{
    __m128i v[4];
    for (int k = 0; k < 4; ++k) v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + 16 * k));
    auto mask = [&v](auto test) {
        std::uint64_t m = 0;
        for (int k = 0; k < 4; ++k)
            m |= static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(test(v[k])))) << (16 * k);
        return m;
    };
    BlockMasks m{};
    m.hi = mask([](__m128i x) { return x; });
    if (m.hi == 0) return m;
    auto is = [](int c) { return _mm_set1_epi8(static_cast<char>(c)); };
    m.kana8e = mask([&](__m128i x) { return _mm_cmpeq_epi8(x, is(0x8E)); });
    m.three = mask([&](__m128i x) { return _mm_cmpeq_epi8(x, is(0x8F)); });
    m.valid = m.kana8e | m.three
        | mask([&](__m128i x) { return _mm_cmpeq_epi8(_mm_max_epu8(x, is(0xA1)), _mm_min_epu8(x, is(0xFE))); });
    m.pastDf = mask([&](__m128i x) { return _mm_cmpeq_epi8(_mm_max_epu8(x, is(0xE0)), x); });
    m.kanaRows = mask([&](__m128i x) { return _mm_cmpeq_epi8(_mm_and_si128(x, is(0xFE)), is(0xA4)); });
    return m;
}

// Lambdas would not take the target, so the lanes are spelt out.
__attribute__((target("avx2"))) inline std::uint64_t Bits(__m256i low, __m256i high)
{
    return static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(low)))
        | static_cast<std::uint64_t>(static_cast<unsigned>(_mm256_movemask_epi8(high))) << 32;
}

__attribute__((target("avx2"))) BlockMasks MasksAvx2(const unsigned char* b)
{
    const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
    const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b + 32));
    BlockMasks m{};
    m.hi = Bits(v0, v1);
    if (m.hi == 0) return m;
    const __m256i e8 = _mm256_set1_epi8(static_cast<char>(0x8E)), f8 = _mm256_set1_epi8(static_cast<char>(0x8F));
    const __m256i a1 = _mm256_set1_epi8(static_cast<char>(0xA1)), fe = _mm256_set1_epi8(static_cast<char>(0xFE));
    const __m256i e0 = _mm256_set1_epi8(static_cast<char>(0xE0)), a4 = _mm256_set1_epi8(static_cast<char>(0xA4));
    m.kana8e = Bits(_mm256_cmpeq_epi8(v0, e8), _mm256_cmpeq_epi8(v1, e8));
    m.three = Bits(_mm256_cmpeq_epi8(v0, f8), _mm256_cmpeq_epi8(v1, f8));
    m.valid = m.kana8e | m.three
        | Bits(_mm256_cmpeq_epi8(_mm256_max_epu8(v0, a1), _mm256_min_epu8(v0, fe)),
               _mm256_cmpeq_epi8(_mm256_max_epu8(v1, a1), _mm256_min_epu8(v1, fe)));
    m.pastDf = Bits(_mm256_cmpeq_epi8(_mm256_max_epu8(v0, e0), v0), _mm256_cmpeq_epi8(_mm256_max_epu8(v1, e0), v1));
    m.kanaRows = Bits(_mm256_cmpeq_epi8(_mm256_and_si256(v0, fe), a4), _mm256_cmpeq_epi8(_mm256_and_si256(v1, fe), a4));
    return m;
}

BlockMasks (*const kMasks)(const unsigned char*) = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") ? MasksAvx2 : MasksSse2;
}();

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
    std::size_t scalarTo = 0;
    while (i < n && formed) {
        if (due == 0 && i >= scalarTo && i + 64 <= n) {
            const unsigned char* b = p + i;
            const BlockMasks m = kMasks(b);
            const std::uint64_t hi = m.hi, kana8e = m.kana8e, three = m.three;
            if (hi == 0) {
                i += 64;
                continue;
            }
            if ((hi & ~m.valid) == 0 && (three >> 62) == 0) {
                // 8F is never a trail, so it starts a character: its two
                // trails must be A1-FE, and the run after them starts afresh.
                const std::uint64_t threeTrails = three << 1 | three << 2;
                const std::uint64_t run = hi & ~(three | threeTrails);
                const std::uint64_t starts = run & ~(run << 1);
                const std::uint64_t evenRuns = run & ~(run + (starts & kEven));
                std::uint64_t leads = (evenRuns & kEven) | (run & ~evenRuns & ~kEven);
                // Every lead has a trail; 8E only leads, and its trail is at most DF.
                const std::uint64_t two = m.valid & ~(kana8e | three);
                if (((leads << 1) & ~run) != 0 || (threeTrails & ~two) != 0 || (kana8e & ~leads) != 0
                    || (((kana8e & leads) << 1) & m.pastDf) != 0) {
                    formed = false;
                    break;
                }
                if (leads >> 63) {  // its trail is in the next block
                    due = 1;
                    lead = b[63];
                    leads &= ~(std::uint64_t{1} << 63);
                }
                multi += PopCount(leads) + PopCount(three);
                kana += PopCount(leads & m.kanaRows);
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
