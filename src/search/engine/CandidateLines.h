// The lines of a block that may report, and their checks: lines holding an
// anchor (one pass over the bytes), lines that may complete a word
// straddling the break before them, and for each such line the words it
// really holds. Lines that cannot report are passed over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "search/engine/LineBytes.h"
#include "search/engine/SearchTypes.h"
#include "search/engine/WordSet.h"

namespace textrove::search {

class CandidateLines {
public:
    // Told of each line with a hit, in order.
    class Reporter {
    public:
        // Bit j of a mask for word j: a straddle ending at the line's start,
        // and the word within the line. `decoded` is the line's characters
        // when they were decoded, else null.
        virtual void LineHits(std::size_t begin, std::size_t end, std::uint32_t splitBits, std::uint32_t inLineBits,
                              const std::u32string* decoded) = 0;

    protected:
        ~Reporter() = default;
    };

    // Bytes kept from the end of a streamed stretch or of the previous line:
    // room for the longest anchor and for the 9 characters a straddle needs.
    static constexpr std::size_t kTailBytes = 64;
    static constexpr std::size_t kStraddleChars = kMaxWordLength - 1;
    // Bytes that surely hold the first kStraddleChars characters of a line
    // and whatever their decoding looks at.
    static constexpr std::size_t kHeadBytes = 4 * kStraddleChars + 4;

    CandidateLines(const CancelFlag& cancel, Reporter& reporter);

    // The block the checks look at, set by the caller before each use.
    TextBlock& Block() { return m_block; }
    void SetWords(const WordSet& words) { m_words = &words; }

    // The whole lines [begin, end) of the block: each line that reports is
    // handed to the reporter. False on cancellation.
    bool ProcessRegion(std::size_t begin, std::size_t end);

    bool AnyAnchor(std::size_t from, std::size_t end) const;
    // Byte-level test for a straddle ending at the line at `s`.
    bool SplitCandidateAt(std::size_t s, std::size_t end);
    // The words that straddle the break before the line at `begin`.
    std::uint32_t StraddleMask(std::size_t begin, std::size_t end);

    // The line before the one at lineStart, as far as the block holds it
    // (from a character start). False for the file's first line.
    bool PreviousLine(std::size_t lineStart, std::size_t& prevStart, std::size_t& prevEnd) const;
    // First character start at or after `target`, stepping from `from`.
    std::size_t Boundary(std::size_t from, std::size_t target) const;
    void DecodeBytes(const unsigned char* p, std::size_t n, std::u32string& out) const;

    // Buffers over `keepBytes` are not kept past their use.
    void Release(std::size_t keepBytes);

private:
    static constexpr std::size_t kNone = line_bytes::kNone;

    struct Pending {
        std::size_t begin = kNone;
        std::size_t end = 0;
        bool inLine = false;  // an anchor stands in the line
        bool split = false;   // a straddle may end at its start
    };

    std::size_t LineStartBefore(std::size_t pos, std::size_t low) const;
    bool AnchorAt(std::size_t j, std::size_t end, unsigned bits) const;
    void FindSplitStarts(std::size_t from, std::size_t end);
    bool Flush(Pending& pending);
    void ProcessLine(std::size_t begin, std::size_t end, bool inLine, bool split);

    TextBlock m_block;
    const WordSet* m_words = nullptr;
    const CancelFlag& m_cancel;
    Reporter& m_reporter;

    std::u32string m_line;
    std::u32string m_upper;
    std::u32string m_prevTail;
    std::u32string m_head;
    std::u32string m_split;
    std::vector<std::size_t> m_splitStarts;  // per region
};

}  // namespace textrove::search
