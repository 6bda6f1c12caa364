// A hostile tree: special files, link loops, links into /proc and onto a
// device, names that are not UTF-8 or hold a newline, unreadable entries,
// 20,000 files in one directory, a line of 256 MiB, and files that vanish,
// shrink or grow while the search runs. The search must end, report exactly the
// regular files, and keep its memory bounded.
#include <sys/resource.h>

#include "search/engine/EngineTestSupport.h"

namespace enginetest {
namespace {

// The file blocks of a result text (banner and hit records), sorted.
Strings Blocks(const std::string& text)
{
    Strings blocks;
    for (std::size_t at = text.find("\r\n\r\n"); at != std::string::npos;) {
        const std::size_t next = text.find("\r\n\r\n", at + 4);
        blocks.push_back(text.substr(at + 4, next == std::string::npos ? next : next - at - 4));
        at = next;
    }
    std::sort(blocks.begin(), blocks.end());
    return blocks;
}

TEST(TortureTree, CommandLineSearchEndsAndReportsOnlyRegularFiles)
{
    TempTree tree;
    Strings expected;
    // A file to be found, its name as shown: U+FFFD for bytes that are not
    // UTF-8 and for a newline, as the banner is one line like every record.
    auto found = [&](const std::string& rel, const std::string& shown, const std::string& bytes,
                     const std::string& hit) {
        tree.File(rel, bytes);
        expected.push_back(Banner(tree.Path(shown)) + "\r\nNEEDLE :" + hit);
    };
    found("plain.txt", "plain.txt", "nothing here\nfind the NEEDLE here\n", "find the NEEDLE here");
    found("sjis.txt", "sjis.txt", "\x93\xfa\x96\x7b needle\r\n", "日本 needle");
    found("bad\xff\xfename.txt", "bad\uFFFD\uFFFDname.txt", "needle bad\n", "needle bad");
    found("d\xff/inner.txt", "d\uFFFD/inner.txt", "needle inner\n", "needle inner");
    found("new\nline.txt", "new\uFFFDline.txt", "needle nl\n", "needle nl");
    found("sub/deep.txt", "sub/deep.txt", "needle deep\n", "needle deep");
    for (int k = 0; k < 20000; ++k) {
        const std::string name = "many/f" + std::to_string(k);  // every 2000th holds the word
        k % 2000 ? tree.File(name, "plain\n") : found(name, name, "needle\n", "needle");
    }
    tree.Link("plain.txt", "filelink");  // scanned under its own name
    expected.push_back(Banner(tree.Path("filelink")) + "\r\nNEEDLE :find the NEEDLE here");
    std::sort(expected.begin(), expected.end());
    // Neither scanned nor entered: hidden entries, a FIFO (opening it would
    // block for ever), a socket, links to directories, a broken link, a link
    // to endless bytes without a line end, unreadable entries.
    tree.File(".hidden.txt", "needle hidden\n");
    tree.File(".hiddendir/x.txt", "needle in hidden dir\n");
    ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(mknod(tree.Path("sock").c_str(), S_IFSOCK | 0600, 0), 0);
    tree.Link(".", "loop");
    tree.Link("..", "sub/up");
    tree.Link("/proc", "proc");
    tree.Link("/dev/zero", "zero");
    tree.Link("nowhere", "broken");
    tree.Link(tree.Path("sub"), "dirlink");
    if (geteuid() != 0) {  // root reads them all the same
        tree.File("closed", "needle\n");
        tree.File("shut/f", "needle\n");
        chmod(tree.Path("closed").c_str(), 0);
        chmod(tree.Path("shut").c_str(), 0);
    }
    tree.File("huge", "");  // sparse: NUL bytes without a line end or a hit
    ASSERT_EQ(truncate(tree.Path("huge").c_str(), off_t{256} << 20), 0);

    const auto run = RunCompanion({tree.Root(), "needle"});
    rusage children{};
    getrusage(RUSAGE_CHILDREN, &children);  // the largest child's peak, in KiB
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("\r\n\r\n")), "\r\n検索文字は、  NEEDLE");
    EXPECT_EQ(Blocks(run.out), expected);
#if !defined(__SANITIZE_THREAD__) && !defined(__SANITIZE_ADDRESS__)  // shadow memory and quarantine pass the bound
    EXPECT_LT(children.ru_maxrss, 64L * 1024) << "peak KiB";
#endif
}

TEST(TortureTree, FilesChangedWhileTheSearchRuns)
{
    // On one thread, so that nothing is read ahead. "big" holds the word on
    // its first and its last line, 16 MB apart, and is emptied when its first
    // hit is handed over; "grows" gets a hit appended then, while its end is
    // not read yet (Shift-JIS from its first byte: nothing is read ahead for
    // the encoding), and is read to the size it had when opened. Once the
    // first file of "gone" is announced, its other files, listed by then, and
    // its subdirectory are removed.
    struct MutatingSink : RecordingSink {
        void ScanningFile(std::string_view path) override
        {
            if (path.find("/gone/") != std::string_view::npos && first.empty()) {
                first = path;
                for (const auto& entry : fs::directory_iterator(tree->Path("gone")))
                    if (entry.path() != first) fs::remove_all(entry.path());
            }
            RecordingSink::ScanningFile(path);
        }
        bool Append(std::string_view record, std::string& error) override
        {
            if (record == "NEEDLE :needle first") fs::resize_file(tree->Path("big"), 0);
            if (record == "NEEDLE :あ needle") std::ofstream(tree->Path("grows"), std::ios::app) << "needle late\n";
            return RecordingSink::Append(record, error);
        }
        const TempTree* tree;
        std::string first;
    };
    TempTree tree;
    std::string big = "needle first\n";
    while (big.size() < std::size_t{16} << 20) big += "filler line without the word, just text to read\n";
    tree.File("big", big + "needle last\n");
    tree.File("grows", "\x82\xA0 needle\n" + std::string(std::size_t{10} << 20, '\n'));
    for (int k = 0; k < 8; ++k) tree.File("gone/m" + std::to_string(k), "needle\n");
    tree.File("gone/sub/f", "needle\n");
    MutatingSink sink;
    sink.tree = &tree;
    SearchInto(sink, tree.Root(), {"NEEDLE"}, kSerial);
    std::string text;
    for (const auto& record : sink.records) text += "\r\n" + record;
    Strings expected = {Banner(tree.Path("big")) + "\r\nNEEDLE :needle first",
                        Banner(tree.Path("grows")) + "\r\nNEEDLE :あ needle",
                        Banner(sink.first) + "\r\nNEEDLE :needle"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Blocks(text), expected);
    EXPECT_EQ(sink.failures, Strings{});
}

}  // namespace
}  // namespace enginetest
