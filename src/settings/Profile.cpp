#include "settings/Profile.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/SettingsNames.h"
#include "text/TextCodec.h"

namespace textrove::settings {

namespace {

// ---------------------------------------------------------------------------
// Text rules

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

// One physical line. [begin, contentEnd) is its text; [contentEnd, end) its
// terminator: LF, CR LF, or a lone CR that ends the file.
struct Line {
  std::size_t begin;
  std::size_t contentEnd;
  std::size_t end;
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t nl = text.find('\n', pos);
    if (nl == std::string_view::npos) {
      const std::size_t contentEnd = text.back() == '\r' ? text.size() - 1 : text.size();
      lines.push_back({pos, contentEnd, text.size()});
      break;
    }
    const std::size_t contentEnd = (nl > pos && text[nl - 1] == '\r') ? nl - 1 : nl;
    lines.push_back({pos, contentEnd, nl + 1});
    pos = nl + 1;
  }
  return lines;
}

enum class Kind { Section, Key, Other };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view name;   // section or key name, blanks trimmed
  std::size_t valueBegin = 0;  // Key: offset of the value inside the whole text
};

Parsed ParseLine(std::string_view text, const Line& line) {
  const std::string_view content = text.substr(line.begin, line.contentEnd - line.begin);
  const std::string_view trimmed = Trim(content);
  Parsed p;
  if (trimmed.empty() || trimmed.front() == ';') return p;
  if (trimmed.front() == '[') {
    const std::size_t close = trimmed.find(']');
    if (close != std::string_view::npos) {
      p.kind = Kind::Section;
      p.name = Trim(trimmed.substr(1, close - 1));
    }
    return p;
  }
  const std::size_t eq = content.find('=');
  if (eq == std::string_view::npos) return p;
  const std::string_view name = Trim(content.substr(0, eq));
  if (name.empty()) return p;
  p.kind = Kind::Key;
  p.name = name;
  p.valueBegin = line.begin + eq + 1;
  return p;
}

// Names SetValue can store so that FindValue finds them again.
bool IsStorableSection(std::string_view s) {
  return !s.empty() && Trim(s).size() == s.size() && !HasLineBreak(s) &&
         s.find(']') == std::string_view::npos;
}

bool IsStorableKey(std::string_view k) {
  return !k.empty() && Trim(k).size() == k.size() && !HasLineBreak(k) &&
         k.find('=') == std::string_view::npos && k.front() != '[' && k.front() != ';';
}

// ---------------------------------------------------------------------------
// File access

enum class ReadResult { Ok, Missing, Failed };

ReadResult ReadWholeFile(const std::string& path, std::string& out, mode_t* mode) {
  out.clear();
  // O_NONBLOCK: a FIFO in the file's place must not hang the caller.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadResult::Failed;
  }
  if (mode) *mode = st.st_mode & 07777;
  char buf[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return ReadResult::Failed;
    }
    out.append(buf, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadResult::Ok;
}

