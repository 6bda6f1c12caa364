// The directory walk: order, limits, what is skipped, cancellation, failures.
#include <algorithm>
#include <chrono>
#include <future>

#include "search/engine/EngineTestSupport.h"
#include "search/engine/FileScanner.h"
#include "search/engine/PseudoFileSystems.h"

namespace enginetest {
namespace {

// Each search behaviour holds on one thread and on several.
constexpr unsigned kThreadCounts[] = {1, 4};

// Banner paths of a search for "HIT" over files that each hold "hit".
Strings HitFiles(const std::string& target, bool sorted = false)
{
    Strings out;
    const std::string head = "----- ファイル名 : ";
    for (const auto& r : Search(target, {"HIT"}).records)
        if (r.rfind(head, 0) == 0) out.push_back(r.substr(head.size(), r.size() - head.size() - 6));
    if (sorted) std::sort(out.begin(), out.end());
    return out;
}

TEST(WalkOrder, OwnFilesThenSubdirectoriesInListingOrder)
{
    TempTree tree;
    for (const char* f : {"top1", "d1/f", "d2/f", "d3/f", "top2"}) tree.File(f, "hit\n");
    Strings files, dirs;
    for (const auto& n : ListingOrder(tree.Root()))
        (n[0] == 't' ? files : dirs).push_back(tree.Path(n[0] == 't' ? n : n + "/f"));
    files.insert(files.end(), dirs.begin(), dirs.end());
    EXPECT_EQ(HitFiles(tree.Root()), files);
}

TEST(WalkOrder, DeepFirstSubtreeBeforeItsSibling)
{
    TempTree tree;
    for (const char* f : {"a/f", "a/x/f", "a/x/y/f", "b/f"}) tree.File(f, "hit\n");
    Strings expected = {tree.Path("a/f"), tree.Path("a/x/f"), tree.Path("a/x/y/f")};
    expected.insert(ListingOrder(tree.Root())[0] == "a" ? expected.end() : expected.begin(), tree.Path("b/f"));
    EXPECT_EQ(HitFiles(tree.Root()), expected);
}

TEST(WalkTarget, TrailingSlashOptionalMissingTargetGivesHeaderAlone)
{
    TempTree tree;
    tree.File("f", "hit\n");
    EXPECT_EQ(HitFiles(tree.Root().substr(0, tree.Root().size() - 1)), Strings{tree.Path("f")});
    EXPECT_EQ(HitFiles(tree.Root()), Strings{tree.Path("f")});
    EXPECT_EQ(Search(tree.Path("missing"), {"HIT"}).records, Strings{"検索文字は、  HIT"});
}

// The banner shows a name that is not UTF-8 with U+FFFD; whoever must open
// the file again gets its bytes, announced before the file's records.
TEST(WalkTarget, EachFileIsAnnouncedByItsPathBytes)
{
    TempTree tree;
    tree.File("a \xff\xfe 日本.txt", "hit\n");
    tree.File("none.txt", "nothing\n");
    const RecordingSink sink = Search(tree.Root(), {"HIT"});
    Strings expectedShown;
    for (const std::string& path : sink.paths) expectedShown.push_back(text::LossyUtf8(path));
    Strings sorted = sink.paths;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (Strings{tree.Path("a \xff\xfe 日本.txt"), tree.Path("none.txt")}));
    EXPECT_EQ(sink.scanned, expectedShown) << "one path per file, in the same order as the display text";
    EXPECT_EQ(HitFiles(tree.Root()), Strings{tree.Path("a \xEF\xBF\xBD\xEF\xBF\xBD 日本.txt")});
}

TEST(WalkLimits, FiftySubdirectoriesPerDirectory)
{
    // Files listed after the 51st directory are still scanned: only the
    // extra directories are left out.
    TempTree tree;
    // Made before the directories (tmpfs lists newest first, others by hash)
    // and twice as many directories as are kept, so some files are listed
    // after the 51st directory.
    for (int i = 0; i < 20; ++i) tree.File(std::string("r").append(std::to_string(i)), "hit\n");
    for (int i = 0; i < 100; ++i) tree.File(std::string("d").append(std::to_string(i)).append("/f"), "hit\n");
    Strings expected, dirs;
    for (const std::string& name : ListingOrder(tree.Root()))
        (name[0] == 'r' ? expected : dirs).push_back(name[0] == 'r' ? tree.Path(name) : name);
    for (int i = 0; i < 50; ++i) expected.push_back(tree.Path(dirs[i] + "/f"));
    EXPECT_EQ(HitFiles(tree.Root()), expected);
}

TEST(WalkLimits, TenLevelsBelowTheTarget)
{
    TempTree tree;
    std::string rel;
    Strings expected{tree.Path("f")};
    tree.File("f", "hit\n");
    for (int level = 1; level <= 12; ++level) {
        rel += "L" + std::to_string(level) + "/";
        tree.File(rel + "f", "hit\n");
        if (level <= 10) expected.push_back(tree.Path(rel + "f"));
    }
    EXPECT_EQ(HitFiles(tree.Root()), expected);
}

TEST(WalkSkips, HiddenAndSystemEntries)
{
    TempTree tree;
    for (const char* f : {"seen", ".hidden", ".hdir/f", "ro"}) tree.File(f, "hit\n");
    fs::permissions(tree.Path("ro"), fs::perms::owner_read | fs::perms::group_read);
    ASSERT_EQ(mkfifo(tree.Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(mknod(tree.Path("sock").c_str(), S_IFSOCK | 0644, 0), 0);
    // A FIFO nobody writes to would block a plain open: the search must end.
    auto result = std::async(std::launch::async, [&] { return HitFiles(tree.Root(), true); });
    ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_EQ(result.get(), (Strings{tree.Path("ro"), tree.Path("seen")}))
        << "read-only files are scanned; hidden, FIFO and socket are not";
}

TEST(WalkSkips, SymbolicLinks)
{
    TempTree tree;
    tree.File("real/f", "hit\n");
    fs::create_symlink(tree.Path("real/f"), tree.Path("linkfile"));
    fs::create_directory_symlink(tree.Path("real"), tree.Path("linkdir"));
    fs::create_directory_symlink(tree.Root(), tree.Path("real/loop"));
    fs::create_symlink(tree.Path("nowhere"), tree.Path("broken"));
    EXPECT_EQ(HitFiles(tree.Root(), true), (Strings{tree.Path("linkfile"), tree.Path("real/f")}))
        << "a link to a file is scanned under its own name; links to directories are not entered";
}

TEST(WalkSkips, UnreadableFileAndDirectory)
{
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempTree tree;
    for (const char* f : {"a", "closed", "shut/f", "z/f"}) tree.File(f, "hit\n");
    fs::permissions(tree.Path("closed"), fs::perms::none);
    fs::permissions(tree.Path("shut"), fs::perms::none);
    EXPECT_EQ(HitFiles(tree.Root(), true), (Strings{tree.Path("a"), tree.Path("z/f")}));
}

TEST(WalkSkips, PseudoFileSystemTargetListsNothing)
{
    if (!fs::exists("/proc/self/status")) GTEST_SKIP() << "no /proc";
    EXPECT_EQ(Search("/proc", {"NAME"}).scanned, Strings{});
}

TEST(WalkSkips, PseudoFileSystemTypes)
{
    // Kernel pseudo file systems are system entries; file systems that hold
    // user files (a tmpfs /tmp, an automount point) are walked.
    for (const char* type : {"proc", "sysfs", "devtmpfs", "devpts", "cgroup", "cgroup2", "debugfs", "tracefs",
                             "securityfs", "pstore", "bpf", "mqueue", "nsfs"})
        EXPECT_TRUE(textrove::search::IsPseudoFileSystemType(type)) << type;
    for (const char* type : {"ext4", "tmpfs", "ramfs", "autofs", "nfs", "fuse.sshfs", "", "PROC"})
        EXPECT_FALSE(textrove::search::IsPseudoFileSystemType(type)) << type;
    EXPECT_TRUE(textrove::search::IsPseudoFileSystemMagic(0x9fa0));       // proc
    EXPECT_FALSE(textrove::search::IsPseudoFileSystemMagic(0x01021994));  // tmpfs
    EXPECT_FALSE(textrove::search::IsPseudoFileSystemMagic(0));
}

TEST(Cancellation, FlagRaisedWithTheFirstHit)
{
    // Header, empty record, banner, first hit: the flag goes up there. The
    // scan looks at it per line, the walk before each file.
    std::string big = "hit first\n";
    while (big.size() < 5 * FileScanner::kBlockSize) big += "filler line without the word\nhit again\n";
    const std::string two = "hit one\nhit two\n";
    struct Row {
        const char* why;
        std::vector<std::pair<std::string, std::string>> files;
        Strings words, after;  // records after the banner
    };
    for (const Row& row : std::vector<Row>{
             {"the walk stops before the next file",
              {{"f1", two}, {"f2", two}, {"f3", two}},
              {"HIT"},
              {"HIT :hit one", kAbortRecord}},
             {"no abort record when no file is left", {{"only", two}}, {"HIT"}, {"HIT :hit one"}},
             {"every record of the line still comes",
              {{"f", "hit hot\nhit hot\n"}},
              {"HIT", "HOT"},
              {"HIT :hit hot", "HOT :hit hot"}},
             {"inside a file of many blocks",
              {{"big", big}, {"sub/after", "hit\n"}},
              {"HIT"},
              {"HIT :hit first", kAbortRecord}},
         }) {
        TempTree tree;
        for (const auto& [name, bytes] : row.files) tree.File(name, bytes);
        for (unsigned threads : kThreadCounts) {
            CancelFlag flag{0};
            const auto records = Search(tree.Root(), row.words, &flag, 4, {threads}).records;
            ASSERT_GE(records.size(), 3u) << row.why;
            EXPECT_EQ(Strings(records.begin() + 3, records.end()), row.after) << row.why << ", threads " << threads;
        }
    }
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
    EXPECT_EQ(sink.records, (Strings{"検索文字は、  HIT", kAbortRecord}));
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
    for (unsigned threads : kThreadCounts) {
        SCOPED_TRACE(threads);
        CancelFlag flag{0};
        RecordingSink sink;
        sink.failFrom = 2;  // header and the empty record fit, the banner does not
        SearchEngine engine(sink, flag);
        engine.SetThreads(threads);
        engine.SearchCharacter({tree.Root(), {"HIT"}});
        EXPECT_EQ(flag.load(), 255);
        EXPECT_EQ(sink.records.size(), 2u);
        // Banner and the line's hit fail; the scan stops at the next line; the
        // walk tries the abort record before the next file.
        ASSERT_EQ(sink.attempted.size(), 3u);
        EXPECT_EQ(sink.attempted[1], "HIT :hit");
        EXPECT_EQ(sink.attempted[2], kAbortRecord);
        EXPECT_EQ(sink.failures, Strings(3, "full"));
    }
}

// Random trees of Shift-JIS and UTF-8 files, words split over line breaks
// among them, searched on one thread and on several: the records must be the
// same byte for byte, also when the sink raises the flag part-way (the
// release looks at it where one thread would).
TEST(ParallelScan, SameRecordsAsOneThreadOnRandomTrees)
{
    struct Row {
        const char* why;
        Parallel parallel;
    };
    const Row rows[] = {
        {"two threads", {2}},
        {"eight threads, a file per batch", {8, 0, 1}},
        {"records held back past a tiny bound wait for the head", {4, 64, 3}},
        {"later files held while the first one stalls", {4, 0, 2, 20}},
    };
    std::mt19937 rng(77);
    int cancelled = 0;
    for (int round = 0; round < 16; ++round) {
        TempTree tree;
        const Alphabet& alphabet = round % 2 ? kUtf8 : kShiftJis;
        std::string dir;
        for (int d = 0, dirs = 2 + static_cast<int>(rng() % 6); d < dirs; ++d) {
            dir = rng() % 3 == 0 ? dir + "d" + std::to_string(d) + "/" : "d" + std::to_string(d) + "/";
            for (int f = 0, files = static_cast<int>(rng() % 9); f < files; ++f)
                tree.File(dir + "f" + std::to_string(f), RandomText(rng, alphabet, rng() % 400, rng() % 5 == 0));
        }
        const auto words = RandomWords(rng, alphabet);
        const Strings whole = Search(tree.Root(), words, nullptr, -1, {1}).records;
        // No cancellation, then the flag raised at a random record.
        for (int cancelAfter : {-1, 2 + static_cast<int>(rng() % std::max<std::size_t>(1, whole.size()))}) {
            CancelFlag flag{0};
            const Strings one = Search(tree.Root(), words, &flag, cancelAfter, {1}).records;
            cancelled += !one.empty() && one.back() == kAbortRecord;
            for (const Row& row : rows) {
                CancelFlag again{0};
                EXPECT_EQ(Search(tree.Root(), words, &again, cancelAfter, row.parallel).records, one)
                    << row.why << ", round " << round << ", cancel after " << cancelAfter;
            }
        }
    }
    EXPECT_GT(cancelled, 3) << "the rounds must exercise the abort record";
}

// A hit on a line too long to hold comes in parts; in a file behind a slow
// one, on a thread that may hold only a little, the parts go over once that
// file is the head, whole and in order.
TEST(ParallelScan, LongHitLineBehindASlowFile)
{
    TempTree tree;
    tree.File("first", "hit\n");  // the root's own file comes first
    std::string line(8 * FileScanner::kHoldLimit, 'x');
    line.replace(line.size() / 2, 3, "HIT");
    tree.File("b/long", "before\n" + line + "\nhit after\n");
    tree.File("c/last", "hit\n");
    const Strings one = Search(tree.Root(), {"HIT"}, nullptr, -1, {1}).records;
    ASSERT_EQ(one.size(), 1u + 3 * 2 + 4);
    EXPECT_EQ(std::count(one.begin(), one.end(), "HIT :" + line), 1);
    for (int cancelAfter : {-1, 6}) {
        CancelFlag flag{0};
        const Strings expected = Search(tree.Root(), {"HIT"}, &flag, cancelAfter, {1}).records;
        CancelFlag again{0};
        EXPECT_EQ(Search(tree.Root(), {"HIT"}, &again, cancelAfter, {4, 64 * 1024, 1, 50}).records, expected)
            << "cancel after " << cancelAfter;
    }
    // Held back: at most the bound and the part that passed it.
    RecordingSink sink;
    sink.stallMs = 50;
    CancelFlag flag{0};
    SearchEngine engine(sink, flag);
    engine.SetThreads(4);
    engine.SetParallelLimits(64 * 1024, 1);
    engine.SearchCharacter({tree.Root(), {"HIT"}});
    EXPECT_EQ(sink.records, one);
    EXPECT_LE(engine.PeakHeldBytes(), 64 * 1024 + 3 * FileScanner::kBlockSize);
}

}  // namespace
}  // namespace enginetest
