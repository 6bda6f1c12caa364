// The settings text rules without the disk: lookup, change, decoding.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/Profile.h"

namespace textrove::settings {
namespace {

TEST(FindValue, FollowsTheFileRules)
{
    const struct {
        const char* why;
        std::string text;
        const char* section;
        const char* key;
        std::optional<std::string> expected;
    } rows[] = {
        {"names ignore ASCII case", "[windowSIZE]\ntOP=1\n", "WindowSize", "Top", "1"},
        {"only ASCII letters fold", "[S]\n\xC3\xA4=1\n", "S", "\xC3\x84", std::nullopt},
        {"blanks around names are no part of them", "  [ D ]  \n  K  =/x\n", "D", "K", "/x"},
        {"value taken exactly, blanks included", "[S]\nK= a b \t\n", "S", "K", " a b \t"},
        {"value split at the first =", "[S]\nK==a=b=\n", "S", "K", "=a=b="},
        {"CR of CR LF is no part of the value", "[S]\r\nK=v\r\n", "S", "K", "v"},
        {"a CR ending the file is a terminator", "[S]\nK=v\r", "S", "K", "v"},
        {"a CR inside a line splits nothing", "[S]\nK=a\rb\n", "S", "K", "a\rb"},
        {"first of two keys wins", "[S]\nK=1\nK=2\n", "S", "K", "1"},
        {"same-named sections searched in order", "[S]\nA=1\n[T]\nK=0\n[S]\nK=2\n", "S", "K", "2"},
        {"unclosed bracket opens no section", "[S]\n[T\nK=1\n", "S", "K", "1"},
        {"key of another section", "[S]\n[T]\nK=1\n", "S", "K", std::nullopt},
        {"key before any section", "K=1\n[S]\n", "S", "K", std::nullopt},
        {"comment line is no key", "[S]\n;K=1\n", "S", "K", std::nullopt},
        {"longer key is another key", "[S]\nKey=1\n", "S", "K", std::nullopt},
        {"longer section is another section", "[SS]\nK=1\n", "S", "K", std::nullopt},
        {"a line that is not UTF-8 is CP932", "[S]\nK=\x83\x65\x83\x58\x83\x67\n", "S", "K",
         "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
        {"a stray byte decides only its own line", "[S]\nA=\xE9\nK=\xE6\x97\xA5\n", "S", "K", "\xE6\x97\xA5"},
        {"a section after lines holding '['", "[T]\nx[y\n  [S]\nK=1\n", "S", "K", "1"},
        {"a '[' inside a CP932 character opens nothing", "[T]\n\x83[S]\nK=1\n[S]\nK=2\n", "S", "K", "2"},
        {"a line at the length limit is read", "[S]\nK=" + std::string(kMaxLineBytes - 3, 'x') + "\n", "S", "K",
         std::string(kMaxLineBytes - 3, 'x')},
        {"a longer line is not", "[S]\nK=" + std::string(kMaxLineBytes - 2, 'x') + "\n", "S", "K", std::nullopt},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(FindValue(row.text, row.section, row.key) == row.expected) << row.why;
    }
}

// Refused names and values leave the text as it was: they could not read back.
TEST(SetValue, ChangesOnlyTheOneKey)
{
    const struct {
        const char* why;
        std::string before, section, key, value, after;
    } rows[] = {
        {"empty file gets section and key", "", "S", "K", "v", "[S]\nK=v\n"},
        {"stored spelling and blanks before = kept", "[s]\n  k = 1\n", "S", "K", "2", "[s]\n  k =2\n"},
        {"only the first of two keys changes", "[S]\nK=1\nK=9\n", "S", "K", "2", "[S]\nK=2\nK=9\n"},
        {"key added at the end of its section", "[S]\nA=1\n\n[T]\nB=2\n", "S", "K", "v", "[S]\nA=1\nK=v\n\n[T]\nB=2\n"},
        {"unterminated last line gets a line feed", "[S]", "S", "K", "v", "[S]\nK=v\n"},
        {"new section appended, CR LF kept", "[A]\r\nX=1\r\n", "B", "K", "v", "[A]\r\nX=1\r\n[B]\r\nK=v\r\n"},
        {"a CR ending the file becomes CR LF", "[S]\nA=1\r", "S", "K", "v", "[S]\nA=1\r\nK=v\n"},
        {"LF in value", "[S]\n", "S", "K", "a\nb", "[S]\n"},
        {"CR in value", "[S]\n", "S", "K", "a\rb", "[S]\n"},
        {"empty key", "[S]\n", "S", "", "v", "[S]\n"},
        {"= in key", "[S]\n", "S", "A=B", "v", "[S]\n"},
        {"blank around key", "[S]\n", "S", " K", "v", "[S]\n"},
        {"key as section", "[S]\n", "S", "[K", "v", "[S]\n"},
        {"key as comment", "[S]\n", "S", ";K", "v", "[S]\n"},
        {"LF in key", "[S]\n", "S", "K\nL", "v", "[S]\n"},
        {"empty section", "[S]\n", "", "K", "v", "[S]\n"},
        {"] in section", "[S]\n", "a]b", "K", "v", "[S]\n"},
        {"value not UTF-8: it would read back as CP932", "[S]\n", "S", "K", "\xB6", "[S]\n"},
        {"line over the length limit", "[S]\n", "S", "K", std::string(kMaxLineBytes - 3, 'v'), "[S]\n"},
        // Bytes the write did not change come back as they were.
        {"UTF-8 line beside a stray byte kept", "[S]\nA=\xE9\nL=\xE6\x97\xA5\n", "S", "K", "v",
         "[S]\nA=\xE9\nL=\xE6\x97\xA5\nK=v\n"},
        {"changed CP932 line alone re-encoded", "[S]\r\nK=\x83\x65\r\nL=\x83\x65\r\n", "S", "K", "\xE6\x97\xA5",
         "[S]\r\nK=\xE6\x97\xA5\r\nL=\x83\x65\r\n"},
        {"CP932 line holding the value untouched", "[S]\nK=\x83\x65\n", "S", "K", "\xE3\x83\x86", "[S]\nK=\x83\x65\n"},
        {"line feed taken from lines outside any section", "junk\r\n[T]\r\n", "S", "K", "v",
         "junk\r\n[T]\r\n[S]\r\nK=v\r\n"},
        {"a CR ending the file outside any section", "x\r", "S", "K", "v", "x\r\n[S]\nK=v\n"},
        {"BOM kept", "\xEF\xBB\xBF[S]\nK=1\n", "S", "K", "2", "\xEF\xBB\xBF[S]\nK=2\n"},
        {"changed last line stays unterminated", "[S]\nK=1", "S", "K", "2", "[S]\nK=2"},
        {"overlong line kept, not a key", "[S]\nK=" + std::string(kMaxLineBytes, 'x') + "\n", "S", "K", "v",
         "[S]\nK=" + std::string(kMaxLineBytes, 'x') + "\nK=v\n"},
    };
    for (const auto& row : rows) {
        EXPECT_TRUE(SetValue(row.before, row.section, row.key, row.value) == row.after) << row.why;
    }
}

TEST(SetValue, OddValuesReadBackExactlyAndLeaveOthersAlone)
{
    std::string longJapanese;
    for (int i = 0; i < 1000; ++i) longJapanese += "\xE6\x97\xA5";  // 日
    const std::string values[] = {"",
                                  "=",
                                  "a=b",
                                  "  leading",
                                  "trailing  ",
                                  "\tTab\t",
                                  "[x]",
                                  ";comment-like",
                                  "\"quoted\"",
                                  "C:\\DATA\\",
                                  "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E" /* 日本語 */,
                                  "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84" /* ﾃｽﾄ */,
                                  std::string(1000, 'x'),
                                  longJapanese,
                                  std::string("nul\0inside", 10)};
    const std::string bases[] = {"", "[S]\nK=old\nOther=keep\n[T]\nK=t\n", "[T]\nK=\x83\x65\n[S]\nOther=\xE9\n",
                                 "[T]\r\nK=t\r\n[S]\r\nOther=keep\r\n", "[s]\nother=keep\n[S]\nk=\n"};
    for (const std::string& base : bases) {
        for (const std::string& value : values) {
            const std::string out = SetValue(base, "S", "K", value);
            EXPECT_EQ(FindValue(out, "S", "K"), value) << "base: " << base;
            EXPECT_EQ(FindValue(out, "S", "Other"), FindValue(base, "S", "Other")) << "base: " << base;
            EXPECT_EQ(FindValue(out, "T", "K"), FindValue(base, "T", "K")) << "base: " << base;
            EXPECT_EQ(SetValue(out, "S", "K", value), out) << "the same value again changes nothing";
        }
    }
}

}  // namespace
}  // namespace textrove::settings
