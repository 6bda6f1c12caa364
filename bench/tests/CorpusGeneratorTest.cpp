#include "CorpusGenerator.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>

namespace fs = std::filesystem;
using namespace textrove::bench;

namespace {

std::string ReadAll(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool Hidden(const fs::path& rel)
{
    return std::ranges::any_of(rel, [](const fs::path& part) { return part.string().starts_with("."); });
}

// Strict decode through ICU, upper-cased; false on any invalid or unmappable sequence.
bool DecodeUpper(const char* converter, std::string_view bytes, std::u32string& out)
{
    UErrorCode st = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(converter, &st);
    ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &st);
    std::u16string u16(bytes.size() + 4, u'\0');
    const int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(u16.data()), static_cast<int32_t>(u16.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &st);
    ucnv_close(cnv);
    out.clear();
    for (int32_t i = 0; U_SUCCESS(st) && i < n;) {
        UChar32 c;
        U16_NEXT(u16.data(), i, n, c);
        out.push_back(static_cast<char32_t>(u_toupper(c)));
    }
    return U_SUCCESS(st);
}

std::size_t Occurrences(const std::u32string& hay, const std::u32string& needle)
{
    std::size_t n = 0;
    for (auto at = hay.find(needle); at != std::u32string::npos; at = hay.find(needle, at + needle.size())) ++n;
    return n;
}

std::map<std::string, std::string> Snapshot(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadAll(e.path());
    return files;
}

constexpr std::uint64_t kSize = 8ull << 20;

class CorpusTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        std::string tmpl = fs::temp_directory_path() / "corpus_test_XXXXXX";
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        s_dir = tmpl;
        s_summary = GenerateCorpus({Tree(), kSize, 7});
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }
    static fs::path Tree() { return s_dir / "tree"; }

    static inline fs::path s_dir;
    static inline CorpusSummary s_summary;
};

}  // namespace

TEST_F(CorpusTest, SameSeedGivesSameBytesOtherSeedDoesNotAndNothingIsOverwritten)
{
    GenerateCorpus({s_dir / "again", kSize, 7});
    GenerateCorpus({s_dir / "other", kSize, 8});
    const auto first = Snapshot(Tree());
    EXPECT_TRUE(first == Snapshot(s_dir / "again"));
    EXPECT_FALSE(first == Snapshot(s_dir / "other"));
    EXPECT_THROW(GenerateCorpus({Tree(), kSize, 7}), std::runtime_error);
}

