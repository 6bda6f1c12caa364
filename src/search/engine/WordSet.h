// The search words prepared for one file encoding: the words themselves for
// the exact test, byte anchors that every line holding a word must contain,
// and the byte shapes of a line break that a straddling word can cross, so
// that only candidate lines are decoded.
#pragma once

#include <algorithm>
#include <array>
#include <bitset>
#include <cstddef>
#include <string>
#include <vector>

#include "search/engine/ByteSearch.h"
#include "text/TextCodec.h"

namespace textrove::search {

struct SearchWord {
    std::u32string text;  // upper-cased code points
    std::string utf8;     // as shown in hit records
    // False when some character of the word can never appear in a decoded
    // line of this encoding (nothing upper-cases to it, or it is CR or LF).
    bool matchable = false;
    // A line can hold the word only if it holds one of these.
    std::vector<BytePattern> anchors;
};

class WordSet {
public:
    WordSet(const std::vector<std::u32string>& upperWords, text::Encoding encoding);
    WordSet(const WordSet&) = delete;  // the buckets point into m_words
    WordSet& operator=(const WordSet&) = delete;

    text::Encoding encoding() const { return m_encoding; }
    const std::vector<SearchWord>& words() const { return m_words; }

    // Whether some word can straddle a line break.
    bool HasSplitWords() const { return m_hasSplit; }

    // One pass over raw bytes finds anchor candidates; straddles are looked
    // for at each line break (MaySplitAt).
    const MultiSearch& Search() const { return m_search; }
    // Anchors to confirm for a bucket: a hit at j stands for the anchor at
    // j - offset.
    struct BucketAnchor {
        const BytePattern* pattern;
        std::size_t offset;
    };
    const std::vector<BucketAnchor>& BucketAnchors(int bucket) const
    {
        return m_bucketAnchors[static_cast<std::size_t>(bucket)];
    }
    // Longest anchor in bytes.
    std::size_t MaxAnchorBytes() const { return m_maxAnchor; }

    // A line whose first character upper-cases to `first` can complete a
    // straddling word only if the previous line ends in one of these byte
    // strings (the encodings of the characters that may precede `first` in
    // a word); null when `first` follows nothing.
    const std::vector<std::string>* PrecedingEncodings(char32_t first) const;

    // Byte-level test for a line break: the bytes before it (`before` bytes
    // readable backwards from `end`) may end in a character that precedes
    // another in a word, and the bytes after it (`after` readable from
    // `start`) may begin with such a following character.
    // The same where two bytes are there on both sides, without a branch.
    bool MaySplitPairs(unsigned lastTwo, unsigned firstTwo) const
    {
        return m_firstPair[firstTwo] & m_lastPair[lastTwo];
    }

    bool MaySplitAt(const unsigned char* end, std::size_t before, const unsigned char* start, std::size_t after) const
    {
        // One look-up per side where two bytes are there (the usual case);
        // the side after the break rejects most breaks, so it goes first.
        if (before >= 2 && after >= 2)
            return m_firstPair[static_cast<std::size_t>(start[0]) << 8 | start[1]]
                && m_lastPair[static_cast<std::size_t>(end[-2]) << 8 | end[-1]];
        const bool last =
            m_lastOne[end[-1]] || (before >= 2 && m_lastTwo[static_cast<std::size_t>(end[-2]) << 8 | end[-1]]);
        return last
            && (m_firstOne[start[0]] || (after >= 2 && m_firstTwo[static_cast<std::size_t>(start[0]) << 8 | start[1]]));
    }

private:
    text::Encoding m_encoding;
    std::vector<SearchWord> m_words;
    bool m_hasSplit = false;
    std::vector<std::pair<char32_t, std::vector<std::string>>> m_preceding;
    // One-byte encodings, and the first (last) two bytes of longer ones, of
    // the characters that may follow (precede) another within a word.
    std::bitset<256> m_firstOne, m_lastOne;
    std::bitset<65536> m_firstTwo, m_lastTwo;
    // Byte pairs that begin (end) with one of those: the two tests above in one.
    std::bitset<65536> m_firstPair, m_lastPair;
    MultiSearch m_search;
    std::array<std::vector<BucketAnchor>, MultiSearch::kBuckets> m_bucketAnchors;
    std::size_t m_maxAnchor = 0;
};

// Every byte sequence that decodes to the single character `c`.
std::vector<std::string> EncodingsOf(char32_t c, text::Encoding encoding);

}  // namespace textrove::search
