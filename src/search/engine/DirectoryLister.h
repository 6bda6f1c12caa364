// Lists one directory for the walk: the names of the files to scan and of
// the subdirectories to enter, in the order the kernel returns them.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

namespace textrove::search {

class DirectoryLister {
public:
    // `dir` ends in '/'. Files: regular files and links to regular files.
    // Subdirectories (at most maxSubdirs, none when 0): real directories, not
    // links. Hidden names (leading '.') and system entries (anything else, and
    // directories on kernel pseudo file systems) are left out. A directory
    // that cannot be opened or read lists as empty. With `keepFd`, a
    // descriptor of the directory stays open there when it lists files (the
    // caller closes it; -1 otherwise), so they can be opened by name alone.
    void List(const std::string& dir, std::size_t maxSubdirs, std::vector<std::string>& files,
              std::vector<std::string>& subdirs, int* keepFd = nullptr);

    // Whether the file system of device `dev` (holding `path`) is a kernel
    // pseudo file system (proc, sysfs, devtmpfs, ...). Cached per device.
    bool IsPseudoFileSystem(dev_t dev, const char* path);

private:
    std::unordered_map<dev_t, bool> m_pseudo;
};

}  // namespace textrove::search
