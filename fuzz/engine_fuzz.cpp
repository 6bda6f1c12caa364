// Arbitrary bytes as a file, plus up to three arbitrary words, through the
// encoding rule (all six encodings), line splitting and the scan. Checked against a plain reading
// of the matching rules: every hit record names a word and a line of the
// input, the word lies in that line or straddles its start, records come in
// line order, and no hit is missing. The file is then scanned again with
// limits small enough that its longer lines are streamed and their records
// come in parts: the records must be the same bytes.
//
// Input: byte 0 = number of words (mod 4); per word a length byte (mod 8, +1)
// and that many bytes; the rest is the file.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "search/engine/FileScanner.h"
#include "search/engine/ResultSink.h"
#include "search/engine/SearchEngine.h"
#include "text/TextCodec.h"

namespace {

namespace search = textrove::search;
namespace text = textrove::text;

struct Collect final : search::ResultSink {
    std::vector<std::string> records;
    bool Append(std::string_view record, std::string&) override
    {
        records.emplace_back(record);
        return true;
    }
};

// The file's bytes in pieces of 37, for the scanner on its own.
struct Pieces final : search::ByteSource {
    explicit Pieces(const std::string& b) : bytes(b) { }
    bool Next(Piece& piece) override
    {
        if (at >= bytes.size() && at > 0) return false;
        const std::size_t n = std::min<std::size_t>(37, bytes.size() - at);
        buffer.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                      bytes.begin() + static_cast<std::ptrdiff_t>(at + n));
        buffer.push_back(0);  // data() stays valid for an empty piece
        piece = {buffer.data(), n, 0, at + n >= bytes.size()};
        at += n + (bytes.empty() ? 1 : 0);
        return true;
    }
    bool ReadAt(std::uint64_t offset, unsigned char* out, std::size_t n) override
    {
        if (offset + n > bytes.size()) return false;
        std::memcpy(out, bytes.data() + offset, n);
        return true;
    }
    const std::string& bytes;
    std::vector<unsigned char> buffer;
    std::size_t at = 0;
};

// Text as a record shows it (characters that would break its line as U+FFFD).
std::string Shown(std::string utf8)
{
    std::string out;
    return text::ShownAsRecord(utf8, out) ? out : utf8;
}

// The records of a scan with a 64-byte hold limit and 16-byte re-reads; each
// part must be whole UTF-8 characters.

std::vector<std::string> StreamedRecords(const std::string& bytes, const std::vector<std::string>& words,
                                         const std::string& path)
{
    std::vector<std::u32string> upper;  // as the engine takes the words
    for (const std::string& w : words) upper.push_back(text::Utf8ToU32(text::ToUpperUtf8(w)));
    static search::CancelFlag cancel{0};
    search::FileScanner scanner(std::move(upper), cancel, {64, 16});
    Pieces source(bytes);
    std::vector<std::string> records;
    bool open = false;
    scanner.Scan(source, text::DetectEncoding(bytes), path, [&](std::string_view part, bool first, bool last) {
        if (first == open || !text::IsValidUtf8(part)) std::abort();
        // Records reach a sink as the engine shows them; parts hold whole characters.
        const std::string shown = Shown(std::string(part));
        if (first)
            records.push_back(shown);
        else
            records.back().append(shown);
        open = !last;
        return true;
    });
    if (open) std::abort();
    return records;
}

struct Line {
    std::u32string upper;
    std::string shown;
};

// UTF-16, ISO-2022-JP and EUC-JP files: the whole text decoded, then cut at
// the characters CR and LF.
std::vector<Line> ReadDecodedLines(const std::string& bytes, text::Encoding encoding)
{
    const std::u32string all = text::Decode(std::string_view(bytes).substr(text::BomLength(bytes, encoding)), encoding);
    std::vector<Line> lines;
    std::size_t pos = 0;
    while (pos < all.size()) {
        const std::size_t end = all.find_first_of(U"\r\n", pos);
        const std::size_t stop = end == std::u32string::npos ? all.size() : end;
        const std::u32string decoded = all.substr(pos, stop - pos);
        lines.push_back({text::ToUpper(decoded), Shown(text::U32ToUtf8(decoded))});
        if (stop == all.size()) break;
        pos = stop + ((all[stop] == U'\r' && stop + 1 < all.size() && all[stop + 1] == U'\n') ? 2 : 1);
    }
    return lines;
}

