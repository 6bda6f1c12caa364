#include "text/TextCodec.h"

#include <gtest/gtest.h>

#include "text/EncodingDetector.h"
#include "text/StreamDecoder.h"

#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace textrove::text;

namespace {

constexpr char32_t X = kInvalid;
using Strings = std::vector<std::string>;

TEST(Decode, Rows)
{
    // Invalid pieces must not swallow the character that follows them.
    const Encoding S = Encoding::Cp932, U = Encoding::Utf8, L = Encoding::Utf16Le, B = Encoding::Utf16Be,
                   E = Encoding::EucJp, I = Encoding::Iso2022Jp;
    const std::vector<std::tuple<const char*, Encoding, std::string, std::u32string>> rows = {
        {"yen sign byte stays a backslash, overline byte a tilde", S, "\x5C\x7E", U"\\~"},
        {"hiragana and kanji", S, "\x82\xA0\x8A\xBF\x8E\x9A", U"あ漢字"},
        {"half-width katakana single bytes", S, "\xB1\xDD", U"ｱﾝ"},
        {"trail byte in the ASCII range: so", S, "\x83\x5C", U"ソ"},
        {"trail byte 'a' belongs to its lead", S, "\x83\x61", U"ヂ"},
        {"NEC and IBM duplicates decode alike", S, "\x87\x90\x81\xE0\xED\x40\xFA\x5C", U"≒≒纊纊"},
        {"user-defined area to private use", S, "\xF0\x40", U"\uE000"},
        {"lead byte then space: space stays", S, "\x81\x20", {X, U' '}},
        {"lead byte then LF: LF stays",
         S,
         "\x83\x0A"
         "b",
         {X, U'\n', U'b'}},
        {"lead byte at the end", S, "a\x83", {U'a', X}},
        {"lead byte then 0x7F", S, "\x82\xA0\x81\x7F", {U'あ', X, 0x7F}},
        {"unassigned double byte is one invalid character", S, "\x85\x40x", {X, U'x'}},
        {"bytes that no table maps", S, "\x80\xA0\xFD\xFE\xFF", {X, X, X, X, X}},
        {"NUL and control codes are themselves", S, std::string("\0\x1A\x1C\x7F", 4), {0, 0x1A, 0x1C, 0x7F}},
        {"two, three and four bytes", U, "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", U"aéあ😀"},
        {"stray continuation byte",
         U,
         "a\x80"
         "b",
         {U'a', X, U'b'}},
        {"truncated sequence keeps the next ASCII byte",
         U,
         "\xE3\x81"
         "a",
         {X, U'a'}},
        {"overlong slash", U, "\xC0\xAF", {X, X}},
        {"surrogate", U, "\xED\xA0\x80", {X, X, X}},
        {"UTF-16LE: BMP and a surrogate pair", L, std::string("a\0\x42\x30\x3D\xD8\x00\xDE", 8), U"aあ😀"},
        {"UTF-16BE", B, std::string("\0a\x30\x42\xD8\x3D\xDE\x00", 8), U"aあ😀"},
        {"lead surrogate before an ordinary unit",
         L,
         std::string("\x3D\xD8"
                     "a\0",
                     4),
         {X, U'a'}},
        {"trail surrogate alone", L, std::string("\x00\xDE", 2), {X}},
        {"lead surrogate at the end, then the final odd byte",
         L,
         "\x3D\xD8"
         "a",
         {X, X}},
        {"final odd byte", B, std::string("\0ab", 3), {U'a', X}},
        {"CR LF code units; bytes 0A and 0D inside units are no line ends", L,
         std::string("\r\0\n\0\x0A\x01\x0A\x0D", 8), U"\r\nĊഊ"},
        {"EUC-JP: hiragana, kanji, ASCII", E,
         "\xA4\xA2\xB4\xC1"
         "a",
         U"あ漢a"},
        {"EUC-JP: half-width katakana and a JIS X 0212 kanji", E, "\x8E\xB1\x8F\xB0\xA1", U"ｱ丂"},
        {"EUC-JP: wave dash as in CP932, NEC row 13", E, "\xA1\xC1\xAD\xA1", U"～①"},
        {"EUC-JP: unassigned well-formed character is one invalid",
         E,
         "\xA9\xA1"
         "a",
         {X, U'a'}},
        {"EUC-JP: lead without trail keeps the next byte",
         E,
         "\xA4"
         "a\xA4",
         {X, U'a', X}},
        {"EUC-JP: 8E takes only half-width katakana",
         E,
         "\x8E\xE0"
         "a",
         {X, X, U'a'}},
        {"EUC-JP: bytes that start nothing", E, "\x80\xA0\xFF", {X, X, X}},
        {"ISO-2022-JP: kanji, back to ASCII", I, "\x1B$B$\"4A\x1B(Bb", U"あ漢b"},
        {"ISO-2022-JP: ESC $ @ as ESC $ B", I, "\x1B$@$\"", U"あ"},
        {"ISO-2022-JP: JIS Roman yen and overline", I, "\x1B(J\\~a", U"¥‾a"},
        {"ISO-2022-JP: half-width katakana, out of range", I, "\x1B(I1_`", {U'ｱ', U'ﾟ', X}},
        {"ISO-2022-JP: the designation lasts across line ends", I, "\x1B$B$\"\r\n$\"", U"あ\r\nあ"},
        {"ISO-2022-JP: half a pair before a line end", I, "\x1B$B$\n", {X, U'\n'}},
        {"ISO-2022-JP: space and controls stay in kanji mode", I, "\x1B$B$\" \t$\"", U"あ \tあ"},
        {"ISO-2022-JP: unknown escapes are invalid, not skipped",
         I,
         "\x1B[31mx\x1B$(D!!\x1B",
         {X, U'3', U'1', U'm', U'x', X, U'!', U'!', X}},
        {"ISO-2022-JP: unknown escape keeps the designation", I, "\x1B$B\x1B(K$\"", {X, U'あ'}},
        {"ISO-2022-JP: unassigned pair, byte above 0x7F", I, "\x1B$B)!\x1B(B\xA4", {X, X}},
    };
    for (const auto& [why, encoding, bytes, expected] : rows) EXPECT_EQ(Decode(bytes, encoding), expected) << why;
    std::string ascii;
    std::u32string same;
    for (char32_t b = 0; b < 0x80; ++b) ascii += static_cast<char>(b), same += b;
    EXPECT_EQ(Decode(ascii, S), same) << "every byte below 0x80 is itself";

    std::u32string out = U"前";
    DecodeAppend("\x82\xA0", S, out);
    DecodeAppend("\x81", S, out);
    EXPECT_EQ(out, (std::u32string{U'前', U'あ', X})) << "append keeps earlier text";
    EXPECT_EQ(Cp932ToUtf8("\x83\x5C\x81 a"), "ソ\xEF\xBF\xBD a");
    EXPECT_EQ(Utf8ToU32("a\xFF"), U"a\uFFFD");
    EXPECT_EQ(U32ToUtf8(std::u32string{U'a', X, U'😀'}), "a\xEF\xBF\xBD\xF0\x9F\x98\x80") << "invalid shown as U+FFFD";
    EXPECT_EQ(LossyUtf8("dir\xFF/\xE3\x81\x82"), "dir\xEF\xBF\xBD/\xE3\x81\x82");
}

TEST(Decode, Cp932ConvertersArePerThread)
{
    const std::string line = "\x83\x5C\x81 \x82\xA0"
                             "abc";
    const std::u32string expected = Decode(line, Encoding::Cp932);
    std::vector<int> bad(4, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) bad[t] += Decode(line, Encoding::Cp932) != expected;
        });
    for (auto& th : threads) th.join();
    EXPECT_EQ(bad, std::vector<int>(4, 0));
}

