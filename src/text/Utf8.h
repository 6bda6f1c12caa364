// UTF-8: validation, one decoding step, whole characters at a block's end.
#pragma once

#include <cstddef>
#include <string_view>

#include "text/Characters.h"

namespace textrove::text {

// True when the bytes are valid UTF-8 (no overlongs, no surrogates, nothing
// past U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// The same, also telling whether a byte of 0x80 or above was met (in the
// part looked at: it stops at the first invalid sequence).
bool IsValidUtf8(std::string_view bytes, bool& sawHighByte);

// True when some byte is 0x80 or above.
bool HasHighByte(std::string_view bytes);

// Length of the prefix of p[0, n) that ends before a UTF-8 sequence cut off
// at the end (a read block may stop inside a character).
std::size_t CompleteUtf8Prefix(const unsigned char* p, std::size_t n);

// One step of UTF-8 decoding. Returns the code point and sets `length` to the
// bytes consumed; an invalid sequence yields kInvalid and consumes its
// maximal ill-formed prefix (at least one byte), so the next byte starts fresh.
inline char32_t DecodeUtf8Step(const unsigned char* p, std::size_t avail, std::size_t& length)
{
    const unsigned char b0 = p[0];
    if (b0 < 0x80) {
        length = 1;
        return b0;
    }
    std::size_t need;
    char32_t cp;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        need = 1;
        cp = b0 & 0x1F;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        need = 2;
        cp = b0 & 0x0F;
        if (b0 == 0xE0)
            lo = 0xA0;  // no overlongs
        else if (b0 == 0xED)
            hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        need = 3;
        cp = b0 & 0x07;
        if (b0 == 0xF0)
            lo = 0x90;
        else if (b0 == 0xF4)
            hi = 0x8F;  // nothing past U+10FFFF
    } else {
        length = 1;
        return kInvalid;
    }
    std::size_t i = 1;
    for (; i <= need; ++i) {
        if (i >= avail) break;
        const unsigned char b = p[i];
        const unsigned char l = (i == 1) ? lo : 0x80;
        const unsigned char h = (i == 1) ? hi : 0xBF;
        if (b < l || b > h) break;
        cp = (cp << 6) | (b & 0x3F);
    }
    if (i <= need) {
        length = i;
        return kInvalid;
    }
    length = need + 1;
    return cp;
}

}  // namespace textrove::text
