// Temporary trees and recording sinks for the engine tests.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/engine/SearchEngine.h"
#include "text/TextCodec.h"

namespace enginetest {

namespace fs = std::filesystem;
using namespace textrove::search;

class TempTree {
public:
    TempTree()
    {
        std::string tmpl = (fs::temp_directory_path() / "textrove-engine-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        m_root = tmpl;
    }
    ~TempTree()
    {
        std::error_code ec;
        // Restore permissions that tests took away so the tree can go.
        for (auto it = fs::recursive_directory_iterator(
                 m_root, fs::directory_options::skip_permission_denied, ec);
             it != fs::recursive_directory_iterator(); it.increment(ec)) {
            if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all,
                                                   fs::perm_options::add, ec);
        }
        fs::remove_all(m_root, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Root path with a trailing '/', as the walk joins it.
    std::string Root() const { return m_root.string() + "/"; }
    std::string Path(const std::string& rel) const { return Root() + rel; }

    void File(const std::string& rel, const std::string& bytes) const
    {
        fs::create_directories(fs::path(Path(rel)).parent_path());
        std::ofstream out(Path(rel), std::ios::binary);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    void Dir(const std::string& rel) const { fs::create_directories(Path(rel)); }

private:
    fs::path m_root;
};

// Names of a directory's visible entries in the kernel's listing order.
inline std::vector<std::string> ListingOrder(const std::string& dir)
{
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
        while (dirent* e = readdir(d)) {
            if (e->d_name[0] != '.') names.emplace_back(e->d_name);
        }
        closedir(d);
    }
    return names;
}

class RecordingSink : public ResultSink {
public:
    bool Append(std::string_view record, std::string& error) override
    {
        ++appendCalls;
        if (failFrom >= 0 && appendCalls > failFrom) {
            error = "full";
            attempted.emplace_back(record);
            return false;
        }
        records.emplace_back(record);
        if (cancel && cancelAfter >= 0 && static_cast<int>(records.size()) == cancelAfter)
            cancel->store(255);
        return true;
    }
    void ReportFailure(const std::string& description) override { failures.push_back(description); }
    void ScanningFile(std::string_view path) override { scanned.emplace_back(path); }

    // The pane's text: each record after CR LF.
    std::string Pane() const
    {
        std::string text;
        for (const auto& r : records) text += "\r\n" + r;
        return text;
    }

    std::vector<std::string> records;
    std::vector<std::string> attempted;
    std::vector<std::string> failures;
    std::vector<std::string> scanned;
    int appendCalls = 0;
    int failFrom = -1;      // appends after this many fail
    int cancelAfter = -1;   // set the flag once this many records are held
    CancelFlag* cancel = nullptr;
};

struct SearchRun {
    std::vector<std::string> records;
    std::vector<std::string> scanned;
};

inline SearchRun Search(const std::string& target, std::vector<std::string> words)
{
    RecordingSink sink;
    CancelFlag flag{0};
    SearchEngine engine(sink, flag);
    engine.SearchCharacter({target, std::move(words)});
    return {sink.records, sink.scanned};
}

// Records of a search over a tree holding the one file "f" with `bytes`,
// without the header record.
inline std::vector<std::string> HitsIn(const std::string& bytes, std::vector<std::string> words)
{
    TempTree tree;
    tree.File("f", bytes);
    auto run = Search(tree.Root(), std::move(words));
    std::vector<std::string> out(run.records.begin() + 1, run.records.end());
    for (auto& r : out) {
        const std::string root = tree.Root();
        auto at = r.find(root);
        if (at != std::string::npos) r.replace(at, root.size(), "<root>/");
    }
    return out;
}

inline std::vector<std::string> Block(std::vector<std::string> hits)
{
    std::vector<std::string> out{"", "----- ファイル名 : <root>/f -----"};
    out.insert(out.end(), hits.begin(), hits.end());
    return out;
}

namespace text = textrove::text;

// Plain reading: decode each whole line, upper-case, two substring searches.
inline std::vector<std::string> PlainReading(const std::string& bytes, const std::vector<std::string>& words,
                                   const std::string& path)
{
    std::vector<std::u32string> ws;
    for (const auto& w : words) ws.push_back(text::Utf8ToU32(text::ToUpperUtf8(w)));
    const auto encoding = text::DetectEncoding(bytes);
    std::size_t pos = encoding == text::Encoding::Utf8 ? text::Utf8BomLength(bytes) : 0;
    std::vector<std::string> out;
    std::u32string prev;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        const std::u32string line = text::Decode(bytes.substr(pos, end - pos), encoding);
        const std::u32string u = text::ToUpper(line);
        for (std::size_t j = 0; j < ws.size(); ++j) {
            const std::u32string& w = ws[j];
            const std::size_t n = w.size();
            auto report = [&] {
                if (out.empty()) {
                    out.push_back("");
                    out.push_back("----- ファイル名 : " + path + " -----");
                }
                out.push_back(text::U32ToUtf8(w) + " :" + text::U32ToUtf8(line));
            };
            const std::size_t t = std::min(n - 1, prev.size());
            const std::u32string split = prev.substr(prev.size() - t) + u.substr(0, n - 1);
            if (split.find(w) != std::u32string::npos) report();
            if (u.find(w) != std::u32string::npos) report();
        }
        prev = u;
        if (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n')
            ++end;
        pos = end + 1;
    }
    return out;
}

struct Alphabet {
    std::vector<std::string> pieces;
    std::vector<std::string> words;
};

// Pieces chosen to trap byte-level shortcuts: trail bytes that look like
// letters or '\\', duplicate encodings, lone lead bytes, all line ends.
inline const Alphabet kShiftJis = {
    {"a", "A", "b", "B", "c", "\\", "@", " ", "\x83\x5C", "\x83\x61", "\x83\x41", "\x82\x60",
     "\x82\x81", "\x87\x90", "\x81\xE0", "\x81", "\xFF", "\x8C\x9F", "\x8D\xF5", std::string(1, '\0'),
     "\r", "\n", "\r\n", "\r\n", "\n"},
    {"a", "ab", "ABC", "ソ", "ａ", "≒A", "ca", "\\", "b\\a", "ヂa", "アb", "検索"}};

inline const Alphabet kUtf8 = {
    {"a", "s", "S", "i", "I", "\xC5\xBF", "\xC4\xB1", "\xC3\xA9", "\xC3\x89", "\xC3\x9F", "\xCE\xA3",
     "\xCF\x83", "\xCF\x82", "k", "\xE2\x84\xAA", " ", "\r", "\n", "\r\n", "\n"},
    {"s", "si", "és", "σ", "is", "ß", "ks", "ΣΣ", "ia"}};

inline std::string RandomText(std::mt19937& rng, const Alphabet& a, std::size_t pieces, bool bom)
{
    std::string s = bom ? "\xEF\xBB\xBF" : "";
    std::uniform_int_distribution<std::size_t> pick(0, a.pieces.size() - 1);
    for (std::size_t i = 0; i < pieces; ++i) s += a.pieces[pick(rng)];
    return s;
}

inline std::vector<std::string> RandomWords(std::mt19937& rng, const Alphabet& a)
{
    std::vector<std::string> words;
    std::uniform_int_distribution<std::size_t> count(1, 4), pick(0, a.words.size() - 1);
    for (std::size_t k = count(rng); k > 0; --k) words.push_back(a.words[pick(rng)]);
    return words;
}

}  // namespace enginetest
