#include "settings/Profile.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>
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

// Names and values a write can store so that a read finds them again: its
// line must be valid UTF-8, and the longest it adds is key=value CR LF.
bool IsStorable(std::string_view section, std::string_view key, std::string_view value) {
  if (!text::IsValidUtf8(section) || !text::IsValidUtf8(key) || !text::IsValidUtf8(value)) return false;
  const bool sectionOk = !section.empty() && Trim(section).size() == section.size() &&
                         !HasLineBreak(section) && section.find(']') == std::string_view::npos &&
                         section.size() + 4 <= kMaxLineBytes;
  const bool keyOk = !key.empty() && Trim(key).size() == key.size() && !HasLineBreak(key) &&
                     key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';';
  return sectionOk && keyOk && !HasLineBreak(value) && key.size() + value.size() + 3 <= kMaxLineBytes;
}

// ---------------------------------------------------------------------------
// Lines

constexpr std::size_t kReadBlock = 64 * 1024;

enum class Ending { None, Cr, Lf, CrLf };

std::size_t EndingBytes(Ending e) { return e == Ending::CrLf ? 2 : e == Ending::None ? 0 : 1; }

// One physical line, file bytes [begin, end). `content` is its text without
// the terminator (LF, CR LF, or a lone CR ending the file), valid until the
// next line is taken; empty for an overlong line.
struct Line {
  std::uint64_t begin = 0, end = 0;
  std::string_view content;
  Ending ending = Ending::None;
  bool overlong = false;  // more than kMaxLineBytes: kept, not understood
};

// Hands out the lines of bytes held in memory, or of a file read through a
// buffer of at most kMaxLineBytes plus a block. A leading UTF-8 BOM belongs
// to no line.
class LineReader {
 public:
  explicit LineReader(std::string_view bytes)
      : data_(bytes.data()), len_(bytes.size()), eof_(true) {
    SkipBom();
  }
  // Reads `fd` up to `size`, its size when opened: a file that keeps growing
  // is not followed, and one that shrinks meanwhile fails the read.
  LineReader(int fd, std::uint64_t size) : fd_(fd), limit_(size) { SkipBom(); }

  // The next line; false at the end or on a read error. A run of empty LF
  // lines comes back as its last line only: they carry nothing, and a file
  // of millions of them must not cost a line's bookkeeping each.
  bool Next(Line& line);
  // Passes over the lines whose first non-blank byte is no '[' (only such a
  // line can open a section), searching the bytes rather than taking lines.
  // False at the end.
  bool SkipToBracketLine();
  bool Failed() const { return failed_; }
  // Where the next line would begin; the file's end once Next gave false.
  std::uint64_t Offset() const { return offset_; }
  // The first line feed of the bytes passed so far: "\r\n", "\n", or "" for none.
  std::string_view FirstLineFeed() const { return firstLineFeed_; }
  // The ending of the last line passed; Lf before any line.
  Ending LastEnding() const { return lastEnding_; }

 private:
  bool Fill();
  void SkipBom();
  void Pass(std::size_t to, Ending ending);
  bool Take(Line& line, std::size_t n, bool lfEnded);
  bool TakeOverlong(Line& line);

  const char* data_ = nullptr;
  std::size_t pos_ = 0, len_ = 0;  // unread bytes: data_[pos_, len_)
  std::uint64_t offset_ = 0;       // file offset of data_[pos_]
  int fd_ = -1;
  std::uint64_t limit_ = 0, read_ = 0;
  std::vector<char> buf_;
  bool eof_ = false, failed_ = false;
  std::string_view firstLineFeed_;
  Ending lastEnding_ = Ending::Lf;
};

