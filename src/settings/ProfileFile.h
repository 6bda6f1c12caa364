// The settings file on disk: opening, the writers' lock, atomic replacement.
#pragma once

#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/ProfileEdit.h"

namespace textrove::settings {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) { }
    ~Fd()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }

private:
    int fd_;
};

// A regular file opened for reading; O_NONBLOCK so that a FIFO in its place
// cannot hang the caller. -1 with errno set otherwise.
int OpenRegular(const std::string& path, struct stat& st);

std::string DirName(const std::string& path);

// mkdir -p; XDG asks for 0700 on directories it creates.
bool MakeDirectories(const std::string& dir);

// Holds an exclusive flock for its lifetime; released by the kernel too when
// the process dies, so a killed writer never blocks the next one. Never
// opened through a link: a link in its place fails the write. Private, so
// that no other user can hold it and stall our writes.
class FileLock {
public:
    explicit FileLock(const std::string& lockPath)
        : fd_(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600))
    {
        if (fd_.get() < 0) return;
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_.release());
                return;
            }
        }
    }
    bool Held() const { return fd_.get() >= 0; }

private:
    Fd fd_;
};

// The file the data really lives in: a symbolic link is followed, so a linked
// settings file stays linked after a write. Empty when it cannot be resolved.
std::string ResolveTarget(const std::string& path);

// Writes the file `in` (of `old`'s size; -1 and null for none) with `edit`
// applied to a temporary file beside `target`, then renames it over `target`.
// On failure the temporary file is removed and `target` is untouched.
bool ReplaceFile(const std::string& target, int in, const struct stat* old, const Edit& edit);

// $HOME, else the password database's home; empty when neither is absolute.
std::string HomeDirectory();

}  // namespace textrove::settings
