#include "search/engine/DirectoryLister.h"

#include "search/engine/PseudoFileSystems.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

namespace textrove::search {

namespace {

// File system type of the mount whose device is `dev`, from the mount table;
// empty when not found.
std::string MountTypeOf(dev_t dev)
{
    std::ifstream in("/proc/self/mountinfo");
    std::string line;
    char want[32];
    std::snprintf(want, sizeof want, "%u:%u", major(dev), minor(dev));
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string id, parent, devField;
        fields >> id >> parent >> devField;
        if (devField != want) continue;
        const auto dash = line.find(" - ");
        if (dash == std::string::npos) continue;
        std::istringstream rest(line.substr(dash + 3));
        std::string type;
        rest >> type;
        return type;
    }
    return {};
}

}  // namespace

bool DirectoryLister::IsPseudoFileSystem(dev_t dev, const char* path)
{
    auto it = m_pseudo.find(dev);
    if (it != m_pseudo.end()) return it->second;
    bool pseudo = false;
    const std::string type = MountTypeOf(dev);
    if (!type.empty()) {
        pseudo = IsPseudoFileSystemType(type);
    } else {
        struct statfs fs { };
        if (::statfs(path, &fs) == 0) {
            pseudo = IsPseudoFileSystemMagic(static_cast<unsigned long>(fs.f_type));
        }
    }
    m_pseudo.emplace(dev, pseudo);
    return pseudo;
}

void DirectoryLister::List(const std::string& dir, std::size_t maxSubdirs, std::vector<std::string>& files,
                           std::vector<std::string>& subdirs, int* keepFd)
{
    files.clear();
    subdirs.clear();
    if (keepFd) *keepFd = -1;
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return;
    struct stat self { };
    if (::fstat(fd, &self) != 0 || IsPseudoFileSystem(self.st_dev, dir.c_str())) {
        ::close(fd);
        return;
    }
    DIR* d = ::fdopendir(fd);
    if (!d) {
        ::close(fd);
        return;
    }
    while (const dirent* e = ::readdir(d)) {
        const char* name = e->d_name;
        if (name[0] == '.') continue;  // hidden, and "." and ".."
        unsigned char type = e->d_type;
        struct stat st { };
        if (type == DT_UNKNOWN) {
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_FIFO;
        }
        if (type == DT_REG) {
            files.emplace_back(name);
        } else if (type == DT_LNK) {
            // Followed: a link to a regular file is scanned under its own
            // name; links to anything else, and broken links, are skipped.
            if (::fstatat(fd, name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
            if (st.st_dev != self.st_dev && IsPseudoFileSystem(st.st_dev, (dir + name).c_str())) continue;
            files.emplace_back(name);
        } else if (type == DT_DIR) {
            if (subdirs.size() >= maxSubdirs) continue;
            if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode)) continue;
            if (st.st_dev != self.st_dev && IsPseudoFileSystem(st.st_dev, (dir + name).c_str())) continue;
            subdirs.emplace_back(name);
        }
        // FIFOs, sockets and devices are system entries.
    }
    if (keepFd && !files.empty()) *keepFd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    ::closedir(d);
}

}  // namespace textrove::search
