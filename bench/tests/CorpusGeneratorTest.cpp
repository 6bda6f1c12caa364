#include "CorpusGenerator.h"

#include <gtest/gtest.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace fs = std::filesystem;
using namespace textrove::bench;

namespace {

std::string ReadAll(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

fs::path MakeTempDir()
{
    std::string tmpl = (fs::temp_directory_path() / "corpus_test_XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    return tmpl;
}

bool Hidden(const fs::path& rel)
{
    for (const auto& part : rel)
        if (part.string().starts_with(".")) return true;
    return false;
}

// Strict decode through ICU; false on any invalid or unmappable sequence.
bool Decode(const char* converter, std::string_view bytes, std::u32string& out)
{
    UErrorCode st = U_ZERO_ERROR;
    UConverter* cnv = ucnv_open(converter, &st);
    if (U_FAILURE(st)) return false;
    ucnv_setToUCallBack(cnv, UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &st);
    std::u16string u16(bytes.size() + 4, u'\0');
    const int32_t n = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(u16.data()), static_cast<int32_t>(u16.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &st);
    ucnv_close(cnv);
    if (U_FAILURE(st)) return false;
    out.clear();
    for (int32_t i = 0; i < n;) {
        UChar32 c;
        U16_NEXT(u16.data(), i, n, c);
        out.push_back(static_cast<char32_t>(c));
    }
    return true;
}

std::u32string Upper(std::u32string s)
{
    for (auto& c : s) c = static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
    return s;
}

std::vector<std::u32string> SplitLines(const std::u32string& text)
{
    std::vector<std::u32string> lines;
    std::u32string cur;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t c = text[i];
        if (c == U'\r' || c == U'\n') {
            if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
            lines.push_back(std::move(cur));
            cur.clear();
        } else {
            cur.push_back(c);
        }
    }
    if (!cur.empty()) lines.push_back(std::move(cur));
    return lines;
}

std::size_t Occurrences(const std::u32string& hay, const std::u32string& needle)
{
    std::size_t n = 0;
    for (auto at = hay.find(needle); at != std::u32string::npos; at = hay.find(needle, at + needle.size())) ++n;
    return n;
}

struct FileInfo {
    fs::path rel;
    std::string bytes;
};

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
        s_dir = MakeTempDir();
        s_summary = GenerateCorpus({s_dir / "tree", kSize, 7});
    }
    static void TearDownTestSuite() { fs::remove_all(s_dir); }

    static fs::path Tree() { return s_dir / "tree"; }

    static inline fs::path s_dir;
    static inline CorpusSummary s_summary;
};

}  // namespace

TEST(RngTest, SameSeedSameStreamAndBoundsHold)
{
    Rng a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        const auto x = a.Next();
        EXPECT_EQ(x, b.Next());
        differs |= x != c.Next();
    }
    EXPECT_TRUE(differs);

    std::set<std::uint64_t> seen;
    for (int i = 0; i < 2000; ++i) {
        const auto v = a.Below(7);
        ASSERT_LT(v, 7u);
        seen.insert(v);
        const auto w = a.Between(5, 9);
        ASSERT_GE(w, 5u);
        ASSERT_LE(w, 9u);
        const double u = a.Unit();
        ASSERT_GE(u, 0.0);
        ASSERT_LT(u, 1.0);
    }
    EXPECT_EQ(seen.size(), 7u);  // every value reachable
}

TEST(PoolTest, RangesHoldOnlyCharactersThatEncode)
{
    struct Row {
        PoolKind kind;
        char32_t lo, hi;
        std::size_t minSize, maxSize;
        const char* why;
    } rows[] = {
        {PoolKind::Hiragana, 0x3041, 0x3093, 83, 83, "every hiragana of the range is in CP932"},
        {PoolKind::Katakana, 0x30A1, 0x30F6, 86, 86, "every katakana of the range is in CP932"},
        {PoolKind::HalfKatakana, 0xFF61, 0xFF9F, 63, 63, "half-width katakana are single bytes"},
        {PoolKind::FullAlnum, 0xFF10, 0xFF5A, 75, 75, "full-width Latin, digits and signs"},
        {PoolKind::Kanji, 0x4E00, 0x9FA0, 6300, 6800, "JIS levels 1 and 2 plus the vendor kanji only"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.why);
        const auto& pool = Pool(r.kind);
        EXPECT_GE(pool.size(), r.minSize);
        EXPECT_LE(pool.size(), r.maxSize);
        for (const auto& g : pool) {
            ASSERT_GE(g.cp, r.lo);
            ASSERT_LE(g.cp, r.hi);
            std::u32string back;
            ASSERT_TRUE(Decode("windows-31j", g.sjis, back));
            ASSERT_EQ(back, std::u32string(1, g.cp));
            ASSERT_TRUE(Decode("UTF-8", g.utf8, back));
            ASSERT_EQ(back, std::u32string(1, g.cp));
        }
    }
    // U+4E02 has no CP932 code; U+6F22 is 0x8ABF.
    const auto& kanji = Pool(PoolKind::Kanji);
    EXPECT_TRUE(std::none_of(kanji.begin(), kanji.end(), [](const Glyph& g) { return g.cp == 0x4E02; }));
    EXPECT_EQ(EncodeSjis(U"漢"), "\x8A\xBF");
}