TEST(Utf8Validity, Rows)
{
    // Boundaries of the word-at-a-time and vector paths.
    const std::vector<std::pair<std::string, bool>> rows = {
        {"abcdefghijklmnopq", true},                     // ASCII longer than a word
        {"\xF4\x8F\xBF\xBF", true},                      // largest code point
        {"\xF4\x90\x80\x80", false},                     // past U+10FFFF
        {"abcdefgh\xE3\x81", false},                     // truncated after ASCII words
        {std::string(63, 'a') + "\x80", false},          // end of a 64-byte stretch
        {std::string(64, 'a') + "\xE3\x81", false},      // just after one
        {std::string(70, 'a') + "\xED\xA0\x80", false},  // surrogate after long ASCII
        {"\xE3\x81\x82\xEF\xBC\xA1\xE9\xBE\x8D", true},  // three-byte characters back to back
    };
    for (const auto& [bytes, valid] : rows) {
        bool high = false;
        EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes.size();
        EXPECT_EQ(IsValidUtf8(bytes, high), valid) << bytes.size();
        if (valid) {
            EXPECT_EQ(high, HasHighByte(bytes)) << bytes.size();
        }
    }
    for (std::size_t at : {0u, 7u, 31u, 32u, 63u, 64u, 65u, 127u, 199u}) {
        std::string s(200, 'x');
        s[at] = '\x80';
        EXPECT_TRUE(HasHighByte(s)) << at;
    }
    EXPECT_FALSE(HasHighByte(std::string(200, 'x')));
}

