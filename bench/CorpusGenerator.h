// Deterministic benchmark corpus: a tree of Japanese and ASCII text files with
// search words planted at a known rate. The same seed and size give the same
// tree, byte for byte, on every machine (own PRNG, no std distributions).
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace textrove::bench {

// xoshiro256** seeded through splitmix64.
class Rng {
public:
    explicit Rng(std::uint64_t seed);
    std::uint64_t Next();
    std::uint64_t Below(std::uint64_t n);                       // [0, n), n > 0
    std::uint64_t Between(std::uint64_t lo, std::uint64_t hi);  // [lo, hi]
    double Unit();                                              // [0, 1)
    bool Chance(double p) { return Unit() < p; }

private:
    std::uint64_t m_s[4];
};

// One character with its bytes in both file encodings.
struct Glyph {
    char32_t cp;
    std::string sjis;
    std::string utf8;
};

enum class PoolKind { Hiragana, Katakana, HalfKatakana, Kanji, FullAlnum, Punct };

// Characters of a range that survive a round trip through Windows-31J.
// Throws std::runtime_error when the converter is unavailable.
const std::vector<Glyph>& Pool(PoolKind kind);

// Text in any of the file encodings; throws when a character does not encode.
std::string EncodeSjis(const std::u32string& text);
std::string EncodeUtf8(const std::u32string& text);

// The words planted in the corpus, as a user would type them (UTF-8).
const std::vector<std::string>& SearchWords();

// Changes whenever the same seed and size would give other bytes.
inline constexpr int kCorpusFormat = 2;

struct CorpusOptions {
    std::filesystem::path root;  // created; must not exist yet
    std::uint64_t sizeBytes = 200ull << 20;
    std::uint64_t seed = 1;
};

inline constexpr int kMaxDepth = 8;  // levels below the root
inline constexpr int kMaxSubdirs = 40;
inline constexpr std::uint64_t kMinFileBytes = 1024;
inline constexpr std::uint64_t kMaxFileBytes = 5ull << 20;
inline constexpr int kLongLineChars = 10000;  // "long line" threshold
inline constexpr double kPlantRate = 0.005;   // per line

struct PlantCount {
    std::string word;
    std::uint64_t inLine = 0;  // whole word inside one line
    std::uint64_t split = 0;   // head ends one line, tail starts the next
};

// Counts with "visible" cover files that are neither hidden nor inside a
// hidden directory: what a search of the tree reads.
struct CorpusSummary {
    std::uint64_t files = 0, visibleFiles = 0;
    std::uint64_t dirs = 0, hiddenDirs = 0;  // below the root
    std::uint64_t bytes = 0, visibleBytes = 0;
    std::uint64_t lines = 0, visibleLines = 0;
    std::uint64_t longLines = 0;  // over kLongLineChars characters
    std::uint64_t sjisFiles = 0, utf8Files = 0, utf8BomFiles = 0, asciiFiles = 0;
    std::uint64_t crlfFiles = 0, lfFiles = 0, crFiles = 0;
    int maxDepth = 0;
    int maxSubdirs = 0;
    std::vector<PlantCount> planted;  // visible files only, per word
};

CorpusSummary GenerateCorpus(const CorpusOptions& options);

// The many-small-files tree: a source-like tree of `dirs` folders under the
// root, each holding `filesPerDir` files of 1 to 3 KiB, Shift-JIS prose and
// ASCII source, no hidden entries. Its words (SmallTreeWords) occur nowhere,
// so a search of it costs the walk, the reads and the prefilter alone.
inline constexpr int kSmallTreeFormat = 1;
inline constexpr std::uint64_t kSmallMinBytes = 1024;
inline constexpr std::uint64_t kSmallMaxBytes = 3072;

struct SmallTreeOptions {
    std::filesystem::path root;  // created; must not exist yet
    int dirs = 40;
    int filesPerDir = 2500;
    std::uint64_t seed = 1;
};

const std::vector<std::string>& SmallTreeWords();
CorpusSummary GenerateSmallTree(const SmallTreeOptions& options);

// key=value lines, one per figure; the runner reads them.
std::string FormatSummary(const CorpusSummary& summary);

}  // namespace textrove::bench
