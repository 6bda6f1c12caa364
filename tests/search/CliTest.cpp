// textrove-search as a program: output bytes and exit status.
#include <sys/wait.h>

#include <cstdio>

#include "SearchTestSupport.h"

namespace enginetest {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

std::string Quote(const std::string& s)
{
    std::string q = "'";
    for (char c : s) {
        if (c == '\'') q.append("'\\''");
        else q.push_back(c);
    }
    q.push_back('\'');
    return q;
}

Outcome RunCompanion(const std::vector<std::string>& args)
{
    TempTree scratch;
    std::string cmd = Quote(TEXTROVE_SEARCH_EXE);
    for (const auto& a : args) cmd.append(" ").append(Quote(a));
    cmd.append(" >").append(Quote(scratch.Path("out")));
    cmd.append(" 2>").append(Quote(scratch.Path("err")));
    const int raw = std::system(cmd.c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, slurp(scratch.Path("out")),
            slurp(scratch.Path("err"))};
}

TEST(Companion, WritesThePaneTextAndExitsZero)
{
    TempTree tree;
    tree.File("NOTE.TXT", "has abc here\nends with ab\ncd\n\x8C\x9F\x8D\xF5\n");
    const auto r = RunCompanion({tree.Root().substr(0, tree.Root().size() - 1), "abc", "検索", "abcdefghijklmn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\r\n検索文字は、  ABC  検索  ABCDEFGHIJ"
                     "\r\n"
                     "\r\n----- ファイル名 : " + tree.Path("NOTE.TXT") + " -----"
                     "\r\nABC :has abc here"
                     "\r\nABC :cd"
                     "\r\n検索 :検索");
    EXPECT_EQ(r.err, "");
}

TEST(Companion, UsageErrorsAndHelp)
{
    TempTree tree;
    struct Row {
        const char* why;
        std::vector<std::string> args;
        int status;
        bool usageOnStderr;
    };
    const std::vector<Row> rows = {
        {"no arguments", {}, 2, true},
        {"empty word", {tree.Root(), "a", ""}, 2, true},
        {"eleven words", {tree.Root(), "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}, 2,
         true},
        {"ten words are fine", {tree.Root(), "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, 0,
         false},
        {"no words: header alone", {tree.Root()}, 0, false},
    };
    for (const auto& row : rows) {
        const auto r = RunCompanion(row.args);
        EXPECT_EQ(r.status, row.status) << row.why;
        if (row.usageOnStderr) {
            EXPECT_EQ(r.out, "") << row.why;
            EXPECT_NE(r.err.find("usage:"), std::string::npos) << row.why;
        } else {
            EXPECT_EQ(r.out.rfind("\r\n検索文字は、", 0), 0u) << row.why;
        }
    }
    const auto help = RunCompanion({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: textrove-search DIRECTORY [WORD]..."), std::string::npos);
}

}  // namespace
}  // namespace enginetest
