#include "text/StreamDecoder.h"

#include "text/EucJpTables.h"

#include <emmintrin.h>

#include <array>
#include <cstring>

namespace textrove::text {

namespace {

constexpr unsigned char kEsc = 0x1B;

// G0 designations of ISO-2022-JP.
enum Designation : std::uint8_t { kAscii = 0, kRoman = 1, kKatakana = 2, kKanji = 3 };

inline bool InGraphic(unsigned char b, unsigned char lo, unsigned char hi)
{
    return b >= lo && b <= hi;
}

// A table entry, or the invalid byte for an unassigned character.
inline unsigned char* PutChar(unsigned char* o, char32_t c)
{
    if (c == 0) {
        *o++ = kInvalidByte;
        return o;
    }
    return PutUtf8(o, c);
}

// Eight bytes below 0x80 and none of them ESC.
inline bool PlainAscii8(const unsigned char* p)
{
    std::uint64_t w;
    std::memcpy(&w, p, 8);
    const std::uint64_t x = w ^ 0x1B1B1B1B1B1B1B1Bull;  // zero byte where ESC
    const bool hasEsc = ((x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull) != 0;
    return (w & 0x8080808080808080ull) == 0 && !hasEsc;
}

// Copies bytes below 0x80 that are not ESC (when `stopAtEsc`) from in[i] on,
// 16 at a time (stored whole, kept up to the first byte that ends the run),
// then one by one; leaves i and o at that byte. The output has room for 16
// bytes past what is kept.
template <bool stopAtEsc>
inline void CopyAsciiRun(const unsigned char* in, std::size_t n, std::size_t& i, unsigned char*& o)
{
    const __m128i esc = _mm_set1_epi8(kEsc);
    while (i + 16 <= n) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), v);
        const __m128i ends = stopAtEsc ? _mm_or_si128(v, _mm_cmpeq_epi8(v, esc)) : v;
        const auto stop = static_cast<unsigned>(_mm_movemask_epi8(ends));
        if (stop != 0) {
            const auto k = static_cast<std::size_t>(__builtin_ctz(stop));
            o += k;
            i += k;
            break;
        }
        o += 16;
        i += 16;
    }
    while (i < n && in[i] < 0x80 && (!stopAtEsc || in[i] != kEsc)) *o++ = in[i++];
}

}  // namespace

StreamDecoder::StreamDecoder(Encoding encoding) : m_encoding(encoding)
{
    if (encoding == Encoding::EucJp || encoding == Encoding::Iso2022Jp) EucJpTable();
}

std::size_t StreamDecoder::Decode(const unsigned char* in, std::size_t n, bool final, unsigned char* out,
                                  std::size_t& written)
{
    unsigned char* o = out;
    std::size_t i = 0;
    if (!m_state.started) {
        const bool utf16 = m_encoding == Encoding::Utf16Le || m_encoding == Encoding::Utf16Be;
        const std::size_t bomSize = utf16 ? 2 : 3;
        if (n < bomSize && !final) {
            written = 0;
            return 0;
        }
        i = BomLength(std::string_view(reinterpret_cast<const char*>(in), std::min(n, bomSize)), m_encoding);
        m_state.started = true;
    }
    switch (m_encoding) {
    case Encoding::Utf16Le:
    case Encoding::Utf16Be:
        i += Utf16(in + i, n - i, final, o);
        break;
    case Encoding::EucJp:
        i += EucJp(in + i, n - i, final, o);
        break;
    case Encoding::Iso2022Jp:
        i += Iso2022Jp(in + i, n - i, final, o);
        break;
    default:  // not read through this decoder: nothing of it is valid
        for (; i < n; ++i) *o++ = kInvalidByte;
        break;
    }
    written = static_cast<std::size_t>(o - out);
    return i;
}

