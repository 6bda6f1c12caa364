// The byte prefilter may only skip lines that cannot report: random files are
// compared with a plain line-by-line reading of the matching rules.
#include <random>

#include "SearchTestSupport.h"
#include "text/TextCodec.h"

namespace enginetest {
namespace {

namespace text = textrove::text;

// Plain reading: decode each whole line, upper-case, two substring searches.
std::vector<std::string> Reference(const std::string& bytes, const std::vector<std::string>& words,
                                   const std::string& path)
{
    std::vector<std::u32string> ws;
    for (const auto& w : words) ws.push_back(text::Utf8ToU32(text::ToUpperUtf8(w)));
    const auto encoding = text::DetectEncoding(bytes);
    std::size_t pos = encoding == text::Encoding::Utf8 ? text::Utf8BomLength(bytes) : 0;
    std::vector<std::string> out;
    std::u32string prev;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        const std::u32string line = text::Decode(bytes.substr(pos, end - pos), encoding);
        const std::u32string u = text::ToUpper(line);
        for (std::size_t j = 0; j < ws.size(); ++j) {
            const std::u32string& w = ws[j];
            const std::size_t n = w.size();
            auto report = [&] {
                if (out.empty()) {
                    out.push_back("");
                    out.push_back("----- ファイル名 : " + path + " -----");
                }
                out.push_back(text::U32ToUtf8(w) + " :" + text::U32ToUtf8(line));
            };
            const std::size_t t = std::min(n - 1, prev.size());
            const std::u32string split = prev.substr(prev.size() - t) + u.substr(0, n - 1);
            if (split.find(w) != std::u32string::npos) report();
            if (u.find(w) != std::u32string::npos) report();
        }
        prev = u;
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return out;
}

std::vector<std::string> EngineRecords(const std::string& path, const std::vector<std::string>& words)
{
    RecordingSink sink;
    CancelFlag flag{0};
    SearchEngine engine(sink, flag);
    engine.GetFindChara(words);
    engine.FindChara(path);
    return {sink.records.begin() + 1, sink.records.end()};
}

struct Alphabet {
    std::vector<std::string> pieces;
    std::vector<std::string> words;
};

// Pieces chosen to trap byte-level shortcuts: trail bytes that look like
// letters or '\\', duplicate encodings, lone lead bytes, all line ends.
const Alphabet kShiftJis = {
    {"a", "A", "b", "B", "c", "\\", "@", " ", "\x83\x5C", "\x83\x61", "\x83\x41", "\x82\x60",
     "\x82\x81", "\x87\x90", "\x81\xE0", "\x81", "\xFF", "\x8C\x9F", "\x8D\xF5", std::string(1, '\0'),
     "\r", "\n", "\r\n", "\r\n", "\n"},
    {"a", "ab", "ABC", "ソ", "ａ", "≒A", "ca", "\\", "b\\a", "ヂa", "アb", "検索"}};

const Alphabet kUtf8 = {
    {"a", "s", "S", "i", "I", "\xC5\xBF", "\xC4\xB1", "\xC3\xA9", "\xC3\x89", "\xC3\x9F", "\xCE\xA3",
     "\xCF\x83", "\xCF\x82", "k", "\xE2\x84\xAA", " ", "\r", "\n", "\r\n", "\n"},
    {"s", "si", "és", "σ", "is", "ß", "ks", "ΣΣ", "ia"}};

std::string RandomText(std::mt19937& rng, const Alphabet& a, std::size_t pieces, bool bom)
{
    std::string s = bom ? "\xEF\xBB\xBF" : "";
    std::uniform_int_distribution<std::size_t> pick(0, a.pieces.size() - 1);
    for (std::size_t i = 0; i < pieces; ++i) s += a.pieces[pick(rng)];
    return s;
}

std::vector<std::string> RandomWords(std::mt19937& rng, const Alphabet& a)
{
    std::vector<std::string> words;
    std::uniform_int_distribution<std::size_t> count(1, 4), pick(0, a.words.size() - 1);
    for (std::size_t k = count(rng); k > 0; --k) words.push_back(a.words[pick(rng)]);
    return words;
}

class Exactness : public ::testing::TestWithParam<const Alphabet*> {};

TEST_P(Exactness, SmallRandomFilesMatchThePlainReading)
{
    const Alphabet& alphabet = *GetParam();
    std::mt19937 rng(12345);
    TempTree tree;
    const std::string path = tree.Path("f");
    int withHits = 0;
    for (int round = 0; round < 400; ++round) {
        const std::string bytes = RandomText(rng, alphabet, rng() % 120, round % 7 == 0);
        const auto words = RandomWords(rng, alphabet);
        tree.File("f", bytes);
        const auto expected = Reference(bytes, words, path);
        withHits += !expected.empty();
        ASSERT_EQ(EngineRecords(path, words), expected) << "round " << round;
    }
    EXPECT_GT(withHits, 100) << "the rounds must exercise hits";
}

TEST_P(Exactness, LargeRandomFilesAcrossBlocks)
{
    const Alphabet& alphabet = *GetParam();
    std::mt19937 rng(777);
    TempTree tree;
    const std::string path = tree.Path("f");
    for (int round = 0; round < 2; ++round) {
        // A few MB, with a line of over a block in the middle.
        std::string bytes = RandomText(rng, alphabet, 1'500'000, false);
        bytes.insert(bytes.size() / 2, std::string(2'500'000, 'x'));
        const auto words = RandomWords(rng, alphabet);
        tree.File("f", bytes);
        const auto expected = Reference(bytes, words, path);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(EngineRecords(path, words), expected) << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, Exactness, ::testing::Values(&kShiftJis, &kUtf8),
                         [](const auto& info) {
                             return std::string(info.param == &kShiftJis ? "ShiftJis" : "Utf8");
                         });

}  // namespace
}  // namespace enginetest
