#include "text/TextCodec.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace textrove::text;

namespace {

constexpr char32_t X = kInvalid;

struct DecodeRow {
    const char* why;
    std::string bytes;
    std::u32string expected;
};

// CP932: what each byte sequence becomes. Invalid pieces must not swallow the
// character that follows them.
const std::vector<DecodeRow> kCp932Rows = {
    {"yen sign byte stays a backslash, overline byte a tilde", "\x5C\x7E", U"\\~"},
    {"hiragana and kanji", "\x82\xA0\x8A\xBF\x8E\x9A", U"あ漢字"},
    {"half-width katakana single bytes", "\xB1\xDD", U"ｱﾝ"},
    {"trail byte in the ASCII range: so", "\x83\x5C", U"ソ"},
    {"trail byte 'a' belongs to its lead", "\x83\x61", U"ヂ"},
    {"NEC and IBM duplicates decode alike", "\x87\x90\x81\xE0\xED\x40\xFA\x5C", U"≒≒纊纊"},
    {"user-defined area to private use", "\xF0\x40", U"\uE000"},
    {"lead byte then space: space stays a character", "\x81\x20", {X, U' '}},
    {"lead byte then LF: LF stays a character", "\x83\x0A" "b", {X, U'\n', U'b'}},
    {"lead byte at the end", "a\x83", {U'a', X}},
    {"lead byte then 0x7F", "\x82\xA0\x81\x7F", {U'あ', X, 0x7F}},
    {"unassigned double byte is one invalid character", "\x85\x40x", {X, U'x'}},
    {"bytes that no table maps", "\x80\xA0\xFD\xFE\xFF", {X, X, X, X, X}},
    {"NUL is a character", std::string("a\0b", 3), {U'a', 0, U'b'}},
    {"control codes map to themselves", "\x1A\x1C\x7F", {0x1A, 0x1C, 0x7F}},
};

TEST(Cp932Decode, Rows)
{
    for (const auto& row : kCp932Rows) {
        EXPECT_EQ(Decode(row.bytes, Encoding::Cp932), row.expected) << row.why;
    }
}

TEST(Cp932Decode, EveryByteBelow0x80IsItself)
{
    for (int b = 0; b < 0x80; ++b) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(Decode(one, Encoding::Cp932), std::u32string(1, static_cast<char32_t>(b)))
            << "byte " << b;
    }
}