std::size_t StreamDecoder::Utf16(const unsigned char* in, std::size_t n, bool final, unsigned char*& out) const
{
    const bool le = m_encoding == Encoding::Utf16Le;
    auto unit = [&](std::size_t at) -> char32_t {
        return le ? (in[at] | in[at + 1] << 8) : (in[at] << 8 | in[at + 1]);
    };
    // ASCII stretches eight units at a time.
    const __m128i highBits =
        le ? _mm_set1_epi16(static_cast<short>(0xFF80)) : _mm_set1_epi16(static_cast<short>(0x80FF));
    unsigned char* o = out;
    std::size_t i = 0;
    while (i + 2 <= n) {
        while (i + 16 <= n) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(v, highBits), _mm_setzero_si128())) != 0xFFFF) break;
            if (!le) v = _mm_srli_epi16(v, 8);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(v, v));
            o += 8;
            i += 16;
        }
        // Units of three UTF-8 bytes (all of Japanese), eight at a time and
        // then one by one, each written as four.
        while (i + 16 <= n) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i));
            if (!le) v = _mm_or_si128(_mm_slli_epi16(v, 8), _mm_srli_epi16(v, 8));
            const __m128i top = _mm_and_si128(v, _mm_set1_epi16(static_cast<short>(0xF800)));
            const __m128i shortOrSurrogate =
                _mm_or_si128(_mm_cmpeq_epi16(top, _mm_setzero_si128()),
                             _mm_cmpeq_epi16(top, _mm_set1_epi16(static_cast<short>(0xD800))));
            if (_mm_movemask_epi8(shortOrSurrogate) != 0) break;
            for (const __m128i u :
                 {_mm_unpacklo_epi16(v, _mm_setzero_si128()), _mm_unpackhi_epi16(v, _mm_setzero_si128())}) {
                // E0|u>>12, 80|(u>>6)&3F, 80|u&3F in the low three bytes of each lane
                const __m128i e = _mm_or_si128(
                    _mm_or_si128(_mm_srli_epi32(u, 12), _mm_and_si128(_mm_slli_epi32(u, 2), _mm_set1_epi32(0x3F00))),
                    _mm_or_si128(_mm_and_si128(_mm_slli_epi32(u, 16), _mm_set1_epi32(0x3F0000)),
                                 _mm_set1_epi32(0x8080E0)));
                alignas(16) std::uint32_t lanes[4];
                _mm_store_si128(reinterpret_cast<__m128i*>(lanes), e);
                for (const std::uint32_t lane : lanes) {
                    std::memcpy(o, &lane, 4);
                    o += 3;
                }
            }
            i += 16;
        }
        while (i + 2 <= n) {
            const std::uint32_t u = unit(i);
            if (u < 0x800 || (u >= 0xD800 && u <= 0xDFFF)) break;
            const std::uint32_t e = (0xE0 | u >> 12) | (0x80 | ((u >> 6) & 0x3F)) << 8 | (0x80 | (u & 0x3F)) << 16;
            std::memcpy(o, &e, 4);
            o += 3;
            i += 2;
        }
        if (i + 2 > n) break;
        const char32_t u = unit(i);
        if (u < 0xD800 || u > 0xDFFF) {
            o = PutUtf8(o, u);
            i += 2;
            continue;
        }
        if (u <= 0xDBFF) {  // lead surrogate: its trail must follow
            if (i + 4 > n && !final) break;
            if (i + 4 <= n) {
                const char32_t t = unit(i + 2);
                if (t >= 0xDC00 && t <= 0xDFFF) {
                    o = PutUtf8(o, 0x10000 + ((u - 0xD800) << 10) + (t - 0xDC00));
                    i += 4;
                    continue;
                }
            }
        }
        *o++ = kInvalidByte;  // unpaired surrogate
        i += 2;
    }
    if (final && i < n) {  // a final odd byte
        *o++ = kInvalidByte;
        i = n;
    }
    out = o;
    return i;
}

std::size_t StreamDecoder::EucJp(const unsigned char* in, std::size_t n, bool final, unsigned char*& out) const
{
    const EucTables& t = EucJpTable();
    const std::uint32_t* pairs = t.pairUtf8.data();
    unsigned char* o = out;
    std::size_t i = 0;
    // Each fast step writes up to 16 bytes past its output: while 16 input
    // bytes remain the output has room for 48.
    while (i < n) {
        const unsigned char b = in[i];
        if (b < 0x80) {
            CopyAsciiRun<false>(in, n, i, o);
            continue;
        }
        // Two-byte characters and half-width katakana of three UTF-8 bytes
        // at most, written as four (two bytes in, three out), with 8F
        // characters among them; ASCII or anything else ends the run.
        const std::size_t before = i;
        while (i + 2 <= n) {
            std::uint32_t e = pairs[PairKey(in + i)];
            std::size_t length = 2;
            if (e == 0) {
                if (in[i] != 0x8F || i + 3 > n) break;
                const unsigned y = in[i + 1] - 0xA1u, z = in[i + 2] - 0xA1u;
                if ((y > 0x5D) | (z > 0x5D)) break;
                e = t.threeByteUtf8[y * 94 + z];
                if (e == 0) break;
                length = 3;
            }
            std::memcpy(o, &e, 4);
            o += e >> 24;
            i += length;
        }
        if (i != before) continue;
        const std::size_t length = b == 0x8F ? 3 : 2;
        const unsigned char trailHigh = b == 0x8E ? 0xDF : 0xFE;  // 8E: half-width katakana only
        if ((b >= 0xA1 && b <= 0xFE) || b == 0x8E || b == 0x8F) {
            if (i + length > n) {
                // Cut off: wait for the rest unless what is here is already wrong.
                bool fine = true;
                for (std::size_t k = i + 1; k < n; ++k) fine = fine && InGraphic(in[k], 0xA1, trailHigh);
                if (fine && !final) break;
            }
            bool formed = i + length <= n;
            for (std::size_t k = 1; formed && k < length; ++k) formed = InGraphic(in[i + k], 0xA1, trailHigh);
            if (formed) {
                const std::size_t cell =
                    static_cast<std::size_t>(in[i + length - 2] - 0xA1) * 94 + (in[i + length - 1] - 0xA1);
                const char32_t c = b == 0x8E ? t.kana[in[i + 1] - 0xA1]
                    : b == 0x8F              ? t.threeByte[cell]
                                             : t.twoByte[cell];
                o = PutChar(o, c);
                i += length;
                continue;
            }
        }
        // A byte that starts nothing, or a lead without its trail bytes: the
        // next byte starts afresh.
        *o++ = kInvalidByte;
        ++i;
    }
    out = o;
    return i;
}

