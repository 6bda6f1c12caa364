#include "settings/ProfileLines.h"

#include <algorithm>
#include <cstring>

#include <unistd.h>

#include "text/TextCodec.h"

namespace textrove::settings {

namespace {

// The first index in [i, n) whose byte is no LF, or n; eight bytes a step.
std::size_t SkipLineFeeds(const char* p, std::size_t i, std::size_t n)
{
    constexpr std::uint64_t kLfs = 0x0A0A0A0A0A0A0A0Aull;
    for (std::uint64_t word; i + 8 <= n; i += 8) {
        std::memcpy(&word, p + i, 8);
        if (word != kLfs) break;
    }
    while (i < n && p[i] == '\n') ++i;
    return i;
}

}  // namespace

// Moves the unread bytes to the front and reads one more block behind them.
bool LineReader::Fill()
{
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

void LineReader::SkipBom()
{
    while (len_ - pos_ < 3 && Fill()) { }
    if (len_ - pos_ >= 3 && text::Utf8BomLength(std::string_view(data_ + pos_, 3)) == 3) {
        pos_ += 3;
        offset_ += 3;
    }
}

// Consumes data_[pos_, to), whole lines the last of which ends as `ending`.
void LineReader::Pass(std::size_t to, Ending ending)
{
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

bool LineReader::Take(Line& line, std::size_t n, bool lfEnded)
{
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
bool LineReader::TakeOverlong(Line& line)
{
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

bool LineReader::Next(Line& line)
{
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

bool LineReader::SkipToBracketLine()
{
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

}  // namespace textrove::settings
