// Temporary trees and recording sinks for the engine tests.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "search/engine/SearchEngine.h"

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

}  // namespace enginetest
