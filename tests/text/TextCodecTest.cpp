#include "text/TextCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace textrove::text;

namespace {

constexpr char32_t X = kInvalid;

TEST(Decode, Rows)
{
    // Invalid pieces must not swallow the character that follows them.
    const Encoding S = Encoding::Cp932, U = Encoding::Utf8;
    const std::vector<std::tuple<const char*, Encoding, std::string, std::u32string>> rows = {
        {"yen sign byte stays a backslash, overline byte a tilde", S, "\x5C\x7E", U"\\~"},
        {"hiragana and kanji", S, "\x82\xA0\x8A\xBF\x8E\x9A", U"あ漢字"},
        {"half-width katakana single bytes", S, "\xB1\xDD", U"ｱﾝ"},
        {"trail byte in the ASCII range: so", S, "\x83\x5C", U"ソ"},
        {"trail byte 'a' belongs to its lead", S, "\x83\x61", U"ヂ"},
        {"NEC and IBM duplicates decode alike", S, "\x87\x90\x81\xE0\xED\x40\xFA\x5C", U"≒≒纊纊"},
        {"user-defined area to private use", S, "\xF0\x40", U"\uE000"},
        {"lead byte then space: space stays", S, "\x81\x20", {X, U' '}},
        {"lead byte then LF: LF stays", S, "\x83\x0A" "b", {X, U'\n', U'b'}},
        {"lead byte at the end", S, "a\x83", {U'a', X}},
        {"lead byte then 0x7F", S, "\x82\xA0\x81\x7F", {U'あ', X, 0x7F}},
        {"unassigned double byte is one invalid character", S, "\x85\x40x", {X, U'x'}},
        {"bytes that no table maps", S, "\x80\xA0\xFD\xFE\xFF", {X, X, X, X, X}},
        {"NUL and control codes are themselves", S, std::string("\0\x1A\x1C\x7F", 4), {0, 0x1A, 0x1C, 0x7F}},
        {"two, three and four bytes", U, "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", U"aéあ😀"},
        {"stray continuation byte", U, "a\x80" "b", {U'a', X, U'b'}},
        {"truncated sequence keeps the next ASCII byte", U, "\xE3\x81" "a", {X, U'a'}},
        {"overlong slash", U, "\xC0\xAF", {X, X}},
        {"surrogate", U, "\xED\xA0\x80", {X, X, X}},
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
    const std::string line = "\x83\x5C\x81 \x82\xA0" "abc";
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
        {"abcdefghijklmnopq", true},                        // ASCII longer than a word
        {"\xF4\x8F\xBF\xBF", true},                         // largest code point
        {"\xF4\x90\x80\x80", false},                        // past U+10FFFF
        {"abcdefgh\xE3\x81", false},                        // truncated after ASCII words
        {std::string(63, 'a') + "\x80", false},             // end of a 64-byte stretch
        {std::string(64, 'a') + "\xE3\x81", false},         // just after one
        {std::string(70, 'a') + "\xED\xA0\x80", false},     // surrogate after long ASCII
        {"\xE3\x81\x82\xEF\xBC\xA1\xE9\xBE\x8D", true},     // three-byte characters back to back
    };
    for (const auto& [bytes, valid] : rows) {
        bool high = false;
        EXPECT_EQ(IsValidUtf8(bytes), valid) << bytes.size();
        EXPECT_EQ(IsValidUtf8(bytes, high), valid) << bytes.size();
        if (valid) { EXPECT_EQ(high, HasHighByte(bytes)) << bytes.size(); }
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
    const std::vector<std::string> pieces = {"a", "\n", "\xC3\xA9", "\xE3\x81\x82", "\xEF\xBC\xA1",
                                             "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"};
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
        if (expected) { ASSERT_EQ(high, HasHighByte(s)) << "round " << round; }
    }
    EXPECT_GT(invalid, 3000);
}

TEST(EncodingDetection, Rows)
{
    const std::vector<std::tuple<const char*, std::string, Encoding>> rows = {
        {"plain ASCII is read as CP932", "hello", Encoding::Cp932},
        {"empty file", "", Encoding::Cp932},
        {"valid UTF-8 with a high byte", "h\xC3\xA9", Encoding::Utf8},
        {"BOM alone counts as UTF-8", "\xEF\xBB\xBF", Encoding::Utf8},
        {"Shift-JIS", "\x82\xA0", Encoding::Cp932},
        {"UTF-8 broken at the very end", "\xE3\x81\x82\xE3", Encoding::Cp932},
    };
    for (const auto& [why, bytes, expected] : rows) EXPECT_EQ(DetectEncoding(bytes), expected) << why;
    EXPECT_EQ(Utf8BomLength("\xEF\xBB\xBF" "a"), 3u);
    EXPECT_EQ(Utf8BomLength("\xEF\xBB"), 0u);
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
