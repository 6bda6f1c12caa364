// CP932 decoding as a lookup table, filled once from ICU's converter (Cp932)
// by decoding every one- and two-byte sequence. It gives the same characters
// as Decode, at a fraction of the cost per line.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace textrove::text {

class Cp932Table {
public:
    static const Cp932Table& Get();

    void DecodeAppend(const unsigned char* p, std::size_t n, std::u32string& out) const;

    // Bytes (1 or 2) that the character starting at `p` takes when decoding
    // goes on from there; `avail` >= 1 bytes are readable. Stepping with it
    // from a known character start finds later starts, which cannot be found
    // backwards in this encoding.
    std::size_t CharLength(const unsigned char* p, std::size_t avail) const
    {
        if (p[0] < 0x80 || avail < 2) return 1;
        return (m_pair[static_cast<std::size_t>(p[0]) << 8 | p[1]] & kTwoBytes) ? 2 : 1;
    }

    // Every byte sequence that decodes to the single character (CP932 has
    // duplicate encodings, e.g. the NEC and IBM extensions).
    const std::vector<std::string>* EncodingsOf(char32_t c) const;

private:
    Cp932Table();

    static constexpr std::uint32_t kTwoBytes = 0x80000000u;
    static constexpr std::uint32_t kInvalidEntry = 0x7FFFFFFFu;

    // Entry for a byte followed by another: the character of the first (or
    // both) bytes; kTwoBytes when both were consumed.
    std::vector<std::uint32_t> m_pair;
    std::array<std::uint32_t, 256> m_last{};  // a byte at the end of the text
    std::unordered_map<char32_t, std::vector<std::string>> m_encodings;
};

}  // namespace textrove::text
