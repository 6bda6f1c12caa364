// The search words prepared for one file encoding: the words themselves for
// the exact test, and byte anchors that every line holding a word must
// contain, so that only such lines are decoded.
#pragma once

#include <algorithm>
#include <array>
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

    text::Encoding encoding() const { return m_encoding; }
    const std::vector<SearchWord>& words() const { return m_words; }

    // Whether some word can straddle a line break.
    bool HasSplitWords() const { return m_hasSplit; }
    // A line can complete a straddling word only if its first character
    // upper-cases to a non-first character of such a word; these are the
    // encodings of all such characters.
    bool MaySplitStartAt(const unsigned char* data, std::size_t avail) const;
    // Whether the upper-cased character is a non-first character of a word
    // that can straddle.
    bool IsSplitChar(char32_t c) const
    {
        return std::find(m_splitChars.begin(), m_splitChars.end(), c) != m_splitChars.end();
    }

private:
    text::Encoding m_encoding;
    std::vector<SearchWord> m_words;
    bool m_hasSplit = false;
    std::array<bool, 256> m_splitFirstByte{};
    std::vector<std::string> m_splitStarts;
    std::u32string m_splitChars;
};

// Every code point whose simple upper case is `c`, from ICU.
const std::vector<char32_t>& PreImages(char32_t c);
// Every byte sequence that decodes to the single character `c`.
std::vector<std::string> EncodingsOf(char32_t c, text::Encoding encoding);

}  // namespace textrove::search