// An escape sequence is ESC, intermediate bytes (0x20-0x2F) and a final byte
// (0x30-0x7E). The five known ones designate G0; any other is one invalid
// sequence, as long as it goes, and leaves the designation as it was.
std::size_t StreamDecoder::Iso2022Jp(const unsigned char* in, std::size_t n, bool final, unsigned char*& out)
{
    const EucTables& t = EucJpTable();
    const std::uint32_t* pairs = t.pairUtf8.data();
    unsigned char* o = out;
    std::size_t i = 0;
    std::uint8_t g0 = m_state.designation;
    while (i < n) {
        if (g0 == kAscii) {
            // Every byte below 0x80 but ESC is itself.
            CopyAsciiRun<true>(in, n, i, o);
            if (i == n) break;
        }
        const unsigned char b = in[i];
        if (b == kEsc && i + 3 <= n) {  // the common designations at once
            const unsigned char i1 = in[i + 1], f = in[i + 2];
            if (i1 == '$' && (f == 'B' || f == '@')) {
                g0 = kKanji;
                i += 3;
                continue;
            }
            if (i1 == '(' && f == 'B') {
                g0 = kAscii;
                i += 3;
                continue;
            }
        }
        if (b == kEsc) {
            std::size_t k = i + 1;
            while (k < n && k - i < kMaxHeld && InGraphic(in[k], 0x20, 0x2F)) ++k;
            if (k == n && !final) break;  // cut off: wait for the rest
            if (k < n && k - i < kMaxHeld && InGraphic(in[k], 0x30, 0x7E)) ++k;
            const std::size_t length = k - i;
            const unsigned char i1 = length == 3 ? in[i + 1] : 0, f = length == 3 ? in[i + 2] : 0;
            if (i1 == '(' && (f == 'B' || f == 'J' || f == 'I')) {
                g0 = f == 'B' ? kAscii : f == 'J' ? kRoman : kKatakana;
            } else if (i1 == '$' && (f == '@' || f == 'B')) {
                g0 = kKanji;
            } else {
                *o++ = kInvalidByte;
            }
            i = k;
            continue;
        }
        // Controls, space and DEL are themselves whatever set is in G0; CR
        // and LF end lines and leave the designation in force.
        if (b <= 0x20 || b == 0x7F) {
            *o++ = b;
            ++i;
            if (g0 == kAscii) {
                while (i + 8 <= n && PlainAscii8(in + i)) {
                    std::memcpy(o, in + i, 8);
                    o += 8;
                    i += 8;
                }
            }
            continue;
        }
        if (b >= 0x80) {
            *o++ = kInvalidByte;
            ++i;
            continue;
        }
        switch (g0) {
        case kAscii:
            *o++ = b;
            ++i;
            while (i + 8 <= n && PlainAscii8(in + i)) {
                std::memcpy(o, in + i, 8);
                o += 8;
                i += 8;
            }
            break;
        case kRoman:  // JIS X 0201 Roman: yen sign and overline in place of \ and ~
            o = PutUtf8(o, b == 0x5C ? 0xA5 : b == 0x7E ? 0x203E : b);
            ++i;
            break;
        case kKatakana:
            o = b <= 0x5F ? PutUtf8(o, 0xFF61 + (b - 0x21)) : (*o = kInvalidByte, o + 1);
            ++i;
            break;
        default: {  // kKanji: JIS X 0208 pairs, a run of them in a tight loop
            const std::size_t before = i;
            while (i + 2 <= n) {
                // 0E would meet the half-width katakana; high bytes meet 0s.
                if (in[i] == 0x0E) break;
                const std::uint32_t e = pairs[PairKey(in + i) ^ 0x8080];
                if (e == 0) break;
                std::memcpy(o, &e, 4);
                o += e >> 24;
                i += 2;
            }
            if (i != before) break;
            if (i + 1 == n && !final) {
                m_state.designation = g0;
                out = o;
                return i;
            }
            if (i + 1 < n && InGraphic(in[i + 1], 0x21, 0x7E)) {
                const std::size_t cell = static_cast<std::size_t>(b - 0x21) * 94 + (in[i + 1] - 0x21);
                if (const std::uint32_t e = pairs[PairKey(in + i) ^ 0x8080]) {
                    std::memcpy(o, &e, 4);
                    o += e >> 24;
                } else {
                    o = PutChar(o, t.twoByte[cell]);
                }
                i += 2;
            } else {
                *o++ = kInvalidByte;  // half a pair
                ++i;
            }
            break;
        }
        }
    }
    m_state.designation = g0;
    out = o;
    return i;
}

}  // namespace textrove::text