std::vector<Line> ReadLines(const std::string& bytes)
{
    const text::Encoding encoding = text::DetectEncoding(bytes);
    if (text::ReadThroughUtf8(encoding)) return ReadDecodedLines(bytes, encoding);
    std::size_t pos = encoding == text::Encoding::Utf8 ? text::Utf8BomLength(bytes) : 0;
    std::vector<Line> lines;
    while (pos < bytes.size()) {
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        const std::size_t stop = end == std::string::npos ? bytes.size() : end;
        const std::u32string decoded = text::Decode(std::string_view(bytes).substr(pos, stop - pos), encoding);
        lines.push_back({text::ToUpper(decoded), Shown(text::U32ToUtf8(decoded))});
        if (stop == bytes.size()) break;
        pos = stop + ((bytes[stop] == '\r' && stop + 1 < bytes.size() && bytes[stop + 1] == '\n') ? 2 : 1);
    }
    return lines;
}

bool Straddles(const std::u32string& prev, const std::u32string& cur, const std::u32string& word)
{
    const std::size_t n = word.size();
    if (n < 2) return false;
    const std::size_t tail = std::min(prev.size(), n - 1);
    const std::u32string joined = prev.substr(prev.size() - tail) + cur.substr(0, n - 1);
    return joined.find(word) != std::u32string::npos;
}

bool Occurs(const std::vector<Line>& lines, std::size_t i, const std::u32string& word)
{
    return lines[i].upper.find(word) != std::u32string::npos;
}

bool StraddlesAt(const std::vector<Line>& lines, std::size_t i, const std::u32string& word)
{
    return i > 0 && Straddles(lines[i - 1].upper, lines[i].upper, word);
}

std::string ScratchFile()
{
    static std::string path = [] {
        // Memory-backed when the machine has it: the file is rewritten per input.
        char shm[] = "/dev/shm/textrove-fuzz.XXXXXX";
        char tmp[] = "/tmp/textrove-fuzz.XXXXXX";
        const char* dir = mkdtemp(shm);
        if (!dir) dir = mkdtemp(tmp);
        if (!dir) std::abort();
        static const std::string folder = dir;
        std::atexit([] {
            ::unlink((folder + "/f").c_str());
            ::rmdir(folder.c_str());
        });
        return folder + "/f";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::size_t at = 0;
    std::vector<std::string> words;
    const int count = size > 0 ? data[at++] % 4 : 0;
    for (int k = 0; k < count && at < size; ++k) {
        const std::size_t len = std::min<std::size_t>(data[at++] % 8 + 1, size - at);
        const std::string word = search::WordAsAdded(text::LossyUtf8({reinterpret_cast<const char*>(data + at), len}));
        at += len;
        if (!word.empty()) words.push_back(word);
    }
    const std::string bytes(reinterpret_cast<const char*>(data + at), size - at);

    const std::string path = ScratchFile();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    // One engine for the whole run, as one search reuses it for every file:
    // its buffers are large and would dominate each execution.
    static Collect sink;
    static search::CancelFlag cancel{0};
    static search::SearchEngine engine(sink, cancel);
    sink.records.clear();
    engine.GetFindChara(words);
    engine.FindChara(path);

    const std::vector<Line> lines = ReadLines(bytes);
    std::vector<std::u32string> upperWords;
    for (const std::string& w : words) upperWords.push_back(text::Utf8ToU32(w));
    std::size_t expected = 0;
    for (std::size_t i = 0; i < lines.size(); ++i)
        for (const std::u32string& w : upperWords) expected += StraddlesAt(lines, i, w) + Occurs(lines, i, w);

    const std::vector<std::string>& r = sink.records;
    if (r.empty()) std::abort();  // the header is always there
    if (StreamedRecords(bytes, words, path) != std::vector<std::string>(r.begin() + 1, r.end())) std::abort();
    if (expected == 0) {
        if (r.size() != 1) std::abort();  // a file without hits leaves no trace
        return 0;
    }
    if (r.size() != 3 + expected || !r[1].empty()
        || r[2] != std::string(search::kBannerHead) + path + search::kBannerTail)
        std::abort();
    std::size_t line = 0;
    for (std::size_t k = 3; k < r.size(); ++k) {
        bool found = false;
        for (; line < lines.size() && !found;) {
            for (std::size_t w = 0; w < words.size() && !found; ++w) {
                const std::string head = Shown(words[w] + " :");
                found = r[k] == head + lines[line].shown
                    && (Occurs(lines, line, upperWords[w]) || StraddlesAt(lines, line, upperWords[w]));
            }
            if (!found) ++line;
        }
        if (!found) std::abort();  // not a line of the input, or out of order
    }
    return 0;
}
