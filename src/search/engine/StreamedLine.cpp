#include "search/engine/StreamedLine.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "search/engine/LineBytes.h"
#include "search/engine/RecordPrinter.h"

namespace textrove::search {

using line_bytes::CompletePrefix;
using line_bytes::DecodeBytes;

StreamedLine::StreamedLine(std::size_t rereadBlock, std::size_t longestWord)
    : m_rereadBlock(rereadBlock), m_longestWord(longestWord)
{ }

bool StreamedLine::FindWords(ByteSource& source, const WordSet& words, std::uint64_t start, std::uint64_t end,
                             const CancelFlag& cancel, std::uint32_t& mask)
{
    mask = 0;
    const text::Encoding encoding = words.encoding();
    const std::size_t overlap = m_longestWord > 0 ? m_longestWord - 1 : 0;
    m_reread.resize(m_rereadBlock + 8);
    m_upper.clear();
    std::size_t pending = 0;
    std::uint64_t offset = start;
    const auto& list = words.words();
    for (;;) {
        if (cancel.load(std::memory_order_relaxed) != 0) return false;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(m_rereadBlock, end - offset));
        if (want > 0 && !source.ReadAt(offset, m_reread.data() + pending, want)) {
            mask = 0;
            return true;
        }
        offset += want;
        const std::size_t n = pending + want;
        const bool final = offset >= end;
        const std::size_t complete = final ? n : CompletePrefix(m_reread.data(), n, encoding);
        if (m_upper.size() > overlap) m_upper.erase(0, m_upper.size() - overlap);
        const std::size_t keptChars = m_upper.size();
        DecodeBytes(m_reread.data(), complete, encoding, m_upper);
        for (std::size_t k = keptChars; k < m_upper.size(); ++k) m_upper[k] = text::ToUpper(m_upper[k]);
        for (std::size_t j = 0; j < list.size(); ++j) {
            if (list[j].matchable && !(mask >> j & 1u) && m_upper.find(list[j].text) != std::u32string::npos)
                mask |= 1u << j;
        }
        pending = n - complete;
        std::memmove(m_reread.data(), m_reread.data() + complete, pending);
        if (final) return true;
    }
}

bool StreamedLine::PrintHit(ByteSource& source, text::Encoding encoding, bool transcoded, std::uint64_t start,
                            std::uint64_t end, std::string_view word, RecordPrinter& printer)
{
    const bool utf8 = encoding == text::Encoding::Utf8;
    m_reread.resize(m_rereadBlock + 8);
    std::size_t pending = 0;
    std::uint64_t offset = start;
    bool first = true;
    for (;;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(m_rereadBlock, end - offset));
        const bool read = want == 0 || source.ReadAt(offset, m_reread.data() + pending, want);
        if (first) {
            if (!read) return true;
            first = false;
            if (!printer.HitHead(word)) return false;
        }
        if (!read) return printer.HitPart(std::string_view(), true);
        offset += want;
        const std::size_t n = pending + want;
        const bool final = offset >= end;
        const std::size_t complete = final ? n : CompletePrefix(m_reread.data(), n, encoding);
        std::string_view part(reinterpret_cast<const char*>(m_reread.data()), complete);
        if (transcoded) {
            m_part.clear();
            RecordPrinter::AppendShown(m_part, m_reread.data(), complete);
            part = m_part;
        } else if (!utf8) {
            m_line.clear();
            DecodeBytes(m_reread.data(), complete, encoding, m_line);
            m_part.clear();
            for (char32_t c : m_line) text::AppendUtf8(c, m_part);
            part = m_part;
        }
        if ((complete > 0 || final) && !printer.HitPart(part, final)) return false;
        if (final) return true;
        pending = n - complete;
        std::memmove(m_reread.data(), m_reread.data() + complete, pending);
    }
}

void StreamedLine::Release(std::size_t keepBytes)
{
    auto shrink = [](auto& buffer, std::size_t bytes) {
        if (buffer.capacity() * sizeof(buffer[0]) > bytes) std::remove_reference_t<decltype(buffer)>().swap(buffer);
    };
    shrink(m_upper, keepBytes);
    shrink(m_line, keepBytes);
    shrink(m_part, keepBytes);
    shrink(m_reread, 2 * m_rereadBlock);
}

}  // namespace textrove::search
