// The scan of one open file: line splitting, the encoding rule, the
// straddling-word and in-line checks, and the file's records.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/SearchEngine.h"
#include "search/engine/WordSet.h"

namespace textrove::search {

class FileScanner {
public:
    using Print = std::function<void(std::string_view record)>;

    // `upperWords` are the search words, upper-cased, in list order.
    FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel);

    // Reads `fd` to its end (or to a cancellation, or a read error) and hands
    // the file's records to `print`: on the first hit an empty record and the
    // banner naming `displayPath`, then one record per hit.
    void Scan(int fd, std::string_view displayPath, const Print& print);

    // Bytes read per system call; lines longer than this grow the buffer.
    static constexpr std::size_t kBlockSize = std::size_t{2} << 20;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    struct AnchorState {
        const BytePattern* pattern;
        std::size_t next;
        bool valid;
    };

    const WordSet& Words(text::Encoding encoding);
    bool Fill(int fd);
    bool DetectLargeFile(int fd, text::Encoding& encoding);
    void Drain(int fd);
    std::size_t RegionEnd(std::size_t lineStart) const;
    bool ProcessRegion(std::size_t begin, std::size_t end);
    std::size_t LineStartBefore(std::size_t pos, std::size_t low) const;
    std::size_t NextSplitStart(std::size_t from, std::size_t end);
    bool PreviousLine(std::size_t lineStart, std::size_t& prevStart, std::size_t& prevEnd) const;
    void DecodeLine(std::size_t begin, std::size_t end, std::u32string& out) const;
    void ProcessLine(std::size_t begin, std::size_t end);
    void Report(const SearchWord& word, std::size_t begin, std::size_t end);
    void Compact(std::size_t keepFrom);

    std::vector<std::u32string> m_upperWords;
    const CancelFlag& m_cancel;
    std::unique_ptr<WordSet> m_utf8Words;
    std::unique_ptr<WordSet> m_cp932Words;

    // Per file. m_buf[0, m_end) holds whole lines from a line start: the
    // previous complete line (for straddling words), then unprocessed data.
    std::vector<unsigned char> m_buf;
    std::vector<unsigned char> m_scratch;
    std::size_t m_end = 0;
    std::size_t m_fileSize = 0;
    std::size_t m_readTotal = 0;
    bool m_eof = false;
    bool m_readError = false;
    std::size_t m_firstLineAt = 0;  // where the file's first line starts, or kNone
    const WordSet* m_words = nullptr;
    const Print* m_print = nullptr;
    std::string_view m_displayPath;
    bool m_banner = false;

    // Line currently being checked, and the last checked line kept upper-cased
    // so that the next line's straddle check need not decode it again.
    std::u32string m_line;
    std::u32string m_upper;
    std::u32string m_cachedUpper;
    std::size_t m_cachedBegin = kNone;
    std::size_t m_cachedEnd = kNone;
    std::u32string m_split;
    std::string m_lineUtf8;
    bool m_lineUtf8Ready = false;
    std::string m_record;
    std::vector<AnchorState> m_anchors;
};

}  // namespace textrove::search
