// A recording sink, searches over temporary trees, the command-line
// companion and a plain reference reading for the engine tests.
#pragma once

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "search/engine/SearchEngine.h"
#include "support/TempTree.h"
#include "text/TextCodec.h"

namespace enginetest {

namespace fs = std::filesystem;
namespace text = textrove::text;
using namespace textrove::search;
using Strings = std::vector<std::string>;

using testsupport::TempTree;

class RecordingSink : public ResultSink {
public:
    bool Append(std::string_view record, std::string& error) override
    {
        if (failFrom >= 0 && static_cast<int>(records.size()) >= failFrom) {
            error = "full";
            attempted.emplace_back(record);
            return false;
        }
        records.emplace_back(record);
        if (static_cast<int>(records.size()) == cancelAfter) cancel->store(255);
        return true;
    }
    void ReportFailure(const std::string& description) override { failures.push_back(description); }
    void ScanningFile(std::string_view path) override
    {
        // A slow first file lets other threads scan ahead and hold records.
        if (scanned.empty() && stallMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(stallMs));
        scanned.emplace_back(path);
    }
    void ScanningPath(std::string_view path) override { paths.emplace_back(path); }

    Strings records, attempted, failures, scanned, paths;
    int failFrom = -1;     // appends fail once this many records are held
    int cancelAfter = -1;  // the flag goes up once this many records are held
    int stallMs = 0;
    CancelFlag* cancel = nullptr;
    std::size_t peakHeld = 0;  // the engine's PeakHeldBytes after the search
};

// How the engine spreads a search over threads (0: its own choice).
struct Parallel {
    unsigned threads = 0;
    std::size_t heldBytes = 0;
    std::size_t batchFiles = 0;
    int stallMs = 0;  // the sink's first file takes this long
};

// One thread: every record goes out as it is made.
inline constexpr Parallel kSerial{1};

inline void SearchInto(RecordingSink& sink, const std::string& target, Strings words, Parallel parallel = {})
{
    CancelFlag own{0};
    if (!sink.cancel) sink.cancel = &own;
    sink.stallMs = parallel.stallMs;
    SearchEngine engine(sink, *sink.cancel);
    engine.SetThreads(parallel.threads);
    engine.SetParallelLimits(parallel.heldBytes, parallel.batchFiles);
    engine.SearchCharacter({target, std::move(words)});
    sink.peakHeld = engine.PeakHeldBytes();
    if (sink.cancel == &own) sink.cancel = nullptr;
}

inline RecordingSink Search(const std::string& target, Strings words, Parallel parallel = {},
                            CancelFlag* flag = nullptr, int cancelAfter = -1)
{
    RecordingSink sink;
    sink.cancel = flag;
    sink.cancelAfter = cancelAfter;
    SearchInto(sink, target, std::move(words), parallel);
    return sink;
}

inline std::string Banner(const std::string& path)
{
    return "----- ファイル名 : " + path + " -----";
}

struct Outcome {
    int status;
    std::string out, err;
};

// Runs textrove-search with `args` (killed after a minute); standard output
// goes to a scratch file, or through `redirect` (then not read back).
inline Outcome RunCompanion(const Strings& args, const std::string& redirect = "")
{
    TempTree scratch;
    auto quote = [](const std::string& s) {
        std::string q = "'";
        for (char c : s) c == '\'' ? q.append("'\\''") : q.append(1, c);
        return q.append("'");
    };
    std::string cmd = "timeout -s KILL 60 " + quote(TEXTROVE_SEARCH_EXE);
    for (const auto& a : args) cmd.append(" ").append(quote(a));
    cmd += redirect.empty() ? " >" + quote(scratch.Path("out")) : " " + redirect;
    const int raw = std::system((cmd + " 2>" + quote(scratch.Path("err"))).c_str());
    auto slurp = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, redirect.empty() ? slurp(scratch.Path("out")) : "",
            slurp(scratch.Path("err"))};
}

// UTF-16 text with its byte-order mark.
inline std::string Utf16(std::u16string_view s, bool littleEndian = true)
{
    std::string out = littleEndian ? "\xFF\xFE" : "\xFE\xFF";
    for (char16_t u : s) {
        const char lo = static_cast<char>(u & 0xFF), hi = static_cast<char>(u >> 8);
        out += littleEndian ? std::string{lo, hi} : std::string{hi, lo};
    }
    return out;
}

// Reference: decode each whole line, upper-case it, look for each word
// straddling from the previous line and inside the line. Lines of UTF-8 and
// CP932 files are cut at the bytes CR and LF, those of the other encodings
// at the decoded characters.
inline Strings PlainReading(const std::string& bytes, const Strings& words, const std::string& path)
{
    const auto encoding = text::DetectEncoding(bytes);
    const std::size_t bom = text::BomLength(bytes, encoding);
    const bool whole = text::ReadThroughUtf8(encoding);
    const std::u32string all = whole ? text::Decode(bytes.substr(bom), encoding) : U"";
    const std::u32string_view chars = all;
    std::size_t pos = whole ? 0 : bom;
    const std::size_t size = whole ? chars.size() : bytes.size();
    Strings out;
    std::u32string prev;
    while (pos < size) {
        std::size_t end = whole ? chars.find_first_of(U"\r\n", pos) : bytes.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = size;
        const std::u32string line =
            whole ? std::u32string(chars.substr(pos, end - pos)) : text::Decode(bytes.substr(pos, end - pos), encoding);
        const std::u32string u = text::ToUpper(line);
        for (const auto& word : words) {
            const std::u32string w = text::Utf8ToU32(text::ToUpperUtf8(word));
            const std::size_t t = std::min(w.size() - 1, prev.size());
            const std::u32string split = prev.substr(prev.size() - t) + u.substr(0, w.size() - 1);
            for (bool hit : {split.find(w) != std::u32string::npos, u.find(w) != std::u32string::npos}) {
                if (!hit) continue;
                if (out.empty()) out = {"", Banner(path)};
                out.push_back(text::U32ToUtf8(w) + " :" + text::U32ToUtf8(line));
            }
        }
        prev = u;
        const bool crlf = whole ? chars.substr(end, 2) == U"\r\n" : bytes.compare(end, 2, "\r\n") == 0;
        pos = end + (crlf ? 2 : 1);
    }
    return out;
}

