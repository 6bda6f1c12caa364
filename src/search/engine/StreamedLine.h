// A line too long to hold, read again from its source in blocks: to look
// for every word in it, and to hand a hit's record over in parts. Memory
// stays bounded by the block size however long the line is.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/ByteSource.h"
#include "search/engine/SearchTypes.h"
#include "search/engine/WordSet.h"

namespace textrove::search {

class RecordPrinter;

class StreamedLine {
public:
    // `rereadBlock` bytes are read per call; `longestWord` in characters.
    StreamedLine(std::size_t rereadBlock, std::size_t longestWord);

    // Sets a bit in `mask` per word found in the bytes [start, end), keeping
    // the last characters of each block for words that cross into the next.
    // False on cancellation; a read failure finds nothing.
    bool FindWords(ByteSource& source, const WordSet& words, std::uint64_t start, std::uint64_t end,
                   const CancelFlag& cancel, std::uint32_t& mask);

    // The record of a hit of `word` on the line [start, end). The parts are
    // cut and decoded as the whole line would be, so the record's bytes are
    // the same. A line that cannot be read again (the file shrank) is left
    // out; one that stops being readable part-way ends there. False when
    // the sink refused a part. `transcoded`: UTF-8 decoded from another
    // encoding, whose invalid bytes are shown as U+FFFD.
    bool PrintHit(ByteSource& source, text::Encoding encoding, bool transcoded, std::uint64_t start, std::uint64_t end,
                  std::string_view word, RecordPrinter& printer);

    // Buffers over `keepBytes` are not kept past their use.
    void Release(std::size_t keepBytes);

private:
    std::size_t m_rereadBlock;
    std::size_t m_longestWord;
    std::vector<unsigned char> m_reread;
    std::u32string m_upper;
    std::u32string m_line;
    std::string m_part;
};

}  // namespace textrove::search