// Moves the unread bytes to the front and reads one more block behind them.
bool LineReader::Fill() {
  if (eof_) return false;
  if (read_ >= limit_) {
    eof_ = true;
    return false;
  }
  if (pos_ > 0) {
    std::memmove(buf_.data(), buf_.data() + pos_, len_ - pos_);
    len_ -= pos_;
    pos_ = 0;
  }
  if (buf_.size() < len_ + kReadBlock) buf_.resize(len_ + kReadBlock);
  data_ = buf_.data();
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(kReadBlock, limit_ - read_));
  for (;;) {
    const ssize_t n = ::read(fd_, buf_.data() + len_, want);
    if (n > 0) {
      len_ += static_cast<std::size_t>(n);
      read_ += static_cast<std::uint64_t>(n);
      return true;
    }
    if (n < 0 && errno == EINTR) continue;
    failed_ = eof_ = true;
    return false;
  }
}

void LineReader::SkipBom() {
  while (len_ - pos_ < 3 && Fill()) {
  }
  if (len_ - pos_ >= 3 && text::Utf8BomLength(std::string_view(data_ + pos_, 3)) == 3) {
    pos_ += 3;
    offset_ += 3;
  }
}

// Consumes data_[pos_, to), whole lines the last of which ends as `ending`.
void LineReader::Pass(std::size_t to, Ending ending) {
  if (firstLineFeed_.empty()) {
    if (const void* lf = std::memchr(data_ + pos_, '\n', to - pos_)) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lf) - data_);
      firstLineFeed_ = at > pos_ && data_[at - 1] == '\r' ? "\r\n" : "\n";
    }
  }
  lastEnding_ = ending;
  offset_ += to - pos_;
  pos_ = to;
}

bool LineReader::Take(Line& line, std::size_t n, bool lfEnded) {
  std::string_view bytes(data_ + pos_, n);
  line.ending = Ending::None;
  if (lfEnded) {
    bytes.remove_suffix(1);
    line.ending = Ending::Lf;
  }
  if (!bytes.empty() && bytes.back() == '\r') {  // before the LF, or ending the file
    bytes.remove_suffix(1);
    line.ending = lfEnded ? Ending::CrLf : Ending::Cr;
  }
  line.begin = offset_;
  line.end = offset_ + n;
  line.overlong = n > kMaxLineBytes;
  line.content = line.overlong ? std::string_view() : bytes;
  Pass(pos_ + n, line.ending);
  return true;
}

// The unread bytes are the start of a line longer than kMaxLineBytes without
// its LF: they are passed over, block by block, to the line's end.
bool LineReader::TakeOverlong(Line& line) {
  line = Line{};
  line.begin = offset_;
  line.overlong = true;
  char last = 0;
  for (;;) {
    const char* lf = static_cast<const char*>(std::memchr(data_ + pos_, '\n', len_ - pos_));
    const std::size_t n = lf ? static_cast<std::size_t>(lf - (data_ + pos_)) : len_ - pos_;
    if (n > 0) last = data_[pos_ + n - 1];
    pos_ += n;
    offset_ += n;
    if (lf) {
      line.ending = last == '\r' ? Ending::CrLf : Ending::Lf;
      if (firstLineFeed_.empty()) firstLineFeed_ = line.ending == Ending::CrLf ? "\r\n" : "\n";
      ++pos_;
      ++offset_;
      break;
    }
    if (!Fill()) {
      line.ending = last == '\r' ? Ending::Cr : Ending::None;
      break;
    }
  }
  line.end = offset_;
  lastEnding_ = line.ending;
  return true;
}

// The first index in [i, n) whose byte is no LF, or n; eight bytes a step.
std::size_t SkipLineFeeds(const char* p, std::size_t i, std::size_t n) {
  constexpr std::uint64_t kLfs = 0x0A0A0A0A0A0A0A0Aull;
  for (std::uint64_t word; i + 8 <= n; i += 8) {
    std::memcpy(&word, p + i, 8);
    if (word != kLfs) break;
  }
  while (i < n && p[i] == '\n') ++i;
  return i;
}

