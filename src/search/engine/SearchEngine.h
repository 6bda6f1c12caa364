// One search: the walk of the target tree, the scan of each file and the
// result records, pushed into a ResultSink. Free of Qt.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/ResultSink.h"
#include "search/engine/SearchTypes.h"

namespace textrove::search {

struct SearchRequest {
    std::string targetDirectory;     // as typed (UTF-8 bytes, used as the path's bytes)
    std::vector<std::string> words;  // as the word list holds them (UTF-8), at most 10, none empty
};

// The word list rule for a typed word: upper-cased, cut to 10 code points.
std::string WordAsAdded(std::string_view typed);

class FileScanner;
class DirectoryLister;

class SearchEngine {
public:
    SearchEngine(ResultSink& sink, CancelFlag& cancelFlag);
    ~SearchEngine();

    // The whole search: header record, walk, scan, abort record on cancellation.
    // The flag is not cleared here: whoever starts the search clears it.
    void SearchCharacter(const SearchRequest& request);

    // The steps of a search, in the order SearchCharacter calls them.
    // Takes the words (at most kMaxWords; empty ones are left out) and appends
    // the header record.
    void GetFindChara(const std::vector<std::string>& words);
    // Scans one file (a path as the walk joins it) for the current words.
    void FindChara(const std::string& path);
    // Appends one record; a failed append is reported and sets the flag to 255.
    void PrintText(std::string_view record);
    // Appends a record or a part of one (see ResultSink::AppendPart); false,
    // after the same failure path, when it was refused.
    bool PrintPart(std::string_view text, bool first, bool last);

    // Threads that scan files in SearchCharacter; 0 (the default) sizes the
    // pool to the machine. The result is the same for every count.
    void SetThreads(unsigned threads) { m_threads = threads; }
    // Bounds of the parallel scan (records held back for ordering, files per
    // batch); 0 keeps the built-in value. Small values serve tests.
    void SetParallelLimits(std::size_t heldBytes, std::size_t batchFiles)
    {
        m_heldBytes = heldBytes;
        m_batchFiles = batchFiles;
    }

    // The most bytes of records the last search held back for ordering.
    std::size_t PeakHeldBytes() const { return m_peakHeld; }

private:
    ResultSink& m_sink;
    CancelFlag& m_cancel;
    std::array<std::string, kMaxWords + 1> m_findWord;  // slots 1..m_findWordCount
    std::int16_t m_findWordCount = 0;
    std::vector<std::u32string> m_upperWords;
    unsigned m_threads = 0;
    std::size_t m_heldBytes = 0;
    std::size_t m_batchFiles = 0;
    std::size_t m_peakHeld = 0;
    std::unique_ptr<FileScanner> m_scanner;
    std::unique_ptr<DirectoryLister> m_lister;
    std::vector<unsigned char> m_readBuffer;  // FindChara's read block, reused per file
    std::vector<unsigned char> m_readScratch;
    std::string m_shown;  // a record that needed text::ShownAsRecord
};

}  // namespace textrove::search
