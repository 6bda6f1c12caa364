#include "search/engine/WordSet.h"

#include "text/CasePreImages.h"
#include "text/Cp932Table.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace textrove::search {

namespace {

// Upper bound on anchor alternatives per word: each is one pass over a block.
constexpr std::size_t kMaxAnchorPatterns = 8;

}  // namespace

std::vector<std::string> EncodingsOf(char32_t c, text::Encoding encoding)
{
    if (encoding == text::Encoding::Utf8) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return {};
        std::string s;
        text::AppendUtf8(c, s);
        return {s};
    }
    const auto* encodings = text::Cp932Table::Get().EncodingsOf(c);
    return encodings ? *encodings : std::vector<std::string>{};
}

namespace {

// Encodings of every character that upper-cases to `c`, one pattern per
// distinct byte length (a byte-class pattern needs equal lengths).
std::vector<BytePattern> PreImagePatterns(char32_t c, text::Encoding encoding)
{
    std::vector<BytePattern> byLength;
    std::vector<std::size_t> lengths;
    if (c == U'\r' || c == U'\n') return byLength;  // terminators never sit inside a line
    for (char32_t x : text::PreImages(c)) {
        for (const std::string& e : EncodingsOf(x, encoding)) {
            const auto at = std::find(lengths.begin(), lengths.end(), e.size());
            if (at == lengths.end()) {
                lengths.push_back(e.size());
                byLength.emplace_back();
                byLength.back().AddAlternative(e);
            } else {
                byLength[static_cast<std::size_t>(at - lengths.begin())].AddAlternative(e);
            }
        }
    }
    return byLength;
}

// Picks the run of characters whose patterns give the longest shortest
// anchor, within the pattern budget; a single character is always
// acceptable, so every matchable word gets an anchor.
std::vector<BytePattern> ChooseAnchors(const std::vector<std::vector<BytePattern>>& groups)
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
            const bool better = bestCount == 0 || minLen > bestMin || (minLen == bestMin && count < bestCount);
            if (better) {
                bestI = i;
                bestJ = j + 1;
                bestMin = minLen;
                bestCount = count;
            }
            if (count > kMaxAnchorPatterns) break;
        }
    }
    std::vector<BytePattern> combos{BytePattern()};
    for (std::size_t k = bestI; k < bestJ; ++k) {
        std::vector<BytePattern> next;
        for (const auto& prefix : combos) {
            for (const auto& g : groups[k]) {
                next.push_back(prefix);
                next.back().Append(g);
            }
        }
        combos = std::move(next);
    }
    return combos;
}

// Low and high nibbles seen at each fingerprint position.
struct Nibbles {
    std::array<std::uint16_t, MultiSearch::kWidth> lo{};
    std::array<std::uint16_t, MultiSearch::kWidth> hi{};
};

Nibbles NibblesOf(const BytePattern& p, std::size_t offset)
{
    Nibbles n;
    for (std::size_t k = 0; k < MultiSearch::kWidth; ++k) {
        for (unsigned b = 0; b < 256; ++b) {
            if (offset + k >= p.size() || p.Accepts(offset + k, static_cast<unsigned char>(b))) {
                n.lo[k] |= static_cast<std::uint16_t>(1u << (b & 15));
                n.hi[k] |= static_cast<std::uint16_t>(1u << (b >> 4));
            }
        }
    }
    return n;
}

Nibbles Union(const Nibbles& a, const Nibbles& b)
{
    Nibbles u;
    for (std::size_t k = 0; k < MultiSearch::kWidth; ++k) {
        u.lo[k] = a.lo[k] | b.lo[k];
        u.hi[k] = a.hi[k] | b.hi[k];
    }
    return u;
}

// Rough share of each byte in the text this program meets: ASCII letters
// and the lead bytes of kana (0x81-0x83 in CP932, 0xE3 in UTF-8) are common,
// so a fingerprint that lets them through costs many false candidates.
double ByteWeight(unsigned b, text::Encoding encoding)
{
    // English letter frequencies in per mille, lower case.
    static constexpr double kLetters[26] = {82, 15, 28, 43, 127, 22, 20, 61, 70, 2,  8, 40, 24,
                                            67, 75, 19, 1,  60,  63, 91, 28, 10, 24, 2, 20, 1};
    if (b >= 'a' && b <= 'z') return kLetters[b - 'a'] / 2000.0;
    if (b >= 'A' && b <= 'Z') return kLetters[b - 'A'] / 20000.0;
    if (b == ' ' || b == '\r' || b == '\n') return 0.02;
    if (b < 0x80) return 0.004;
    if (encoding == text::Encoding::Cp932) {
        if (b >= 0x81 && b <= 0x83) return 0.08;
        if ((b >= 0x88 && b <= 0x9F) || (b >= 0xE0 && b <= 0xEA)) return 0.008;
        return 0.004;
    }
    if (b == 0xE3) return 0.1;
    if (b <= 0xBF) return 0.012;
    if (b >= 0xE4 && b <= 0xE9) return 0.02;
    return 0.002;
}

