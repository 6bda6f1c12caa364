#include "TreeReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace textrove::bench {

namespace {

void ReadFile(int dirFd, const char* name, std::vector<char>& buffer, TreeReadStats& stats)
{
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        stats.unreadable++;
        return;
    }
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n > 0) {
            total += static_cast<std::uint64_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            stats.unreadable++;
            break;
        }
    }
    ::close(fd);
    stats.files++;
    stats.bytes += total;
}

// Takes ownership of dirFd.
void ReadDir(int dirFd, std::vector<char>& buffer, TreeReadStats& stats)
{
    DIR* dir = ::fdopendir(dirFd);
    if (!dir) {
        ::close(dirFd);
        stats.unreadable++;
        return;
    }
    while (const dirent* e = ::readdir(dir)) {
        if (e->d_name[0] == '.') continue;  // hidden, and "." / ".."
        unsigned char type = e->d_type;
        struct stat st { };
        if (type == DT_UNKNOWN) {
            if (::fstatat(dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            type = S_ISLNK(st.st_mode) ? DT_LNK : S_ISREG(st.st_mode) ? DT_REG : S_ISDIR(st.st_mode) ? DT_DIR : 0;
        }
        if (type == DT_LNK) {
            // A link to a file is read under its own name; a link to a directory is not entered.
            if (::fstatat(dirfd(dir), e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
            type = DT_REG;
        }
        if (type == DT_REG) {
            ReadFile(dirfd(dir), e->d_name, buffer, stats);
        } else if (type == DT_DIR) {
            const int sub = ::openat(dirfd(dir), e->d_name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (sub < 0) {
                stats.unreadable++;
                continue;
            }
            stats.dirs++;
            ReadDir(sub, buffer, stats);
        }
    }
    ::closedir(dir);
}

}  // namespace

TreeReadStats ReadTree(const std::string& root, std::vector<char>& buffer)
{
    if (buffer.empty()) throw std::invalid_argument("empty read buffer");
    const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open directory " + root);
    TreeReadStats stats;
    ReadDir(fd, buffer, stats);
    return stats;
}

}  // namespace textrove::bench