TEST(PoolTest, KnownEncodingsAndRefusals)
{
    EXPECT_EQ(EncodeSjis(U"あｶ０A\\~"), "\x82\xA0\xB6\x82\x4F" "A\\~");
    EXPECT_EQ(EncodeUtf8(U"あｶ"), "\xE3\x81\x82\xEF\xBD\xB6");
    EXPECT_THROW(EncodeSjis(U"\u00E9"), std::runtime_error);     // no CP932 code, no '?' fallback
    EXPECT_THROW(EncodeSjis(U"\U0001F600"), std::runtime_error);
}

TEST(WordsTest, TenDistinctWordsOfTwoToTenCharacters)
{
    const auto& words = SearchWords();
    ASSERT_EQ(words.size(), 10u);
    std::set<std::u32string> upper;
    for (const auto& w : words) {
        std::u32string u;
        ASSERT_TRUE(Decode("UTF-8", w, u)) << w;
        EXPECT_GE(u.size(), 2u) << w;
        EXPECT_LE(u.size(), 10u) << w;
        EXPECT_NO_THROW(EncodeSjis(u)) << w;
        upper.insert(Upper(u));
    }
    EXPECT_EQ(upper.size(), 10u);
}

TEST_F(CorpusTest, SameSeedGivesSameBytesOtherSeedDoesNot)
{
    const fs::path again = s_dir / "again";
    const fs::path other = s_dir / "other";
    GenerateCorpus({again, kSize, 7});
    GenerateCorpus({other, kSize, 8});
    const auto first = Snapshot(Tree());
    EXPECT_TRUE(first == Snapshot(again));
    EXPECT_FALSE(first == Snapshot(other));
    fs::remove_all(again);
    fs::remove_all(other);
}

TEST_F(CorpusTest, RefusesAnExistingDirectory)
{
    EXPECT_THROW(GenerateCorpus({Tree(), kSize, 7}), std::runtime_error);
}

