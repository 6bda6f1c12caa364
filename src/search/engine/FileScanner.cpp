#include "search/engine/FileScanner.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "search/engine/RecordPrinter.h"
#include "search/engine/StreamedLine.h"
#include "search/engine/TranscodingSource.h"

namespace textrove::search {

namespace {

using line_bytes::LastTerminator;
using line_bytes::NextTerminator;

constexpr std::size_t kPrefixRoom = RecordPrinter::kPrefixRoom;

}  // namespace

FileScanner::FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel)
    : FileScanner(std::move(upperWords), cancel, {kHoldLimit, kBlockSize})
{ }

// A streamed line must show its first characters whole when it starts
// streaming, for the straddle check; hence the floor on the hold limit.
FileScanner::FileScanner(std::vector<std::u32string> upperWords, const CancelFlag& cancel, Limits limits)
    : m_upperWords(std::move(upperWords)),
      m_cancel(cancel),
      m_holdLimit(std::max(limits.holdLimit, CandidateLines::kHeadBytes)),
      m_rereadBlock(std::max<std::size_t>(limits.rereadBlock, 8)),
      m_printer(std::make_unique<RecordPrinter>()),
      m_checks(cancel, *this),
      m_block(m_checks.Block())
{
    std::size_t longest = 0;
    for (const auto& w : m_upperWords) longest = std::max(longest, w.size());
    m_streamed = std::make_unique<StreamedLine>(m_rereadBlock, longest);
}

FileScanner::~FileScanner() = default;

const WordSet& FileScanner::Words(text::Encoding encoding)
{
    auto& slot = encoding == text::Encoding::Utf8 ? m_utf8Words : m_cp932Words;
    if (!slot) slot = std::make_unique<WordSet>(m_upperWords, encoding);
    return *slot;
}

void FileScanner::Scan(ByteSource& source, text::Encoding encoding, std::string_view displayPath, const Print& print)
{
    m_transcoded = text::ReadThroughUtf8(encoding);
    ByteSource* input = &source;
    if (m_transcoded) {
        if (!m_transcoding) m_transcoding = std::make_unique<TranscodingSource>();
        m_transcoding->Reset(source, encoding);
        input = m_transcoding.get();
    }
    m_words = &Words(m_transcoded ? text::Encoding::Utf8 : encoding);
    m_checks.SetWords(*m_words);
    m_source = input;
    m_printer->BeginFile(print, displayPath);
    ByteSource::Piece piece;
    bool anyMatchable = false;
    for (const auto& w : m_words->words()) anyMatchable = anyMatchable || w.matchable;
    if (!anyMatchable) {
        // Nothing can be found, but the file is still read to its end.
        while (source.Next(piece)) {
            if (piece.last || m_cancel.load(std::memory_order_relaxed) != 0) break;
        }
        return;
    }

    m_carry.clear();
    m_carryLine = 0;
    m_carryFirst = true;
    m_streaming = false;
    m_base = 0;
    bool first = true;
    while (input->Next(piece)) {
        if (m_cancel.load(std::memory_order_relaxed) != 0) break;
        Assemble(piece);
        m_eof = piece.last;
        std::size_t lineStart;
        if (first) {
            if (encoding == text::Encoding::Utf8 && m_block.n < 3 && !piece.last) {
                // A short first read may cut a BOM: wait for three bytes.
                m_carry.assign(m_block.p, m_block.p + m_block.n);
                continue;
            }
            first = false;
            lineStart = encoding == text::Encoding::Utf8 ? text::Utf8BomLength(std::string_view(
                            reinterpret_cast<const char*>(m_block.p), std::min<std::size_t>(m_block.n, 3)))
                                                         : 0;
            m_block.firstLineAt = lineStart;
        } else {
            lineStart = m_carryLine;
            m_block.firstLineAt = m_carryFirst ? m_carryLine : kNone;
        }
        if (!ProcessBlock(lineStart) || piece.last) break;
    }
    ReleaseLargeBuffers();
}