bool LineReader::Next(Line& line) {
  if (pos_ == len_ && !Fill()) return false;
  if (data_[pos_] == '\n') {
    for (;;) {
      const std::size_t from = pos_;
      pos_ = SkipLineFeeds(data_, pos_ + 1, len_) - 1;
      offset_ += pos_ - from;
      if (pos_ + 1 < len_ || !Fill()) break;
    }
    return Take(line, 1, true);
  }
  std::size_t scanned = pos_;
  for (;;) {
    if (const void* lf = std::memchr(data_ + scanned, '\n', len_ - scanned)) {
      return Take(line, static_cast<std::size_t>(static_cast<const char*>(lf) - data_) + 1 - pos_, true);
    }
    if (len_ - pos_ > kMaxLineBytes) return TakeOverlong(line);
    scanned = len_ - pos_;  // relative to the line start, which Fill moves to 0
    if (!Fill()) return Take(line, len_ - pos_, false);
  }
}

bool LineReader::SkipToBracketLine() {
  if (pos_ == len_ && !Fill()) return false;
  std::size_t from = pos_;  // where the search for '[' goes on
  for (;;) {
    if (const void* hit = std::memchr(data_ + from, '[', len_ - from)) {
      const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data_);
      const void* lf = ::memrchr(data_ + pos_, '\n', at - pos_);
      if (lf) {
        const std::size_t start = static_cast<std::size_t>(static_cast<const char*>(lf) - data_) + 1;
        Pass(start, start - 1 > pos_ && data_[start - 2] == '\r' ? Ending::CrLf : Ending::Lf);
      }
      if (std::all_of(data_ + pos_, data_ + at, IsBlank)) return true;
      from = at + 1;
      continue;
    }
    // No '[' here: the whole lines go, the unfinished last one waits for more.
    if (const void* lf = ::memrchr(data_ + pos_, '\n', len_ - pos_)) {
      const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(lf) - data_) + 1;
      Pass(end, end - 1 > pos_ && data_[end - 2] == '\r' ? Ending::CrLf : Ending::Lf);
    }
    Line line;
    if (len_ - pos_ > kMaxLineBytes) {
      TakeOverlong(line);  // never a section
      from = pos_;
      continue;
    }
    from = len_ - pos_;  // relative to the line start, which Fill moves to 0
    if (!Fill()) {
      if (pos_ < len_) Take(line, len_ - pos_, false);
      return false;
    }
  }
}

// ---------------------------------------------------------------------------
// Lookup and change

enum class Kind { Blank, Section, Key, Other };

struct Parsed {
  Kind kind = Kind::Other;
  std::string_view text;       // Section and Key: the line as UTF-8
  std::string_view name;       // section or key name, blanks trimmed
  std::size_t valueBegin = 0;  // Key: offset of the value in `text`
};

// `keysWanted`: whether a key line would matter (inside a wanted section);
// only then, or for a section line, is the line decoded. Blanks, '[' and ';'
// are ASCII and can be no part of a CP932 character, so the first non-blank
// byte is the same in either encoding.
Parsed ParseLine(const Line& line, bool keysWanted, std::string& scratch) {
  Parsed p;
  if (line.overlong) return p;
  const std::string_view trimmed = Trim(line.content);
  if (trimmed.empty()) {
    p.kind = Kind::Blank;
    return p;
  }
  if (trimmed.front() == ';' || (trimmed.front() != '[' && !keysWanted)) return p;
  // A line that is valid UTF-8 is UTF-8; any other is CP932.
  if (text::IsValidUtf8(line.content)) {
    p.text = line.content;
  } else {
    scratch = text::Cp932ToUtf8(line.content);
    p.text = scratch;
  }
  const std::string_view t = Trim(p.text);
  if (t.front() == '[') {
    const std::size_t close = t.find(']');
    if (close != std::string_view::npos) {
      p.kind = Kind::Section;
      p.name = Trim(t.substr(1, close - 1));
    }
    return p;
  }
  const std::size_t eq = p.text.find('=');
  if (eq == std::string_view::npos) return p;
  p.name = Trim(p.text.substr(0, eq));
  if (!p.name.empty()) {
    p.kind = Kind::Key;
    p.valueBegin = eq + 1;
  }
  return p;
}

