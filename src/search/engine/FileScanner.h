// The scan of one file: line framing (blocks, the carry between them, long
// lines streamed), candidate lines and the straddling-word and in-line
// checks. Bytes arrive in pieces from a ByteSource; memory stays bounded by
// kHoldLimit however long a line is. Records are made by a RecordPrinter,
// and a streamed line is read again by a StreamedLine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/ByteSource.h"
#include "search/engine/CandidateLines.h"
#include "search/engine/RecordPrinter.h"
#include "search/engine/SearchTypes.h"
#include "search/engine/WordSet.h"

namespace textrove::search {

class StreamedLine;
class TranscodingSource;

class FileScanner : private CandidateLines::Reporter {
public:
    // Takes a record or a part of one (see RecordPrinter::Print).
    using Print = RecordPrinter::Print;

    // How long a line is held before it is streamed, and the block size for
    // reading a streamed line again. Small values serve tests.
    struct Limits {
        std::size_t holdLimit;
        std::size_t rereadBlock;
    };

    // `upperWords` are the search words, upper-cased, in list order.
    FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel);
    FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel, Limits limits);

    ~FileScanner();

    // Reads `source` to its end (or to a cancellation, or a read error) and
    // hands the file's records to `print`: on the first hit an empty record
    // and the banner naming `displayPath`, then one record per hit. A hit
    // on a streamed line is handed over in parts. A file in an encoding read
    // through UTF-8 is decoded as it is read and scanned as UTF-8.
    void Scan(ByteSource& source, text::Encoding encoding, std::string_view displayPath, const Print& print);

    // Called before the first record of each line that reports (the empty
    // record and the banner belong to the file's first such line): the
    // places where a cancellation may cut a file's records.
    void SetLineHook(std::function<void()> hook) { m_onLine = std::move(hook); }

    // Bytes read per system call.
    static constexpr std::size_t kBlockSize = kReadBlockSize;
    // A line is held whole up to this length; a longer one is streamed and,
    // when it holds a candidate, read again from its start.
    static constexpr std::size_t kHoldLimit = std::size_t{1} << 20;
    // Bytes kept from the end of a streamed stretch or of the previous line:
    // room for the longest anchor and for the 9 characters a straddle needs.
    static constexpr std::size_t kTailBytes = CandidateLines::kTailBytes;

private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    const WordSet& Words(text::Encoding encoding);
    void Assemble(const ByteSource::Piece& piece);
    bool ProcessBlock(std::size_t lineStart);
    void KeepForNext(std::size_t lineStart);
    void KeepStreamTail(std::size_t from);
    bool EnterStreaming(std::size_t lineStart);
    bool FinishStreamedLine(std::uint64_t endOffset);

    std::size_t RegionEnd(std::size_t lineStart) const;
    void LineHits(std::size_t begin, std::size_t end, std::uint32_t splitBits, std::uint32_t inLineBits,
                  const std::u32string* decoded) override;
    bool EmitHits(std::uint32_t splitBits, std::uint32_t inLineBits);
    void EnsureLineUtf8();
    bool Report(const SearchWord& word);
    void ReleaseLargeBuffers();

    std::vector<std::u32string> m_upperWords;
    const CancelFlag& m_cancel;
    std::function<void()> m_onLine;
    std::unique_ptr<WordSet> m_utf8Words;
    std::unique_ptr<WordSet> m_cp932Words;
    std::size_t m_holdLimit;
    std::size_t m_rereadBlock;
    std::unique_ptr<RecordPrinter> m_printer;
    std::unique_ptr<StreamedLine> m_streamed;
    CandidateLines m_checks;
    TextBlock& m_block;  // m_checks' block

    // Per file.
    std::unique_ptr<TranscodingSource> m_transcoding;
    bool m_transcoded = false;  // UTF-8 decoded from another encoding
    const WordSet* m_words = nullptr;
    ByteSource* m_source = nullptr;

    // m_block is the carry from the previous piece, then the new piece.
    bool m_eof = false;
    std::uint64_t m_base = 0;            // file offset of m_block.p[0]
    std::vector<unsigned char> m_work;   // when the carry does not fit the headroom
    std::vector<unsigned char> m_carry;  // previous line's tail, partial line
    std::size_t m_carryLine = 0;         // partial line's start in m_carry
    bool m_carryFirst = true;            // the partial line is the first line

    // A line longer than kHoldLimit, being streamed.
    bool m_streaming = false;
    std::uint64_t m_streamStart = 0;
    bool m_streamAnchor = false;
    std::uint32_t m_streamSplit = 0;
    std::uint64_t m_streamEnd = 0;
    bool m_lineStreamed = false;  // the line being reported is the streamed one

    // The line being reported.
    std::size_t m_lineBegin = 0;
    std::size_t m_lineEnd = 0;
    const std::u32string* m_lineDecoded = nullptr;  // the line's characters, when decoded
    bool m_lineUtf8Ready = false;

    std::u32string m_line;
    std::string m_lineUtf8;
};

}  // namespace textrove::search
