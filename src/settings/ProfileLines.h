// The settings file's lines, streamed from memory or from a file descriptor.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "settings/ProfileLimits.h"

namespace textrove::settings {

inline bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

// Bytes asked of the file at a time.
inline constexpr std::size_t kReadBlock = 64 * 1024;

enum class Ending { None, Cr, Lf, CrLf };

inline std::size_t EndingBytes(Ending e)
{
    return e == Ending::CrLf ? 2 : e == Ending::None ? 0 : 1;
}

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
    explicit LineReader(std::string_view bytes) : data_(bytes.data()), len_(bytes.size()), eof_(true) { SkipBom(); }
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

}  // namespace textrove::settings