TEST(Utf8Validity, LongRandomTextAgreesWithTheDecoder)
{
    // The decoder marks every invalid sequence, so both must agree on any input.
    std::mt19937 rng(2024);
    const std::vector<std::string> pieces = {
        "a", "\n", "\xC3\xA9", "\xE3\x81\x82", "\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"};
    int invalid = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        for (std::size_t n = rng() % 120; n > 0; --n) s += pieces[rng() % pieces.size()];
        for (int damage = round % 3; damage > 0 && !s.empty(); --damage) s[rng() % s.size()] = static_cast<char>(rng());
        if (round % 5 == 0 && !s.empty()) s.pop_back();
        const bool expected = Decode(s, Encoding::Utf8).find(kInvalid) == std::u32string::npos;
        invalid += !expected;
        bool high = false;
        ASSERT_EQ(IsValidUtf8(s, high), expected) << "round " << round;
        if (expected) {
            ASSERT_EQ(high, HasHighByte(s)) << "round " << round;
        }
    }
    EXPECT_GT(invalid, 3000);
}

TEST(EncodingDetection, Rows)
{
    const Encoding S = Encoding::Cp932, U = Encoding::Utf8, L = Encoding::Utf16Le, B = Encoding::Utf16Be,
                   E = Encoding::EucJp, I = Encoding::Iso2022Jp;
    const std::string kana = "\xA4\xA2", kanji = "\xB4\xC1";  // あ 漢 in EUC-JP
    auto pad = [&kana](std::size_t n) {  // n bytes of EUC-JP kana, so 8F lands where wanted in a 64-byte block
        std::string s = n % 2 ? "a" : "";
        for (std::size_t k = 0; k < n / 2; ++k) s += kana;
        return s;
    };
    const std::string three = "\x8F\xB0\xA1";
    const std::vector<std::tuple<const char*, std::string, Encoding>> rows = {
        {"plain ASCII is read as CP932", "hello", S},
        {"empty file", "", S},
        {"valid UTF-8 with a high byte", "h\xC3\xA9", U},
        {"BOM alone counts as UTF-8", "\xEF\xBB\xBF", U},
        {"Shift-JIS", "\x82\xA0", S},
        {"UTF-8 broken at the very end", "\xE3\x81\x82\xE3", S},
        {"FF FE: UTF-16LE",
         std::string("\xFF\xFE"
                     "a\0",
                     4),
         L},
        {"FE FF: UTF-16BE", std::string("\xFE\xFF\0a", 4), B},
        {"byte-order mark alone", "\xFF\xFE", L},
        {"byte-order mark and an odd byte",
         "\xFE\xFF"
         "a",
         B},
        {"byte-order mark before Shift-JIS bytes", "\xFF\xFE\x82\xA0\x82", L},
        {"FF FE later in the file is no mark", "a\xFF\xFE", S},
        {"ESC $ B and ASCII: ISO-2022-JP", "\x1B$B$\"\x1B(B", I},
        {"ESC $ @ and ASCII", "a\x1B$@", I},
        {"UTF-8 mark then ISO-2022-JP: the mark is dropped first", "\xEF\xBB\xBF\x1B$B$\"", I},
        {"ESC ( B alone is not enough", "\x1B(Ba", S},
        {"terminal colours stay CP932", "\x1B[31mred\x1B[0m\n", S},
        {"ESC $ cut off at the end", "abc\x1B$", S},
        {"ESC $ B and a byte above 0x7F is no ISO-2022-JP", "\x1B$B\x82\xA0", S},
        {"ESC $ B and valid UTF-8 is UTF-8", "\x1B$B\xC3\xA9", U},
        {"EUC-JP hiragana", kana + kana, E},
        {"EUC-JP half-width and three-byte characters with kana", "\x8E\xB1" + kana + "\x8F\xB0\xA1", E},
        {"kana exactly a fifth", kana + kanji + kanji + kanji + kanji, E},
        {"kana below a fifth", kana + kanji + kanji + kanji + kanji + kanji, S},
        {"EUC-JP kanji alone keeps CP932", kanji + kanji, S},
        {"UTF-8 mark then EUC-JP: the mark is dropped first", "\xEF\xBB\xBF" + kana, E},
        {"unassigned but well-formed EUC-JP counts", kana + "\xA9\xA1", E},
        {"EUC-JP cut off at the end", kana + "\xA4", S},
        {"8E before a byte past DF", kana + "\x8E\xE0", S},
        {"well-formed EUC-JP that is valid UTF-8 is UTF-8", "\xC3\xA4\xC3\xA5", U},
        {"half-width katakana only (odd count)", "\xB1\xB2\xB3", S},
        {"half-width katakana that is well-formed EUC-JP", "\xB1\xB2\xB3\xB4\xDD\xC4", S},
        {"a lone FF byte in the middle",
         "abc\xFF"
         "def",
         S},
        {"a lone FF byte in EUC-JP", kana + "\xFF" + kana, S},
        {"8F and its trails end a 64-byte block", pad(61) + three + pad(40), E},
        {"8F in the last two bytes of a block", pad(62) + three + pad(40) + three, E},
        {"8F last in a block", pad(63) + three + pad(40), E},
        {"8F before an ASCII byte",
         pad(20)
             + "\x8F\xB0"
               "a"
             + pad(60),
         S},
        {"8F where a trail is due", pad(20) + "\xA4" + three + pad(60), S},
        {"8F after 8F", pad(20) + "\x8F" + three + pad(60), S},
    };
    for (const auto& [why, bytes, expected] : rows) {
        EXPECT_EQ(DetectEncoding(bytes), expected) << why;
        EncodingDetector fed;  // byte by byte, stopping once settled
        for (std::size_t i = 0; i < bytes.size() && fed.Feed(reinterpret_cast<const unsigned char*>(&bytes[i]), 1);
             ++i) { }
        EXPECT_EQ(fed.Finish(), expected) << why << " (fed byte by byte)";
    }
    EXPECT_EQ(Utf8BomLength("\xEF\xBB\xBF"
                            "a"),
              3u);
    EXPECT_EQ(Utf8BomLength("\xEF\xBB"), 0u);
}

