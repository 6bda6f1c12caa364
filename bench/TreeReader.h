// The read floor: what it costs just to list a tree and read its searchable
// files, with no decoding or matching. Skips what a search skips: hidden
// entries, anything but regular files and directories, symbolic links to
// directories.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace textrove::bench {

struct TreeReadStats {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    std::uint64_t dirs = 0;        // below the root
    std::uint64_t unreadable = 0;  // entries that could not be opened or read
};

// Reads every file through `buffer` (reused, never grown). Throws when the
// root cannot be opened or the buffer is empty.
TreeReadStats ReadTree(const std::string& root, std::vector<char>& buffer);

}  // namespace textrove::bench
