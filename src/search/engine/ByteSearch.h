// Byte-level prefilter: finds where a pattern may occur in raw file bytes.
// ASCII letters in a pattern match either case; a hit is only a candidate
// and is always confirmed on decoded text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace textrove::search {

class BytePattern {
public:
    explicit BytePattern(std::string_view bytes);

    std::size_t size() const { return m_bytes.size(); }
    const std::string& bytes() const { return m_bytes; }  // letters lower-cased

    // First position p in [from, end) where the whole pattern fits before
    // `end` and matches; `end` when there is none.
    std::size_t Find(const unsigned char* data, std::size_t from, std::size_t end) const;

    // True when the pattern matches at `pos` (pos + size() <= available bytes).
    bool MatchesAt(const unsigned char* data) const;

private:
    std::string m_bytes;
    std::string m_fold;  // 0x20 where the byte is an ASCII letter, else 0
};

// Folded form used to merge encodings that differ only in ASCII letter case.
std::string FoldAsciiLetters(std::string_view bytes);

}  // namespace textrove::search
