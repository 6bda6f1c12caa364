// Byte-level steps over a block of text shared by the scan's parts: finding
// line terminators, and stepping over, measuring and decoding characters of
// the scanned encoding (UTF-8 or CP932). Inline: they sit in hot loops.
#pragma once

#include <immintrin.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "text/Cp932Table.h"
#include "text/TextCodec.h"

namespace textrove::search::line_bytes {

inline constexpr std::size_t kNone = static_cast<std::size_t>(-1);

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

// Last CR or LF in [from, to), or kNone: one backward pass for both bytes.
inline std::size_t LastTerminator(const unsigned char* p, std::size_t from, std::size_t to)
{
    std::size_t i = to;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    while (i >= from + 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i - 16));
        const auto mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (mask) return i - 16 + static_cast<std::size_t>(31 - __builtin_clz(mask));
        i -= 16;
    }
    while (i > from) {
        --i;
        if (IsTerminator(p[i])) return i;
    }
    return kNone;
}

// First CR or LF in [from, to), or `to`.
inline std::size_t NextTerminator(const unsigned char* p, std::size_t from, std::size_t to)
{
    std::size_t i = from;
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i cr = _mm_set1_epi8('\r');
    for (; i + 16 <= to; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const auto mask =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, lf), _mm_cmpeq_epi8(v, cr))));
        if (mask) return i + static_cast<std::size_t>(__builtin_ctz(mask));
    }
    for (; i < to; ++i) {
        if (IsTerminator(p[i])) return i;
    }
    return to;
}

// First character start at or after `target` in p[0, n), found by stepping
// from the character start `from` (CP932 cannot be synchronised backwards).
inline std::size_t BoundaryAtOrAfter(const unsigned char* p, std::size_t n, std::size_t from, std::size_t target,
                                     text::Encoding encoding)
{
    if (encoding == text::Encoding::Utf8) {
        std::size_t j = std::max(from, target);
        while (j < n && j < target + 3 && (p[j] & 0xC0) == 0x80) ++j;
        return j;
    }
    const text::Cp932Table& table = text::Cp932Table::Get();
    std::size_t i = from;
    while (i < target) {
        if (p[i] < 0x80) {
            ++i;
            while (i + 8 <= target && AllAscii8(p + i)) i += 8;
            continue;
        }
        i += table.CharLength(p + i, n - i);
    }
    return i;
}

// Length of the prefix of whole characters whose decoding does not depend
// on bytes after `n` (p[0] is a character start).
inline std::size_t CompletePrefix(const unsigned char* p, std::size_t n, text::Encoding encoding)
{
    if (encoding == text::Encoding::Utf8) return text::CompleteUtf8Prefix(p, n);
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

inline void DecodeBytes(const unsigned char* p, std::size_t n, text::Encoding encoding, std::u32string& out)
{
    if (encoding == text::Encoding::Cp932) {
        text::Cp932Table::Get().DecodeAppend(p, n, out);
    } else {
        text::DecodeAppend(std::string_view(reinterpret_cast<const char*>(p), n), text::Encoding::Utf8, out);
    }
}

}  // namespace textrove::search::line_bytes

namespace textrove::search {

// A block of text in the scanned encoding; p[0] is a character start.
struct TextBlock {
    unsigned char* p = nullptr;
    std::size_t n = 0;
    std::size_t firstLineAt = line_bytes::kNone;  // where the file's first line starts, if in the block
};

}  // namespace textrove::search
