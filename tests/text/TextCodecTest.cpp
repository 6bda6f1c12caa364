// Decoding, encoding detection, case mapping and the record text.
#include "text/TextCodec.h"

#include <gtest/gtest.h>

#include "text/Cp932Table.h"
#include "text/EncodingDetector.h"

#include <algorithm>
#include <random>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

using namespace textrove::text;

namespace {

constexpr char32_t X = kInvalid;
using Strings = std::vector<std::string>;
constexpr Encoding S = Encoding::Cp932, U = Encoding::Utf8, L = Encoding::Utf16Le, B = Encoding::Utf16Be,
                   E = Encoding::EucJp, I = Encoding::Iso2022Jp;

TEST(Decode, Rows)
{
    // Invalid pieces must not swallow the character that follows them.
    const std::vector<std::tuple<const char*, Encoding, std::string, std::u32string>> rows = {
        {"yen sign byte stays a backslash, overline byte a tilde", S, "\x5C\x7E", U"\\~"},
        {"hiragana, kanji and half-width katakana (single bytes)", S, "\x82\xA0\x8A\xBF\xB1\xDD", U"あ漢ｱﾝ"},
        {"trail bytes '\\' and 'a' belong to their lead", S, "\x83\x5C\x83\x61", U"ソヂ"},
        {"NEC and IBM duplicates decode alike", S, "\x87\x90\x81\xE0\xED\x40\xFA\x5C", U"≒≒纊纊"},
        {"user-defined area to private use", S, "\xF0\x40", U"\uE000"},
        {"a lead byte leaves a space or LF after it", S, "\x81 \x83\nz", {X, U' ', X, U'\n', U'z'}},
        {"lead byte then 0x7F", S, "\x82\xA0\x81\x7F", {U'あ', X, 0x7F}},
        {"unassigned double byte is one invalid character; lead byte at the end", S, "\x85\x40x\x83", {X, U'x', X}},
        {"bytes that no table maps", S, "\x80\xA0\xFD\xFE\xFF", {X, X, X, X, X}},
        {"NUL and control codes are themselves", S, std::string("\0\x1A\x1C\x7F", 4), {0, 0x1A, 0x1C, 0x7F}},
        {"two, three and four bytes", U, "a\xC3\xA9\xE3\x81\x82\xF0\x9F\x98\x80", U"aéあ😀"},
        {"stray continuation byte; a truncated sequence keeps the next byte",
         U,
         "a\x80z\xE3\x81z",
         {U'a', X, U'z', X, U'z'}},
        {"overlong slash, surrogate, past U+10FFFF", U, "\xC0\xAF\xED\xA0\x80\xF4\x90\x80\x80", std::u32string(9, X)},
        {"UTF-16LE: BMP and a surrogate pair", L, std::string("a\0\x42\x30\x3D\xD8\x00\xDE", 8), U"aあ😀"},
        {"UTF-16BE, final odd byte", B, std::string("\0a\x30\x42\xD8\x3D\xDE\x00z", 9), {U'a', U'あ', U'😀', X}},
        {"lead surrogate before an ordinary unit", L, std::string("\x3D\xD8z\0", 4), {X, U'z'}},
        {"trail surrogate alone", L, std::string("\x00\xDE", 2), {X}},
        {"lead surrogate at the end, then the final odd byte", L, "\x3D\xD8z", {X, X}},
        {"0A and 0D inside units are no line ends", L, std::string("\r\0\n\0\x0A\x01\x0A\x0D", 8), U"\r\nĊഊ"},
        {"EUC-JP: kana, kanji, half-width, JIS X 0212, ASCII", E, "\xA4\xA2\xB4\xC1\x8E\xB1\x8F\xB0\xA1z", U"あ漢ｱ丂z"},
        {"EUC-JP: wave dash as in CP932, NEC row 13", E, "\xA1\xC1\xAD\xA1", U"～①"},
        {"EUC-JP: unassigned well-formed character is one invalid", E, "\xA9\xA1z", {X, U'z'}},
        {"EUC-JP: lead without trail keeps the next byte", E, "\xA4z\xA4", {X, U'z', X}},
        {"EUC-JP: 8E takes only half-width katakana; bytes that start nothing",
         E,
         "\x8E\xE0z\x80\xA0\xFF",
         {X, X, U'z', X, X, X}},
        {"ISO-2022-JP: kanji, back to ASCII, ESC $ @ as ESC $ B", I, "\x1B$B$\"4A\x1B(Bb\x1B$@$\"", U"あ漢bあ"},
        {"ISO-2022-JP: JIS Roman yen and overline", I, "\x1B(J\\~a", U"¥‾a"},
        {"ISO-2022-JP: half-width katakana, out of range", I, "\x1B(I1_`", {U'ｱ', U'ﾟ', X}},

        {"ISO-2022-JP: half a pair before a line end", I, "\x1B$B$\n", {X, U'\n'}},
        {"ISO-2022-JP: line ends, space and controls keep kanji mode", I, "\x1B$B$\"\r\n \t$\"", U"あ\r\n \tあ"},
        {"ISO-2022-JP: unknown escapes are invalid", I, "\x1B[mx\x1B$(D!\x1B", {X, U'm', U'x', X, U'!', X}},
        {"ISO-2022-JP: unknown escape keeps the designation", I, "\x1B$B\x1B(K$\"", {X, U'あ'}},
        {"ISO-2022-JP: unassigned pair, byte above 0x7F", I, "\x1B$B)!\x1B(B\xA4", {X, X}},
    };
    for (const auto& [why, encoding, bytes, expected] : rows) EXPECT_EQ(Decode(bytes, encoding), expected) << why;
    std::u32string out = U"前";
    DecodeAppend("\x82\xA0", S, out);
    DecodeAppend("\x81", S, out);
    EXPECT_EQ(out, (std::u32string{U'前', U'あ', X})) << "append keeps earlier text";
    EXPECT_EQ(U32ToUtf8(std::u32string{U'a', X, U'😀'}), "a\xEF\xBF\xBD\xF0\x9F\x98\x80") << "invalid shown as U+FFFD";
    EXPECT_EQ(LossyUtf8("dir\xFF/\xE3\x81\x82"), "dir\xEF\xBF\xBD/\xE3\x81\x82");
}

TEST(EncodingDetection, Rows)
{
    const std::string kana = "\xA4\xA2", kanji = "\xB4\xC1", three = "\x8F\xB0\xA1";  // あ 漢 丂 in EUC-JP
    auto pad = [&kana](std::size_t n) {  // n bytes of EUC-JP kana, to place 8F in a 64-byte block
        std::string s = n % 2 ? "a" : "";
        for (std::size_t k = 0; k < n / 2; ++k) s += kana;
        return s;
    };
    const std::vector<std::tuple<const char*, std::string, Encoding>> rows = {
        {"plain ASCII is read as CP932", "hello", S},
        {"valid UTF-8 with a high byte", "h\xC3\xA9", U},
        {"BOM alone counts as UTF-8", "\xEF\xBB\xBF", U},
        {"Shift-JIS", "\x82\xA0", S},
        {"UTF-8 broken at the very end", "\xE3\x81\x82\xE3", S},
        {"byte-order mark alone", "\xFF\xFE", L},
        {"byte-order mark and an odd byte", "\xFE\xFFz", B},
        {"FF FE later in the file is no mark", "a\xFF\xFE", S},
        {"ESC $ B and ASCII: ISO-2022-JP", "\x1B$B$\"\x1B(B", I},
        {"ESC $ @ and ASCII", "a\x1B$@", I},
        {"UTF-8 mark then ISO-2022-JP: the mark is dropped first", "\xEF\xBB\xBF\x1B$B$\"", I},
        {"terminal colours stay CP932", "\x1B[31mred\x1B[0m\n", S},
        {"ESC $ cut off at the end", "abc\x1B$", S},
        {"ESC $ B and a byte above 0x7F is no ISO-2022-JP", "\x1B$B\x82\xA0", S},
        {"ESC $ B and valid UTF-8 is UTF-8", "\x1B$B\xC3\xA9", U},
        {"EUC-JP half-width and three-byte characters with kana", "\x8E\xB1" + kana + three, E},
        {"kana exactly a fifth", kana + kanji + kanji + kanji + kanji, E},
        {"kana below a fifth", kana + kanji + kanji + kanji + kanji + kanji, S},
        {"unassigned but well-formed EUC-JP counts", kana + "\xA9\xA1", E},
        {"EUC-JP cut off at the end", kana + "\xA4", S},
        {"8E before a byte past DF", kana + "\x8E\xE0", S},
        {"well-formed EUC-JP that is valid UTF-8 is UTF-8", "\xC3\xA4\xC3\xA5", U},
        {"half-width katakana that is well-formed EUC-JP", "\xB1\xB2\xB3\xB4\xDD\xC4", S},
        {"a lone FF byte in EUC-JP", kana + "\xFF" + kana, S},
        {"8F and its trails end a 64-byte block", pad(61) + three + pad(40), E},
        {"8F in the last two bytes of a block", pad(62) + three + pad(40) + three, E},
        {"8F last in a block", pad(63) + three + pad(40), E},
        {"8F before an ASCII byte", pad(20) + "\x8F\xB0z" + pad(60), S},
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
}

// Random texts, some damaged: detected in any pieces as when whole; the UTF-8
// check agrees with the decoder, which marks every invalid sequence.
TEST(RandomText, DetectionInPiecesAndTheUtf8CheckAgreeWithTheWholeText)
{
    const std::vector<Strings> alphabets = {
        {"a", "\n", "\xC3\xA9", "\xE3\x81\x82", "\xEF\xBC\xA1", "\xF0\x9F\x98\x80", "\xF4\x8F\xBF\xBF", "\xED\x9F\xBF"},
        {"a", "\xC3\xA9", "\x82\xA0", "\xC3", "\x80"},  // broken UTF-8
        {"a", "\x1B", "$", "B", "@", "(", "\x1B$B", "\x1B[m"},
        {"a", "\xA4\xA2", "\xB4\xC1", "\x8E\xB1", "\x8F\xB0\xA1", "\xA4", "\xC3\xA9"},
        {"a", "\xA4\xA2", "\xB4\xC1", "\xA5\xA2", "\xB4\xC1\xB4\xC1", "\xA4\xA2\xA4\xA2", "\xA4\xA2\xA4\xA2\xA4"},
        {"a", "\xB4\xC1\xB4\xC1\xB4\xC1", "\xB4\xA4", "\xB5\xA5", "\xA4\xA2"},  // kana near a fifth
        {"a", "\xA4\xA2", "\x8E\xB1", "\x8E\xDF", "\xB4\xC1", "\x8E\xE0"},
        {"a", "\xA4\xA2", "\xB4\xC1", "\xB4\x8E\xB1\xB1"},  // 8E where a trail is due
    };
    const Strings starts = {"", "", "", "\xEF\xBB\xBF", "\xFF\xFE", "\xFE\xFF"};
    std::mt19937 rng(2024);
    std::vector<int> detected(6, 0);
    int invalid = 0;
    for (int round = 0; round < 20000; ++round) {
        const Strings& a = alphabets[round % alphabets.size()];
        std::string s = starts[rng() % starts.size()];
        // Long texts meet the 64-byte paths when whole, never in pieces.
        for (std::size_t n = rng() % (round % 2 ? 40 : 400); n > 0; --n) s += a[rng() % a.size()];
        for (int damage = round % 3; damage > 0 && !s.empty(); --damage) s[rng() % s.size()] = static_cast<char>(rng());
        if (round % 5 == 0 && !s.empty()) s.pop_back();
        EncodingDetector fed;
        for (std::size_t at = 0, n; at < s.size(); at += n) {
            n = std::min<std::size_t>(1 + rng() % 5, s.size() - at);
            if (!fed.Feed(reinterpret_cast<const unsigned char*>(s.data()) + at, n)) break;
        }
        const Encoding whole = DetectEncoding(s);
        ASSERT_EQ(fed.Finish(), whole) << s;
        ++detected[static_cast<std::size_t>(whole)];
        const bool valid = Decode(s, U).find(X) == std::u32string::npos;
        const bool high = std::ranges::any_of(s, [](char c) { return (c & 0x80) != 0; });
        invalid += !valid;
        bool sawHigh = false;
        ASSERT_EQ(IsValidUtf8(s), valid) << s;
        ASSERT_EQ(IsValidUtf8(s, sawHigh), valid) << s;
        ASSERT_EQ(HasHighByte(s), high) << s;
        ASSERT_TRUE(!valid || sawHigh == high) << s;
    }
    for (int count : detected) EXPECT_GT(count, 50) << "every encoding must come out";
    EXPECT_GT(invalid, 3000);
}

TEST(UpperCase, OneCodePointToOneAndCutsKeepWholeCharacters)
{
    // ASCII, digit, full-width, final sigma, Cyrillic, Roman numeral, Deseret
    // (past the table), hiragana and half-width katakana unchanged, sharp s
    // (no one-character upper case), long s, dotless i.
    EXPECT_EQ(ToUpper(std::u32string_view(U"z5ｚςжⅰ𐐨ぁｧßſı")), U"Z5ＺΣЖⅠ𐐀ぁｧßSI");
    EXPECT_EQ(ToUpper(X), X);
    EXPECT_EQ(ToUpperUtf8("straße ｘｙ ⅱ\xFF"), "STRAßE ＸＹ Ⅱ\xEF\xBF\xBD");
    EXPECT_EQ(CodePointLength(""), 0u);
    EXPECT_EQ(CodePointLength("日本語ab😀"), 6u);
    EXPECT_EQ(CutCodePoints("あいうえおかきくけこさし", 10), "あいうえおかきくけこ");
    EXPECT_EQ(CutCodePoints("abc", 10), "abc");
    EXPECT_EQ(CutCodePoints("a😀b", 2), "a😀") << "never cuts inside a character";
}

// Line breaks (CR, LF, U+2028, U+2029), the widget's frame marks U+FDD0/U+FDD1
// and invalid bytes show as U+FFFD; characters sharing their lead bytes stay.
TEST(RecordText, OnlyBreaksAndInvalidBytesBecomeReplacement)
{
    std::string out = "untouched";
    EXPECT_FALSE(ShownAsRecord("\u2026 \u00A0\u0085\x0B\x0C\uFF76\uFDCF\uFDD2 \xF0\x9F\x98\x80", out));
    EXPECT_EQ(out, "untouched") << "nothing to change: no copy";
    for (const char* alone : {"\r", "\n", "\u2028", "\u2029", "\uFDD0", "\uFDD1", "\xE2\x80", "\xF0\x9F"})
        EXPECT_TRUE(ShownAsRecord(std::string("\u2026") + alone + "\uFF76", out) && out == "\u2026\uFFFD\uFF76")
            << alone;
}

// The table decoder agrees with the ICU converters (one per thread) on every input.
TEST(Cp932Table, AgreesWithIcuOnEveryShortSequenceFromTwoThreads)
{
    auto mismatches = [](int& count) {
        auto differs = [](const std::string& s) {
            std::u32string table;
            Cp932Table::Get().DecodeAppend(reinterpret_cast<const unsigned char*>(s.data()), s.size(), table);
            return table != Decode(s, S);
        };
        for (int a = 0; a < 256; ++a) {
            count += differs(std::string(1, static_cast<char>(a)));
            // A third byte checks what the pair leaves for the next character.
            for (int b = 0; b < 256; ++b)
                for (char c : {'\x20', '\x82', '\xA0'})
                    count += differs({static_cast<char>(a), static_cast<char>(b), c});
        }
    };
    int first = 0, second = 0;
    std::thread other(mismatches, std::ref(second));
    mismatches(first);
    other.join();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(second, 0);
}

}  // namespace
