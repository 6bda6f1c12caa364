// A temporary directory tree that removes itself, also after a test took
// permissions away or planted link loops in it.
#pragma once

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include <stdlib.h>

namespace testsupport {

class TempTree {
public:
    TempTree()
    {
        std::string tmpl = (std::filesystem::temp_directory_path() / "textrove-engine-XXXXXX").string();
        if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        m_root = tmpl;
    }
    ~TempTree()
    {
        std::error_code ec;  // give back permissions tests took away, so the tree can go
        for (std::filesystem::recursive_directory_iterator
                 it(m_root, std::filesystem::directory_options::skip_permission_denied, ec),
             end;
             it != end; it.increment(ec))
            if (!it->is_symlink())
                std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                             std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_root, ec);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    // Root with a trailing '/', as the walk joins it.
    std::string Root() const { return m_root.string() + "/"; }
    std::string Path(const std::string& rel) const { return Root() + rel; }
    void File(const std::string& rel, const std::string& bytes) const
    {
        std::filesystem::create_directories(std::filesystem::path(Path(rel)).parent_path());
        std::ofstream(Path(rel), std::ios::binary) << bytes;
    }
    // A symbolic link at `rel` holding `target` as written.
    void Link(const std::string& target, const std::string& rel) const
    {
        std::filesystem::create_symlink(target, Path(rel));
    }

private:
    std::filesystem::path m_root;
};

}  // namespace testsupport