void FileScanner::Assemble(const ByteSource::Piece& piece)
{
    const std::size_t c = m_carry.size();
    if (c <= piece.headroom) {
        m_block.p = piece.data - c;
        if (c > 0) std::memcpy(m_block.p, m_carry.data(), c);
    } else {
        if (m_work.size() < c + piece.size) m_work.resize(c + piece.size);
        std::memcpy(m_work.data(), m_carry.data(), c);
        if (piece.size > 0) std::memcpy(m_work.data() + c, piece.data, piece.size);
        m_block.p = m_work.data();
    }
    m_block.n = c + piece.size;
}

// Returns false when the scan is to stop (cancellation).
bool FileScanner::ProcessBlock(std::size_t lineStart)
{
    if (m_streaming) {
        const std::size_t t = NextTerminator(m_block.p, 0, m_block.n);
        if (!m_streamAnchor) m_streamAnchor = m_checks.AnyAnchor(0, t);
        if (t == m_block.n && !m_eof) {
            if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
            KeepStreamTail(0);
            return true;
        }
        if (!FinishStreamedLine(m_base + t)) return false;
        m_streaming = false;
        if (t == m_block.n) return true;
        // A CR as the last byte may be the first half of a CR LF; the LF
        // then starts the next block and is passed over as an empty line.
        lineStart = t + 1;
        if (m_block.p[t] == '\r' && lineStart < m_block.n && m_block.p[lineStart] == '\n') ++lineStart;
        m_block.firstLineAt = kNone;
    }
    const std::size_t regionEnd = RegionEnd(lineStart);
    if (regionEnd != kNone && regionEnd > lineStart) {
        if (!m_checks.ProcessRegion(lineStart, regionEnd)) return false;
        lineStart = regionEnd;
    }
    if (m_eof) return true;
    if (m_block.n - lineStart > m_holdLimit) return EnterStreaming(lineStart);
    KeepForNext(lineStart);
    return true;
}

// The previous line's last characters (for straddles) and the partial line
// go with the next piece.
void FileScanner::KeepForNext(std::size_t lineStart)
{
    std::size_t keep = lineStart;
    std::size_t ps, pe;
    if (m_checks.PreviousLine(lineStart, ps, pe))
        keep = pe - ps > kTailBytes ? m_checks.Boundary(ps, pe - kTailBytes) : ps;
    m_carry.assign(m_block.p + keep, m_block.p + m_block.n);
    m_carryLine = lineStart - keep;
    m_carryFirst = m_block.firstLineAt == lineStart;
    m_base += keep;
}

// `from` is a character start in the streamed line.
void FileScanner::KeepStreamTail(std::size_t from)
{
    const std::size_t keep = m_block.n - from > kTailBytes ? m_checks.Boundary(from, m_block.n - kTailBytes) : from;
    m_carry.assign(m_block.p + keep, m_block.p + m_block.n);
    m_carryLine = 0;
    m_carryFirst = false;
    m_base += keep;
}

bool FileScanner::EnterStreaming(std::size_t lineStart)
{
    if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
    // The previous line and this line's head are at hand only now.
    m_streamSplit = 0;
    if (m_words->HasSplitWords() && m_checks.SplitCandidateAt(lineStart, m_block.n))
        m_streamSplit = m_checks.StraddleMask(lineStart, m_block.n);
    m_streamAnchor = m_checks.AnyAnchor(lineStart, m_block.n);
    m_streamStart = m_base + lineStart;
    m_streaming = true;
    KeepStreamTail(lineStart);
    return true;
}