// Expected share of positions the fingerprint lets through.
double Cost(const Nibbles& n, text::Encoding encoding)
{
    double c = 1;
    for (std::size_t k = 0; k < MultiSearch::kWidth; ++k) {
        double share = 0;
        for (unsigned b = 0; b < 256; ++b) {
            if ((n.lo[k] >> (b & 15) & 1u) && (n.hi[k] >> (b >> 4) & 1u)) share += ByteWeight(b, encoding);
        }
        c *= share;
    }
    return c;
}

}  // namespace

WordSet::WordSet(const std::vector<std::u32string>& upperWords, text::Encoding encoding) : m_encoding(encoding)
{
    m_words.reserve(upperWords.size());
    for (const std::u32string& w : upperWords) {
        SearchWord word;
        word.text = w;
        word.utf8 = text::U32ToUtf8(w);
        std::vector<std::vector<BytePattern>> groups;
        word.matchable = !w.empty();
        for (char32_t c : w) {
            groups.push_back(PreImagePatterns(c, encoding));
            if (groups.back().empty()) word.matchable = false;
        }
        if (word.matchable) word.anchors = ChooseAnchors(groups);
        m_words.push_back(std::move(word));
    }

    // Straddles: which characters may precede which within a word.
    for (const SearchWord& word : m_words) {
        if (!word.matchable || word.text.size() < 2) continue;
        m_hasSplit = true;
        for (std::size_t k = 1; k < word.text.size(); ++k) {
            const char32_t c = word.text[k];
            auto slot =
                std::find_if(m_preceding.begin(), m_preceding.end(), [c](const auto& e) { return e.first == c; });
            if (slot == m_preceding.end()) {
                m_preceding.emplace_back(c, std::vector<std::string>{});
                slot = m_preceding.end() - 1;
            }
            for (char32_t x : text::PreImages(word.text[k - 1])) {
                for (std::string& e : EncodingsOf(x, encoding)) {
                    if (e.size() == 1)
                        m_lastOne.set(static_cast<unsigned char>(e[0]));
                    else
                        m_lastTwo.set(static_cast<std::size_t>(static_cast<unsigned char>(e[e.size() - 2])) << 8
                                      | static_cast<unsigned char>(e.back()));
                    if (std::find(slot->second.begin(), slot->second.end(), e) == slot->second.end())
                        slot->second.push_back(std::move(e));
                }
            }
            for (char32_t x : text::PreImages(c)) {
                for (const std::string& e : EncodingsOf(x, encoding)) {
                    if (e.size() == 1)
                        m_firstOne.set(static_cast<unsigned char>(e[0]));
                    else
                        m_firstTwo.set(static_cast<std::size_t>(static_cast<unsigned char>(e[0])) << 8
                                       | static_cast<unsigned char>(e[1]));
                }
            }
        }
    }

    m_firstPair = m_firstTwo;
    m_lastPair = m_lastTwo;
    for (std::size_t a = 0; a < 256; ++a) {
        for (std::size_t b = 0; b < 256; ++b) {
            if (m_firstOne[a]) m_firstPair.set(a << 8 | b);
            if (m_lastOne[b]) m_lastPair.set(a << 8 | b);
        }
    }

    // Anchors take the buckets. The costliest fingerprints (those that
    // let common bytes through) get buckets of their own; the cheapest share,
    // each where it widens a bucket least, so that unlike patterns do not
    // blur each other.
    struct Candidate {
        double cost;
        const BytePattern* pattern;
        std::size_t offset;  // the pattern's cheapest three-byte window
    };
    std::vector<Candidate> order;
    for (const SearchWord& word : m_words) {
        if (!word.matchable) continue;
        for (const BytePattern& a : word.anchors) {
            Candidate c{Cost(NibblesOf(a, 0), encoding), &a, 0};
            for (std::size_t o = 1; o + MultiSearch::kWidth <= a.size(); ++o) {
                const double cost = Cost(NibblesOf(a, o), encoding);
                if (cost < c.cost) c = {cost, &a, o};
            }
            order.push_back(c);
        }
    }
    std::stable_sort(order.begin(), order.end(), [](const auto& x, const auto& y) { return x.cost > y.cost; });
    std::array<Nibbles, MultiSearch::kBuckets> buckets{};
    int used = 0;
    for (const Candidate& c : order) {
        const Nibbles mine = NibblesOf(*c.pattern, c.offset);
        int best = used;
        if (used == MultiSearch::kBuckets) {
            double bestGrowth = 0;
            for (int b = 0; b < MultiSearch::kBuckets; ++b) {
                const auto& bucket = buckets[static_cast<std::size_t>(b)];
                const double growth = Cost(Union(bucket, mine), encoding) - Cost(bucket, encoding);
                if (b == 0 || growth < bestGrowth) {
                    best = b;
                    bestGrowth = growth;
                }
            }
        } else {
            ++used;
        }
        buckets[static_cast<std::size_t>(best)] = Union(buckets[static_cast<std::size_t>(best)], mine);
        m_search.Add(best, *c.pattern, c.offset);
        m_bucketAnchors[static_cast<std::size_t>(best)].push_back({c.pattern, c.offset});
        m_maxAnchor = std::max(m_maxAnchor, c.pattern->size());
    }
}

const std::vector<std::string>* WordSet::PrecedingEncodings(char32_t first) const
{
    for (const auto& e : m_preceding) {
        if (e.first == first) return &e.second;
    }
    return nullptr;
}

}  // namespace textrove::search
