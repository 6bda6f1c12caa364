// The settings text rules without the disk: lookup, change, decoding.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "settings/Profile.h"

namespace textrove::settings {
namespace {

struct FindRow {
  const char* why;
  std::string text;
  const char* section;
  const char* key;
  std::optional<std::string> expected;
};

TEST(FindValue, FollowsTheFileRules) {
  const std::vector<FindRow> rows = {
      {"plain key", "[WindowSize]\nTop=100\n", "WindowSize", "Top", "100"},
      {"names ignore ASCII case", "[windowSIZE]\ntOP=1\n", "WindowSize", "Top", "1"},
      {"blanks around names are not part of them", "  [ DefDir ]  \n  Directory  =/x\n", "DefDir",
       "Directory", "/x"},
      {"value is taken exactly, blanks included", "[S]\nK= a b \t\n", "S", "K", " a b \t"},
      {"CR of a CR LF line is no part of the value", "[S]\r\nK=v\r\n", "S", "K", "v"},
      {"a CR ending the file is a terminator", "[S]\nK=v\r", "S", "K", "v"},
      {"last line without terminator", "[S]\nK=v", "S", "K", "v"},
      {"CR inside a line stays", "[S]\nK=a\rb\n", "S", "K", "a\rb"},
      {"existing empty key is empty, not missing", "[S]\nK=\n", "S", "K", ""},
      {"value holding = signs", "[S]\nK==a=b=\n", "S", "K", "=a=b="},
      {"value looking like a section", "[S]\nK=[x]\n", "S", "K", "[x]"},
      {"value with a semicolon", "[S]\nK=;c\n", "S", "K", ";c"},
      {"quotes are kept", "[S]\nK=\"q\"\n", "S", "K", "\"q\""},
      {"text after ] of a section line is ignored", "[S] trailing\nK=1\n", "S", "K", "1"},
      {"first of two keys wins", "[S]\nK=1\nK=2\n", "S", "K", "1"},
      {"sections of one name are searched in order", "[S]\nA=1\n[T]\nK=0\n[S]\nK=2\n", "S", "K",
       "2"},
      {"missing key", "[S]\nA=1\n", "S", "K", std::nullopt},
      {"missing section", "[T]\nK=1\n", "S", "K", std::nullopt},
      {"key of another section", "[S]\n[T]\nK=1\n", "S", "K", std::nullopt},
      {"key before any section", "K=1\n[S]\n", "S", "K", std::nullopt},
      {"comment line is no key", "[S]\n;K=1\n", "S", "K", std::nullopt},
      {"longer key is another key", "[S]\nKey=1\n", "S", "K", std::nullopt},
      {"longer section is another section", "[SS]\nK=1\n", "S", "K", std::nullopt},
      {"unclosed bracket opens no section", "[S]\n[T\nK=1\n", "S", "K", "1"},
      {"only ASCII letters fold", "[S]\n\xC3\xA4=1\n", "S", "\xC3\x84", std::nullopt},
      {"empty text", "", "S", "K", std::nullopt},
  };
  for (const FindRow& row : rows) {
    EXPECT_EQ(FindValue(row.text, row.section, row.key), row.expected) << row.why;
  }
}

struct SetRow {
  const char* why;
  std::string before;
  const char* section;
  const char* key;
  std::string value;
  std::string after;
};

TEST(SetValue, ChangesOnlyTheOneKey) {
  const std::vector<SetRow> rows = {
      {"empty file gets section and key", "", "S", "K", "v", "[S]\nK=v\n"},
      {"existing value replaced", "[S]\nK=old\n", "S", "K", "new", "[S]\nK=new\n"},
      {"replacement keeps the stored spelling", "[s]\nk=1\n", "S", "K", "2", "[s]\nk=2\n"},
      {"blanks before = kept", "[S]\n  K = 1\n", "S", "K", "2", "[S]\n  K =2\n"},
      {"only the first of two keys changes", "[S]\nK=1\nK=9\n", "S", "K", "2", "[S]\nK=2\nK=9\n"},
      {"key added at the end of its section", "[S]\nA=1\n\n[T]\nB=2\n", "S", "K", "v",
       "[S]\nA=1\nK=v\n\n[T]\nB=2\n"},
      {"key added to an empty last section", "[S]\n", "S", "K", "v", "[S]\nK=v\n"},
      {"unterminated last line gets a line feed", "[S]", "S", "K", "v", "[S]\nK=v\n"},
      {"new section appended after the rest", "[A]\nX=1", "B", "K", "v", "[A]\nX=1\n[B]\nK=v\n"},
      {"CR LF files stay CR LF", "[A]\r\nX=1\r\n", "B", "K", "v", "[A]\r\nX=1\r\n[B]\r\nK=v\r\n"},
      {"a CR ending the file becomes CR LF", "[S]\nA=1\r", "S", "K", "v", "[S]\nA=1\r\nK=v\n"},
      {"unknown lines kept", "; note\n[S]\ngarbage\n=x\n[broken\nK=1\n", "S", "K", "2",
       "; note\n[S]\ngarbage\n=x\n[broken\nK=2\n"},
      {"CR LF value line keeps its CR LF", "[S]\r\nK=1\r\nL=2\r\n", "S", "K", "xyz",
       "[S]\r\nK=xyz\r\nL=2\r\n"},
  };
  for (const SetRow& row : rows) {
    EXPECT_EQ(SetValue(row.before, row.section, row.key, row.value), row.after) << row.why;
  }
}

TEST(SetValue, RefusesWhatCouldNotReadBack) {
  const std::string before = "[S]\nK=1\n";
  const struct {
    const char* why;
    std::string section, key, value;
  } rows[] = {
      {"LF in value", "S", "K", "a\nb"},
      {"CR in value", "S", "K", "a\rb"},
      {"empty key", "S", "", "v"},
      {"= in key", "S", "A=B", "v"},
      {"key with leading blank", "S", " K", "v"},
      {"key with trailing blank", "S", "K ", "v"},
      {"key read as a section", "S", "[K", "v"},
      {"key read as a comment", "S", ";K", "v"},
      {"line break in key", "S", "K\nL", "v"},
      {"empty section", "", "K", "v"},
      {"] in section", "a]b", "K", "v"},
      {"line break in section", "S\n", "K", "v"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(SetValue(before, row.section, row.key, row.value), before) << row.why;
  }
}

TEST(SetValue, OddValuesReadBackExactlyAndLeaveOthersAlone) {
  const std::string thousand(1000, 'x');
  std::string longJapanese;
  for (int i = 0; i < 1000; ++i) longJapanese += "\xE6\x97\xA5";  // 日 x1000
  const std::vector<std::string> values = {
      "",
      "=",
      "a=b",
      "  leading",
      "trailing  ",
      "\tTab\t",
      "[x]",
      ";comment-like",
      "#hash",
      "\"quoted\"",
      "C:\\DATA\\",
      "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",  // 日本語
      "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84",  // ﾃｽﾄ
      thousand,
      longJapanese,
      std::string("nul\0inside", 10),
  };
  const std::vector<std::string> bases = {
      "",
      "[S]\nK=old\nOther=keep\n[T]\nK=t\n",
      "[T]\r\nK=t\r\n[S]\r\nOther=keep\r\n",
      "[s]\nother=keep\n[S]\nk=\n",
  };
  for (const std::string& base : bases) {
    for (const std::string& value : values) {
      const std::string out = SetValue(base, "S", "K", value);
      EXPECT_EQ(FindValue(out, "S", "K"), value) << "base: " << base;
      EXPECT_EQ(FindValue(out, "S", "Other"), FindValue(base, "S", "Other")) << "base: " << base;
      EXPECT_EQ(FindValue(out, "T", "K"), FindValue(base, "T", "K")) << "base: " << base;
      // Writing the same value again changes nothing.
      EXPECT_EQ(SetValue(out, "S", "K", value), out);
    }
  }
}

TEST(DecodeFileText, Utf8AsItIsOtherwiseCp932) {
  const struct {
    const char* why;
    std::string bytes;
    std::string text;
  } rows[] = {
      {"ASCII as it is", "[S]\nK=v\n", "[S]\nK=v\n"},
      {"UTF-8 as it is", "K=\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88", "K=\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
      {"UTF-8 BOM dropped", "\xEF\xBB\xBF[S]\n", "[S]\n"},
      {"CP932 kanji/katakana", "K=\x83\x65\x83\x58\x83\x67", "K=\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88"},
      {"CP932 half-width katakana", "K=\xC3\xBD\xC4", "K=\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84"},
      {"CP932 path with a 0x5C trail byte", "D=C:\\\x95\x5C\\", "D=C:\\\xE8\xA1\xA8\\"},  // 表
      {"empty", "", ""},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(DecodeFileText(row.bytes), row.text) << row.why;
  }
}

}  // namespace
}  // namespace textrove::settings
