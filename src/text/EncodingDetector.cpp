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

// Runs of two-byte characters go sixteen bytes at a time: bytes all in
// A1-FE from a character start are eight whole characters.
void EncodingDetector::FeedEuc(const unsigned char* p, std::size_t n)
{
    std::size_t i = 0;
    std::uint64_t multi = m_multiByte, kana = m_kana;
    auto trailOk = [](unsigned char lead, unsigned char b) {
        return b >= 0xA1 && b <= (lead == 0x8E ? 0xDF : 0xFE);
    };
    for (; m_eucDue > 0 && i < n; ++i) {  // a character begun in the previous piece
        if (!trailOk(m_eucLead, p[i])) {
            m_eucFormed = false;
            return;
        }
        if (--m_eucDue == 0) {
            ++multi;
            kana += (m_eucLead & 0xFE) == 0xA4;
        }
    }
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0xA1 - 0x80));  // A1-FE to 0x00-0x5D, signed
    const __m128i top = _mm_set1_epi8(0x5D);
    const __m128i kanaLead = _mm_set1_epi8(static_cast<char>(0xA4));
    const __m128i low = _mm_set1_epi8(static_cast<char>(0xFE));
    bool formed = true;
    while (i < n) {
        const unsigned char b = p[i];
        if (b < 0x80) {
            ++i;
            while (i + 16 <= n && _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i))) == 0)
                i += 16;
            continue;
        }
        if (b >= 0xA1 && b <= 0xFE) {
            while (i + 16 <= n) {
                const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
                const __m128i shifted = _mm_sub_epi8(_mm_xor_si128(v, _mm_set1_epi8(static_cast<char>(0x80))), bias);
                const __m128i outside = _mm_or_si128(_mm_cmplt_epi8(shifted, _mm_setzero_si128()), _mm_cmpgt_epi8(shifted, top));
                if (_mm_movemask_epi8(outside) != 0) break;
                const auto leads = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_and_si128(v, low), kanaLead)));
                kana += static_cast<unsigned>(__builtin_popcount(leads & 0x5555u));
                multi += 8;
                i += 16;
            }
            while (i + 2 <= n && p[i] - 0xA1u <= 0x5D && p[i + 1] - 0xA1u <= 0x5D) {
                ++multi;
                kana += (p[i] & 0xFE) == 0xA4;
                i += 2;
            }
            if (i >= n || p[i] < 0xA1 || p[i] > 0xFE) continue;
        }
        const unsigned char lead = p[i];
        const int due = lead == 0x8F ? 2 : 1;
        if (lead < 0xA1 && lead != 0x8E && lead != 0x8F) {
            formed = false;
            break;
        }
        if (i + static_cast<std::size_t>(due) >= n) {  // cut off by the end of the piece
            std::size_t k = i + 1;
            for (; k < n && formed; ++k) formed = trailOk(lead, p[k]);
            if (!formed) break;
            m_eucLead = lead;
            m_eucDue = due - static_cast<int>(n - i - 1);
            i = n;
            break;
        }
        if (!trailOk(lead, p[i + 1]) || (due == 2 && !trailOk(lead, p[i + 2]))) {
            formed = false;
            break;
        }
        ++multi;
        kana += (lead & 0xFE) == 0xA4;
        i += static_cast<std::size_t>(due) + 1;
    }
    m_eucFormed = formed;
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