TEST(EncodingDetection, FedInAnySplitItAgreesWithTheWholeFile)
{
    std::mt19937 rng(5);
    const std::vector<Strings> alphabets = {
        {"a", "\xC3\xA9", "\xE3\x81\x82", "\xF0\x9F\x98\x80", "\n"},                    // UTF-8
        {"a", "\xC3\xA9", "\x82\xA0", "\xC3", "\x80"},                                  // broken UTF-8
        {"a", "\x1B", "$", "B", "@", "(", "\x1B$B", "\x1B[m"},                          // escapes
        {"a", "\xA4\xA2", "\xB4\xC1", "\x8E\xB1", "\x8F\xB0\xA1", "\xA4", "\xC3\xA9"},  // EUC-JP
        {"a", "\n", "\xA4\xA2", "\xB4\xC1", "\xA5\xA2", "\xB4\xC1\xB4\xC1"},            // two-byte EUC-JP
        {"a", "\xA4\xA2", "\xB4\xC1", "\xA5\xA2", "\xB4\xC1\xB4\xC1", "\xA4\xA2\xA4\xA2", "\xA4\xA2\xA4\xA2\xA4"},
        {"a", "\xB4\xC1\xB4\xC1\xB4\xC1", "\xB4\xA4", "\xB5\xA5", "\xA4\xA2"},  // kana near a fifth
        {"a", "\xA4\xA2", "\x8E\xB1", "\x8E\xDF", "\xB4\xC1"},                  // half-width katakana
        {"a", "\xA4\xA2", "\x8E\xB1", "\x8E\xDF", "\xB4\xC1", "\x8E\xE0"},
        {"a", "\xA4\xA2", "\xB4\xC1", "\xB4\x8E\xB1\xB1"},  // 8E where a trail is due
    };
    const Strings starts = {"", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    std::vector<int> seen(6, 0);
    for (int round = 0; round < 6000; ++round) {
        std::string bytes = starts[rng() % starts.size()];
        const Strings& a = alphabets[round % alphabets.size()];
        // Long texts meet the 64-byte path when fed whole, never in pieces.
        for (std::size_t n = rng() % (round % 2 ? 40 : 400); n > 0; --n) bytes += a[rng() % a.size()];
        EncodingDetector check;
        for (std::size_t at = 0, n; at < bytes.size(); at += n) {
            n = std::min<std::size_t>(1 + rng() % 5, bytes.size() - at);
            if (!check.Feed(reinterpret_cast<const unsigned char*>(bytes.data()) + at, n)) break;
        }
        const Encoding whole = DetectEncoding(bytes);
        ASSERT_EQ(check.Finish(), whole) << "round " << round;
        ++seen[static_cast<std::size_t>(whole)];
    }
    for (int count : seen) EXPECT_GT(count, 50) << "every encoding must come out";
}

TEST(StreamDecoder, AnySplitGivesTheWholeDecoding)
{
    // Pieces of each encoding, cut anywhere: held bytes, escapes, surrogate
    // pairs and the byte-order mark must come out as from one piece.
    struct Row {
        Encoding encoding;
        Strings pieces;
    };
    const std::vector<Row> rows = {
        {Encoding::Utf16Le,
         {std::string("a\0", 2), "\x42\x30", std::string("\x3D\xD8\x00\xDE", 4), "\x3D\xD8", std::string("\x00\xDE", 2),
          std::string("\r\0", 2), "\xFF\xFE", "b",
          std::string("\x00\x08\xFF\xD7\x00\xE0\xFF\xFF\x42\x30\x4B\x30\x61\x4E\x00\x30",
                      16)}},  // eight units of three bytes, ends of the ranges
        {Encoding::Utf16Be,
         {std::string("\0a", 2), std::string("\xD8\x3D\xDE\x00", 4), "\xD8\x3D", "\xFE\xFF",
          std::string("\x08\x00\xD7\xFF\xE0\x00\xFF\xFF\x30\x42\x30\x4B\x4E\x61\x30\x00", 16)}},
        {Encoding::EucJp, {"a", "\xA4\xA2", "\x8E\xB1", "\x8F\xB0\xA1", "\xA9\xA1", "\xA4", "\x8F", "\xEF\xBB\xBF"}},
        {Encoding::EucJp,
         {"0123456789abcdef", "a", "\xA4\xA2", "\x8E\xB1", "\x8E\xE0", "\x8F\xB0\xA1", "\x8F\xA1",
          "\xFF"}},  // fast paths
        {Encoding::Iso2022Jp,
         {"a", "\x1B$B", "\x1B(B", "\x1B(I", "\x1B(J", "\x1B$(D", "\x1B", "$\"", "1", "\n", "\xEF\xBB\xBF",
          "0123456789abcdef", "\x0E", "\xA4"}},
    };
    std::mt19937 rng(77);
    for (const Row& row : rows) {
        for (int round = 0; round < 1500; ++round) {
            std::string bytes = round % 3 == 0 ? (row.encoding == Encoding::Utf16Le       ? "\xFF\xFE"
                                                      : row.encoding == Encoding::Utf16Be ? "\xFE\xFF"
                                                                                          : "\xEF\xBB\xBF")
                                               : "";
            for (std::size_t n = rng() % 30; n > 0; --n) bytes += row.pieces[rng() % row.pieces.size()];
            auto run = [&](bool split) {
                StreamDecoder decoder(row.encoding);
                std::string out, held;
                for (std::size_t at = 0; at < bytes.size() || !held.empty();) {
                    const std::size_t n =
                        split ? std::min<std::size_t>(rng() % 6, bytes.size() - at) : bytes.size() - at;
                    std::string piece = held + bytes.substr(at, n);
                    at += n;
                    const bool final = at == bytes.size();
                    std::string buffer(piece.size() * StreamDecoder::kMaxGrowth, '\0');
                    std::size_t written = 0;
                    const std::size_t used =
                        decoder.Decode(reinterpret_cast<const unsigned char*>(piece.data()), piece.size(), final,
                                       reinterpret_cast<unsigned char*>(buffer.data()), written);
                    EXPECT_LE(piece.size() - used, StreamDecoder::kMaxHeld);
                    out.append(buffer, 0, written);
                    held = piece.substr(used);
                    if (final) break;
                }
                return out;
            };
            const std::string whole = run(false);
            ASSERT_EQ(run(true), whole) << static_cast<int>(row.encoding) << " round " << round;
            const std::size_t bom = BomLength(bytes, row.encoding);
            EXPECT_EQ(Utf8ToU32(whole), Utf8ToU32(U32ToUtf8(Decode(bytes.substr(bom), row.encoding))))
                << "the mark, and only it, is dropped";
        }
    }
}

TEST(StreamDecoder, JisCharactersDecodeAsTheirCp932Twins)
{
    // The EUC-JP table must give each JIS X 0208 character the code point the
    // CP932 decoding gives it, or a word would find it in one and not the other.
    int assigned = 0, differing = 0;
    for (int j1 = 0x21; j1 <= 0x7E; ++j1) {
        for (int j2 = 0x21; j2 <= 0x7E; ++j2) {
            const std::u32string euc =
                Decode(std::string{static_cast<char>(j1 | 0x80), static_cast<char>(j2 | 0x80)}, Encoding::EucJp);
            if (euc.size() != 1 || euc[0] == kInvalid) continue;
            ++assigned;
            const int s1 = ((j1 + 1) >> 1) + (j1 <= 0x5E ? 0x70 : 0xB0);
            const int s2 = j2 + ((j1 & 1) ? (j2 < 0x60 ? 0x1F : 0x20) : 0x7E);
            differing += Decode(std::string{static_cast<char>(s1), static_cast<char>(s2)}, Encoding::Cp932) != euc;
        }
    }
    EXPECT_GT(assigned, 7000);
    EXPECT_EQ(differing, 0);
}

TEST(UpperCase, OneCodePointToOne)
{
    const std::vector<std::tuple<const char*, char32_t, char32_t>> rows = {
        {"ASCII", U'z', U'Z'},
        {"digit", U'5', U'5'},
        {"full-width", U'ｚ', U'Ｚ'},
        {"final sigma", U'ς', U'Σ'},
        {"Cyrillic", U'ж', U'Ж'},
        {"Roman numeral", U'ⅰ', U'Ⅰ'},
        {"hiragana unchanged", U'ぁ', U'ぁ'},
        {"half-width katakana unchanged", U'ｧ', U'ｧ'},
        {"sharp s has no one-character upper case", U'ß', U'ß'},
        {"long s", U'ſ', U'S'},
        {"dotless i", U'ı', U'I'},
        {"invalid stays invalid", X, X},
    };
    for (const auto& [why, in, out] : rows) EXPECT_EQ(ToUpper(in), out) << why;
    EXPECT_EQ(ToUpper(std::u32string_view(U"abcａｂß日本")), U"ABCＡＢß日本");
    EXPECT_EQ(ToUpperUtf8("straße ｘｙ ⅱ"), "STRAßE ＸＹ Ⅱ");
}

TEST(CodePoints, LengthAndCut)
{
    EXPECT_EQ(CodePointLength(""), 0u);
    EXPECT_EQ(CodePointLength("日本語ab😀"), 6u);
    EXPECT_EQ(CutCodePoints("あいうえおかきくけこさし", 10), "あいうえおかきくけこ");
    EXPECT_EQ(CutCodePoints("abc", 10), "abc");
    EXPECT_EQ(CutCodePoints("a😀b", 2), "a😀") << "never cuts inside a character";
}

TEST(RecordText, OnlyBreaksAndInvalidBytesBecomeReplacement)
{
    const std::string R = "\xEF\xBF\xBD";
    const std::vector<std::tuple<const char*, std::string, std::string>> rows = {
        {"U+2028 and U+2029", "a\u2028b\u2029", "a" + R + "b" + R},
        {"the widget's frame marks", "\xEF\xB7\x90\xEF\xB7\x91", R + R},
        {"CR and LF (file names)", "x\ry\n", "x" + R + "y" + R},
        {"a cut or stray byte", "ab\xE2\x80", "ab" + R},
        {"same lead bytes, other characters", "\u2026\u2029\uFDCF\uFF76", "\u2026" + R + "\uFDCF\uFF76"},
    };
    for (const auto& [why, in, shown] : rows) {
        std::string out = "untouched";
        EXPECT_TRUE(ShownAsRecord(in, out)) << why;
        EXPECT_EQ(out, shown) << why;
    }
    std::string out = "untouched";
    EXPECT_FALSE(ShownAsRecord("\u2026 \u00A0\u0085\x0B\x0C\uFF76\uFDD2 \xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, "untouched") << "nothing to change: no copy";
}

}  // namespace
