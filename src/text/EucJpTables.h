// The EUC-JP table StreamDecoder decodes EUC-JP and ISO-2022-JP with, and
// the UTF-8 writing both share.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "text/Characters.h"

namespace textrove::text {

// EUC-JP characters by their trail bytes, 0 where the table assigns none.
// ICU's "euc-jp-2007" table: its JIS X 0208 part (with the NEC row 13 and
// the NEC-selected IBM rows) gives every character the code point that the
// CP932 decoding gives its Shift-JIS twin, so a word matches the same
// characters in both. ISO-2022-JP's JIS X 0208 pairs are the same table
// without the high bits.
struct EucTables {
    std::array<char32_t, 94 * 94> twoByte{};    // A1-FE A1-FE
    std::array<char32_t, 94 * 94> threeByte{};  // 8F A1-FE A1-FE
    std::array<char32_t, 94> kana{};            // 8E A1-FE
    // Characters as output: the UTF-8 bytes (or kInvalidByte) in the low
    // three bytes, their count in the top one; 0 where the slow path decides
    // (a character past three bytes, a byte pair that is no character).
    // pairUtf8 is keyed by two bytes as loaded little-endian, so a run of
    // pairs takes one lookup each: EUC-JP A1-FE pairs and 8E with half-width
    // katakana. ISO-2022-JP's 21-7E pairs are the A1-FE ones without the
    // high bits.
    std::array<std::uint32_t, 65536> pairUtf8{};
    std::array<std::uint32_t, 94 * 94> threeByteUtf8{};  // after 8F
};

inline unsigned char* PutUtf8(unsigned char* o, char32_t c)
{
    if (c < 0x80) {
        *o++ = static_cast<unsigned char>(c);
    } else if (c < 0x800) {
        *o++ = static_cast<unsigned char>(0xC0 | (c >> 6));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        *o++ = static_cast<unsigned char>(0xE0 | (c >> 12));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    } else {
        *o++ = static_cast<unsigned char>(0xF0 | (c >> 18));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
        *o++ = static_cast<unsigned char>(0x80 | (c & 0x3F));
    }
    return o;
}

// The key of pairUtf8 for the bytes `lead` `trail` (one 16-bit load).
inline std::size_t PairKey(const unsigned char* p)
{
    return p[0] | p[1] << 8;
}
inline std::size_t PairKey(std::size_t lead, std::size_t trail)
{
    return lead | trail << 8;
}

// Filled once from ICU; every character invalid should the table be missing.
const EucTables& EucJpTable();

}  // namespace textrove::text
