// The byte prefilter may only skip lines that cannot report: random files are
// compared with a plain line-by-line reading of the matching rules.
#include "SearchTestSupport.h"
#include "search/engine/WordSet.h"

namespace enginetest {
namespace {

std::vector<std::string> EngineRecords(const std::string& path, const std::vector<std::string>& words)
{
    RecordingSink sink;
    CancelFlag flag{0};
    SearchEngine engine(sink, flag);
    engine.GetFindChara(words);
    engine.FindChara(path);
    return {sink.records.begin() + 1, sink.records.end()};
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
        const auto expected = PlainReading(bytes, words, path);
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
        const auto expected = PlainReading(bytes, words, path);
        ASSERT_FALSE(expected.empty());
        ASSERT_EQ(EngineRecords(path, words), expected) << "round " << round;
    }
}

TEST(PreImagesTest, EveryCodePointIsFoundUnderItsUpperCase)
{
    // The word anchors come from these sets; a missing form would let the
    // byte prefilter pass over a line that holds the word.
    int missing = 0, changing = 0;
    for (char32_t x = 0; x <= 0x10FFFF; ++x) {
        if (x >= 0xD800 && x <= 0xDFFF) continue;
        const char32_t u = text::ToUpper(x);
        if (u == x) continue;
        ++changing;
        const auto& pre = PreImages(u);
        missing += std::find(pre.begin(), pre.end(), x) == pre.end();
    }
    EXPECT_EQ(missing, 0);
    EXPECT_GT(changing, 1000) << "ICU's case data must be there";
}

INSTANTIATE_TEST_SUITE_P(Encodings, Exactness, ::testing::Values(&kShiftJis, &kUtf8),
                         [](const auto& info) {
                             return std::string(info.param == &kShiftJis ? "ShiftJis" : "Utf8");
                         });

}  // namespace
}  // namespace enginetest
