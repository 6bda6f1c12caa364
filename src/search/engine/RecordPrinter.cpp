#include "search/engine/RecordPrinter.h"

#include <cstring>

#include "text/StreamDecoder.h"

namespace textrove::search {

std::string RecordPrinter::HeaderRecord(const std::vector<std::string>& shownWords)
{
    std::string header = kHeaderRecord;
    for (const std::string& w : shownWords) {
        header += "  ";
        header += w;
    }
    return header;
}

void RecordPrinter::AppendShown(std::string& out, const unsigned char* p, std::size_t n)
{
    while (n > 0) {
        const auto* bad = static_cast<const unsigned char*>(std::memchr(p, text::kInvalidByte, n));
        const std::size_t good = bad ? static_cast<std::size_t>(bad - p) : n;
        out.append(reinterpret_cast<const char*>(p), good);
        if (!bad) return;
        out.append("\xEF\xBF\xBD");
        p += good + 1;
        n -= good + 1;
    }
}

void RecordPrinter::BeginFile(const Print& print, std::string_view displayPath)
{
    m_print = &print;
    m_displayPath = displayPath;
    m_banner = false;
}

void RecordPrinter::Banner()
{
    if (m_banner) return;
    m_banner = true;
    (*m_print)(std::string_view(), true, true);
    m_record.assign(kBannerHead);
    m_record.append(m_displayPath);
    m_record.append(kBannerTail);
    (*m_print)(m_record, true, true);
}

void RecordPrinter::Hit(std::string_view word, std::string& line)
{
    Banner();
    const std::size_t prefix = word.size() + 2;
    if (prefix > kPrefixRoom) {  // a word longer than the list allows
        m_record.assign(word);
        m_record.append(" :");
        m_record.append(line, kPrefixRoom);
        (*m_print)(m_record, true, true);
        return;
    }
    char* at = line.data() + kPrefixRoom - prefix;
    std::memcpy(at, word.data(), word.size());
    at[prefix - 2] = ' ';
    at[prefix - 1] = ':';
    (*m_print)(std::string_view(at, line.size() - kPrefixRoom + prefix), true, true);
}

bool RecordPrinter::HitHead(std::string_view word)
{
    Banner();
    m_record.assign(word);
    m_record.append(" :");
    return (*m_print)(m_record, true, false);
}

void RecordPrinter::Release(std::size_t keepBytes)
{
    if (m_record.capacity() > keepBytes) std::string().swap(m_record);
}

}  // namespace textrove::search
