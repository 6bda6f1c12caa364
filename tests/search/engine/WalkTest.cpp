// The directory walk: order, limits, what is skipped; cancellation, failures,
// and the same records on any number of threads.
#include <dirent.h>

#include <algorithm>

#include "search/engine/EngineTestSupport.h"
#include "search/engine/FileScanner.h"

namespace enginetest {
namespace {

// The walk's order as a plain recursion: a directory's own files in the
// kernel's listing order, then its first 50 subdirectories in listing order,
// each to 10 levels below the target.
void Walk(const std::string& dir, int level, Strings& out)
{
    Strings dirs;
    DIR* d = opendir(dir.c_str());
    while (dirent* e = d ? readdir(d) : nullptr) {
        const std::string path = dir + e->d_name;
        if (e->d_name[0] == '.') continue;
        if (!fs::is_directory(path))
            out.push_back(path);
        else if (dirs.size() < 50)
            dirs.push_back(path + "/");
    }
    if (d) closedir(d);
    if (level < 10)
        for (const auto& sub : dirs) Walk(sub, level + 1, out);
}

TEST(Walk, OwnFilesThenSubdirectoriesDepthFirstWithinTheLimits)
{
    // Files made before the directories (tmpfs lists newest first, others by
    // hash) and twice as many directories as are kept, so some files are
    // listed after the 51st directory. A chain 12 levels deep with a sibling
    // at each level. A name that is not UTF-8 is handed over as its bytes.
    TempTree wide, deep;
    for (int i = 0; i < 20; ++i) wide.File("r" + std::to_string(i), "");
    wide.File("r\xff\xfe", "");
    for (int i = 0; i < 100; ++i) wide.File(std::to_string(i) + "d/f", "");
    std::string rel;
    for (int level = 0; level <= 12; ++level, rel += "L/") {
        deep.File(rel + "f", "");
        deep.File(rel + "s/f", "");
    }
    for (const TempTree* tree : {&wide, &deep}) {
        Strings expected, shown;
        Walk(tree->Root(), 0, expected);
        const auto run = Search(tree->Root(), {});
        EXPECT_EQ(run.paths, expected);
        for (const auto& path : run.paths) shown.push_back(text::LossyUtf8(path));
        EXPECT_EQ(run.scanned, shown);
    }
}

TEST(Walk, UnreadableEntriesAndPseudoFileSystemsAreLeftOut)
{
    if (fs::exists("/proc/self/status")) {
        EXPECT_EQ(Search("/proc", {"NAME"}).scanned, Strings{});
    }
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not stop root";
    TempTree tree;
    for (const char* f : {"a", "closed", "shut/f", "z/f"}) tree.File(f, "hit\n");
    fs::permissions(tree.Path("closed"), fs::perms::none);
    fs::permissions(tree.Path("shut"), fs::perms::none);
    Strings banners;
    for (const auto& r : Search(tree.Root(), {"HIT"}).records)
        if (r.rfind("-----", 0) == 0) banners.push_back(r);
    std::sort(banners.begin(), banners.end());
    EXPECT_EQ(banners, (Strings{Banner(tree.Path("a")), Banner(tree.Path("z/f"))}));
}

TEST(Cancellation, StopsWhereOneThreadWouldAndEndsWithTheAbortRecord)
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
        for (const Parallel& path : {kSerial, Parallel{4}}) {
            CancelFlag flag{0};
            const auto records = Search(tree.Root(), row.words, path, &flag, 4).records;
            ASSERT_GE(records.size(), 3u) << row.why;
            EXPECT_EQ(Strings(records.begin() + 3, records.end()), row.after) << row.why << ", " << path.threads;
        }
    }
    // A flag already up: the header and the abort record. Cleared (as the
    // dialog does when a search starts), the same engine searches again.
    TempTree tree;
    tree.File("a", "hit\n");
    CancelFlag flag{255};
    RecordingSink sink;
    SearchEngine engine(sink, flag);
    for (const Strings& expected : {Strings{"検索文字は、  HIT", kAbortRecord},
                                    Strings{"検索文字は、  HIT", "", Banner(tree.Path("a")), "HIT :hit"}}) {
        sink.records.clear();
        engine.SearchCharacter({tree.Root(), {"HIT"}});
        EXPECT_EQ(sink.records, expected);
        flag.store(0);
    }
}

TEST(Failures, FailingAppendReportsCancelsAndTriesTheAbortRecord)
{
    TempTree tree;
    tree.File("a", "hit\nhit\n");
    tree.File("b", "hit\n");
    for (const Parallel& path : {kSerial, Parallel{4}}) {
        SCOPED_TRACE(path.threads);
        CancelFlag flag{0};
        RecordingSink sink;
        sink.cancel = &flag;
        sink.failFrom = 2;  // header and the empty record fit, the banner does not
        SearchInto(sink, tree.Root(), {"HIT"}, path);
        EXPECT_EQ(flag.load(), 255);
        EXPECT_EQ(sink.records.size(), 2u);
        // Banner and the line's hit fail; the scan stops at the next line; the
        // walk tries the abort record before the next file.
        EXPECT_EQ(sink.attempted, (Strings{Banner(sink.paths[0]), "HIT :hit", kAbortRecord}));
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
        const Strings whole = Search(tree.Root(), words, kSerial).records;
        // No cancellation, then the flag raised at a random record.
        for (int cancelAfter : {-1, 2 + static_cast<int>(rng() % std::max<std::size_t>(1, whole.size()))}) {
            CancelFlag flag{0};
            const Strings one = Search(tree.Root(), words, kSerial, &flag, cancelAfter).records;
            cancelled += !one.empty() && one.back() == kAbortRecord;
            for (const Row& row : rows) {
                CancelFlag again{0};
                EXPECT_EQ(Search(tree.Root(), words, row.parallel, &again, cancelAfter).records, one)
                    << row.why << ", round " << round << ", cancel after " << cancelAfter;
            }
        }
    }
    EXPECT_GT(cancelled, 3) << "the rounds must exercise the abort record";
}

}  // namespace
}  // namespace enginetest
