#include "search/engine/DirectoryWalk.h"

#include <unistd.h>

#include "text/TextCodec.h"

namespace textrove::search {

void WalkDirectory::Unref(WalkDirectory* dir)
{
    if (!dir || dir->refs.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
    if (dir->fd >= 0) ::close(dir->fd);
    delete dir;
}

DirectoryWalk::DirectoryWalk(const std::string& targetDirectory, DirectoryLister& lister) : m_lister(lister)
{
    std::string target = targetDirectory;
    if (target.empty() || target.back() != '/') target += '/';
    m_dirIndex[0] = 1;
    m_dirCount[0] = 1;
    m_dirPath[0][1] = std::move(target);
}

DirectoryWalk::~DirectoryWalk()
{
    WalkDirectory::Unref(m_current);
}

void DirectoryWalk::ListCurrent()
{
    const std::string& dir =
        m_dirPath[static_cast<std::size_t>(m_level)][static_cast<std::size_t>(m_dirIndex[m_level])];
    const bool deeper = m_level < kDirLevels - 1;
    int fd = -1;
    m_lister.List(dir, deeper ? kMaxSubdirs : 0, m_files, m_subdirs, &fd);
    m_fileIndex = 0;
    WalkDirectory::Unref(m_current);
    m_current = nullptr;
    if (!m_files.empty()) {
        m_current = new WalkDirectory;
        m_current->path = dir;
        m_current->display = text::LossyUtf8(dir);
        m_current->fd = fd;
    }
    if (deeper) {
        auto& next = m_dirPath[static_cast<std::size_t>(m_level) + 1];
        for (std::size_t i = 0; i < m_subdirs.size(); ++i) next[i + 1] = dir + m_subdirs[i] + '/';
        m_dirCount[static_cast<std::size_t>(m_level) + 1] = static_cast<std::int16_t>(m_subdirs.size());
    }
    m_listed = true;
}

// Moves to the next directory of the walk; false when the walk is complete.
bool DirectoryWalk::Advance()
{
    const bool deeper = m_level < kDirLevels - 1;
    if (deeper && m_dirCount[static_cast<std::size_t>(m_level) + 1] > 0) {
        ++m_level;
        m_dirIndex[static_cast<std::size_t>(m_level)] = 1;
        return true;
    }
    ++m_dirIndex[static_cast<std::size_t>(m_level)];
    while (m_dirIndex[static_cast<std::size_t>(m_level)] > m_dirCount[static_cast<std::size_t>(m_level)]) {
        if (--m_level < 0) return false;
        ++m_dirIndex[static_cast<std::size_t>(m_level)];
    }
    return true;
}

bool DirectoryWalk::Next(WalkDirectory*& dir, std::string_view& name)
{
    for (;;) {
        if (m_done) return false;
        if (!m_listed) ListCurrent();
        if (m_fileIndex < m_files.size()) {
            dir = m_current;
            name = m_files[m_fileIndex++];
            return true;
        }
        m_listed = false;
        if (!Advance()) {
            m_done = true;
            WalkDirectory::Unref(m_current);
            m_current = nullptr;
            return false;
        }
    }
}

}  // namespace textrove::search