// One walk checks the tree's shape and sizes and counts the planted words
// independently in what a search reads: decode, upper-case, split at CR, LF and
// CR LF, count inside lines and across line breaks.
TEST_F(CorpusTest, ShapeSizesAndPlantedWordsAreAsStated)
{
    std::vector<std::u32string> words(SearchWords().size());
    for (std::size_t w = 0; w < words.size(); ++w) ASSERT_TRUE(DecodeUpper("UTF-8", SearchWords()[w], words[w]));
    std::vector<std::size_t> inLine(words.size()), split(words.size());
    std::uint64_t files = 0, bytes = 0, visibleFiles = 0, visibleBytes = 0, hiddenFiles = 0, hiddenDirs = 0;
    std::uint64_t lines = 0, longLines = 0;
    std::set<std::string> lineEnds;
    int maxDepth = 0;
    for (auto it = fs::recursive_directory_iterator(Tree()); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path rel = fs::relative(it->path(), Tree());
        const bool hiddenName = rel.filename().string().starts_with(".");
        if (it->is_directory()) {
            maxDepth = std::max(maxDepth, it.depth() + 1);
            hiddenDirs += hiddenName;
            EXPECT_LE(
                std::ranges::count_if(fs::directory_iterator(it->path()), [](auto& e) { return e.is_directory(); }),
                kMaxSubdirs)
                << rel;
            continue;
        }
        ASSERT_TRUE(it->is_regular_file()) << rel;
        const auto size = it->file_size();
        EXPECT_GE(size, kMinFileBytes) << rel;
        EXPECT_LE(size, kMaxFileBytes) << rel;
        ++files;
        bytes += size;
        hiddenFiles += hiddenName;
        if (Hidden(rel)) continue;
        ++visibleFiles;
        visibleBytes += size;

        const std::string raw = ReadAll(it->path());
        std::u32string text;
        // A Shift-JIS file that also passed as UTF-8 would be read as UTF-8 by a search.
        const bool utf8 = DecodeUpper("UTF-8", raw, text);
        EXPECT_EQ(utf8, rel.extension() != ".txt") << rel;
        if (!utf8) {
            ASSERT_TRUE(DecodeUpper("windows-31j", raw, text)) << rel;
        }
        if (text.starts_with(U'\uFEFF')) text.erase(0, 1);
        lineEnds.insert(raw.find("\r\n") != std::string::npos     ? "CRLF"
                            : raw.find('\r') != std::string::npos ? "CR"
                                                                  : "LF");
        std::u32string prev;
        for (std::size_t begin = 0, first = 1; begin < text.size(); first = 0) {
            const std::size_t end = std::min(text.find_first_of(U"\r\n", begin), text.size());
            const std::u32string line = text.substr(begin, end - begin);
            begin = end + (text.compare(end, 2, U"\r\n") == 0 ? 2 : 1);
            ++lines;
            longLines += line.size() > static_cast<std::size_t>(kLongLineChars);
            for (std::size_t w = 0; w < words.size(); ++w) {
                const std::size_t n = words[w].size();
                inLine[w] += Occurrences(line, words[w]);
                if (!first)
                    split[w] += Occurrences(
                        prev.substr(prev.size() - std::min(prev.size(), n - 1)) + line.substr(0, n - 1), words[w]);
            }
            prev = line;
        }
    }
    EXPECT_EQ(maxDepth, kMaxDepth);
    EXPECT_GT(hiddenFiles, 0u);
    EXPECT_GT(hiddenDirs, 0u);
    EXPECT_EQ(files, s_summary.files);
    EXPECT_EQ(visibleFiles, s_summary.visibleFiles);
    EXPECT_EQ(visibleBytes, s_summary.visibleBytes);
    EXPECT_EQ(bytes, s_summary.bytes);
    // Each file stops at the end of the line that reaches its size.
    EXPECT_GE(bytes, kSize);
    EXPECT_LE(bytes, kSize + files * 1024);
    EXPECT_EQ(lines, s_summary.visibleLines);
    EXPECT_EQ(lineEnds.size(), 3u);
    EXPECT_GT(longLines, 0u);

    std::size_t planted = 0, plantedSplit = 0;
    for (std::size_t w = 0; w < words.size(); ++w) {
        SCOPED_TRACE(SearchWords()[w]);
        const auto& p = s_summary.planted[w];
        planted += p.inLine + p.split;
        plantedSplit += p.split;
        EXPECT_GT(p.inLine, 0u);
        // Chance occurrences in random text are allowed, but few.
        EXPECT_GE(inLine[w], p.inLine);
        EXPECT_LE(inLine[w], p.inLine + p.inLine / 20 + 3);
        EXPECT_GE(split[w], p.split);
        EXPECT_LE(split[w], p.split + p.split / 20 + 3);
    }
    EXPECT_GT(plantedSplit, planted / 20);
    const double rate = double(planted) / double(lines);
    EXPECT_GT(rate, 0.7 * kPlantRate);
    EXPECT_LT(rate, 1.3 * kPlantRate);
}

// The small-files tree: its layout and sizes as stated, the same bytes for the
// same seed, and its words nowhere, not even across a line break (line ends
// removed before looking).
TEST(SmallTreeTest, LayoutSizesAndNoWordAnywhere)
{
    std::string tmpl = fs::temp_directory_path() / "small_tree_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    const fs::path dir = tmpl;
    const auto summary = GenerateSmallTree({dir / "a", 3, 400, 5});
    GenerateSmallTree({dir / "b", 3, 400, 5});
    EXPECT_TRUE(Snapshot(dir / "a") == Snapshot(dir / "b"));
    EXPECT_THROW(GenerateSmallTree({dir / "a", 3, 400, 5}), std::runtime_error);

    std::vector<std::u32string> words(SmallTreeWords().size());
    for (std::size_t w = 0; w < words.size(); ++w) ASSERT_TRUE(DecodeUpper("UTF-8", SmallTreeWords()[w], words[w]));
    std::size_t dirs = 0, files = 0, sjis = 0;
    for (const auto& d : fs::directory_iterator(dir / "a")) {
        ASSERT_TRUE(d.is_directory());
        ++dirs;
        for (const auto& f : fs::directory_iterator(d.path())) {
            ASSERT_TRUE(f.is_regular_file());
            ++files;
            EXPECT_GE(f.file_size(), kSmallMinBytes);
            EXPECT_LE(f.file_size(), kSmallMaxBytes);
            const std::string raw = ReadAll(f.path());
            std::u32string text;
            if (!DecodeUpper("UTF-8", raw, text) || text.size() != raw.size()) {
                ++sjis;
                ASSERT_TRUE(DecodeUpper("windows-31j", raw, text)) << f.path();
            }
            std::erase_if(text, [](char32_t c) { return c == U'\r' || c == U'\n'; });
            for (const auto& w : words) EXPECT_EQ(Occurrences(text, w), 0u) << f.path();
        }
    }
    EXPECT_EQ(dirs, 3u);
    EXPECT_EQ(files, 1200u);
    EXPECT_EQ(summary.files, 1200u);
    EXPECT_GT(sjis, 1200u / 4);
    EXPECT_LT(sjis, 1200u * 3 / 4);
    fs::remove_all(dir);
}
