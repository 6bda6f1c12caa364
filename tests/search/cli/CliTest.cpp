// textrove-search as a program: output bytes and exit status.
#include <sys/resource.h>

#include "search/engine/EngineTestSupport.h"

namespace enginetest {
namespace {

TEST(Companion, WritesThePaneTextAndExitsZero)
{
    TempTree tree;
    tree.File("NOTE.TXT", "has abc here\nends with ab\ncd\n\x8C\x9F\x8D\xF5\n");
    const auto r = RunCompanion({tree.Root().substr(0, tree.Root().size() - 1), "abc", "検索", "abcdefghijklmn"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "\r\n検索文字は、  ABC  検索  ABCDEFGHIJ\r\n\r\n" + Banner(tree.Path("NOTE.TXT"))
                  + "\r\nABC :has abc here\r\nABC :cd\r\n検索 :検索");
    EXPECT_EQ(r.err, "");
}

TEST(Companion, ExitStatus)
{
    TempTree tree;
    tree.File("f", "hit\n");
    tree.File("locked/g", "hit\n");
    chmod(tree.Path("locked").c_str(), 0);
    std::string many;  // every line a hit: far more output than the stream buffer holds
    for (int k = 0; k < 200000; ++k) many += "hit\n";
    tree.File("many/hits", many);
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    close(pipeEnds[0]);
    const std::string closed = ">&" + std::to_string(pipeEnds[1]), full = ">/dev/full",
                      noSpace = "No space left on device";
    const std::string header = "\r\n検索文字は、  HIT", no = tree.Path("no"), locked = tree.Path("locked");
    auto why = [](const std::string& what, const std::string& cause) {
        return "textrove-search: " + what + ": " + cause + "\n";
    };
    Strings ten = {tree.Root(), "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}, eleven = ten;
    eleven.push_back("11");
    struct Row {
        const char* why;
        Strings args;
        std::string redirect;
        int status;
        std::string out, err;  // how each stream starts ("": it stays empty); a line: the whole stream
    };
    std::vector<Row> rows{
        {"no arguments", {}, "", 2, "", "usage:"},
        {"empty word", {tree.Root(), "a", ""}, "", 2, "", "textrove-search: a search word must not be empty\nusage:"},
        {"eleven words", eleven, "", 2, "", "usage:"},
        {"ten words are fine", ten, "", 0, "\r\n検索文字は、  1  2", ""},
        {"no words: header alone", {tree.Root()}, "", 0, "\r\n検索文字は、", ""},
        {"help", {"--help"}, "", 0, "usage: textrove-search DIRECTORY [WORD]...", ""},
        {"missing target: header, then why", {no, "hit"}, "", 2, header, why(no, "No such file or directory")},
        {"target is a file", {tree.Path("f"), "hit"}, "", 2, header, why(tree.Path("f"), "Not a directory")},
        {"full device, usage text", {"--help"}, full, 1, "", why("standard output", noSpace)},
        {"full device, small output", {tree.Root(), "hit"}, full, 1, "", why("standard output", noSpace)},
        {"full device, large output", {tree.Path("many"), "hit"}, full, 1, "", why("standard output", noSpace)},
        {"closed pipe, small output", {tree.Root(), "hit"}, closed, 1, "", why("standard output", "Broken pipe")},
        {"closed pipe, large output", {tree.Path("many"), "hit"}, closed, 1, "", why("standard output", "Broken pipe")},
    };
    if (geteuid() != 0)  // root reads any directory
        rows.push_back({"unreadable target", {locked, "hit"}, "", 2, header, why(locked, "Permission denied")});
    for (const Row& row : rows) {
        const auto r = RunCompanion(row.args, row.redirect);
        EXPECT_EQ(r.status, row.status) << row.why;
        EXPECT_EQ(r.out.substr(0, row.out.size()), row.out) << row.why;
        EXPECT_EQ(r.out.empty(), row.out.empty()) << row.why;
        const bool whole = row.err.empty() || row.err.back() == '\n';
        EXPECT_EQ(whole ? r.err : r.err.substr(0, row.err.size()), row.err) << row.why;
    }
    close(pipeEnds[1]);
}

TEST(Companion, AHitOnAVeryLongLineIsWrittenInBoundedMemory)
{
    // 48 MiB of NUL bytes (a sparse file), then the hit: held whole, the line
    // and its record would take the peak past the bound. In UTF-16 the line is
    // decoded as it is read, and decoded again for its record. The output is
    // read back as a stream: a child starts as a copy of this process, whose
    // peak would count.
    for (const bool utf16 : {false, true}) {
        TempTree tree;
        const std::size_t length = std::size_t{48} << 20, nuls = utf16 ? length / 2 : length;
        tree.File("in/long", utf16 ? "\xFF\xFE" : "");
        ASSERT_EQ(truncate(tree.Path("in/long").c_str(), static_cast<off_t>(length + (utf16 ? 2 : 0))), 0);
        std::ofstream(tree.Path("in/long"), std::ios::binary | std::ios::app)
            << (utf16 ? std::string("a\0b\0c\0\n\0", 8) : "abc\n");
        const auto r = RunCompanion({tree.Path("in"), "abc"}, std::string(">").append(tree.Path("out")));
        rusage children{};
        getrusage(RUSAGE_CHILDREN, &children);  // the largest child's peak, in KiB
        EXPECT_EQ(r.status, 0);
        const std::string head = "\r\n検索文字は、  ABC\r\n\r\n" + Banner(tree.Path("in/long")) + "\r\nABC :";
        std::ifstream out(tree.Path("out"), std::ios::binary);
        std::string got(head.size(), '\0');
        out.read(got.data(), static_cast<std::streamsize>(got.size()));
        EXPECT_EQ(got, head);
        std::istreambuf_iterator<char> at(out), end;
        std::size_t zeros = 0;
        for (; at != end && *at == '\0'; ++at) ++zeros;
        EXPECT_EQ(zeros, nuls) << utf16;
        EXPECT_EQ(std::string(at, end), "abc") << utf16;
#if !defined(__SANITIZE_THREAD__)  // its shadow memory alone passes the bound
        EXPECT_LT(children.ru_maxrss, 64L * 1024) << "peak KiB";
#endif
    }
}

}  // namespace
}  // namespace enginetest
