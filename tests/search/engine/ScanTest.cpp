// The matching rules and the result text of a file, on both read paths.
#include "search/engine/EngineTestSupport.h"
#include "search/engine/FileScanner.h"

namespace enginetest {
namespace {

struct ScanRow {
    const char* why;
    std::string bytes;
    Strings words;
    Strings hits;  // empty: the file leaves no trace
};

const std::string kSixteen = "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ";

std::vector<ScanRow> Rows()
{
    const std::size_t block = FileScanner::kBlockSize, kLong = FileScanner::kHoldLimit * 5 / 2;
    std::string a, shown;  // a line too long to hold: あ in Shift-JIS and in the record
    for (std::size_t k = 0; k < kLong / 2; ++k) a += "\x82\xA0", shown += "あ";
    const std::string x(kLong, 'x'), x3(3 * block - 1, 'x'), y(block, 'y'), q(block / 2, 'q');
    // 0x83 repeated, then 'a': an even run pairs up as ャ and leaves 'a', an
    // odd run pairs its last 0x83 with 'a' as ヂ; only stepping through every
    // byte from the line start tells them apart.
    const std::string evenLeads(kLong, '\x83'), oddLeads(kLong + 1, '\x83');
    std::vector<ScanRow> rows{
        ScanRow{"split word reported once, on the second line", "xxab\ncyy\n", {"ABC"}, {"ABC :cyy"}},
        ScanRow{"split word and in-line hit: two identical records",
                "zab\ncabc\n",
                {"ABC"},
                {"ABC :cabc", "ABC :cabc"}},
        ScanRow{"one-character word never straddles", "a\nb\n", {"AB"}, {"AB :b"}},
        ScanRow{"one-character word only inside a line", "xa\nay\n", {"A"}, {"A :xa", "A :ay"}},
        ScanRow{"two words in a line: list order, not line order",
                "xyz abc\n",
                {"ABC", "XYZ"},
                {"ABC :xyz abc", "XYZ :xyz abc"}},
        ScanRow{"one word three times: one record", "abc abc abc\n", {"ABC"}, {"ABC :abc abc abc"}},
        ScanRow{"lower-case word finds mixed case; line shown as written",
                "The AbC here\n",
                {"abc"},
                {"ABC :The AbC here"}},
        ScanRow{"two hits in one file: one banner", "abc\nno\nabc2\n", {"ABC"}, {"ABC :abc", "ABC :abc2"}},
        ScanRow{"no hits: no trace", "nothing here\n", {"ABC"}, {}},
        ScanRow{"empty file", "", {"ABC"}, {}},
        ScanRow{"an empty line between breaks the straddle", "ab\n\nc\n", {"ABC"}, {}},
        ScanRow{"straddle across CR LF (one break, no empty line)", "ab\r\nc\r\n", {"ABC"}, {"ABC :c"}},
        ScanRow{"straddle across CR alone", "ab\rc", {"ABC"}, {"ABC :c"}},
        ScanRow{"CR-only file: every line", "abc\rx\rabc", {"ABC"}, {"ABC :abc", "ABC :abc"}},
        ScanRow{"last line without terminator", "x\nlast abc", {"ABC"}, {"ABC :last abc"}},
        ScanRow{"word longer than both lines together", "ab\ncd\n", {"ABCDE"}, {}},
        ScanRow{"straddle must reach into the line", "abcd\ne\n", {"CDE"}, {"CDE :e"}},
        ScanRow{"word longer than the list allows",
                "x" + kSixteen + "y\n",
                {kSixteen},
                {kSixteen + " :x" + kSixteen + "y"}},
        ScanRow{"NUL bytes are characters", std::string("a\0bc\n", 5), {"BC"}, {"BC :" + std::string("a\0bc", 4)}},
        ScanRow{"full-width letters fold", "ｘａｂｃ\n", {"ａｂｃ"}, {"ＡＢＣ :ｘａｂｃ"}},
        ScanRow{"UTF-8 with BOM: BOM not in the line",
                "\xEF\xBB\xBF"
                "abc \xC3\xA9\n",
                {"ABC"},
                {"ABC :abc \xC3\xA9"}},
        ScanRow{"UTF-8 without BOM", "caf\xC3\xA9 ABC\n", {"CAFÉ"}, {"CAFÉ :caf\xC3\xA9 ABC"}},
        ScanRow{"Shift-JIS line decoded in the record",
                "\x8C\x9F\x8D\xF5\x95\xB6\x8E\x9A\r\n",
                {"検索"},
                {"検索 :検索文字"}},
        ScanRow{"Shift-JIS straddle", "\x8C\x9F\r\n\x8D\xF5\r\n", {"検索"}, {"検索 :索"}},
        ScanRow{"trail byte 0x5C is no backslash", "\x83\x5C\n", {"\\"}, {}},
        ScanRow{"trail byte 'a' is no letter A", "\x83\x61\x83\x41\n", {"A"}, {}},
        ScanRow{"so followed by a real backslash", "\x83\x5C\\\n", {"\\"}, {"\\ :ソ\\"}},
        ScanRow{"invalid Shift-JIS never matches, shown as U+FFFD",
                "\x81 a\xFF"
                "b\n",
                {" A"},
                {" A :\xEF\xBF\xBD a\xEF\xBF\xBD"
                 "b"}},
        ScanRow{"no word joins across an unassigned pair",
                "\x85\x40"
                "BC\n",
                {"@BC"},
                {}},
        ScanRow{"CP932 duplicate encodings both match", "\x87\x90 \x81\xE0\n", {"≒ ≒"}, {"≒ ≒ :≒ ≒"}},
        ScanRow{"word holding a line feed never matches", "a\nb\n", {"A\nB"}, {}},
        ScanRow{"UTF-16LE line decoded in the record", Utf16(u"x\r\n検索です\r\n"), {"検索"}, {"検索 :検索です"}},
        ScanRow{"UTF-16BE straddle across CR LF units", Utf16(u"zab\r\ncd", false), {"ABC"}, {"ABC :cd"}},
        ScanRow{"UTF-16: full-width ａ found by Ａ", Utf16(u"\uFF41\uFF42"), {"ＡＢ"}, {"ＡＢ :ａｂ"}},
        ScanRow{"UTF-16: a 0x0A byte inside a unit ends no line", Utf16(u"\u010Aab"), {"ċa"}, {"ĊA :Ċab"}},
        ScanRow{"UTF-16: unpaired surrogate never matched, shown as U+FFFD",
                std::string("\xFF\xFE"
                            "a\0\x3D\xD8"
                            "b\0a\0",
                            10),
                {"ab", "\uFFFD", "ba"},
                {"BA :a\uFFFDba"}},
        ScanRow{"UTF-16: final odd byte",
                std::string("\xFF\xFE"
                            "a\0"
                            "b",
                            5),
                {"a"},
                {"A :a\uFFFD"}},
        ScanRow{"EUC-JP line decoded in the record",
                "\xA4\xB3\xA4\xEC\xA4\xCF\xB8\xA1\xBA\xF7\n",
                {"検索"},
                {"検索 :これは検索"}},
        ScanRow{"EUC-JP straddle", "\xA4\xA2\xB8\xA1\r\n\xBA\xF7\r\n", {"検索"}, {"検索 :索"}},
        ScanRow{"EUC-JP: full-width ａ found by Ａ, half-width katakana",
                "\xA4\xA2\xA3\xE1\x8E\xB1\n",
                {"Ａｱ"},
                {"Ａｱ :あａｱ"}},
        ScanRow{"EUC-JP: an unassigned character never matches, shown as U+FFFD",
                "\xA4\xA2\xA9\xA1\xA4\xA4\n",
                {"あ\uFFFDい", "あ"},
                {"あ :あ\uFFFDい"}},
        ScanRow{"ISO-2022-JP: the kanji set lasts across the break of a straddle",
                "\x1B$B8!\n:w\x1B(B\n",
                {"検索"},
                {"検索 :索"}},
        ScanRow{"ISO-2022-JP: JIS Roman and half-width katakana",
                "\x1B$B$\"\x1B(J\\\x1B(I1\x1B(B\n",
                {"¥ｱ"},
                {"¥ｱ :あ¥ｱ"}},
        ScanRow{"ISO-2022-JP: an unknown escape is invalid, not skipped",
                "\x1B$B#a\x1B(Ba\x1B(Kb\n",
                {"ab", "ａa"},
                {"ＡA :ａa\uFFFDb"}},
        ScanRow{"a file's last line never reaches into the next file", "c\nab", {"ABC"}, {}},
        ScanRow{"UTF-8 cut off inside its last character is CP932", "z\xC3\xA9z\n\xC3", {"ﾃｩ"}, {"ﾃｩ :zﾃｩz"}},
        // Lines too long to hold are streamed, then read again for their records.
        ScanRow{"long line, word at the end",
                a + "\x8C\x9F\x8D\xF5\r\nshort\r\n",
                {"検索"},
                {"検索 :" + shown + "検索"}},
        ScanRow{"long line, word at the start", "\x8C\x9F\x8D\xF5" + a + "\nshort", {"検索"}, {"検索 :検索" + shown}},
        ScanRow{"straddle after a long line", x + "ab\ncd\n", {"ABC"}, {"ABC :cd"}},
        ScanRow{"straddle after a long line, CR LF", x + "ab\r\ncd\r\n", {"ABC"}, {"ABC :cd"}},
        ScanRow{"straddle into a long line", "zab\nc" + x + "\n", {"ABC"}, {"ABC :c" + x}},
        ScanRow{"straddle between two long lines", x + "\n" + x + "ab\rc", {"ABC"}, {"ABC :c"}},
        ScanRow{"even run of lead bytes", evenLeads + "a\nb\n", {"AB", "ヂB"}, {"AB :b"}},
        ScanRow{"odd run of lead bytes", oddLeads + "a\nb\n", {"AB", "ヂB"}, {"ヂB :b"}},
        ScanRow{"a block boundary cuts the word's bytes",
                x3 + "\x8C\x9F\x8D\xF5" + y + "\n",
                {"X検索Y"},
                {"X検索Y :" + x3 + "検索" + y}},
        ScanRow{"a block boundary cuts a CR LF with a word straddling it; a line of blocks ends in half a word; "
                "a hit deep in a line longer than a block",
                std::string(block - 3, 'x') + "ab\r\ncq\n" + std::string(3 * block, 'y') + "ab\ncz\n" + q + "needle"
                    + std::string(block, 'q') + "\n",
                {"ABC", "NEEDLE"},
                {"ABC :cq", "ABC :cz", "NEEDLE :" + q + "needle" + std::string(block, 'q')}},
    };
    // ASCII for more than a block, then one UTF-8 or Shift-JIS character: the
    // encoding is decided on the whole file. The larger pad goes past what the
    // reader holds back while the encoding is open.
    for (const std::size_t size : {std::size_t{5} << 20, std::size_t{9} << 20}) {
        const std::string pad(size, 'a');
        rows.push_back({"UTF-8 after a long ASCII start", pad + "\nz\xC3\xA9z\n", {"ZÉZ"}, {"ZÉZ :z\xC3\xA9z"}});
        rows.push_back({"Shift-JIS after a long ASCII start", pad + "\nz\x83\x5Cz\n", {"ZソZ"}, {"ZソZ :zソz"}});
        rows.push_back({"valid UTF-8 at first, invalid at the end: CP932 throughout",
                        "\xC3\xA9\n" + pad + "\n\x82\xA0\n",
                        {"あ"},
                        {"あ :あ"}});
    }
    return rows;
}

// Each row's file twice: in the target, which the walk takes first (and the
// read-ahead path makes slow), and below it, scanned after the first or
// ahead of it. Both give the same records.
TEST(Scan, EveryCaseOnBothReadPaths)
{
    int withHits = 0, heldAhead = 0;
    for (const ScanRow& row : Rows()) {
        TempTree tree;
        Strings expected;
        for (const std::string file : {"f", "s/f"}) {
            tree.File(file, row.bytes);
            if (row.hits.empty()) continue;
            expected.insert(expected.end(), {"", Banner(tree.Path(file))});
            expected.insert(expected.end(), row.hits.begin(), row.hits.end());
        }
        for (const Parallel& path : {kSerial, kReadAhead}) {
            const auto run = Search(tree.Root(), row.words, path);
            ASSERT_FALSE(run.records.empty());
            EXPECT_EQ(Strings(run.records.begin() + 1, run.records.end()), expected)
                << row.why << (path.threads == 1 ? ", serial" : ", read ahead");
            EXPECT_LE(run.peakHeld, path.heldBytes + 3 * FileScanner::kBlockSize) << row.why;
            heldAhead += run.peakHeld > 0;
        }
        withHits += !row.hits.empty();
    }
    EXPECT_GT(heldAhead, withHits / 2) << "files behind the slow one must be read ahead";
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
    tree.File("first", "");
    for (const Parallel& path : {kSerial, kReadAhead}) {
        tree.File("s/grows", "\x82\xA0 abc\n" + std::string(std::size_t{10} << 20, '\n'));
        AppendingSink sink;
        sink.path = tree.Path("s/grows");
        SearchInto(sink, tree.Root(), {"abc"}, path);
        EXPECT_EQ(sink.records, (Strings{"検索文字は、  ABC", "", Banner(sink.path), "ABC :あ abc"})) << path.threads;
    }
}

}  // namespace
}  // namespace enginetest