// The first key of that name in any section of that name.
std::optional<std::string> FindIn(LineReader& reader, std::string_view section, std::string_view key) {
  bool inSection = false;
  std::string scratch;
  Line line;
  while ((inSection || reader.SkipToBracketLine()) && reader.Next(line)) {
    const Parsed p = ParseLine(line, inSection, scratch);
    if (p.kind == Kind::Section) {
      inSection = SameName(p.name, section);
    } else if (p.kind == Kind::Key && inSection && SameName(p.name, key)) {
      return std::string(p.text.substr(p.valueBegin));
    }
  }
  return std::nullopt;
}

// A write's change: file bytes [at, at + removed) become `insert`.
struct Edit {
  std::uint64_t at = 0, removed = 0;
  std::string insert;
};

enum class Plan { Unchanged, Change, Refused };

// The key FindIn reads gets the value; when missing, the key is added after
// the last non-blank line of the first section of that name, or section and
// key at the end. The changed line alone is re-encoded (UTF-8); new lines end
// as the file's first line feed does.
Plan PlanChange(LineReader& reader, std::string_view section, std::string_view key,
                std::string_view value, Edit& edit) {
  bool inSection = false;
  enum { NotSeen, Inside, Past } first = NotSeen;
  std::uint64_t insertAt = 0;
  Ending before = Ending::Lf;  // ending of the line that ends at insertAt
  std::string scratch;
  Line line;
  while ((inSection || reader.SkipToBracketLine()) && reader.Next(line)) {
    const Parsed p = ParseLine(line, inSection, scratch);
    if (p.kind == Kind::Section) {
      inSection = SameName(p.name, section);
      if (first == Inside) first = Past;
      if (inSection && first == NotSeen) {
        first = Inside;
        insertAt = line.end;
        before = line.ending;
      }
    } else if (p.kind == Kind::Key && inSection && SameName(p.name, key)) {
      if (p.text.substr(p.valueBegin) == value) return Plan::Unchanged;
      if (p.valueBegin + value.size() + EndingBytes(line.ending) > kMaxLineBytes) return Plan::Refused;
      edit.at = line.begin;
      edit.removed = line.content.size();
      edit.insert.assign(p.text.substr(0, p.valueBegin)).append(value);
      return Plan::Change;
    } else if (first == Inside && p.kind != Kind::Blank) {
      insertAt = line.end;
      before = line.ending;
    }
  }
  if (first == NotSeen) {
    insertAt = reader.Offset();
    before = reader.LastEnding();
  }
  const std::string_view nl = reader.FirstLineFeed().empty() ? "\n" : reader.FirstLineFeed();
  edit.at = insertAt;
  edit.removed = 0;
  edit.insert.clear();
  // The line before gains the line feed it lacks.
  if (before == Ending::None) edit.insert.append(nl);
  if (before == Ending::Cr) edit.insert.append("\n");
  if (first == NotSeen) edit.insert.append("[").append(section).append("]").append(nl);
  edit.insert.append(key).append("=").append(value).append(nl);
  return Plan::Change;
}

// ---------------------------------------------------------------------------
// File access

class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
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
int OpenRegular(const std::string& path, struct stat& st) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return -1;
  if (::fstat(fd.get(), &st) != 0) return -1;
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return -1;
  }
  return fd.release();
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

