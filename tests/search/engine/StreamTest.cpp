// Random texts against a plain line-by-line reading of the matching rules
// (the byte prefilter may only skip lines that cannot report): fed in pieces,
// streamed when too long to hold, and through the whole engine.
#include <cstring>

#include "search/engine/EngineTestSupport.h"
#include "search/engine/FileScanner.h"

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
// lines too long for a small hold limit; every third one, and two of a few
// megabytes with a line of over a block, as a file through the whole engine.
TEST_P(Random, TextsMatchThePlainReading)
{
    const Alphabet& alphabet = *GetParam();
    std::mt19937 rng(4242);
    TempTree tree;
    const std::string path = tree.Path("f");
    int withHits = 0, readAgainWithHits = 0, asMeant = 0;
    for (int round = 0; round < 602; ++round) {
        std::string bytes = (round % 5 == 0 && alphabet.utf8Bom ? "\xEF\xBB\xBF" : "") + alphabet.start;
        if (round < 600) {
            bytes += RandomLongLines(rng, alphabet);
        } else {
            bytes = RandomText(rng, alphabet, 1'500'000, false);
            std::string filler;
            while (filler.size() < 2'500'000) filler += alphabet.filler;
            bytes.insert(bytes.size() / 4 * 2, filler);  // on a UTF-16 code unit
        }
        const auto words = RandomWords(rng, alphabet);
        const auto expected = PlainReading(bytes, words, path);
        if (round % 3 == 0 || round >= 600) {
            tree.File("f", bytes);
            RecordingSink sink;
            CancelFlag flag{0};
            SearchEngine engine(sink, flag);
            engine.GetFindChara(words);
            engine.FindChara(path);
            ASSERT_EQ(Strings(sink.records.begin() + 1, sink.records.end()), expected) << "file, round " << round;
        }
        if (round >= 600) continue;
        std::vector<std::size_t> sizes(5);
        for (auto& n : sizes) n = 1 + rng() % 97;
        StringSource source(bytes, sizes, round % 2 ? 4096 : 0);
        CancelFlag flag{0};
        FileScanner scanner(Upper(words), flag, {40 + rng() % 30, 7 + rng() % 20});
        Strings records;
        scanner.Scan(source, text::DetectEncoding(bytes), path, [&](std::string_view r, bool first, bool) {
            EXPECT_TRUE(text::IsValidUtf8(r)) << "a part cuts a character";
            first ? records.emplace_back(r) : records.back().append(r);
            return true;
        });
        ASSERT_EQ(records, expected) << "pieces, round " << round;
        asMeant += text::DetectEncoding(bytes) == alphabet.encoding;
        withHits += !expected.empty();
        readAgainWithHits += !expected.empty() && source.rereads > 0;
    }
    EXPECT_GT(withHits, 150) << "the rounds must exercise hits";
    EXPECT_GT(readAgainWithHits, 50) << "and hits on lines read again";
    EXPECT_GT(asMeant, 400) << "texts in the alphabet's encoding";
}

INSTANTIATE_TEST_SUITE_P(Encodings, Random, ::testing::Values(&kShiftJis, &kUtf8, &kUtf16Le, &kIso2022Jp),
                         AlphabetName);

}  // namespace
}  // namespace enginetest