bool WriteAll(int fd, std::string_view data) {
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

std::string DirName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// mkdir -p; XDG asks for 0700 on directories it creates.
bool MakeDirectories(const std::string& dir) {
  struct stat st {};
  if (::stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  if (errno != ENOENT) return false;
  const std::string parent = DirName(dir);
  if (parent != dir && !MakeDirectories(parent)) return false;
  if (::mkdir(dir.c_str(), 0700) == 0) return true;
  return errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Holds an exclusive flock for its lifetime; released by the kernel too when
// the process dies, so a killed writer never blocks the next one.
class FileLock {
 public:
  explicit FileLock(const std::string& lockPath) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
      if (errno != EINTR) {
        ::close(fd_);
        fd_ = -1;
        return;
      }
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The file the data really lives in: a symbolic link is followed, so a linked
// settings file stays linked after a write. Empty when it cannot be resolved.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

// Writes `data` to `tmp` with the given mode, then renames it over `target`.
// On failure the temp file is removed and `target` is untouched.
bool ReplaceFile(const std::string& target, const std::string& tmp, std::string_view data,
                 std::optional<mode_t> mode) {
  ::unlink(tmp.c_str());  // a leftover of a writer that was killed; we hold the lock
  // 0666 lets the umask decide the mode of a new file.
  const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  if (ok && mode) ok = ::fchmod(fd, *mode) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(tmp.c_str(), target.c_str()) == 0;
  if (!ok) ::unlink(tmp.c_str());
  // No fsync of the directory: after a power cut the file is the old one or the
  // new one, whole either way, and it halves the cost of a write.
  return ok;
}

std::string HomeDirectory() {
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir && pw->pw_dir[0] == '/') {
    return pw->pw_dir;
  }
  return {};
}

}  // namespace

std::string SettingsFilePath() {
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    return std::string(xdg) + "/" + kFileName;
  }
  const std::string home = HomeDirectory();
  if (home.empty()) return {};
  return home + "/.config/" + kFileName;
}

std::optional<std::string> FindValue(std::string_view fileText, std::string_view section,
                                     std::string_view key) {
  bool inSection = false;
  for (const Line& line : SplitLines(fileText)) {
    const Parsed p = ParseLine(fileText, line);
    if (p.kind == Kind::Section) {
      inSection = SameName(p.name, section);
    } else if (p.kind == Kind::Key && inSection && SameName(p.name, key)) {
      return std::string(fileText.substr(p.valueBegin, line.contentEnd - p.valueBegin));
    }
  }
  return std::nullopt;
}

std::string SetValue(std::string_view fileText, std::string_view section, std::string_view key,
                     std::string_view value) {
  std::string text(fileText);
  if (!IsStorableSection(section) || !IsStorableKey(key) || HasLineBreak(value)) return text;

  const std::vector<Line> lines = SplitLines(fileText);
  const std::size_t firstLf = fileText.find('\n');
  const std::string_view nl =
      (firstLf != std::string_view::npos && firstLf > 0 && fileText[firstLf - 1] == '\r') ? "\r\n"
                                                                                           : "\n";

  // The first key of that name in any section of that name: the one FindValue reads.
  // Meanwhile note where the first section of that name ends its last non-blank line.
  bool inSection = false;
  int sectionState = 0;  // 0 not seen, 1 inside the first one, 2 past it
  std::size_t insertAfter = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const Parsed p = ParseLine(fileText, line);
    if (p.kind == Kind::Section) {
      inSection = SameName(p.name, section);
      if (sectionState == 1) sectionState = 2;
      if (inSection && sectionState == 0) {
        sectionState = 1;
        insertAfter = i;
      }
      continue;
    }
    if (p.kind == Kind::Key && inSection && SameName(p.name, key)) {
      text.replace(p.valueBegin, line.contentEnd - p.valueBegin, value);
      return text;
    }
    if (sectionState == 1 && !Trim(fileText.substr(line.begin, line.contentEnd - line.begin)).empty()) {
      insertAfter = i;
    }
  }

  std::string addition;
  std::size_t at = text.size();
  if (sectionState != 0) {
    at = lines[insertAfter].end;
  } else {
    addition.append("[").append(section).append("]").append(nl);
  }
  addition.append(key).append("=").append(value).append(nl);

  // The line before the insertion point needs a line feed of its own; a lone
  // CR ending the file becomes CR LF.
  if (at > 0 && text[at - 1] != '\n') {
    addition.insert(0, text[at - 1] == '\r' ? std::string_view("\n") : nl);
  }
  text.insert(at, addition);
  return text;
}

std::string DecodeFileText(std::string_view bytes) {
  if (text::IsValidUtf8(bytes)) {
    bytes.remove_prefix(text::Utf8BomLength(bytes));
    return std::string(bytes);
  }
  return text::Cp932ToUtf8(bytes);
}

std::string ReadProfile(std::string_view section, std::string_view key, std::string_view def) {
  const std::string path = SettingsFilePath();
  if (path.empty()) return std::string(def);
  std::string bytes;
  if (ReadWholeFile(path, bytes, nullptr) != ReadResult::Ok) return std::string(def);
  std::optional<std::string> value = FindValue(DecodeFileText(bytes), section, key);
  return value ? std::move(*value) : std::string(def);
}

bool WriteProfile(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsStorableSection(section) || !IsStorableKey(key) || HasLineBreak(value)) return false;
  const std::string path = SettingsFilePath();
  if (path.empty() || !MakeDirectories(DirName(path))) return false;

  // Held around the whole read-modify-write so that a second running copy's
  // keys are never lost between our read and our rename.
  FileLock lock(path + ".lock");
  if (!lock.Held()) return false;

  const std::string target = ResolveTarget(path);
  if (target.empty()) return false;

  std::string bytes;
  mode_t mode = 0;
  const ReadResult read = ReadWholeFile(target, bytes, &mode);
  if (read == ReadResult::Failed) return false;

  const std::string updated = SetValue(DecodeFileText(bytes), section, key, value);
  if (read == ReadResult::Ok && updated == bytes) return true;

  return ReplaceFile(target, target + ".tmp", updated,
                     read == ReadResult::Ok ? std::optional<mode_t>(mode) : std::nullopt);
}

}  // namespace textrove::settings
