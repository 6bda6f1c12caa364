#include "settings/ProfileFile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <pwd.h>

namespace textrove::settings {

namespace {

bool WriteAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Copies `count` bytes of `in` from `from` on; false when they are not all there.
bool CopyRange(int in, std::uint64_t from, std::uint64_t count, int out)
{
    std::vector<char> buf(count > 0 ? kReadBlock : 0);
    while (count > 0) {
        const ssize_t n = ::pread(in, buf.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, kReadBlock)),
                                  static_cast<off_t>(from));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || !WriteAll(out, std::string_view(buf.data(), static_cast<std::size_t>(n)))) return false;
        from += static_cast<std::uint64_t>(n);
        count -= static_cast<std::uint64_t>(n);
    }
    return true;
}

}  // namespace

// A regular file opened for reading; O_NONBLOCK so that a FIFO in its place
// cannot hang the caller. -1 with errno set otherwise.
int OpenRegular(const std::string& path, struct stat& st)
{
    Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) return -1;
    if (::fstat(fd.get(), &st) != 0) return -1;
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    return fd.release();
}

std::string DirName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// mkdir -p; XDG asks for 0700 on directories it creates.
bool MakeDirectories(const std::string& dir)
{
    struct stat st { };
    if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
    if (errno != ENOENT) return false;
    const std::string parent = DirName(dir);
    if (parent != dir && !MakeDirectories(parent)) return false;
    if (::mkdir(dir.c_str(), 0700) == 0) return true;
    return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The file the data really lives in: a symbolic link is followed, so a linked
// settings file stays linked after a write. Empty when it cannot be resolved.
std::string ResolveTarget(const std::string& path)
{
    struct stat st { };
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return {};
    return resolved;
}

// Writes the file `in` (of `old`'s size; -1 and null for none) with `edit`
// applied to a temporary file beside `target`, then renames it over `target`.
// On failure the temporary file is removed and `target` is untouched.
bool ReplaceFile(const std::string& target, int in, const struct stat* old, const Edit& edit)
{
    const std::string tmp = target + ".tmp";
    // A leftover of a writer that was killed (we hold the lock). Anything else
    // in its place stays, and the exclusive create below fails the write.
    struct stat st { };
    if (::lstat(tmp.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(tmp.c_str());
    // A new settings file gets what the umask leaves of 0666. A replacement
    // starts readable by its owner alone, whatever the umask, and takes the old
    // file's owner (where permitted) and mode before its first byte: the old
    // mode is kept even where the umask would not have given it.
    Fd out(
        ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, old ? (old->st_mode & 0700) : 0666));
    if (out.get() < 0) return false;
    bool ok = true;
    if (old) {
        if (::fchown(out.get(), old->st_uid, old->st_gid) != 0) (void)!::fchown(out.get(), -1, old->st_gid);
        ok = ::fchmod(out.get(), old->st_mode & 07777) == 0;
    }
    const std::uint64_t size = old ? static_cast<std::uint64_t>(old->st_size) : 0;
    const std::uint64_t rest = edit.at + edit.removed;
    ok = ok && CopyRange(in, 0, edit.at, out.get()) && WriteAll(out.get(), edit.insert)
        && CopyRange(in, rest, size - rest, out.get()) && ::fsync(out.get()) == 0;
    if (::close(out.release()) != 0) ok = false;
    if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) ::unlink(tmp.c_str());
    // No fsync of the directory: after a power cut the file is the old one or the
    // new one, whole either way, and it halves the cost of a write.
    return ok;
}

std::string HomeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
        return pw->pw_dir;
    }
    return {};
}

}  // namespace textrove::settings
