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
        {"split word reported once, on the second line", "xxab\ncyy\n", {"ABC"}, {"ABC :cyy"}},
        {"split word and in-line hit: two records", "zab\ncabc\n", {"ABC"}, {"ABC :cabc", "ABC :cabc"}},
        {"one-character word never straddles", "a\nb\n", {"AB"}, {"AB :b"}},
        {"one-character word only inside a line", "xa\nay\n", {"A"}, {"A :xa", "A :ay"}},
        {"two words in a line: list order", "xyz abc\n", {"ABC", "XYZ"}, {"ABC :xyz abc", "XYZ :xyz abc"}},
        {"one word three times: one record", "abc abc abc\n", {"ABC"}, {"ABC :abc abc abc"}},
        {"lower-case word finds mixed case; line as written", "The AbC\n", {"abc"}, {"ABC :The AbC"}},
        {"empty file", "", {"ABC"}, {}},
        {"an empty line between breaks the straddle", "ab\n\nc\n", {"ABC"}, {}},
        {"straddle across CR LF (one break, no empty line)", "ab\r\nc\r\n", {"ABC"}, {"ABC :c"}},
        {"straddle across CR alone", "ab\rc", {"ABC"}, {"ABC :c"}},
        {"CR-only file: every line", "abc\rx\rabc", {"ABC"}, {"ABC :abc", "ABC :abc"}},
        {"last line without terminator", "x\nlast abc", {"ABC"}, {"ABC :last abc"}},
        {"word longer than both lines together", "ab\ncd\n", {"ABCDE"}, {}},
        {"straddle must reach into the line", "abcd\ne\n", {"CDE"}, {"CDE :e"}},
        {"word longer than the list allows", "x" + kSixteen + "y\n", {kSixteen}, {kSixteen + " :x" + kSixteen + "y"}},
        {"NUL bytes are characters", std::string("a\0bc\n", 5), {"BC"}, {"BC :" + std::string("a\0bc", 4)}},
        {"full-width letters fold", "ｘａｂｃ\n", {"ａｂｃ"}, {"ＡＢＣ :ｘａｂｃ"}},
        {"one code point upper-cases to one: ß stays ß", "straße\n", {"ß"}, {"ß :straße"}},
        {"UTF-8 BOM not in the line", "\xEF\xBB\xBFxyz \xC3\xA9\n", {"XYZ"}, {"XYZ :xyz \xC3\xA9"}},
        {"UTF-8 cut off in its last character is CP932", "z\xC3\xA9z\n\xC3", {"ﾃｩ"}, {"ﾃｩ :zﾃｩz"}},
        {"Shift-JIS line decoded", "\x8C\x9F\x8D\xF5\x95\xB6\x8E\x9A\r\n", {"検索"}, {"検索 :検索文字"}},
        {"Shift-JIS straddle", "\x8C\x9F\r\n\x8D\xF5\r\n", {"検索"}, {"検索 :索"}},
        {"trail byte 0x5C is no backslash", "\x83\x5C\n", {"\\"}, {}},
        {"trail byte 'a' is no letter A", "\x83\x61\x83\x41\n", {"A"}, {}},
        {"so followed by a real backslash", "\x83\x5C\\\n", {"\\"}, {"\\ :ソ\\"}},
        {"invalid Shift-JIS never matches, shown as U+FFFD", "\x81 a\xFFz\n", {" A"}, {" A :\uFFFD a\uFFFDz"}},
        {"no word joins across an unassigned pair", "\x85@BC\n", {"@BC"}, {}},
        {"CP932 duplicate encodings both match", "\x87\x90 \x81\xE0\n", {"≒ ≒"}, {"≒ ≒ :≒ ≒"}},
        {"word holding a line feed never matches", "a\nb\n", {"A\nB"}, {}},
        {"a file's last line never reaches into the next file", "c\nab", {"ABC"}, {}},
        {"UTF-16LE line decoded", Utf16(u"x\r\n検索です\r\n"), {"検索"}, {"検索 :検索です"}},
        {"UTF-16LE final odd byte", Utf16(u"a") + "b", {"a"}, {"A :a\uFFFD"}},
        {"UTF-16BE straddle across CR LF units", Utf16(u"zab\r\ncd", false), {"ABC"}, {"ABC :cd"}},
        {"EUC-JP line decoded", "\xA4\xB3\xA4\xEC\xA4\xCF\xB8\xA1\xBA\xF7\n", {"検索"}, {"検索 :これは検索"}},
        {"EUC-JP straddle", "\xA4\xA2\xB8\xA1\r\n\xBA\xF7\r\n", {"検索"}, {"検索 :索"}},
        {"EUC-JP full-width and half-width", "\xA4\xA2\xA3\xE1\x8E\xB1\n", {"Ａｱ"}, {"Ａｱ :あａｱ"}},
        {"EUC-JP unassigned: no match, U+FFFD", "\xA4\xA2\xA9\xA1\xA4\xA4\n", {"あ\uFFFDい", "あ"}, {"あ :あ\uFFFDい"}},
        {"ISO-2022-JP: the kanji set lasts across a break", "\x1B$B8!\n:w\x1B(B\n", {"検索"}, {"検索 :索"}},
        // Lines too long to hold are streamed, then read again for their records.
        {"long line, word at the end", a + "\x8C\x9F\x8D\xF5\r\nshort\r\n", {"検索"}, {"検索 :" + shown + "検索"}},
        {"long line, word at the start", "\x8C\x9F\x8D\xF5" + a + "\nshort", {"検索"}, {"検索 :検索" + shown}},
        {"straddle after a long line", x + "ab\ncd\n", {"ABC"}, {"ABC :cd"}},
        {"straddle after a long line, CR LF", x + "ab\r\ncd\r\n", {"ABC"}, {"ABC :cd"}},
        {"straddle into a long line", "zab\nc" + x + "\n", {"ABC"}, {"ABC :c" + x}},
        {"straddle between two long lines", x + "\n" + x + "ab\rc", {"ABC"}, {"ABC :c"}},
        {"even run of lead bytes", evenLeads + "a\nb\n", {"AB", "ヂB"}, {"AB :b"}},
        {"odd run of lead bytes", oddLeads + "a\nb\n", {"AB", "ヂB"}, {"ヂB :b"}},
        {"block boundary in the word", x3 + "\x8C\x9F\x8D\xF5" + y + "\n", {"X検索Y"}, {"X検索Y :" + x3 + "検索" + y}},
        {"a block boundary cuts a CR LF with a word straddling it; a line of blocks ends in half a word; "
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
        rows.push_back(
            {"UTF-8 at first, invalid at the end: CP932", "\xC3\xA9\n" + pad + "\n\x82\xA0\n", {"あ"}, {"あ :あ"}});
    }
    return rows;
}

// Each row's file twice: in the target, which the walk takes first, and
// below it. On one thread the second is scanned after the first. On several,
// with the first one slow, the second is read ahead: its records are held,
// framed in a buffer, until it is the head, either whole or until they pass a
// small bound (a record in parts passes it) and the file goes on directly.
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
        for (const Parallel& path : {kSerial, Parallel{4, 4096, 1, 30}, Parallel{4, 0, 1, 30}}) {
            const auto run = Search(tree.Root(), row.words, path);
            ASSERT_FALSE(run.records.empty());
            EXPECT_EQ(Strings(run.records.begin() + 1, run.records.end()), expected)
                << row.why << ", threads " << path.threads << ", held bytes " << path.heldBytes;
            if (path.heldBytes) {  // at most the bound and the part that passed it
                EXPECT_LE(run.peakHeld, path.heldBytes + 3 * FileScanner::kBlockSize) << row.why;
            }
            heldAhead += run.peakHeld > 0;
        }
        withHits += !row.hits.empty();
    }
    EXPECT_GT(heldAhead, withHits) << "files behind the slow one must be read ahead";
}

}  // namespace
}  // namespace enginetest
