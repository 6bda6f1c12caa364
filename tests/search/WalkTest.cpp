// The directory walk: order, limits, what is skipped, cancellation, failures.
#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cstring>
#include <chrono>
#include <future>

#include "SearchTestSupport.h"

namespace enginetest {
namespace {

// Banner paths of a search for "HIT" over files that each hold "hit".
std::vector<std::string> HitFiles(const std::string& target)
{
    std::vector<std::string> out;
    const std::string head = "----- ファイル名 : ";
    for (const auto& r : Search(target, {"HIT"}).records) {
        if (r.rfind(head, 0) == 0) out.push_back(r.substr(head.size(), r.size() - head.size() - 6));
    }
    return out;
}

TEST(WalkOrder, OwnFilesThenSubdirectoriesInListingOrder)
{
    TempTree tree;
    tree.File("top1", "hit\n");
    for (const char* d : {"d1", "d2", "d3"}) tree.File(std::string(d) + "/f", "hit\n");
    tree.File("top2", "hit\n");
    std::vector<std::string> expected;
    for (const auto& n : ListingOrder(tree.Root()))
        if (n.rfind("top", 0) == 0) expected.push_back(tree.Path(n));
    for (const auto& n : ListingOrder(tree.Root()))
        if (n[0] == 'd') expected.push_back(tree.Path(n + "/f"));
    EXPECT_EQ(HitFiles(tree.Root()), expected);
}

TEST(WalkOrder, DeepFirstSubtreeBeforeItsSibling)
{
    TempTree tree;
    tree.File("a/f", "hit\n");
    tree.File("a/x/f", "hit\n");
    tree.File("a/x/y/f", "hit\n");
    tree.File("b/f", "hit\n");
    const auto order = ListingOrder(tree.Root());
    const std::string first = order[0], second = order[1];
    std::vector<std::string> expected;
    if (first == "a") {
        expected = {tree.Path("a/f"), tree.Path("a/x/f"), tree.Path("a/x/y/f"), tree.Path("b/f")};
    } else {
        expected = {tree.Path("b/f"), tree.Path("a/f"), tree.Path("a/x/f"), tree.Path("a/x/y/f")};
    }
    EXPECT_EQ(HitFiles(tree.Root()), expected);
}

TEST(WalkTarget, TrailingSlashAndJoining)
{
    TempTree tree;
    tree.File("f", "hit\n");
    const std::string noSlash = tree.Root().substr(0, tree.Root().size() - 1);
    EXPECT_EQ(HitFiles(noSlash), std::vector<std::string>{tree.Path("f")});
    EXPECT_EQ(HitFiles(tree.Root()), std::vector<std::string>{tree.Path("f")});
    EXPECT_EQ(HitFiles(tree.Path("missing")), std::vector<std::string>{})
        << "a missing target gives the header alone";
}

TEST(WalkLimits, FiftySubdirectoriesPerDirectory)
{
    TempTree tree;
    for (int i = 0; i < 60; ++i) tree.File(std::string("d").append(std::to_string(i)).append("/f"), "hit\n");
    const auto order = ListingOrder(tree.Root());
    ASSERT_EQ(order.size(), 60u);
    std::vector<std::string> expected;
    for (int i = 0; i < 50; ++i) expected.push_back(tree.Path(order[i] + "/f"));
    EXPECT_EQ(HitFiles(tree.Root()), expected);
}

TEST(WalkLimits, ElevenLevels)
{
    TempTree tree;
    std::string rel;
    std::vector<std::string> expected{tree.Path("f")};
    tree.File("f", "hit\n");
    for (int level = 1; level <= 12; ++level) {
        rel += "L" + std::to_string(level) + "/";
        tree.File(rel + "f", "hit\n");
        if (level <= 10) expected.push_back(tree.Path(rel + "f"));
    }
    EXPECT_EQ(HitFiles(tree.Root()), expected) << "files down to level 10, nothing below";
}

TEST(WalkSkips, HiddenAndSystemEntries)
{
    TempTree tree;
    tree.File("seen", "hit\n");
    tree.File(".hidden", "hit\n");
    tree.File(".hdir/f", "hit\n");
    tree.File("ro", "hit\n");
    fs::permissions(tree.Path("ro"), fs::perms::owner_read | fs::perms::group_read);
    ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0644), 0);
    const int sock = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = tree.Path("sock");
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);

    // A FIFO nobody writes to would block a plain open: the search must end.
    auto result = std::async(std::launch::async, [&] { return HitFiles(tree.Root()); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    auto files = result.get();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{tree.Path("ro"), tree.Path("seen")}))
        << "read-only files are scanned; hidden, FIFO and socket are not";
    close(sock);
}

