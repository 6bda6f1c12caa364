// Random texts against a plain line-by-line reading of the matching rules
// (the byte prefilter may only skip lines that cannot report): fed in pieces,
// streamed when too long to hold, and through the whole engine; the one-pass
// candidate search.
#include <sys/resource.h>

#include <cstring>

#include "search/engine/ByteSearch.h"
#include "search/engine/EngineTestSupport.h"
#include "search/engine/FileScanner.h"
#include "search/engine/WordSet.h"

namespace enginetest {
namespace {

// A file in memory, handed out in pieces of the given sizes, each in a fresh
// buffer whose headroom holds garbage.
class StringSource : public ByteSource {
public:
    StringSource(std::string bytes, std::vector<std::size_t> sizes, std::size_t headroom)
        : m_bytes(std::move(bytes)), m_sizes(std::move(sizes)), m_headroom(headroom)
    { }

    bool Next(Piece& piece) override
    {
        if (m_sentLast) return false;
        const std::size_t want = std::max<std::size_t>(m_sizes[m_turn++ % m_sizes.size()], 1);
        const std::size_t n = std::min(want, m_bytes.size() - m_at);
        m_buffer.assign(m_headroom + n, '\xEE');
        std::memcpy(m_buffer.data() + m_headroom, m_bytes.data() + m_at, n);
        m_at += n;
        piece = {m_buffer.data() + m_headroom, n, m_headroom, m_at >= m_bytes.size()};
        m_sentLast = piece.last;
        return true;
    }
    bool ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n) override
    {
        ++rereads;
        if (offset + n > m_bytes.size()) return false;
        std::memcpy(buffer, m_bytes.data() + offset, n);
        return true;
    }
    int rereads = 0;

private:
    std::string m_bytes;
    std::vector<std::size_t> m_sizes;
    std::size_t m_headroom;
    std::vector<unsigned char> m_buffer;
    std::size_t m_at = 0, m_turn = 0;
    bool m_sentLast = false;
};

std::vector<std::u32string> Upper(const Strings& words)
{
    std::vector<std::u32string> out;
    for (const auto& w : words) out.push_back(text::Utf8ToU32(text::ToUpperUtf8(w)));
    return out;
}

// Random text with stretches of one piece repeated, far longer than the
// small hold limit the test uses.
std::string RandomLongLines(std::mt19937& rng, const Alphabet& a)
{
    Strings inLine;
    for (const auto& p : a.pieces)
        if (p.find_first_of("\r\n") == std::string::npos) inLine.push_back(p);
    std::string s;
    for (int k = 1 + rng() % 6; k > 0; --k) {
        if (rng() % 2) {
            s += RandomText(rng, a, rng() % 30, false);
            continue;
        }
        const std::string& repeated = inLine[rng() % inLine.size()];
        for (std::size_t n = 20 + rng() % 100; n > 0; --n) s += rng() % 4 ? repeated : inLine[rng() % inLine.size()];
    }
    return s;
}

class Random : public ::testing::TestWithParam<const Alphabet*> { };

// Random texts in the alphabet, fed to the scanner in pieces of any size with
// lines too long for a small hold limit, and written to a file for the whole
// engine (a few of them megabytes long with a line of over a block).
TEST_P(Random, TextsMatchThePlainReading)
{
    const Alphabet& alphabet = *GetParam();
    std::mt19937 rng(4242);
    int withHits = 0, readAgainWithHits = 0, asMeant = 0;
    for (int round = 0; round < 600; ++round) {
        const std::string bytes = (round % 5 == 0 && alphabet.utf8Bom ? "\xEF\xBB\xBF" : "") + alphabet.start
            + RandomLongLines(rng, alphabet);
        const auto words = RandomWords(rng, alphabet);
        std::vector<std::size_t> sizes(5);
        for (auto& n : sizes) n = 1 + rng() % 97;
        StringSource source(bytes, sizes, round % 2 ? 4096 : 0);
        CancelFlag flag{0};
        FileScanner scanner(Upper(words), flag, {40 + rng() % 30, 7 + rng() % 20});
        Strings records;
        scanner.Scan(source, text::DetectEncoding(bytes), "/p", [&](std::string_view r, bool first, bool) {
            EXPECT_TRUE(text::IsValidUtf8(r)) << "a part cuts a character";
            first ? records.emplace_back(r) : records.back().append(r);
            return true;
        });
        const auto expected = PlainReading(bytes, words, "/p");
        ASSERT_EQ(records, expected) << "pieces, round " << round;
        asMeant += text::DetectEncoding(bytes) == alphabet.encoding;
        withHits += !expected.empty();
        readAgainWithHits += !expected.empty() && source.rereads > 0;
    }
    EXPECT_GT(withHits, 150) << "the rounds must exercise hits";
    EXPECT_GT(readAgainWithHits, 50) << "and hits on lines read again";
    EXPECT_GT(asMeant, 400) << "texts in the alphabet's encoding";
    TempTree tree;
    const std::string path = tree.Path("f");
    withHits = 0;
    for (int round = 0; round < 402; ++round) {
        std::string bytes;
        if (round < 400) {
            bytes = RandomText(rng, alphabet, rng() % 120, round % 7 == 0);
        } else {
            bytes = RandomText(rng, alphabet, 1'500'000, false);
            std::string filler;
            while (filler.size() < 2'500'000) filler += alphabet.filler;
            bytes.insert(bytes.size() / 4 * 2, filler);  // on a UTF-16 code unit
        }
        const auto words = RandomWords(rng, alphabet);
        tree.File("f", bytes);
        RecordingSink sink;
        CancelFlag flag{0};
        SearchEngine engine(sink, flag);
        engine.GetFindChara(words);
        engine.FindChara(path);
        const auto expected = PlainReading(bytes, words, path);
        withHits += !expected.empty();
        ASSERT_EQ(Strings(sink.records.begin() + 1, sink.records.end()), expected) << "file, round " << round;
    }
    EXPECT_GT(withHits, 100) << "the rounds must exercise hits";
}

INSTANTIATE_TEST_SUITE_P(Encodings, Random,
                         ::testing::Values(&kShiftJis, &kUtf8, &kUtf16Le, &kUtf16Be, &kEucJp, &kIso2022Jp),
                         AlphabetName);

TEST(LongLines, ALineWithoutCandidatesIsNeitherHeldNorReadAgain)
{
    // 256 MiB without a line end, made on the fly: if the scan held the line,
    // the peak would grow by as much.
    struct Generator : ByteSource {
        bool Next(Piece& piece) override
        {
            if (left == 0) return false;
            piece.headroom = FileScanner::kTailBytes * 2;
            piece.data = buffer.data() + piece.headroom;
            piece.size = std::min(left, buffer.size() - piece.headroom);
            left -= piece.size;
            piece.last = left == 0;
            return true;
        }
        bool ReadAt(std::uint64_t, unsigned char*, std::size_t) override { return ++rereads, false; }
        std::vector<unsigned char> buffer = std::vector<unsigned char>(FileScanner::kBlockSize, 'a');
        std::size_t left = std::size_t{256} << 20;
        int rereads = 0;
    } source;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    CancelFlag flag{0};
    int records = 0;
    FileScanner(Upper({"needle", "ab", "b"}), flag)
        .Scan(source, text::Encoding::Cp932, "/big", [&](std::string_view, bool, bool) { return ++records, true; });
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(records, 0);
    EXPECT_EQ(source.left, 0u) << "read to the end";
    EXPECT_EQ(source.rereads, 0);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32L * 1024) << "peak grew (KiB)";
}

