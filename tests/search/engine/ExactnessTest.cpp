// The byte prefilter may only skip lines that cannot report: random files are
// compared with a plain line-by-line reading of the matching rules.
#include "search/engine/EngineTestSupport.h"
#include "search/engine/WordSet.h"

namespace enginetest {
namespace {

Strings EngineRecords(const std::string& path, const Strings& words)
{
    RecordingSink sink;
    CancelFlag flag{0};
    SearchEngine engine(sink, flag);
    engine.GetFindChara(words);
    engine.FindChara(path);
    return {sink.records.begin() + 1, sink.records.end()};
}

class Exactness : public ::testing::TestWithParam<const Alphabet*> { };

TEST_P(Exactness, RandomFilesMatchThePlainReading)
{
    const Alphabet& alphabet = *GetParam();
    std::mt19937 rng(12345);
    TempTree tree;
    const std::string path = tree.Path("f");
    int withHits = 0;
    for (int round = 0; round < 402; ++round) {
        std::string bytes;
        if (round < 400) {
            bytes = RandomText(rng, alphabet, rng() % 120, round % 7 == 0);
        } else {  // a few MB across many read blocks, with a line of over a block
            bytes = RandomText(rng, alphabet, 1'500'000, false);
            std::string filler;
            while (filler.size() < 2'500'000) filler += alphabet.filler;
            bytes.insert(bytes.size() / 4 * 2, filler);  // on a UTF-16 code unit
        }
        const auto words = RandomWords(rng, alphabet);
        tree.File("f", bytes);
        const auto expected = PlainReading(bytes, words, path);
        withHits += !expected.empty();
        ASSERT_EQ(EngineRecords(path, words), expected) << "round " << round;
    }
    EXPECT_GT(withHits, 100) << "the rounds must exercise hits";
}

INSTANTIATE_TEST_SUITE_P(Encodings, Exactness,
                         ::testing::Values(&kShiftJis, &kUtf8, &kUtf16Le, &kUtf16Be, &kEucJp, &kIso2022Jp),
                         AlphabetName);

TEST(PreImages, EveryCodePointIsFoundUnderItsUpperCase)
{
    // Word anchors come from these sets; a missing form would let the byte
    // prefilter pass over a line that holds the word.
    int missing = 0, changing = 0;
    for (char32_t x = 0; x <= 0x10FFFF; ++x) {
        const char32_t u = text::ToUpper(x);
        if (u == x || (x >= 0xD800 && x <= 0xDFFF)) continue;
        ++changing;
        const auto& pre = textrove::text::PreImages(u);
        missing += std::find(pre.begin(), pre.end(), x) == pre.end();
    }
    EXPECT_EQ(missing, 0);
    EXPECT_GT(changing, 1000) << "ICU's case data must be there";
}

}  // namespace
}  // namespace enginetest
