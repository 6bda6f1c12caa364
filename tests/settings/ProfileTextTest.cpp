// The settings text rules without the disk: lookup, change, decoding. Section
// "S", key "K" unless a row says otherwise.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "settings/Profile.h"

namespace textrove::settings {
namespace {

TEST(FindValue, FollowsTheFileRules)
{
    const std::string atLimit(kMaxLineBytes - 3, 'x');  // K= and the LF make the line kMaxLineBytes long
    const std::vector<std::tuple<const char*, std::string, std::optional<std::string>>> rows = {
        {"names ignore ASCII case", "[s]\nk=1\n", "1"},
        {"blanks around names are no part of them", "  [ S ]  \n  K  =/x\n", "/x"},
        {"value taken exactly, blanks included", "[S]\nK= a b \t\n", " a b \t"},
        {"an empty value is no missing key", "[S]\nK=\n", ""},
        {"value split at the first =", "[S]\nK==a=b=\n", "=a=b="},
        {"CR of CR LF is no part of the value", "[S]\r\nK=v\r\n", "v"},
        {"a CR ending the file is a terminator", "[S]\nK=v\r", "v"},
        {"a CR inside a line splits nothing", "[S]\nK=a\rb\n", "a\rb"},
        {"first of two keys wins", "[S]\nK=1\nK=2\n", "1"},
        {"same-named sections searched in order", "[S]\nA=1\n[T]\nK=0\n[S]\nK=2\n", "2"},
        {"unclosed bracket opens no section", "[S]\n[T\nK=1\n", "1"},
        {"key of another section", "[S]\n[T]\nK=1\n", std::nullopt},
        {"key before any section", "K=1\n[S]\n", std::nullopt},
        {"comment line is no key", "[S]\n;K=1\n", std::nullopt},
        {"longer key is another key", "[S]\nKey=1\n", std::nullopt},
        {"a line that is not UTF-8 is CP932", "[S]\nK=\x83\x65\x83\x58\x83\x67\n", "テスト"},
        {"a stray byte decides only its own line", "[S]\nA=\xE9\nK=\xE6\x97\xA5\n", "日"},
        {"a '[' inside a CP932 character opens nothing", "[T]\n\x83[S]\nK=1\n[S]\nK=2\n", "2"},
        {"a line at the length limit is read", "[S]\nK=" + atLimit + "\n", atLimit},
        {"a longer line is not", "[S]\nK=" + atLimit + "x\n", std::nullopt},
    };
    for (const auto& [why, text, expected] : rows) EXPECT_TRUE(FindValue(text, "S", "K") == expected) << why;
    EXPECT_EQ(FindValue("[S]\n\xC3\xA4=1\n", "S", "\xC3\x84"), std::nullopt) << "only ASCII letters fold";
}

TEST(SetValue, ChangesOnlyTheOneKey)
{
    const std::string overlong = "[S]\nK=" + std::string(kMaxLineBytes, 'x') + "\n";
    const std::vector<std::tuple<const char*, std::string, std::string, std::string>> rows = {
        {"empty file gets section and key", "", "v", "[S]\nK=v\n"},
        {"stored spelling and blanks before = kept", "[s]\n  k = 1\n", "2", "[s]\n  k =2\n"},
        {"only the first of two keys changes", "[S]\nK=1\nK=9\n", "2", "[S]\nK=2\nK=9\n"},
        {"key added at the end of its section", "[S]\nA=1\n\n[T]\nB=2\n", "v", "[S]\nA=1\nK=v\n\n[T]\nB=2\n"},
        {"unterminated last line gets a line feed", "[S]", "v", "[S]\nK=v\n"},
        {"new section appended, CR LF kept", "[A]\r\nX=1\r\n", "v", "[A]\r\nX=1\r\n[S]\r\nK=v\r\n"},
        {"a CR ending the file becomes CR LF", "[S]\nA=1\r", "v", "[S]\nA=1\r\nK=v\n"},
        {"UTF-8 line beside a stray byte kept", "[S]\nA=\xE9\nL=日\n", "v", "[S]\nA=\xE9\nL=日\nK=v\n"},
        {"changed CP932 line alone re-encoded", "[S]\r\nK=\x83\x65\r\nL=\x83\x65\r\n", "日",
         "[S]\r\nK=日\r\nL=\x83\x65\r\n"},
        {"CP932 line holding the value untouched", "[S]\nK=\x83\x65\n", "テ", "[S]\nK=\x83\x65\n"},
        {"line feed taken from lines outside any section", "junk\r\n[T]\r\n", "v", "junk\r\n[T]\r\n[S]\r\nK=v\r\n"},
        {"BOM kept", "\xEF\xBB\xBF[S]\nK=1\n", "2", "\xEF\xBB\xBF[S]\nK=2\n"},
        {"changed last line stays unterminated", "[S]\nK=1", "2", "[S]\nK=2"},
        {"overlong line kept, not a key", overlong, "v", overlong + "K=v\n"},
        // Refused values leave the text as it was: they could not read back.
        {"LF in value", "[S]\n", "a\nb", "[S]\n"},
        {"CR in value", "[S]\n", "a\rb", "[S]\n"},
        {"value not UTF-8: it would read back as CP932", "[S]\n", "\xB6", "[S]\n"},
        {"line over the length limit", "[S]\n", std::string(kMaxLineBytes - 3, 'v'), "[S]\n"},
    };
    for (const auto& [why, before, value, after] : rows) EXPECT_TRUE(SetValue(before, "S", "K", value) == after) << why;
    // So are names a read would not find: empty, blank-edged, holding = ] or a
    // line break, or read as section or comment.
    const std::pair<std::string, std::string> names[] = {{"S", ""},   {"S", "A=B"},  {"S", " K"}, {"S", "[K"},
                                                         {"S", ";K"}, {"S", "K\nL"}, {"", "K"},   {"a]b", "K"}};
    for (const auto& [section, key] : names)
        EXPECT_EQ(SetValue("[S]\n", section, key, "v"), "[S]\n") << "[" << section << "] " << key;
}

}  // namespace
}  // namespace textrove::settings
