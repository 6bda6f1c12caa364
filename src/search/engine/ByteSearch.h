// Byte-level prefilter: finds where a word may occur in raw file bytes. A hit
// is only a candidate and is always confirmed on decoded text, so every
// structure here may over-approximate but must never miss.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace textrove::search {

// A run of byte classes: position k matches any byte of its class. Built
// from alternatives of equal length (the encodings of the letters that
// upper-case alike), so one pattern stands for all their combinations.
class BytePattern {
public:
    BytePattern() = default;
    // ASCII letters of `bytes` match either case.
    explicit BytePattern(std::string_view bytes);

    // Widens each position's class by the byte of `bytes` at that position;
    // `bytes` has the pattern's length (or starts an empty pattern).
    void AddAlternative(std::string_view bytes);
    // Appends the classes of `other`.
    void Append(const BytePattern& other);

    std::size_t size() const { return m_classes.size(); }
    bool Accepts(std::size_t k, unsigned char b) const { return (m_classes[k][b >> 6] >> (b & 63)) & 1u; }
    // True when the pattern matches at `data` (size() bytes available).
    bool MatchesAt(const unsigned char* data) const;
    // First p in [from, end) with the whole pattern before `end`; `end` if none.
    std::size_t Find(const unsigned char* data, std::size_t from, std::size_t end) const;

private:
    std::vector<std::array<std::uint64_t, 4>> m_classes;
};

// Several fingerprints searched in one pass (nibble tables looked up with
// byte shuffles): up to eight buckets, each a set of three byte classes for
// three consecutive bytes. Next() reports every position whose three bytes
// (fewer at the end of the range) may belong to some bucket.
class MultiSearch {
public:
    static constexpr int kBuckets = 8;
    static constexpr std::size_t kWidth = 3;

    // Adds to `bucket` the byte classes of three positions of `pattern` from
    // `offset` on; positions the pattern does not reach accept any byte. A
    // hit at j then stands for the pattern at j - offset.
    void Add(int bucket, const BytePattern& pattern, std::size_t offset = 0);
    bool Empty() const { return m_used == 0; }

    // Remembers the positions found in the last 64 bytes looked at, so that
    // a run of calls moving forward looks at each byte once. Valid for one
    // buffer and one `end`.
    struct Cursor {
        std::size_t base = static_cast<std::size_t>(-1);
        std::uint64_t mask = 0;
    };

    // First position j in [from, end) where some bucket may match; its buckets
    // in `bits`. `end` when there is none.
    std::size_t Next(const unsigned char* data, std::size_t from, std::size_t end, unsigned& bits) const
    {
        Cursor cursor;
        return Next(cursor, data, from, end, bits);
    }
    std::size_t Next(Cursor& cursor, const unsigned char* data, std::size_t from, std::size_t end,
                     unsigned& bits) const;
    // The same without vector instructions (the reference for tests).
    std::size_t NextScalar(const unsigned char* data, std::size_t from, std::size_t end, unsigned& bits) const;

private:
    unsigned BitsAt(const unsigned char* data, std::size_t j, std::size_t end) const;
    std::uint64_t Mask64(const unsigned char* data, std::size_t i) const;

    alignas(32) std::array<std::array<std::uint8_t, 16>, kWidth> m_lo{};
    alignas(32) std::array<std::array<std::uint8_t, 16>, kWidth> m_hi{};
    // The same tables repeated to the width of the widest vector.
    alignas(64) std::array<std::array<std::uint8_t, 64>, kWidth> m_wideLo{};
    alignas(64) std::array<std::array<std::uint8_t, 64>, kWidth> m_wideHi{};
    unsigned m_used = 0;
};

// Folded form used to merge encodings that differ only in ASCII letter case.
std::string FoldAsciiLetters(std::string_view bytes);

}  // namespace textrove::search
