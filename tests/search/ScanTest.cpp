// Matching rules and the result text of one file.
#include "SearchTestSupport.h"
#include "search/engine/FileScanner.h"

namespace enginetest {
namespace {

TEST(ResultText, NoteExample)
{
    TempTree tree;
    tree.Dir("DOCS");
    tree.File("DOCS/NOTE.TXT",
              "first line\r\nhas abc here\r\nABC and xyz\r\nends with ab\r\ncd starts here\r\n");
    RecordingSink sink;
    CancelFlag flag{0};
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({tree.Path("DOCS"), {WordAsAdded("abc"), WordAsAdded("xyz")}});
    const std::string expected = "\r\n検索文字は、  ABC  XYZ"
                                 "\r\n"
                                 "\r\n----- ファイル名 : " + tree.Path("DOCS/NOTE.TXT") + " -----"
                                 "\r\nABC :has abc here"
                                 "\r\nABC :ABC and xyz"
                                 "\r\nXYZ :ABC and xyz"
                                 "\r\nABC :cd starts here";
    EXPECT_EQ(sink.Pane(), expected);
}

struct HitRow {
    const char* why;
    std::string bytes;
    std::vector<std::string> words;
    std::vector<std::string> hits;  // hit records; empty = the file leaves no trace
};

class Hits : public ::testing::TestWithParam<HitRow> {};

TEST_P(Hits, Records)
{
    const HitRow& row = GetParam();
    const auto expected = row.hits.empty() ? std::vector<std::string>{} : Block(row.hits);
    EXPECT_EQ(HitsIn(row.bytes, row.words), expected) << row.why;
}

INSTANTIATE_TEST_SUITE_P(
    Matching, Hits,
    ::testing::Values(
        HitRow{"split word reported once, on the second line", "xxab\ncyy\n", {"ABC"},
               {"ABC :cyy"}},
        HitRow{"split word and in-line hit give two identical records", "zab\ncabc\n", {"ABC"},
               {"ABC :cabc", "ABC :cabc"}},
        HitRow{"one-character word never straddles", "a\nb\n", {"AB"}, {"AB :b"}},
        HitRow{"one-character word is only found inside a line", "xa\nay\n", {"A"},
               {"A :xa", "A :ay"}},
        HitRow{"a line with two words: list order, not line order", "xyz abc\n", {"ABC", "XYZ"},
               {"ABC :xyz abc", "XYZ :xyz abc"}},
        HitRow{"one word three times gives one record", "abc abc abc\n", {"ABC"},
               {"ABC :abc abc abc"}},
        HitRow{"lower-case word finds mixed case, record shows the line as written",
               "The AbC here\n", {"abc"}, {"ABC :The AbC here"}},
        HitRow{"two hits in one file: one banner", "abc\nno\nabc2\n", {"ABC"},
               {"ABC :abc", "ABC :abc2"}},
        HitRow{"no hits: no trace", "nothing here\n", {"ABC"}, {}},
        HitRow{"empty file", "", {"ABC"}, {}},
        HitRow{"empty line between breaks the straddle", "ab\n\nc\n", {"ABC"}, {}},
        HitRow{"straddle across CR LF", "ab\r\nc\r\n", {"ABC"}, {"ABC :c"}},
        HitRow{"straddle across CR alone", "ab\rc", {"ABC"}, {"ABC :c"}},
        HitRow{"CR-only file: every line", "abc\rx\rabc", {"ABC"}, {"ABC :abc", "ABC :abc"}},
        HitRow{"CR LF pair is one break, not an empty line", "ab\r\ncd", {"ABCD"}, {"ABCD :cd"}},
        HitRow{"last line without terminator", "x\nlast abc", {"ABC"}, {"ABC :last abc"}},
        HitRow{"word longer than both lines together", "ab\ncd\n", {"ABCDE"}, {}},
        HitRow{"straddle needs the word to reach into the line", "abcd\ne\n", {"CDE"},
               {"CDE :e"}},
        HitRow{"NUL bytes are characters", std::string("a\0bc\n", 5), {"BC"},
               {"BC :" + std::string("a\0bc", 4)}},
        HitRow{"full-width letters fold", "ｘａｂｃ\n", {"ａｂｃ"}, {"ＡＢＣ :ｘａｂｃ"}},
        HitRow{"Greek folds", "λόγος ΑΒΓ αβγ\n", {"αβγ"}, {"ΑΒΓ :λόγος ΑΒΓ αβγ"}},
        HitRow{"long s upper-cases to S", "\xC5\xBF" "x\n", {"S"}, {"S :\xC5\xBF" "x"}},
        HitRow{"sharp s is not SS", "strasse straße\n", {"STRAßE"}, {"STRAßE :strasse straße"}},
        HitRow{"UTF-8 with BOM: BOM not in the line", "\xEF\xBB\xBF" "abc \xC3\xA9\n",
               {"ABC"}, {"ABC :abc \xC3\xA9"}},
        HitRow{"UTF-8 without BOM", "caf\xC3\xA9 ABC\n", {"CAFÉ"}, {"CAFÉ :caf\xC3\xA9 ABC"}},
        HitRow{"Shift-JIS line decoded in the record", "\x8C\x9F\x8D\xF5\x95\xB6\x8E\x9A\r\n",
               {"検索"}, {"検索 :検索文字"}},
        HitRow{"Shift-JIS straddle", "\x8C\x9F\r\n\x8D\xF5\r\n", {"検索"}, {"検索 :索"}},
        HitRow{"trail byte 0x5C is no backslash", "\x83\x5C\n", {"\\"}, {}},
        HitRow{"trail byte 'a' is no letter A", "\x83\x61\x83\x41\n", {"A"}, {}},
        HitRow{"so followed by a real backslash", "\x83\x5C\\\n", {"\\"}, {"\\ :ソ\\"}},
        HitRow{"invalid Shift-JIS bytes never match, shown as U+FFFD", "\x81 a\xFF" "b\n",
               {" A"}, {" A :\xEF\xBF\xBD a\xEF\xBF\xBD" "b"}},
        HitRow{"a lead byte cannot join a word across the invalid byte", "\x85\x40" "BC\n",
               {"@BC"}, {}},
        HitRow{"ASCII-only file with a word in upper case", "ERROR: x\n", {"error"},
               {"ERROR :ERROR: x"}},
        HitRow{"CP932 duplicate encodings both match", "\x87\x90 \x81\xE0\n", {"≒ ≒"},
               {"≒ ≒ :≒ ≒"}},
        HitRow{"word holding a line feed never matches", "a\nb\n", {"A\nB"}, {}}));

TEST(Scan, LongLinesAcrossBlockBoundaries)
{
    // A CR LF split exactly at a block boundary with a word straddling it, a
    // line of several blocks ending in half a word, and a hit deep in a
    // line longer than a block.
    const std::size_t block = FileScanner::kBlockSize;
    std::string bytes(block - 3, 'x');
    bytes += "ab\r\ncq\n";  // CR is the last byte of the first block
    bytes += std::string(3 * block, 'y') + "ab\ncz\n";
    bytes += std::string(block / 2, 'q') + "needle" + std::string(block, 'q') + "\n";
    const auto hits = HitsIn(bytes, {"ABC", "NEEDLE"});
    ASSERT_EQ(hits.size(), 5u);
    EXPECT_EQ(hits[2], "ABC :cq");
    EXPECT_EQ(hits[3], "ABC :cz");
    EXPECT_EQ(hits[4].substr(0, 8), "NEEDLE :");
    EXPECT_EQ(hits[4].size(), 8 + block / 2 + 6 + block);
}

TEST(Scan, StraddleIntoTheNextRead)
{
    // The previous line ends in one read and the next line starts in (or
    // crosses into) the next one.
    const std::size_t block = FileScanner::kBlockSize;
    for (std::size_t before : {1u, 2u, 3u, 4u, 12u}) {
        std::string bytes(block - before - 3, 'x');
        bytes += "ab\n";
        bytes += "c" + std::string(20, 'z') + "\n";
        EXPECT_EQ(HitsIn(bytes, {"ABC"}), Block({"ABC :c" + std::string(20, 'z')}))
            << before << " bytes of the next line in the first read";
    }
}

TEST(Scan, LargeFileEncodingDecidedOnTheWholeFile)
{
    // ASCII for more than a block, then a single UTF-8 character: the file is
    // UTF-8. The same with a Shift-JIS character: CP932. The larger pad goes
    // past what the reader holds back while the encoding is open.
    for (const std::size_t padSize : {std::size_t{5} << 20, std::size_t{9} << 20}) {
    const std::string pad(padSize, 'a');
    std::string utf8 = pad + "\nz\xC3\xA9z\n";
    EXPECT_EQ(HitsIn(utf8, {"ZÉZ"}), Block({"ZÉZ :z\xC3\xA9z"}));
    std::string sjis = pad + "\nz\x83\x5Cz\n";
    EXPECT_EQ(HitsIn(sjis, {"ZソZ"}), Block({"ZソZ :zソz"}));
    // Valid UTF-8 for the first block, invalid at the end: CP932 throughout.
    std::string mixed = "\xC3\xA9\n" + pad + "\n\x82\xA0\n";
    EXPECT_EQ(HitsIn(mixed, {"あ"}), Block({"あ :あ"}));
    }
}

TEST(Scan, FirstLineNeverStraddlesThePreviousFile)
{
    TempTree tree;
    tree.Dir("d");
    tree.File("d/one", "ab");
    tree.File("d/two", "c\n");
    const auto run = Search(tree.Path("d"), {"ABC"});
    EXPECT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.scanned.size(), 2u);
}

TEST(ResultText, WordLongerThanTheListAllowsStillGivesItsRecord)
{
    // The list cuts words to 10 characters, the engine does not rely on it.
    const std::string word = "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ";
    EXPECT_EQ(HitsIn("x" + word + "y\n", {word}), Block({word + " :x" + word + "y"}));
}

TEST(Header, WordsUpperCasedInListOrder)
{
    TempTree tree;
    EXPECT_EQ(Search(tree.Root(), {"abc", "Xyz", "ｆｕｌｌ"}).records,
              (std::vector<std::string>{"検索文字は、  ABC  XYZ  ＦＵＬＬ"}));
    EXPECT_EQ(Search(tree.Root(), {}).records, (std::vector<std::string>{"検索文字は、"}));
}

TEST(Header, NoWordsStillReadsEveryFile)
{
    TempTree tree;
    tree.File("a", "abc\n");
    tree.File("s/b", "abc\n");
    const auto run = Search(tree.Root(), {});
    EXPECT_EQ(run.records.size(), 1u);
    EXPECT_EQ(run.scanned.size(), 2u);
}

TEST(WordList, WordAsAdded)
{
    EXPECT_EQ(WordAsAdded("abcdefghijklm"), "ABCDEFGHIJ");
    EXPECT_EQ(WordAsAdded("あいうえおかきくけこさ"), "あいうえおかきくけこ");
    EXPECT_EQ(WordAsAdded("ａｂ"), "ＡＢ");
    EXPECT_EQ(WordAsAdded(" x "), " X ") << "spaces are kept";
}

}  // namespace
}  // namespace enginetest
