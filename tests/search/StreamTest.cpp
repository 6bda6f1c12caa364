// The scan fed in pieces: what is carried from piece to piece, lines too
// long to hold (streamed, then read again), the one-pass candidate search
// and the block-by-block encoding rule.
#include <sys/resource.h>

#include <cstring>

#include "SearchTestSupport.h"
#include "search/engine/ByteSearch.h"
#include "search/engine/Cp932Table.h"
#include "search/engine/FileScanner.h"
#include "search/engine/FileSource.h"

namespace enginetest {
namespace {

// A file held in memory, handed out in pieces of chosen sizes, each in a
// fresh buffer with or without headroom in front.
class StringSource : public ByteSource {
public:
    StringSource(std::string bytes, std::vector<std::size_t> sizes, std::size_t headroom)
        : m_bytes(std::move(bytes)), m_sizes(std::move(sizes)), m_headroom(headroom)
    {
    }

    bool Next(Piece& piece) override
    {
        if (m_at >= m_bytes.size() && m_sentLast) return false;
        const std::size_t n = std::min(m_sizes[m_turn++ % m_sizes.size()], m_bytes.size() - m_at);
        m_buffer.assign(m_headroom + n, '\xEE');  // headroom holds garbage until written
        std::memcpy(m_buffer.data() + m_headroom, m_bytes.data() + m_at, n);
        m_at += n;
        piece.data = m_buffer.data() + m_headroom;
        piece.size = n;
        piece.headroom = m_headroom;
        piece.last = m_at >= m_bytes.size();
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
    std::size_t m_at = 0;
    std::size_t m_turn = 0;
    bool m_sentLast = false;
};

std::vector<std::u32string> Upper(const std::vector<std::string>& words)
{
    std::vector<std::u32string> out;
    for (const auto& w : words) out.push_back(text::Utf8ToU32(text::ToUpperUtf8(w)));
    return out;
}

std::vector<std::string> ScanPieces(ByteSource& source, const std::string& bytes,
                                    const std::vector<std::string>& words, FileScanner::Limits limits)
{
    CancelFlag flag{0};
    FileScanner scanner(Upper(words), flag, limits);
    std::vector<std::string> records;
    scanner.Scan(source, text::DetectEncoding(bytes), "/p",
                 [&](std::string_view r) { records.emplace_back(r); });
    return records;
}

// Random text with stretches far longer than the hold limit used here.
std::string RandomLongLines(std::mt19937& rng, const Alphabet& a)
{
    std::string s;
    std::vector<std::string> inLine;
    for (const auto& p : a.pieces) {
        if (p.find_first_of("\r\n") == std::string::npos) inLine.push_back(p);
    }
    std::uniform_int_distribution<std::size_t> pick(0, inLine.size() - 1);
    const int segments = 1 + static_cast<int>(rng() % 6);
    for (int k = 0; k < segments; ++k) {
        if (rng() % 2) {
            s += RandomText(rng, a, rng() % 30, false);
        } else {
            const std::string& repeated = inLine[pick(rng)];
            for (std::size_t n = 20 + rng() % 100; n > 0; --n) s += rng() % 4 ? repeated : inLine[pick(rng)];
        }
    }
    return s;
}

class Pieces : public ::testing::TestWithParam<const Alphabet*> {};

TEST_P(Pieces, AnySplitAndStreamingMatchThePlainReading)
{
    const Alphabet& alphabet = *GetParam();
    std::mt19937 rng(4242);
    int withHits = 0, readAgainWithHits = 0;
    for (int round = 0; round < 600; ++round) {
        const std::string bytes = (round % 5 == 0 ? "\xEF\xBB\xBF" : "") + RandomLongLines(rng, alphabet);
        const auto words = RandomWords(rng, alphabet);
        std::vector<std::size_t> sizes;
        for (int k = 0; k < 5; ++k) sizes.push_back(1 + rng() % 97);
        StringSource source(bytes, sizes, round % 2 ? 4096 : 0);
        const FileScanner::Limits limits{40 + rng() % 30, 7 + rng() % 20};
        const auto expected = PlainReading(bytes, words, "/p");
        withHits += !expected.empty();
        ASSERT_EQ(ScanPieces(source, bytes, words, limits), expected) << "round " << round;
        readAgainWithHits += !expected.empty() && source.rereads > 0;
    }
    EXPECT_GT(withHits, 150) << "the rounds must exercise hits";
    EXPECT_GT(readAgainWithHits, 50) << "and hits on lines read again";
}

INSTANTIATE_TEST_SUITE_P(Encodings, Pieces, ::testing::Values(&kShiftJis, &kUtf8),
                         [](const auto& info) {
                             return std::string(info.param == &kShiftJis ? "ShiftJis" : "Utf8");
                         });

// Lines longer than the hold limit through the whole engine, on disk.
const std::size_t kLong = FileScanner::kHoldLimit * 5 / 2;

TEST(LongLines, HitAtTheEndOrTheStartShowsTheWholeLine)
{
    std::string line;
    for (std::size_t k = 0; k < kLong / 2; ++k) line += "\x82\xA0";  // あ
    std::string shown;
    for (std::size_t k = 0; k < kLong / 2; ++k) shown += "あ";
    EXPECT_EQ(HitsIn(line + "\x8C\x9F\x8D\xF5\r\nshort\r\n", {"検索"}), Block({"検索 :" + shown + "検索"}))
        << "word at the end of a streamed line";
    EXPECT_EQ(HitsIn("\x8C\x9F\x8D\xF5" + line + "\nshort", {"検索"}), Block({"検索 :検索" + shown}))
        << "word at the start";
}

TEST(LongLines, StraddlesBeforeAndAfterALongLine)
{
    const std::string longX(kLong, 'x');
    EXPECT_EQ(HitsIn(longX + "ab\ncd\n", {"ABC"}), Block({"ABC :cd"})) << "after";
    EXPECT_EQ(HitsIn(longX + "ab\r\ncd\r\n", {"ABC"}), Block({"ABC :cd"})) << "after, CR LF";
    EXPECT_EQ(HitsIn("zab\nc" + longX + "\n", {"ABC"}), Block({"ABC :c" + longX})) << "into";
    EXPECT_EQ(HitsIn(longX + "\n" + longX + "ab\rc", {"ABC"}), Block({"ABC :c"})) << "between two";
}

TEST(LongLines, Cp932CharacterStartsAreTrackedAcrossBlocks)
{
    // 0x83 repeated, then 'a': an even run pairs up as ャ and leaves 'a' last,
    // an odd run pairs its last 0x83 with 'a' as ヂ. Only stepping through
    // every byte from the line start tells them apart. Both runs cross
    // several read blocks at both parities.
    for (std::size_t run : {kLong, kLong + 1}) {
        const std::string bytes = std::string(run, '\x83') + "a\nb\n";
        const auto expected = run % 2 == 0 ? Block({"AB :b"}) : Block({"ヂB :b"});
        EXPECT_EQ(HitsIn(bytes, {"AB", "ヂB"}), expected) << run << " lead bytes";
    }
    // A word whose bytes a block boundary cuts, well into a streamed line.
    std::string bytes(3 * FileScanner::kBlockSize - 1, 'x');
    bytes += "\x8C\x9F\x8D\xF5" + std::string(FileScanner::kBlockSize, 'y') + "\n";
    const auto hits = HitsIn(bytes, {"X検索Y"});
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[2].size(), std::string("X検索Y :").size() + bytes.size() - 1 + 2);
}

TEST(LongLines, ALineWithoutCandidatesIsNeitherHeldNorReadAgain)
{
    // 256 MiB without a line end, made on the fly: if the scan held the line,
    // the peak would grow by as much.
    class Generator : public ByteSource {
    public:
        bool Next(Piece& piece) override
        {
            if (left == 0) return false;
            piece.data = buffer.data() + FileScanner::kTailBytes * 2;
            piece.headroom = FileScanner::kTailBytes * 2;
            piece.size = std::min(left, buffer.size() - piece.headroom);
            left -= piece.size;
            piece.last = left == 0;
            return true;
        }
        bool ReadAt(std::uint64_t, unsigned char*, std::size_t) override
        {
            ++rereads;
            return false;
        }
        std::vector<unsigned char> buffer = std::vector<unsigned char>(FileScanner::kBlockSize, 'a');
        std::size_t left = std::size_t{256} << 20;
        int rereads = 0;
    } source;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    CancelFlag flag{0};
    FileScanner scanner(Upper({"needle", "ab", "b"}), flag);
    int records = 0;
    scanner.Scan(source, text::Encoding::Cp932, "/big", [&](std::string_view) { ++records; });
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(records, 0);
    EXPECT_EQ(source.left, 0u) << "read to the end";
    EXPECT_EQ(source.rereads, 0);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 32L * 1024) << "peak grew (KiB)";
}

TEST(MultiSearchTest, VectorPathAgreesWithTheScalarOne)
{
    std::mt19937 rng(31337);
    const std::string symbols = "aAbBxX\r\n\x82\x83\xA0\x5C\x61";
    for (int round = 0; round < 200; ++round) {
        MultiSearch search;
        for (int b = 0; b < MultiSearch::kBuckets; ++b) {
            if (rng() % 3 == 0) continue;
            std::string pattern;
            for (std::size_t n = 1 + rng() % 4; n > 0; --n) pattern += symbols[rng() % symbols.size()];
            search.Add(b, BytePattern(pattern));
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
        for (const auto& [j, b] : scalar) ASSERT_NE(b, 0u);
    }
}

TEST(BlockEncoding, FedInAnySplitItAgreesWithTheWholeFile)
{
    std::mt19937 rng(5);
    const std::vector<std::string> pieces = {"a", "\xC3\xA9", "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\x82\xA0",
                                             "\xC3", "\x80", "\n"};
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        for (std::size_t n = rng() % 40; n > 0; --n) {
            const auto& p = pieces[rng() % pieces.size()];
            bytes += round % 3 == 0 || (p != "\xC3" && p != "\x80" && p != "\x82\xA0") ? p : "b";
        }
        Utf8Check check;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min<std::size_t>(1 + rng() % 5, bytes.size() - at);
            check.Feed(reinterpret_cast<const unsigned char*>(bytes.data()) + at, n);
            at += n;
        }
        ASSERT_EQ(check.Finish(), text::DetectEncoding(bytes)) << "round " << round;
    }
}

TEST(Cancellation, DuringAFileOfManyBlocksTheAbortRecordFollowsIt)
{
    TempTree tree;
    std::string big = "hit first\n";
    while (big.size() < 5 * FileScanner::kBlockSize) big += "filler line without the word\nhit again\n";
    tree.File("big", big);
    tree.File("sub/after", "hit\n");
    CancelFlag flag{0};
    RecordingSink sink;
    sink.cancel = &flag;
    sink.cancelAfter = 4;  // header, empty record, banner, first hit
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({tree.Root(), {"HIT"}});
    ASSERT_EQ(sink.records.size(), 5u);
    EXPECT_EQ(sink.records[3], "HIT :hit first");
    EXPECT_EQ(sink.records[4], kAbortRecord);
}

}  // namespace
}  // namespace enginetest
