// The walk of a search as a sequence of files: depth first, pre-order, each
// directory's own files before its subdirectories, in listing order, at most
// 50 subdirectories per directory and 10 levels below the target. Each
// directory is listed once; the subdirectories it lists are recorded before
// its files are handed out.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "search/engine/DirectoryLister.h"
#include "search/engine/SearchTypes.h"

namespace textrove::search {

// A listed directory whose files are being handed out. Shared by reference
// count between the walk and the batches that name its files.
struct WalkDirectory {
    std::string path;     // as the walk joined it, ends in '/'
    std::string display;  // the path as shown (valid UTF-8)
    int fd = -1;          // open while files of it may still be opened
    std::atomic<int> refs{1};

    void Ref() { refs.fetch_add(1, std::memory_order_relaxed); }
    // Drops one reference; the last one closes the descriptor.
    static void Unref(WalkDirectory* dir);
};

class DirectoryWalk {
public:
    DirectoryWalk(const std::string& targetDirectory, DirectoryLister& lister);
    ~DirectoryWalk();
    DirectoryWalk(const DirectoryWalk&) = delete;
    DirectoryWalk& operator=(const DirectoryWalk&) = delete;

    // The next file: its directory (valid while the caller holds a
    // reference, which it takes itself) and its name (valid until the next
    // call). False once the walk is complete.
    bool Next(WalkDirectory*& dir, std::string_view& name);

    // True when the files of the current directory are all handed out.
    bool AtDirectoryEnd() const { return m_fileIndex >= m_files.size(); }

private:
    void ListCurrent();
    bool Advance();

    DirectoryLister& m_lister;
    std::array<std::array<std::string, kDirEntries>, kDirLevels> m_dirPath;
    std::array<std::int16_t, kDirLevels> m_dirCount{};
    std::array<std::int16_t, kDirLevels> m_dirIndex{};
    int m_level = 0;
    bool m_done = false;
    bool m_listed = false;
    std::vector<std::string> m_files;
    std::vector<std::string> m_subdirs;
    std::size_t m_fileIndex = 0;
    WalkDirectory* m_current = nullptr;
};

}  // namespace textrove::search