TEST(Cp932Decode, AppendKeepsEarlierTextAndToUtf8ShowsReplacement)
{
    std::u32string out = U"前";
    DecodeAppend("\x82\xA0", Encoding::Cp932, out);
    DecodeAppend("\x81", Encoding::Cp932, out);
    EXPECT_EQ(out, (std::u32string{U'前', U'あ', X}));
    EXPECT_EQ(Cp932ToUtf8("\x83\x5C\x81 a"), "ソ\xEF\xBF\xBD a");
    EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(Cp932Decode, ConvertersArePerThread)
{
    const std::string line = "\x83\x5C\x81 \x82\xA0" "abc";
    const std::u32string expected = Decode(line, Encoding::Cp932);
    std::vector<std::thread> threads;
    std::vector<int> bad(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                if (Decode(line, Encoding::Cp932) != expected) ++bad[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int t = 0; t < 4; ++t) EXPECT_EQ(bad[t], 0) << "thread " << t;
}

TEST(Utf8Decode, Rows)
{
    const std::vector<DecodeRow> rows = {
        {"ASCII", "abc", U"abc"},
        {"two, three and four bytes", "\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", U"éあ😀"},
        {"stray continuation byte", "a\x80" "b", {U'a', X, U'b'}},
        {"truncated sequence keeps the next ASCII byte", "\xE3\x81" "a", {X, U'a'}},
        {"overlong slash", "\xC0\xAF", {X, X}},
        {"surrogate", "\xED\xA0\x80", {X, X, X}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(Decode(row.bytes, Encoding::Utf8), row.expected) << row.why;
    }
    EXPECT_EQ(Utf8ToU32("a\xFF"), U"a\uFFFD") << "invalid UTF-8 shown as U+FFFD";
    EXPECT_EQ(U32ToUtf8(std::u32string{U'a', X, U'😀'}), "a\xEF\xBF\xBD\xF0\x9F\x98\x80");
    EXPECT_EQ(LossyUtf8("dir\xFF/\xE3\x81\x82"), "dir\xEF\xBF\xBD/\xE3\x81\x82");
}

TEST(Utf8Validity, Rows)
{
    struct Row {
        const char* why;
        std::string bytes;
        bool valid;
    };
    const std::vector<Row> rows = {
        {"empty", "", true},
        {"ASCII longer than a word", "abcdefghijklmnopq", true},
        {"Japanese", "\xE6\x97\xA5\xE6\x9C\xAC", true},
        {"largest code point", "\xF4\x8F\xBF\xBF", true},
        {"past U+10FFFF", "\xF4\x90\x80\x80", false},
        {"overlong two bytes", "\xC1\x81", false},
        {"overlong three bytes", "\xE0\x80\xAF", false},
        {"surrogate", "\xED\xB0\x80", false},
        {"truncated at the end after ASCII words", "abcdefgh\xE3\x81", false},
        {"Shift-JIS text", "\x82\xA0\x82\xA2", false},
        {"lone continuation after eight ASCII bytes", "12345678\x80", false},
        {"high byte at the end of a 64-byte stretch", std::string(63, 'a') + "\x80", false},
        {"high byte just after a 64-byte stretch", std::string(64, 'a') + "\xE3\x81", false},
        {"valid character after long ASCII", std::string(130, 'a') + "\xC3\xA9", true},
        {"surrogate after long ASCII", std::string(70, 'a') + "\xED\xA0\x80", false},
        {"three-byte characters back to back", "\xE3\x81\x82\xEF\xBC\xA1\xE9\xBE\x8D", true},
        {"three-byte lead cut short before ASCII", "\xE3\x81" "abc", false},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(IsValidUtf8(row.bytes), row.valid) << row.why;
        bool high = false;
        EXPECT_EQ(IsValidUtf8(row.bytes, high), row.valid) << row.why;
        if (row.valid) EXPECT_EQ(high, HasHighByte(row.bytes)) << row.why;
    }
    for (std::size_t at : {0u, 7u, 31u, 32u, 63u, 64u, 65u, 127u, 199u}) {
        std::string s(200, 'x');
        EXPECT_FALSE(HasHighByte(s));
        s[at] = '\x80';
        EXPECT_TRUE(HasHighByte(s)) << at;
    }
}

TEST(Utf8Validity, LongRandomTextAgreesWithTheDecoder)
{
    // Long inputs take the vector path; the decoder marks every invalid
    // sequence, so the two must agree on any input.
    std::mt19937 rng(2024);
    const std::vector<std::string> pieces = {"a", "\n", "\xC3\xA9", "\xE3\x81\x82", "\xEF\xBC\xA1",
                                             "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"};
    int invalid = 0;
    for (int round = 0; round < 20000; ++round) {
        std::string s;
        const std::size_t n = rng() % 120;
        for (std::size_t k = 0; k < n; ++k) s += pieces[rng() % pieces.size()];
        for (int damage = round % 3; damage > 0 && !s.empty(); --damage)
            s[rng() % s.size()] = static_cast<char>(rng() % 256);
        if (round % 5 == 0 && !s.empty()) s.pop_back();
        const std::u32string decoded = Decode(s, Encoding::Utf8);
        const bool expected = decoded.find(kInvalid) == std::u32string::npos;
        invalid += !expected;
        bool high = false;
        ASSERT_EQ(IsValidUtf8(s, high), expected) << "round " << round;
        if (expected) ASSERT_EQ(high, HasHighByte(s)) << "round " << round;
    }
    EXPECT_GT(invalid, 3000);
}

TEST(EncodingDetection, Rows)
{
    struct Row {
        const char* why;
        std::string bytes;
        Encoding expected;
    };
    const std::vector<Row> rows = {
        {"plain ASCII is read as CP932", "hello", Encoding::Cp932},
        {"empty file", "", Encoding::Cp932},
        {"valid UTF-8 with a high byte", "h\xC3\xA9", Encoding::Utf8},
        {"BOM alone counts as UTF-8", "\xEF\xBB\xBF", Encoding::Utf8},
        {"Shift-JIS", "\x82\xA0", Encoding::Cp932},
        {"UTF-8 broken at the very end", "\xE3\x81\x82\xE3", Encoding::Cp932},
    };
    for (const auto& row : rows) EXPECT_EQ(DetectEncoding(row.bytes), row.expected) << row.why;

    EXPECT_EQ(Utf8BomLength("\xEF\xBB\xBF" "a"), 3u);
    EXPECT_EQ(Utf8BomLength("\xEF\xBB"), 0u);
    EXPECT_EQ(Utf8BomLength("abc"), 0u);
}

TEST(UpperCase, OneCodePointToOne)
{
    struct Row {
        const char* why;
        char32_t in;
        char32_t out;
    };
    const std::vector<Row> rows = {
        {"ASCII", U'a', U'A'},
        {"ASCII z", U'z', U'Z'},
        {"upper stays", U'Q', U'Q'},
        {"digit", U'5', U'5'},
        {"full-width", U'ａ', U'Ａ'},
        {"full-width z", U'ｚ', U'Ｚ'},
        {"Greek", U'α', U'Α'},
        {"final sigma", U'ς', U'Σ'},
        {"Cyrillic", U'ж', U'Ж'},
        {"Roman numeral", U'ⅰ', U'Ⅰ'},
        {"hiragana unchanged", U'ぁ', U'ぁ'},
        {"half-width katakana unchanged", U'ｧ', U'ｧ'},
        {"sharp s has no one-character upper case", U'ß', U'ß'},
        {"long s", U'ſ', U'S'},
        {"dotless i", U'ı', U'I'},
        {"invalid stays invalid", X, X},
        {"replacement unchanged", kReplacement, kReplacement},
    };
    for (const auto& row : rows) EXPECT_EQ(ToUpper(row.in), row.out) << row.why;

    EXPECT_EQ(ToUpper(std::u32string_view(U"abcａｂß日本")), U"ABCＡＢß日本");
    EXPECT_EQ(ToUpperUtf8("straße ｘｙ ⅱ"), "STRAßE ＸＹ Ⅱ");
}

TEST(CodePoints, LengthAndCut)
{
    EXPECT_EQ(CodePointLength(""), 0u);
    EXPECT_EQ(CodePointLength("abc"), 3u);
    EXPECT_EQ(CodePointLength("日本語ab😀"), 6u) << "multi-byte characters count once";
    EXPECT_EQ(CutCodePoints("あいうえおかきくけこさし", 10), "あいうえおかきくけこ");
    EXPECT_EQ(CutCodePoints("abc", 10), "abc");
    EXPECT_EQ(CutCodePoints("a😀b", 2), "a😀") << "never cuts inside a character";
    EXPECT_EQ(CutCodePoints("abc", 0), "");
}

}  // namespace
