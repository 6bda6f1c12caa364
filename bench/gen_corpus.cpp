// gen_corpus --out DIR [--size-mb N] [--seed S] [--words FILE] [--manifest FILE]
// gen_corpus --small --out DIR [--seed S] [--words FILE] [--manifest FILE]
// gen_corpus [--small] --version: the format number of that tree.
// Writes the benchmark tree to DIR (which must not exist), the search words to
// FILE (one per line, UTF-8) and the tree's figures to the manifest. --small
// makes the tree of 100,000 small files instead of the corpus.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <string>

#include "CorpusGenerator.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: gen_corpus [--small] --out DIR [--size-mb N] [--seed S] [--words FILE] [--manifest FILE]\n");
    return 2;
}

bool ParseNumber(const char* text, std::uint64_t& out)
{
    char* end = nullptr;
    errno = 0;
    const unsigned long long v = std::strtoull(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || text[0] == '-') return false;
    out = v;
    return true;
}

void WriteText(const std::string& path, const std::string& text)
{
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << text;
    f.close();
    if (!f) throw std::runtime_error("cannot write " + path);
}

}  // namespace

int main(int argc, char** argv)
{
    textrove::bench::CorpusOptions options;
    std::string wordsPath, manifestPath;
    std::uint64_t sizeMb = 200;
    bool small = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") return Usage(), 0;
        if (arg == "--small") {
            small = true;
            continue;
        }
        if (arg == "--version") {
            std::printf("%d\n", small ? textrove::bench::kSmallTreeFormat : textrove::bench::kCorpusFormat);
            return 0;
        }
        if (i + 1 >= argc) return Usage();
        const char* value = argv[++i];
        if (arg == "--out")
            options.root = value;
        else if (arg == "--words")
            wordsPath = value;
        else if (arg == "--manifest")
            manifestPath = value;
        else if (arg == "--size-mb") {
            if (!ParseNumber(value, sizeMb) || sizeMb == 0 || sizeMb > (1u << 20)) return Usage();
        } else if (arg == "--seed") {
            if (!ParseNumber(value, options.seed)) return Usage();
        } else
            return Usage();
    }
    if (options.root.empty()) return Usage();
    options.sizeBytes = sizeMb << 20;

    try {
        const auto start = std::chrono::steady_clock::now();
        const auto summary = small ? textrove::bench::GenerateSmallTree({options.root, 40, 2500, options.seed})
                                   : textrove::bench::GenerateCorpus(options);
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::string words;
        for (const auto& w : small ? textrove::bench::SmallTreeWords() : textrove::bench::SearchWords())
            words += w + "\n";
        if (!wordsPath.empty()) WriteText(wordsPath, words);
        const std::string text =
            "format=" + std::to_string(small ? textrove::bench::kSmallTreeFormat : textrove::bench::kCorpusFormat)
            + "\nseed=" + std::to_string(options.seed)
            + (small ? std::string("\nkind=small") : "\nsize_mb=" + std::to_string(sizeMb)) + "\n"
            + textrove::bench::FormatSummary(summary);
        if (!manifestPath.empty()) WriteText(manifestPath, text);
        std::fputs(text.c_str(), stdout);
        std::fprintf(stderr, "gen_corpus: %.2f s\n", secs);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "gen_corpus: %s\n", e.what());
        return 1;
    }
}
