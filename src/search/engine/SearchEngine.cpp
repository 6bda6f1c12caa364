#include "search/engine/SearchEngine.h"

#include <system_error>

#include "search/engine/DirectoryLister.h"
#include "search/engine/FileScanner.h"
#include "search/engine/FileSource.h"
#include "search/engine/ParallelScan.h"
#include "search/engine/RecordPrinter.h"
#include "text/TextCodec.h"

namespace textrove::search {

std::string WordAsAdded(std::string_view typed)
{
    return text::CutCodePoints(text::ToUpperUtf8(typed), kMaxWordLength);
}

SearchEngine::SearchEngine(ResultSink& sink, CancelFlag& cancelFlag)
    : m_sink(sink), m_cancel(cancelFlag), m_lister(std::make_unique<DirectoryLister>())
{ }

SearchEngine::~SearchEngine() = default;

void SearchEngine::PrintText(std::string_view record)
{
    PrintPart(record, true, true);
}

bool SearchEngine::PrintPart(std::string_view text, bool first, bool last)
{
    // Every record passes here, for the window and textrove-search alike, so
    // both show the same text. Parts hold whole characters, so a streamed line
    // comes out as it would whole.
    if (text::ShownAsRecord(text, m_shown)) text = m_shown;
    std::string error;
    const bool taken = first && last ? m_sink.Append(text, error) : m_sink.AppendPart(text, first, last, error);
    if (m_shown.capacity() > (std::size_t{4} << 20)) std::string().swap(m_shown);  // a long line's copy
    if (taken) return true;
    m_sink.ReportFailure(error);
    m_cancel.store(255);
    return false;
}

void SearchEngine::GetFindChara(const std::vector<std::string>& words)
{
    m_findWordCount = 0;
    std::vector<std::u32string> upper;
    std::vector<std::string> shown;
    for (const std::string& w : words) {
        // An empty word would match every line; the word list never holds one.
        if (w.empty() || m_findWordCount >= kMaxWords) continue;
        ++m_findWordCount;
        m_findWord[static_cast<std::size_t>(m_findWordCount)] = text::ToUpperUtf8(w);
        shown.push_back(m_findWord[static_cast<std::size_t>(m_findWordCount)]);
        upper.push_back(text::Utf8ToU32(shown.back()));
    }
    m_upperWords = upper;
    m_scanner = std::make_unique<FileScanner>(std::move(upper), m_cancel);
    PrintText(RecordPrinter::HeaderRecord(shown));
}

void SearchEngine::FindChara(const std::string& path)
{
    if (!m_scanner) m_scanner = std::make_unique<FileScanner>(std::vector<std::u32string>{}, m_cancel);
    const std::string display = text::LossyUtf8(path);
    m_sink.ScanningPath(path);
    m_sink.ScanningFile(display);
    const FileScanner::Print print = [this](std::string_view text, bool first, bool last) {
        return PrintPart(text, first, last);
    };
    std::uint64_t bytes = 0;
    if (!OpenAndScan(
            -1, path.c_str(), m_readBuffer, m_readScratch, bytes,
            [&](ByteSource& source, text::Encoding encoding) { m_scanner->Scan(source, encoding, display, print); }))
        return;
    m_sink.FileDone();
}

void SearchEngine::SearchCharacter(const SearchRequest& request)
{
    GetFindChara(request.words);
    ParallelScan scan(m_sink, m_cancel, m_upperWords,
                      [this](std::string_view text, bool first, bool last) { return PrintPart(text, first, last); });
    scan.SetLimits(m_heldBytes, m_batchFiles);
    scan.Run(request.targetDirectory, *m_lister, m_threads ? m_threads : ParallelScan::DefaultThreads());
    m_peakHeld = scan.PeakHeld();
}

}  // namespace textrove::search
