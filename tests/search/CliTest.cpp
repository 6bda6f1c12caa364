// textrove-search as a program: output bytes and exit status.
#include <sys/wait.h>

#include "SearchTestSupport.h"

namespace enginetest {
namespace {

struct Outcome {
    int status;
    std::string out, err;
};

// Runs the program with `args`; standard output goes to a scratch file, or
// to `device` (then not read back).
Outcome RunCompanion(const Strings& args, const std::string& device = "")
{
    TempTree scratch;
    auto quote = [](const std::string& s) {
        std::string q = "'";
        for (char c : s) c == '\'' ? q.append("'\\''") : q.append(1, c);
        return q.append("'");
    };
    const std::string out = device.empty() ? scratch.Path("out") : device;
    std::string cmd = quote(TEXTROVE_SEARCH_EXE);
    for (const auto& a : args) cmd.append(" ").append(quote(a));
    const int raw = std::system((cmd + " >" + quote(out) + " 2>" + quote(scratch.Path("err"))).c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, device.empty() ? slurp(out) : "", slurp(scratch.Path("err"))};
}

TEST(Companion, WritesThePaneTextAndExitsZero)
{
    TempTree tree;
    tree.File("NOTE.TXT", "has abc here\nends with ab\ncd\n\x8C\x9F\x8D\xF5\n");
    const auto r = RunCompanion({tree.Root().substr(0, tree.Root().size() - 1), "abc", "検索", "abcdefghijklmn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "\r\n検索文字は、  ABC  検索  ABCDEFGHIJ\r\n"
                     "\r\n----- ファイル名 : " + tree.Path("NOTE.TXT") + " -----"
                     "\r\nABC :has abc here\r\nABC :cd\r\n検索 :検索");
    EXPECT_EQ(r.err, "");
}

TEST(Companion, ExitStatus)
{
    TempTree tree;
    tree.File("f", "hit\n");
    const Strings ten = {tree.Root(), "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    Strings eleven = ten;
    eleven.push_back("11");
    struct Row {
        const char* why;
        Strings args;
        int status;
        bool onStdout;  // where `starts` is written; the other stream stays empty
        std::string starts;
    };
    for (const Row& row : std::vector<Row>{
             {"no arguments", {}, 2, false, "usage:"},
             {"empty word", {tree.Root(), "a", ""}, 2, false, "textrove-search: a search word must not be empty"},
             {"eleven words", eleven, 2, false, "usage:"},
             {"ten words are fine", ten, 0, true, "\r\n検索文字は、  1  2"},
             {"no words: header alone", {tree.Root()}, 0, true, "\r\n検索文字は、"},
             {"help", {"--help"}, 0, true, "usage: textrove-search DIRECTORY [WORD]..."},
         }) {
        const auto r = RunCompanion(row.args);
        EXPECT_EQ(r.status, row.status) << row.why;
        EXPECT_EQ((row.onStdout ? r.out : r.err).rfind(row.starts, 0), 0u) << row.why;
        EXPECT_EQ(row.onStdout ? r.err : r.out, "") << row.why;
    }
    EXPECT_EQ(RunCompanion({tree.Root(), "hit"}, "/dev/full").status, 1) << "output that cannot be written is a failure";
}

}  // namespace
}  // namespace enginetest
