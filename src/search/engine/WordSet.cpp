#include "search/engine/WordSet.h"

#include "search/engine/Cp932Table.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

namespace textrove::search {

namespace {

// Upper bound on anchor alternatives per word: each is one pass over a block.
constexpr std::size_t kMaxAnchorPatterns = 8;

struct CaseTables {
    // c -> every x != c with ToUpper(x) == c
    std::unordered_map<char32_t, std::vector<char32_t>> lowerOf;
};

const CaseTables& Cases()
{
    static const CaseTables tables = [] {
        CaseTables t;
        for (char32_t x = 0; x <= 0x10FFFF; ++x) {
            if (x >= 0xD800 && x <= 0xDFFF) continue;
            const char32_t u = text::ToUpper(x);
            if (u != x) t.lowerOf[u].push_back(x);
        }
        return t;
    }();
    return tables;
}

}  // namespace

const std::vector<char32_t>& PreImages(char32_t c)
{
    thread_local std::unordered_map<char32_t, std::vector<char32_t>> cache;
    auto it = cache.find(c);
    if (it != cache.end()) return it->second;
    std::vector<char32_t> result;
    if (c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF)) {
        if (text::ToUpper(c) == c) result.push_back(c);
        const auto& lower = Cases().lowerOf;
        auto found = lower.find(c);
        if (found != lower.end())
            result.insert(result.end(), found->second.begin(), found->second.end());
    }
    return cache.emplace(c, std::move(result)).first->second;
}

std::vector<std::string> EncodingsOf(char32_t c, text::Encoding encoding)
{
    if (encoding == text::Encoding::Utf8) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {};
        std::string s;
        text::AppendUtf8(c, s);
        return {s};
    }
    const auto* encodings = Cp932Table::Get().EncodingsOf(c);
    return encodings ? *encodings : std::vector<std::string>{};
}

namespace {

// Encodings of every character that upper-cases to `c`, merged when they
// differ only in ASCII letter case (the byte search folds letters).
std::vector<std::string> FoldedPreImageEncodings(char32_t c, text::Encoding encoding)
{
    std::vector<std::string> groups;
    if (c == U'\r' || c == U'\n') return groups;  // terminators never sit inside a line
    for (char32_t x : PreImages(c)) {
        for (const std::string& e : EncodingsOf(x, encoding)) {
            std::string folded = FoldAsciiLetters(e);
            if (std::find(groups.begin(), groups.end(), folded) == groups.end())
                groups.push_back(std::move(folded));
        }
    }
    return groups;
}

// Picks the run of characters whose alternatives give the longest shortest
// pattern, within the alternative budget; a single character is always
// acceptable, so every matchable word gets an anchor.
std::vector<BytePattern> ChooseAnchors(const std::vector<std::vector<std::string>>& groups)
{
    const std::size_t n = groups.size();
    std::size_t bestI = 0, bestJ = 0, bestMin = 0, bestCount = 0;
    for (std::size_t i = 0; i < n; ++i) {
        std::size_t count = 1;
        std::size_t minLen = 0;
        for (std::size_t j = i; j < n; ++j) {
            count *= groups[j].size();
            if (count > kMaxAnchorPatterns && j > i) break;
            std::size_t shortest = groups[j][0].size();
            for (const auto& g : groups[j]) shortest = std::min(shortest, g.size());
            minLen += shortest;
            const bool better = bestCount == 0 || minLen > bestMin ||
                                (minLen == bestMin && count < bestCount);
            if (better) {
                bestI = i;
                bestJ = j + 1;
                bestMin = minLen;
                bestCount = count;
            }
            if (count > kMaxAnchorPatterns) break;
        }
    }
    std::vector<std::string> combos{std::string()};
    for (std::size_t k = bestI; k < bestJ; ++k) {
        std::vector<std::string> next;
        for (const auto& prefix : combos)
            for (const auto& g : groups[k]) next.push_back(prefix + g);
        combos = std::move(next);
    }
    std::vector<BytePattern> anchors;
    for (const auto& c : combos) anchors.emplace_back(c);
    return anchors;
}

}  // namespace

WordSet::WordSet(const std::vector<std::u32string>& upperWords, text::Encoding encoding)
    : m_encoding(encoding)
{
    std::vector<std::u32string> splitChars;
    for (const std::u32string& w : upperWords) {
        SearchWord word;
        word.text = w;
        word.utf8 = text::U32ToUtf8(w);
        std::vector<std::vector<std::string>> groups;
        word.matchable = !w.empty();
        for (char32_t c : w) {
            groups.push_back(FoldedPreImageEncodings(c, encoding));
            if (groups.back().empty()) word.matchable = false;
        }
        if (word.matchable) {
            word.anchors = ChooseAnchors(groups);
            if (w.size() >= 2) {
                m_hasSplit = true;
                for (std::size_t k = 1; k < w.size(); ++k) {
                    if (!IsSplitChar(w[k])) m_splitChars.push_back(w[k]);
                    for (char32_t x : PreImages(w[k])) {
                        for (std::string& e : EncodingsOf(x, encoding)) {
                            if (std::find(m_splitStarts.begin(), m_splitStarts.end(), e) ==
                                m_splitStarts.end())
                                m_splitStarts.push_back(std::move(e));
                        }
                    }
                }
            }
        }
        m_words.push_back(std::move(word));
    }
    for (const auto& s : m_splitStarts) m_splitFirstByte[static_cast<unsigned char>(s[0])] = true;
}

bool WordSet::MaySplitStartAt(const unsigned char* data, std::size_t avail) const
{
    if (avail == 0 || !m_splitFirstByte[data[0]]) return false;
    for (const auto& s : m_splitStarts) {
        if (s.size() <= avail && static_cast<unsigned char>(s[0]) == data[0] &&
            std::equal(s.begin(), s.end(), reinterpret_cast<const char*>(data)))
            return true;
    }
    return false;
}

}  // namespace textrove::search