// Copies `count` bytes of `in` from `from` on; false when they are not all there.
bool CopyRange(int in, std::uint64_t from, std::uint64_t count, int out) {
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
// the process dies, so a killed writer never blocks the next one. Never
// opened through a link: a link in its place fails the write. Private, so
// that no other user can hold it and stall our writes.
class FileLock {
 public:
  explicit FileLock(const std::string& lockPath)
      : fd_(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600)) {
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
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  if (::realpath(path.c_str(), resolved) == nullptr) return {};
  return resolved;
}

// Writes the file `in` (of `old`'s size; -1 and null for none) with `edit`
// applied to a temporary file beside `target`, then renames it over `target`.
// On failure the temporary file is removed and `target` is untouched.
bool ReplaceFile(const std::string& target, int in, const struct stat* old, const Edit& edit) {
  const std::string tmp = target + ".tmp";
  // A leftover of a writer that was killed (we hold the lock). Anything else
  // in its place stays, and the exclusive create below fails the write.
  struct stat st {};
  if (::lstat(tmp.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(tmp.c_str());
  // A new settings file gets what the umask leaves of 0666. A replacement
  // starts readable by its owner alone, whatever the umask, and takes the old
  // file's owner (where permitted) and mode before its first byte: the old
  // mode is kept even where the umask would not have given it.
  Fd out(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                      old ? (old->st_mode & 0700) : 0666));
  if (out.get() < 0) return false;
  bool ok = true;
  if (old) {
    if (::fchown(out.get(), old->st_uid, old->st_gid) != 0) (void)!::fchown(out.get(), -1, old->st_gid);
    ok = ::fchmod(out.get(), old->st_mode & 07777) == 0;
  }
  const std::uint64_t size = old ? static_cast<std::uint64_t>(old->st_size) : 0;
  const std::uint64_t rest = edit.at + edit.removed;
  ok = ok && CopyRange(in, 0, edit.at, out.get()) && WriteAll(out.get(), edit.insert) &&
       CopyRange(in, rest, size - rest, out.get()) && ::fsync(out.get()) == 0;
  if (::close(out.release()) != 0) ok = false;
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

std::optional<std::string> FindValue(std::string_view fileBytes, std::string_view section,
                                     std::string_view key) {
  LineReader reader(fileBytes);
  return FindIn(reader, section, key);
}

std::string SetValue(std::string_view fileBytes, std::string_view section, std::string_view key,
                     std::string_view value) {
  std::string bytes(fileBytes);
  if (!IsStorable(section, key, value)) return bytes;
  LineReader reader(fileBytes);
  Edit edit;
  if (PlanChange(reader, section, key, value, edit) == Plan::Change) {
    bytes.replace(edit.at, edit.removed, edit.insert);
  }
  return bytes;
}

std::string ReadProfile(std::string_view section, std::string_view key, std::string_view def) {
  const std::string path = SettingsFilePath();
  if (path.empty()) return std::string(def);
  struct stat st {};
  const Fd fd(OpenRegular(path, st));
  if (fd.get() < 0) return std::string(def);
  LineReader reader(fd.get(), static_cast<std::uint64_t>(st.st_size));
  std::optional<std::string> value = FindIn(reader, section, key);
  return value ? std::move(*value) : std::string(def);
}

bool WriteProfile(std::string_view section, std::string_view key, std::string_view value) {
  if (!IsStorable(section, key, value)) return false;
  const std::string path = SettingsFilePath();
  if (path.empty() || !MakeDirectories(DirName(path))) return false;

  // Held around the whole read-modify-write so that a second running copy's
  // keys are never lost between our read and our rename.
  const FileLock lock(path + ".lock");
  if (!lock.Held()) return false;

  const std::string target = ResolveTarget(path);
  if (target.empty()) return false;

  struct stat st {};
  const Fd in(OpenRegular(target, st));
  if (in.get() < 0) {
    if (errno != ENOENT) return false;
    return ReplaceFile(target, -1, nullptr, Edit{0, 0, SetValue("", section, key, value)});
  }
  LineReader reader(in.get(), static_cast<std::uint64_t>(st.st_size));
  Edit edit;
  const Plan plan = PlanChange(reader, section, key, value, edit);
  if (reader.Failed() || plan == Plan::Refused) return false;
  return plan == Plan::Unchanged || ReplaceFile(target, in.get(), &st, edit);
}

}  // namespace textrove::settings