TEST(MultiSearch, VectorPathAgreesWithTheScalarOne)
{
    std::mt19937 rng(31337);
    const std::string symbols = "aAbBxX\r\n\x82\x83\xA0\x5C\x61";
    for (int round = 0; round < 200; ++round) {
        MultiSearch search;
        for (int b = 0; b < MultiSearch::kBuckets; ++b) {
            std::string pattern;
            for (std::size_t n = 1 + rng() % 4; n > 0; --n) pattern += symbols[rng() % symbols.size()];
            if (rng() % 3) search.Add(b, BytePattern(pattern));
        }
        std::vector<unsigned char> data(rng() % 700);
        for (auto& c : data) c = static_cast<unsigned char>(rng() % 4 ? symbols[rng() % symbols.size()] : rng());
        const std::size_t from = data.empty() ? 0 : rng() % data.size();
        std::vector<std::pair<std::size_t, unsigned>> vector, scalar;
        MultiSearch::Cursor cursor;
        unsigned bits;
        for (std::size_t j = from; (j = search.Next(cursor, data.data(), j, data.size(), bits)) < data.size(); ++j)
            vector.emplace_back(j, bits);
        for (std::size_t j = from; (j = search.NextScalar(data.data(), j, data.size(), bits)) < data.size(); ++j)
            scalar.emplace_back(j, bits);
        ASSERT_EQ(vector, scalar) << "round " << round;
        for (const auto& hit : scalar) ASSERT_NE(hit.second, 0u);
    }
}

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
