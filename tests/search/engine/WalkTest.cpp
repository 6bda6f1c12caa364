// The directory walk: order, limits, what is skipped; cancellation, failures,
// and the same records on any number of threads.
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
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string name = entry.path().filename();
        if (name[0] == '.') continue;
        if (!entry.is_directory())
            out.push_back(dir + name);
        else if (dirs.size() < 50)
            dirs.push_back(dir + name + "/");
    }
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
    if (fs::exists("/proc/self/status")) {
        EXPECT_EQ(Search("/proc", {}).paths, Strings{}) << "a pseudo file system is a system entry";
    }
}

TEST(Cancellation, FlagOrFailingAppendStopsTheSearchWhereOneThreadWould)
{
    // Header, empty record, banner, first hit: the flag goes up there. The
    // scan looks at it per line, the walk before each file.
    std::string big = "hit first\n";
    while (big.size() < 5 * FileScanner::kBlockSize) big += "filler line without the word\nhit again\n";
    struct Row {
        const char* why;
        std::string bytes;  // of the target's own file, before "s/next" if there is one
        bool next;
        Strings words, after;  // records after the banner
    };
    const std::string two = "hit one\nhit two\n", both = "hit hot\nhit hot\n";
    for (const Row& row : std::vector<Row>{
             {"the walk stops before the next file", two, true, {"HIT"}, {"HIT :hit one", kAbortRecord}},
             {"no abort record when no file is left", two, false, {"HIT"}, {"HIT :hit one"}},
             {"every record of the line still comes", both, false, {"HIT", "HOT"}, {"HIT :hit hot", "HOT :hit hot"}},
             {"inside a file of many blocks", big, true, {"HIT"}, {"HIT :hit first", kAbortRecord}},
         }) {
        TempTree tree;
        tree.File("f", row.bytes);
        if (row.next) tree.File("s/next", "hit\n");
        for (const Parallel& path : {kSerial, Parallel{4}}) {
            CancelFlag flag{0};
            const auto records = Search(tree.Root(), row.words, path, &flag, 4).records;
            ASSERT_GE(records.size(), 3u) << row.why;
            EXPECT_EQ(Strings(records.begin() + 3, records.end()), row.after) << row.why << ", " << path.threads;
        }
    }
    TempTree tree;
    tree.File("f", "hit\nhit\n");
    tree.File("s/next", "hit\n");
    for (const Parallel& path : {kSerial, Parallel{4}}) {
        // A failing append is reported and raises the flag: the banner and the
        // line's hit fail, the scan stops at the next line, the walk tries the
        // abort record before the next file.
        CancelFlag flag{0};
        RecordingSink sink;
        sink.cancel = &flag;
        sink.failFrom = 2;  // header and the empty record fit, the banner does not
        SearchInto(sink, tree.Root(), {"HIT"}, path);
        EXPECT_EQ(flag.load(), 255);
        EXPECT_EQ(sink.records.size(), 2u);
        EXPECT_EQ(sink.attempted, (Strings{Banner(tree.Path("f")), "HIT :hit", kAbortRecord})) << path.threads;
        EXPECT_EQ(sink.failures, Strings(3, "full"));
    }
    CancelFlag up{255};  // already up: the header and the abort record
    EXPECT_EQ(Search(tree.Root(), {"HIT"}, {}, &up).records, (Strings{"検索文字は、  HIT", kAbortRecord}));
}

// Random trees of Shift-JIS and UTF-8 files, words split over line breaks
// among them, searched on one thread and on several: the records must be the
// same byte for byte, also when the sink raises the flag part-way (the
// release looks at it where one thread would).
TEST(ParallelScan, SameRecordsAsOneThreadOnRandomTrees)
{
    // Two threads; eight, a file per batch; records held back past a tiny
    // bound wait for the head; later files held while the first one stalls.
    const Parallel configurations[] = {{2}, {8, 0, 1}, {4, 64, 3}, {4, 0, 2, 20}};
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
        // No cancellation, then the flag raised at a random record.
        for (int cancelAfter : {-1, 2 + static_cast<int>(rng() % 40)}) {
            CancelFlag flag{0};
            const Strings one = Search(tree.Root(), words, kSerial, &flag, cancelAfter).records;
            cancelled += !one.empty() && one.back() == kAbortRecord;
            for (const Parallel& parallel : configurations) {
                CancelFlag again{0};
                EXPECT_EQ(Search(tree.Root(), words, parallel, &again, cancelAfter).records, one)
                    << parallel.threads << " threads, round " << round << ", cancel after " << cancelAfter;
            }
        }
    }
    EXPECT_GT(cancelled, 3) << "the rounds must exercise the abort record";
}

}  // namespace
}  // namespace enginetest