struct Alphabet {
    const char* name;
    text::Encoding encoding;  // what most of its texts are read as
    Strings pieces, words;
    std::string start;         // every text begins so (the bytes the rule needs)
    bool utf8Bom = true;       // a UTF-8 byte-order mark may come first
    std::string filler = "x";  // a character for very long lines
};

// Pieces chosen to trap byte-level shortcuts: trail bytes that look like
// letters or '\\', duplicate encodings, lone lead bytes, every line end,
// case pairs whose upper case lies outside ASCII or maps from it.
inline const Alphabet kShiftJis = {"ShiftJis",
                                   text::Encoding::Cp932,
                                   {"a",        "A",        "b",        "B",        "c",
                                    "\\",       "@",        " ",        "\x83\x5C", "\x83\x61",
                                    "\x83\x41", "\x82\x60", "\x82\x81", "\x87\x90", "\x81\xE0",
                                    "\x81",     "\xFF",     "\x8C\x9F", "\x8D\xF5", std::string(1, '\0'),
                                    "\r",       "\n",       "\r\n",     "\r\n",     "\n"},
                                   {"a", "ab", "ABC", "ソ", "ａ", "≒A", "ca", "\\", "b\\a", "ヂa", "アb", "検索"},
                                   ""};
inline const Alphabet kUtf8 = {"Utf8",
                               text::Encoding::Utf8,
                               {"a",        "s",        "S",        "i",        "I",
                                "\xC5\xBF", "\xC4\xB1", "\xC3\xA9", "\xC3\x89", "\xC3\x9F",
                                "\xCE\xA3", "\xCF\x83", "\xCF\x82", "k",        "\xE2\x84\xAA",
                                " ",        "\r",       "\n",       "\r\n",     "\n"},
                               {"s", "si", "és", "σ", "is", "ß", "ks", "ΣΣ", "ia"},
                               ""};
// Code units whose bytes hold 0x0A or 0x0D (Ċ, ਊ, ഊ), unpaired and paired
// surrogates, NUL, full-width letters, case pairs; line ends as code units.
inline const Alphabet kUtf16Le = {
    "Utf16Le",
    text::Encoding::Utf16Le,
    {Utf16(u"a").substr(2), Utf16(u"B").substr(2), Utf16(u"\u010A").substr(2), Utf16(u"\u0A0A").substr(2),
     Utf16(u"\u0D0A").substr(2), Utf16(u"\uFF41").substr(2), Utf16(u"\uFF21").substr(2), Utf16(u"\u017F").substr(2),
     Utf16(u"s").substr(2), std::string("\0\0", 2), std::string("\x3D\xD8\x00\xDE", 4), "\x3D\xD8",
     std::string("\x00\xDE", 2), Utf16(u"\r").substr(2), Utf16(u"\n").substr(2), Utf16(u"\r\n").substr(2)},
    {"a", "ab", "ċa", "ａａ", "ｓ", "s", "Ｓa", "😀a", "\u0A0A\u0D0A"},
    "\xFF\xFE",
    false,
    Utf16(u"x").substr(2)};
// Every designation, an unknown escape, half pairs, an unassigned pair,
// line ends inside kanji mode.
inline const Alphabet kIso2022Jp = {"Iso2022Jp",
                                    text::Encoding::Iso2022Jp,
                                    {"\x1B$B", "\x1B$@", "\x1B(B", "\x1B(J", "\x1B(I", "\x1B(K", "$\"",
                                     "8!",     ":w",     "#a",     "#A",     ")!",     "1",      "\\",
                                     "a",      "A",      "~",      " ",      "\r",     "\n",     "\r\n"},
                                    {"あ", "検索", "ａ", "a", "¥", "ｱ", "あ\\", "1a", "索あ"},
                                    "\x1B$@"};

inline std::string RandomText(std::mt19937& rng, const Alphabet& a, std::size_t pieces, bool bom)
{
    std::string s = (bom && a.utf8Bom ? "\xEF\xBB\xBF" : "") + a.start;
    for (; pieces > 0; --pieces) s += a.pieces[rng() % a.pieces.size()];
    return s;
}

inline Strings RandomWords(std::mt19937& rng, const Alphabet& a)
{
    Strings words(1 + rng() % 4);
    for (auto& w : words) w = a.words[rng() % a.words.size()];
    return words;
}

inline std::string AlphabetName(const ::testing::TestParamInfo<const Alphabet*>& info)
{
    return info.param->name;
}

}  // namespace enginetest