TEST(WalkSkips, SymbolicLinks)
{
    TempTree tree;
    tree.File("real/f", "hit\n");
    fs::create_symlink(tree.Path("real/f"), tree.Path("linkfile"));
    fs::create_directory_symlink(tree.Path("real"), tree.Path("linkdir"));
    fs::create_directory_symlink(tree.Root(), tree.Path("real/loop"));
    fs::create_symlink(tree.Path("nowhere"), tree.Path("broken"));
    auto files = HitFiles(tree.Root());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{tree.Path("linkfile"), tree.Path("real/f")}))
        << "a link to a file is scanned under its own name; links to directories are not entered";
}

TEST(WalkSkips, UnreadableFileAndDirectory)
{
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempTree tree;
    tree.File("a", "hit\n");
    tree.File("closed", "hit\n");
    tree.File("shut/f", "hit\n");
    tree.File("z/f", "hit\n");
    fs::permissions(tree.Path("closed"), fs::perms::none);
    fs::permissions(tree.Path("shut"), fs::perms::none);
    auto files = HitFiles(tree.Root());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{tree.Path("a"), tree.Path("z/f")}));
}

TEST(WalkSkips, PseudoFileSystemTargetListsNothing)
{
    if (!fs::exists("/proc/self/status")) GTEST_SKIP() << "no /proc";
    EXPECT_EQ(Search("/proc", {"NAME"}).scanned, std::vector<std::string>{});
}

// Files named so that each holds one hit; the flag is set after `n` records.
struct CancelRun {
    std::vector<std::string> records;
    std::vector<std::string> order;  // file paths in walk order
};

CancelRun RunWithCancel(const TempTree& tree, int cancelAfter, CancelFlag& flag)
{
    RecordingSink sink;
    sink.cancel = &flag;
    sink.cancelAfter = cancelAfter;
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({tree.Root(), {"HIT"}});
    return {sink.records, sink.scanned};
}

TEST(Cancellation, BeforeTheNextFileWritesTheAbortRecord)
{
    TempTree tree;
    for (const char* n : {"f1", "f2", "f3"}) tree.File(n, "hit one\nhit two\n");
    CancelFlag flag{0};
    // Header, empty, banner, first hit: the flag goes up during the first file.
    const auto run = RunWithCancel(tree, 4, flag);
    ASSERT_EQ(run.records.size(), 5u);
    EXPECT_EQ(run.records[3], "HIT :hit one") << "the scan stops at its next line";
    EXPECT_EQ(run.records[4], kAbortRecord) << "and the walk at the next file";
    EXPECT_EQ(run.order.size(), 1u);
}

TEST(Cancellation, DuringTheLastFileEndsWithoutAbortRecord)
{
    TempTree tree;
    tree.File("only", "hit one\nhit two\n");
    CancelFlag flag{0};
    const auto run = RunWithCancel(tree, 4, flag);
    EXPECT_EQ(run.records, (std::vector<std::string>{"検索文字は、  HIT", "",
                                                     "----- ファイル名 : " + tree.Path("only") + " -----",
                                                     "HIT :hit one"}));
}

TEST(Cancellation, AllRecordsOfTheLineStillCome)
{
    TempTree tree;
    tree.File("f", "hit hot\nhit hot\n");
    CancelFlag flag{0};
    RecordingSink sink;
    sink.cancel = &flag;
    sink.cancelAfter = 4;
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({tree.Root(), {"HIT", "HOT"}});
    ASSERT_EQ(sink.records.size(), 5u) << "the flag is looked at per line, not per record";
    EXPECT_EQ(sink.records[4], "HOT :hit hot");
}

TEST(Cancellation, NewSearchAfterACancelledOne)
{
    TempTree tree;
    tree.File("a", "hit\n");
    tree.File("b", "hit\n");
    CancelFlag flag{255};
    RecordingSink sink;
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({tree.Root(), {"HIT"}});
    EXPECT_EQ(sink.records, (std::vector<std::string>{"検索文字は、  HIT", kAbortRecord}));
    flag.store(0);  // the dialog clears it when a search starts
    sink.records.clear();
    engine.SearchCharacter({tree.Root(), {"HIT"}});
    EXPECT_EQ(sink.records.size(), 1u + 2 * 3);
}

TEST(Failures, FailingAppendReportsCancelsAndTriesTheAbortRecord)
{
    TempTree tree;
    tree.File("a", "hit\nhit\n");
    tree.File("b", "hit\n");
    CancelFlag flag{0};
    RecordingSink sink;
    sink.failFrom = 2;  // header and the empty record fit, the banner does not
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({tree.Root(), {"HIT"}});
    EXPECT_EQ(flag.load(), 255);
    EXPECT_EQ(sink.records.size(), 2u);
    // Banner and the first hit of the line fail; the scan stops at the next
    // line; the walk tries the abort record before the next file.
    ASSERT_EQ(sink.attempted.size(), 3u);
    EXPECT_EQ(sink.attempted[1], "HIT :hit");
    EXPECT_EQ(sink.attempted[2], kAbortRecord);
    EXPECT_EQ(sink.failures, (std::vector<std::string>(3, "full")));
}

}  // namespace
}  // namespace enginetest
