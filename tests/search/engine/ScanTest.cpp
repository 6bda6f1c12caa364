// Matching rules and the result text of one file.
#include "search/engine/EngineTestSupport.h"
#include "search/engine/FileScanner.h"

namespace enginetest {
namespace {

struct HitRow {
    const char* why;
    std::string bytes;
    Strings words;
    Strings hits;  // empty: the file leaves no trace
};

void PrintTo(const HitRow& row, std::ostream* os)
{
    *os << row.why;
}

class Hits : public ::testing::TestWithParam<HitRow> { };

TEST_P(Hits, Records)
{
    const HitRow& row = GetParam();
    EXPECT_EQ(HitsIn(row.bytes, row.words), row.hits.empty() ? Strings{} : Block(row.hits)) << row.why;
}

const std::string kSixteen = "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ";

INSTANTIATE_TEST_SUITE_P(
    Matching, Hits,
    ::testing::Values(
        HitRow{"split word reported once, on the second line", "xxab\ncyy\n", {"ABC"}, {"ABC :cyy"}},
        HitRow{"split word and in-line hit: two identical records", "zab\ncabc\n", {"ABC"}, {"ABC :cabc", "ABC :cabc"}},
        HitRow{"one-character word never straddles", "a\nb\n", {"AB"}, {"AB :b"}},
        HitRow{"one-character word only inside a line", "xa\nay\n", {"A"}, {"A :xa", "A :ay"}},
        HitRow{"two words in a line: list order, not line order",
               "xyz abc\n",
               {"ABC", "XYZ"},
               {"ABC :xyz abc", "XYZ :xyz abc"}},
        HitRow{"one word three times: one record", "abc abc abc\n", {"ABC"}, {"ABC :abc abc abc"}},
        HitRow{"lower-case word finds mixed case; line shown as written",
               "The AbC here\n",
               {"abc"},
               {"ABC :The AbC here"}},
        HitRow{"two hits in one file: one banner", "abc\nno\nabc2\n", {"ABC"}, {"ABC :abc", "ABC :abc2"}},
        HitRow{"no hits: no trace", "nothing here\n", {"ABC"}, {}}, HitRow{"empty file", "", {"ABC"}, {}},
        HitRow{"an empty line between breaks the straddle", "ab\n\nc\n", {"ABC"}, {}},
        HitRow{"straddle across CR LF (one break, no empty line)", "ab\r\nc\r\n", {"ABC"}, {"ABC :c"}},
        HitRow{"straddle across CR alone", "ab\rc", {"ABC"}, {"ABC :c"}},
        HitRow{"CR-only file: every line", "abc\rx\rabc", {"ABC"}, {"ABC :abc", "ABC :abc"}},
        HitRow{"last line without terminator", "x\nlast abc", {"ABC"}, {"ABC :last abc"}},
        HitRow{"word longer than both lines together", "ab\ncd\n", {"ABCDE"}, {}},
        HitRow{"straddle must reach into the line", "abcd\ne\n", {"CDE"}, {"CDE :e"}},
        HitRow{"word longer than the list allows",
               "x" + kSixteen + "y\n",
               {kSixteen},
               {kSixteen + " :x" + kSixteen + "y"}},
        HitRow{"NUL bytes are characters", std::string("a\0bc\n", 5), {"BC"}, {"BC :" + std::string("a\0bc", 4)}},
        HitRow{"full-width letters fold", "ｘａｂｃ\n", {"ａｂｃ"}, {"ＡＢＣ :ｘａｂｃ"}},
        HitRow{"UTF-8 with BOM: BOM not in the line",
               "\xEF\xBB\xBF"
               "abc \xC3\xA9\n",
               {"ABC"},
               {"ABC :abc \xC3\xA9"}},
        HitRow{"UTF-8 without BOM", "caf\xC3\xA9 ABC\n", {"CAFÉ"}, {"CAFÉ :caf\xC3\xA9 ABC"}},
        HitRow{"Shift-JIS line decoded in the record",
               "\x8C\x9F\x8D\xF5\x95\xB6\x8E\x9A\r\n",
               {"検索"},
               {"検索 :検索文字"}},
        HitRow{"Shift-JIS straddle", "\x8C\x9F\r\n\x8D\xF5\r\n", {"検索"}, {"検索 :索"}},
        HitRow{"trail byte 0x5C is no backslash", "\x83\x5C\n", {"\\"}, {}},
        HitRow{"trail byte 'a' is no letter A", "\x83\x61\x83\x41\n", {"A"}, {}},
        HitRow{"so followed by a real backslash", "\x83\x5C\\\n", {"\\"}, {"\\ :ソ\\"}},
        HitRow{"invalid Shift-JIS never matches, shown as U+FFFD",
               "\x81 a\xFF"
               "b\n",
               {" A"},
               {" A :\xEF\xBF\xBD a\xEF\xBF\xBD"
                "b"}},
        HitRow{"no word joins across an unassigned pair",
               "\x85\x40"
               "BC\n",
               {"@BC"},
               {}},
        HitRow{"CP932 duplicate encodings both match", "\x87\x90 \x81\xE0\n", {"≒ ≒"}, {"≒ ≒ :≒ ≒"}},
        HitRow{"word holding a line feed never matches", "a\nb\n", {"A\nB"}, {}},
        HitRow{"UTF-16LE line decoded in the record", Utf16(u"x\r\n検索です\r\n"), {"検索"}, {"検索 :検索です"}},
        HitRow{"UTF-16BE straddle across CR LF units", Utf16(u"zab\r\ncd", false), {"ABC"}, {"ABC :cd"}},
        HitRow{"UTF-16: full-width ａ found by Ａ", Utf16(u"\uFF41\uFF42"), {"ＡＢ"}, {"ＡＢ :ａｂ"}},
        HitRow{"UTF-16: a 0x0A byte inside a unit ends no line", Utf16(u"\u010Aab"), {"ċa"}, {"ĊA :Ċab"}},
        HitRow{"UTF-16: unpaired surrogate never matched, shown as U+FFFD",
               std::string("\xFF\xFE"
                           "a\0\x3D\xD8"
                           "b\0a\0",
                           10),
               {"ab", "\uFFFD", "ba"},
               {"BA :a\uFFFDba"}},
        HitRow{"UTF-16: final odd byte",
               std::string("\xFF\xFE"
                           "a\0"
                           "b",
                           5),
               {"a"},
               {"A :a\uFFFD"}},
        HitRow{"EUC-JP line decoded in the record",
               "\xA4\xB3\xA4\xEC\xA4\xCF\xB8\xA1\xBA\xF7\n",
               {"検索"},
               {"検索 :これは検索"}},
        HitRow{"EUC-JP straddle", "\xA4\xA2\xB8\xA1\r\n\xBA\xF7\r\n", {"検索"}, {"検索 :索"}},
        HitRow{"EUC-JP: full-width ａ found by Ａ, half-width katakana",
               "\xA4\xA2\xA3\xE1\x8E\xB1\n",
               {"Ａｱ"},
               {"Ａｱ :あａｱ"}},
        HitRow{"EUC-JP: an unassigned character never matches, shown as U+FFFD",
               "\xA4\xA2\xA9\xA1\xA4\xA4\n",
               {"あ\uFFFDい", "あ"},
               {"あ :あ\uFFFDい"}},
        HitRow{"ISO-2022-JP: the kanji set lasts across the break of a straddle",
               "\x1B$B8!\n:w\x1B(B\n",
               {"検索"},
               {"検索 :索"}},
        HitRow{"ISO-2022-JP: JIS Roman and half-width katakana",
               "\x1B$B$\"\x1B(J\\\x1B(I1\x1B(B\n",
               {"¥ｱ"},
               {"¥ｱ :あ¥ｱ"}},
        HitRow{"ISO-2022-JP: an unknown escape is invalid, not skipped",
               "\x1B$B#a\x1B(Ba\x1B(Kb\n",
               {"ab", "ａa"},
               {"ＡA :ａa\uFFFDb"}}));

TEST(Scan, LongLinesAcrossBlockBoundaries)
{
    // A CR LF cut by a block boundary with a word straddling it, a line of
    // several blocks ending in half a word, and a hit deep in a line longer
    // than a block.
    const std::size_t block = FileScanner::kBlockSize;
    std::string bytes(block - 3, 'x');
    bytes += "ab\r\ncq\n" + std::string(3 * block, 'y') + "ab\ncz\n";
    bytes += std::string(block / 2, 'q') + "needle" + std::string(block, 'q') + "\n";
    const auto hits = HitsIn(bytes, {"ABC", "NEEDLE"});
    ASSERT_EQ(hits.size(), 5u);
    EXPECT_EQ(hits[2], "ABC :cq");
    EXPECT_EQ(hits[3], "ABC :cz");
    EXPECT_EQ(hits[4], "NEEDLE :" + std::string(block / 2, 'q') + "needle" + std::string(block, 'q'));
}

TEST(Scan, LargeFileEncodingDecidedOnTheWholeFile)
{
    // ASCII for more than a block, then one UTF-8 (or Shift-JIS) character.
    // The larger pad goes past what the reader holds back while the encoding
    // is open.
    for (const std::size_t padSize : {std::size_t{5} << 20, std::size_t{9} << 20}) {
        const std::string pad(padSize, 'a');
        EXPECT_EQ(HitsIn(pad + "\nz\xC3\xA9z\n", {"ZÉZ"}), Block({"ZÉZ :z\xC3\xA9z"}));
        EXPECT_EQ(HitsIn(pad + "\nz\x83\x5Cz\n", {"ZソZ"}), Block({"ZソZ :zソz"}));
        EXPECT_EQ(HitsIn("\xC3\xA9\n" + pad + "\n\x82\xA0\n", {"あ"}), Block({"あ :あ"}))
            << "valid UTF-8 at first, invalid at the end: CP932 throughout";
    }
}

TEST(Scan, AFileIsReadOnlyToTheSizeItHadWhenOpened)
{
    // A writer appends a hit while the first hit's record is handed over.
    // The file is many read blocks long (and Shift-JIS from its first byte,
    // so nothing is read ahead for the encoding): its end is not read yet at
    // that moment, on either path.
    struct AppendingSink : RecordingSink {
        bool Append(std::string_view record, std::string& error) override
        {
            if (records.size() == 2) std::ofstream(path, std::ios::binary | std::ios::app) << "abc late\n";
            return RecordingSink::Append(record, error);
        }
        std::string path;
    };
    TempTree tree;
    for (const bool readAhead : {true, false}) {
        tree.File("grows", "\x82\xA0 abc\n" + std::string(std::size_t{10} << 20, '\n'));
        AppendingSink sink;
        sink.path = tree.Path("grows");
        CancelFlag flag{0};
        SearchEngine engine(sink, flag);
        if (readAhead) {
            engine.SearchCharacter({tree.Root(), {"abc"}});
        } else {
            engine.GetFindChara({"abc"});
            engine.FindChara(sink.path);
        }
        EXPECT_EQ(sink.records.back(), "ABC :あ abc") << (readAhead ? "read ahead" : "serial");
        EXPECT_EQ(sink.records.size(), 4u) << (readAhead ? "read ahead" : "serial");
    }
}

TEST(Scan, FirstLineNeverStraddlesThePreviousFile)
{
    TempTree tree;
    tree.File("d/one", "ab");
    tree.File("d/two", "c\n");
    const auto run = Search(tree.Path("d"), {"ABC"});
    EXPECT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.scanned.size(), 2u);
}

TEST(Header, WordsUpperCasedInListOrderAndEveryFileRead)
{
    TempTree tree;
    tree.File("a", "abc\n");
    tree.File("s/b", "abc\n");
    EXPECT_EQ(Search(tree.Root(), {"abc", "Xyz", "ｆｕｌｌ"}).records[0], "検索文字は、  ABC  XYZ  ＦＵＬＬ");
    const auto none = Search(tree.Root(), {});
    EXPECT_EQ(none.records, Strings{"検索文字は、"});
    EXPECT_EQ(none.scanned.size(), 2u) << "no words: every file is still read";
}

}  // namespace
}  // namespace enginetest