TEST_F(CorpusTest, TreeShapeAndSizesStayInBounds)
{
    std::uint64_t files = 0, bytes = 0, visibleBytes = 0, visibleFiles = 0, hiddenFiles = 0, hiddenDirs = 0;
    int maxDepth = 0;
    for (auto it = fs::recursive_directory_iterator(Tree()); it != fs::recursive_directory_iterator(); ++it) {
        const fs::path rel = fs::relative(it->path(), Tree());
        if (it->is_directory()) {
            maxDepth = std::max(maxDepth, it.depth() + 1);
            if (rel.filename().string().starts_with(".")) hiddenDirs++;
            int subdirs = 0;
            for (const auto& e : fs::directory_iterator(it->path())) subdirs += e.is_directory();
            EXPECT_LE(subdirs, kMaxSubdirs) << rel;
            continue;
        }
        ASSERT_TRUE(it->is_regular_file()) << rel;
        const auto size = it->file_size();
        EXPECT_GE(size, kMinFileBytes) << rel;
        EXPECT_LE(size, kMaxFileBytes) << rel;
        files++;
        bytes += size;
        if (Hidden(rel)) {
            hiddenFiles += rel.filename().string().starts_with(".");
        } else {
            visibleFiles++;
            visibleBytes += size;
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
}

TEST_F(CorpusTest, EncodingsAndLineEndsAreWhatTheNamesSay)
{
    std::map<std::string, int> eolStyles;
    int bom = 0;
    for (const auto& e : fs::recursive_directory_iterator(Tree())) {
        if (!e.is_regular_file()) continue;
        const std::string name = e.path().filename().string();
        const std::string bytes = ReadAll(e.path());
        SCOPED_TRACE(name);
        std::u32string text;
        const bool utf8 = Decode("UTF-8", bytes, text);
        const bool high = std::any_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) != 0; });
        if (name.ends_with(".txt")) {
            // Read as CP932 by the search only if it is not also valid UTF-8.
            EXPECT_FALSE(utf8);
            EXPECT_TRUE(Decode("windows-31j", bytes, text));
        } else if (name.ends_with(".md")) {
            EXPECT_TRUE(utf8);
            EXPECT_TRUE(high);
            bom += bytes.starts_with("\xEF\xBB\xBF");
        } else {
            EXPECT_FALSE(high);
        }

        const auto cr = std::count(bytes.begin(), bytes.end(), '\r');
        const auto lf = std::count(bytes.begin(), bytes.end(), '\n');
        std::size_t crlf = 0;
        for (std::size_t at = bytes.find("\r\n"); at != std::string::npos; at = bytes.find("\r\n", at + 2)) ++crlf;
        // One style per file.
        if (cr > 0 && lf > 0) {
            EXPECT_EQ(std::size_t(cr), crlf);
            EXPECT_EQ(std::size_t(lf), crlf);
            eolStyles["crlf"]++;
        } else {
            eolStyles[cr > 0 ? "cr" : "lf"]++;
        }
    }
    EXPECT_GT(bom, 0);
    EXPECT_GT(eolStyles["crlf"], eolStyles["lf"]);
    EXPECT_GT(eolStyles["lf"], 0);
    EXPECT_GT(eolStyles["cr"], 0);
}

// An independent count of the planted words: decode, split into lines at CR,
// LF and CR LF, upper-case, count occurrences inside lines and across breaks.
TEST_F(CorpusTest, PlantedWordsAreFoundAtTheStatedRate)
{
    std::vector<std::u32string> words;
    for (const auto& w : SearchWords()) {
        std::u32string u;
        ASSERT_TRUE(Decode("UTF-8", w, u));
        words.push_back(Upper(u));
    }
    std::vector<std::size_t> inLine(words.size()), split(words.size());
    std::uint64_t lines = 0, longLines = 0;
    for (const auto& e : fs::recursive_directory_iterator(Tree())) {
        if (!e.is_regular_file() || Hidden(fs::relative(e.path(), Tree()))) continue;
        std::string bytes = ReadAll(e.path());
        std::u32string text;
        if (!Decode("UTF-8", bytes, text)) {
            ASSERT_TRUE(Decode("windows-31j", bytes, text));
        }
        if (!text.empty() && text[0] == 0xFEFF) text.erase(0, 1);
        const auto fileLines = SplitLines(Upper(text));
        lines += fileLines.size();
        for (std::size_t i = 0; i < fileLines.size(); ++i) {
            const auto& line = fileLines[i];
            longLines += line.size() > static_cast<std::size_t>(kLongLineChars);
            for (std::size_t w = 0; w < words.size(); ++w) {
                const std::size_t n = words[w].size();
                inLine[w] += Occurrences(line, words[w]);
                if (i == 0) continue;
                const auto& prev = fileLines[i - 1];
                const std::u32string joint =
                    prev.substr(prev.size() - std::min(prev.size(), n - 1)) + line.substr(0, n - 1);
                split[w] += Occurrences(joint, words[w]);
            }
        }
    }
    EXPECT_EQ(lines, s_summary.visibleLines);
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
    EXPECT_GT(longLines, 0u);
}

TEST_F(CorpusTest, ASCIIWordsComeInMixedCase)
{
    std::set<std::string> forms;
    for (const auto& e : fs::recursive_directory_iterator(Tree())) {
        if (!e.is_regular_file()) continue;
        const std::string bytes = ReadAll(e.path());
        for (std::size_t at = 0; (at = bytes.find_first_of("tT", at)) != std::string::npos; ++at) {
            std::string cand = bytes.substr(at, 8);
            std::string lower = cand;
            for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (lower == "textrove") forms.insert(cand);
        }
    }
    EXPECT_TRUE(forms.count("textrove"));
    EXPECT_TRUE(forms.count("TEXTROVE"));
    EXPECT_TRUE(forms.count("Textrove"));
    EXPECT_GT(forms.size(), 3u);  // per-letter random case too
}