bool FileScanner::FinishStreamedLine(std::uint64_t endOffset)
{
    std::uint32_t inLine = 0;
    if (m_streamAnchor && !m_streamed->FindWords(*m_source, *m_words, m_streamStart, endOffset, m_cancel, inLine))
        return false;
    if ((m_streamSplit | inLine) == 0) return true;
    if (m_cancel.load(std::memory_order_relaxed) != 0) return false;
    m_streamEnd = endOffset;
    m_lineStreamed = true;
    const bool taken = EmitHits(m_streamSplit, inLine);
    m_lineStreamed = false;
    ReleaseLargeBuffers();
    return taken;
}

// End of the whole lines from lineStart on: after the last terminator, or
// the end of data at the end of the file. A CR as the very last byte read
// may be the first half of a CR LF and waits for more data.
std::size_t FileScanner::RegionEnd(std::size_t lineStart) const
{
    if (m_eof) return m_block.n;
    std::size_t limit = m_block.n;
    if (limit > lineStart && m_block.p[limit - 1] == '\r') --limit;
    if (limit <= lineStart) return kNone;
    const std::size_t t = LastTerminator(m_block.p, lineStart, limit);
    return t == kNone ? kNone : t + 1;
}

void FileScanner::LineHits(std::size_t begin, std::size_t end, std::uint32_t splitBits, std::uint32_t inLineBits,
                           const std::u32string* decoded)
{
    m_lineBegin = begin;
    m_lineEnd = end;
    m_lineDecoded = decoded;
    m_lineUtf8Ready = false;
    EmitHits(splitBits, inLineBits);
}

// Per word in list order: the straddle report, then the in-line report.
// False when a streamed record was refused: its line's other records are
// not made.
bool FileScanner::EmitHits(std::uint32_t splitBits, std::uint32_t inLineBits)
{
    if (m_onLine) m_onLine();
    const auto& words = m_words->words();
    for (std::size_t j = 0; j < words.size(); ++j) {
        if ((splitBits >> j & 1u) && !Report(words[j])) return false;
        if ((inLineBits >> j & 1u) && !Report(words[j])) return false;
    }
    return true;
}

void FileScanner::EnsureLineUtf8()
{
    if (m_lineUtf8Ready) return;
    m_lineUtf8.assign(kPrefixRoom, ' ');
    if (m_transcoded) {
        RecordPrinter::AppendShown(m_lineUtf8, m_block.p + m_lineBegin, m_lineEnd - m_lineBegin);
    } else if (m_words->encoding() == text::Encoding::Utf8) {
        m_lineUtf8.append(reinterpret_cast<const char*>(m_block.p) + m_lineBegin, m_lineEnd - m_lineBegin);
    } else {
        if (!m_lineDecoded) {
            m_line.clear();
            m_checks.DecodeBytes(m_block.p + m_lineBegin, m_lineEnd - m_lineBegin, m_line);
            m_lineDecoded = &m_line;
        }
        for (char32_t c : *m_lineDecoded) text::AppendUtf8(c, m_lineUtf8);
    }
    m_lineUtf8Ready = true;
}

bool FileScanner::Report(const SearchWord& word)
{
    if (m_lineStreamed)
        return m_streamed->PrintHit(*m_source, m_words->encoding(), m_transcoded, m_streamStart, m_streamEnd, word.utf8,
                                    *m_printer);
    EnsureLineUtf8();
    m_printer->Hit(word.utf8, m_lineUtf8);
    return true;
}

// A long line's text is not kept past its use.
void FileScanner::ReleaseLargeBuffers()
{
    const std::size_t kKeep = 4 * m_holdLimit;
    auto shrink = [](auto& buffer, std::size_t bytes) {
        if (buffer.capacity() * sizeof(buffer[0]) > bytes) std::remove_reference_t<decltype(buffer)>().swap(buffer);
    };
    shrink(m_lineUtf8, kKeep);
    shrink(m_line, kKeep);
    m_checks.Release(kKeep);
    m_printer->Release(kKeep);
    m_streamed->Release(kKeep);
    shrink(m_work, 2 * (m_holdLimit + kBlockSize));
}

}  // namespace textrove::search
