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
    const std::string closedPipe = ">&" + std::to_string(pipeEnds[1]), full = ">/dev/full";
    const std::string header = "\r\n検索文字は、  HIT", badOut = "textrove-search: standard output: ";
    const Strings ten = {tree.Root(), "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    Strings eleven = ten;
    eleven.push_back("11");
    struct Row {
        const char* why;
        Strings args;
        std::string redirect;
        int status;
        std::string out, err;  // how each stream starts; "" = stays empty; a whole line: all of it
    };
    std::vector<Row> rows{
        {"no arguments", {}, "", 2, "", "usage:"},
        {"empty word", {tree.Root(), "a", ""}, "", 2, "", "textrove-search: a search word must not be empty\nusage:"},
        {"eleven words", eleven, "", 2, "", "usage:"},
        {"ten words are fine", ten, "", 0, "\r\n検索文字は、  1  2", ""},
        {"no words: header alone", {tree.Root()}, "", 0, "\r\n検索文字は、", ""},
        {"help", {"--help"}, "", 0, "usage: textrove-search DIRECTORY [WORD]...", ""},
        {"missing target: the pane's text, then why",
         {tree.Path("none"), "hit"},
         "",
         2,
         header,
         "textrove-search: " + tree.Path("none") + ": No such file or directory\n"},
        {"target is a file",
         {tree.Path("f"), "hit"},
         "",
         2,
         header,
         "textrove-search: " + tree.Path("f") + ": Not a directory\n"},
        {"full device, usage text", {"--help"}, full, 1, "", badOut + "No space left on device\n"},
        {"full device, small output", {tree.Root(), "hit"}, full, 1, "", badOut + "No space left on device\n"},
        {"full device, large output", {tree.Path("many"), "hit"}, full, 1, "", badOut + "No space left on device\n"},
        {"closed pipe, small output", {tree.Root(), "hit"}, closedPipe, 1, "", badOut + "Broken pipe\n"},
        {"closed pipe, large output", {tree.Path("many"), "hit"}, closedPipe, 1, "", badOut + "Broken pipe\n"},
    };
    if (geteuid() != 0)  // root reads any directory
        rows.push_back({"unreadable target",
                        {tree.Path("locked"), "hit"},
                        "",
                        2,
                        header,
                        "textrove-search: " + tree.Path("locked") + ": Permission denied\n"});
    for (const Row& row : rows) {
        const auto r = RunCompanion(row.args, row.redirect);
        EXPECT_EQ(r.status, row.status) << row.why;
        EXPECT_EQ(r.out.rfind(row.out, 0), 0u) << row.why;
        EXPECT_EQ(r.out.empty(), row.out.empty()) << row.why;
        const bool whole = row.err.empty() || row.err.back() == '\n';
        EXPECT_EQ(whole ? r.err : r.err.substr(0, row.err.size()), row.err) << row.why;
    }
    close(pipeEnds[1]);
}

TEST(Companion, AHitOnAVeryLongLineIsWrittenInBoundedMemory)
{
    // 48 MiB of NUL bytes (a sparse file), then the hit: held whole, the
    // line alone would take the peak past the bound. In UTF-16 the line is
    // decoded as it is read, and decoded again for its record. The output
    // is checked from its file in pieces: a child starts as a copy of this
    // process, whose peak would count.
    for (const bool utf16 : {false, true}) {
        TempTree tree;
        const std::size_t length = std::size_t{48} << 20;
        tree.File("in/long", utf16 ? "\xFF\xFE" : "");
        ASSERT_EQ(truncate(tree.Path("in/long").c_str(), static_cast<off_t>(length + (utf16 ? 2 : 0))), 0);
        std::ofstream(tree.Path("in/long"), std::ios::binary | std::ios::app)
            << (utf16 ? std::string("a\0b\0c\0\n\0", 8) : "abc\n");
        const std::string outPath = tree.Path("out");
        const auto r = RunCompanion({tree.Path("in"), "abc"}, ">" + outPath);
        rusage children{};
        getrusage(RUSAGE_CHILDREN, &children);  // the largest child's peak, in KiB
        EXPECT_EQ(r.status, 0);
        const std::string head = "\r\n検索文字は、  ABC\r\n\r\n" + Banner(tree.Path("in/long")) + "\r\nABC :";
        const std::size_t nuls = utf16 ? length / 2 : length;
        ASSERT_EQ(fs::file_size(outPath), head.size() + nuls + 3) << utf16;
        std::ifstream out(outPath, std::ios::binary);
        std::string piece(head.size(), '\0');
        out.read(piece.data(), static_cast<std::streamsize>(piece.size()));
        EXPECT_EQ(piece, head);
        std::size_t other = 0;
        piece.resize(std::size_t{1} << 20);
        for (std::size_t left = nuls; left > 0;) {
            const std::size_t n = std::min(left, piece.size());
            out.read(piece.data(), static_cast<std::streamsize>(n));
            other += n - std::count(piece.begin(), piece.begin() + static_cast<std::ptrdiff_t>(n), '\0');
            left -= n;
        }
        EXPECT_EQ(other, 0u) << utf16;
        piece.assign(3, '\0');
        out.read(piece.data(), 3);
        EXPECT_EQ(piece, "abc");
#if !defined(__SANITIZE_THREAD__)  // its shadow memory alone passes the bound
        EXPECT_LT(children.ru_maxrss, 64L * 1024) << "peak KiB";
#endif
    }
}

}  // namespace
}  // namespace enginetest
