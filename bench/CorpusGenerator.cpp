#include "CorpusGenerator.h"

#include <unicode/ucnv.h>
#include <unicode/utf16.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace textrove::bench {

// ---------------------------------------------------------------- Rng

namespace {
std::uint64_t SplitMix(std::uint64_t& x)
{
    std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}
std::uint64_t Rotl(std::uint64_t x, int k)
{
    return (x << k) | (x >> (64 - k));
}
}  // namespace

Rng::Rng(std::uint64_t seed)
{
    for (auto& s : m_s) s = SplitMix(seed);
}

std::uint64_t Rng::Next()
{
    const std::uint64_t result = Rotl(m_s[1] * 5, 7) * 9;
    const std::uint64_t t = m_s[1] << 17;
    m_s[2] ^= m_s[0];
    m_s[3] ^= m_s[1];
    m_s[1] ^= m_s[2];
    m_s[0] ^= m_s[3];
    m_s[2] ^= t;
    m_s[3] = Rotl(m_s[3], 45);
    return result;
}

std::uint64_t Rng::Below(std::uint64_t n)
{
    // Multiply-high reduction; the bias is below 2^-40 for the ranges used here.
    return static_cast<std::uint64_t>((static_cast<unsigned __int128>(Next()) * n) >> 64);
}

std::uint64_t Rng::Between(std::uint64_t lo, std::uint64_t hi)
{
    return lo + Below(hi - lo + 1);
}

double Rng::Unit()
{
    return static_cast<double>(Next() >> 11) * 0x1.0p-53;
}

// ---------------------------------------------------------------- encodings

namespace {

struct ConverterCloser {
    void operator()(UConverter* c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

// Windows-31J without fallbacks: an unmappable character is an error, never '?'.
Converter OpenCp932()
{
    UErrorCode status = U_ZERO_ERROR;
    Converter cnv(ucnv_open("ibm-943_P15A-2003", &status));
    if (U_FAILURE(status)) throw std::runtime_error("Windows-31J converter unavailable");
    ucnv_setFromUCallBack(cnv.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setToUCallBack(cnv.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    ucnv_setFallback(cnv.get(), false);
    if (U_FAILURE(status)) throw std::runtime_error("Windows-31J converter set-up failed");
    return cnv;
}

std::u16string ToUtf16(const std::u32string& text)
{
    std::u16string out;
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) throw std::runtime_error("not a scalar value");
        if (c > 0xFFFF) {
            out.push_back(static_cast<char16_t>(U16_LEAD(c)));
            out.push_back(static_cast<char16_t>(U16_TRAIL(c)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
    }
    return out;
}

// Empty optional-like result: false when the text does not survive a round trip.
bool TrySjis(UConverter* cnv, const std::u32string& text, std::string& out)
{
    const std::u16string u16 = ToUtf16(text);
    std::string bytes(u16.size() * 2 + 8, '\0');
    UErrorCode status = U_ZERO_ERROR;
    const int32_t n =
        ucnv_fromUChars(cnv, bytes.data(), static_cast<int32_t>(bytes.size()),
                        reinterpret_cast<const UChar*>(u16.data()), static_cast<int32_t>(u16.size()), &status);
    if (U_FAILURE(status)) return false;
    bytes.resize(static_cast<std::size_t>(n));

    std::u16string back(bytes.size() + 4, u'\0');
    status = U_ZERO_ERROR;
    const int32_t m = ucnv_toUChars(cnv, reinterpret_cast<UChar*>(back.data()), static_cast<int32_t>(back.size()),
                                    bytes.data(), static_cast<int32_t>(bytes.size()), &status);
    if (U_FAILURE(status)) return false;
    back.resize(static_cast<std::size_t>(m));
    if (back != u16) return false;
    out = std::move(bytes);
    return true;
}

std::vector<Glyph> BuildPool(const std::vector<std::pair<char32_t, char32_t>>& ranges)
{
    Converter cnv = OpenCp932();
    std::vector<Glyph> pool;
    for (const auto& [lo, hi] : ranges) {
        for (char32_t c = lo; c <= hi; ++c) {
            Glyph g{c, {}, {}};
            if (!TrySjis(cnv.get(), std::u32string(1, c), g.sjis)) continue;
            g.utf8 = EncodeUtf8(std::u32string(1, c));
            pool.push_back(std::move(g));
        }
    }
    return pool;
}

}  // namespace

std::string EncodeSjis(const std::u32string& text)
{
    static thread_local Converter cnv = OpenCp932();
    std::string out;
    if (!TrySjis(cnv.get(), text, out)) throw std::runtime_error("text does not encode in Windows-31J");
    return out;
}

std::string EncodeUtf8(const std::u32string& text)
{
    std::string out;
    for (char32_t c : text) {
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) throw std::runtime_error("not a scalar value");
        uint8_t buf[U8_MAX_LENGTH];
        int32_t i = 0;
        U8_APPEND_UNSAFE(buf, i, static_cast<UChar32>(c));
        out.append(reinterpret_cast<const char*>(buf), static_cast<std::size_t>(i));
    }
    return out;
}

const std::vector<Glyph>& Pool(PoolKind kind)
{
    static const std::vector<Glyph> hiragana = BuildPool({{0x3041, 0x3093}});
    static const std::vector<Glyph> katakana = BuildPool({{0x30A1, 0x30F6}});
    static const std::vector<Glyph> halfKatakana = BuildPool({{0xFF61, 0xFF9F}});
    static const std::vector<Glyph> kanji = BuildPool({{0x4E00, 0x9FA0}});
    static const std::vector<Glyph> fullAlnum = BuildPool({{0xFF10, 0xFF5A}});
    static const std::vector<Glyph> punct = BuildPool({{0x3000, 0x3002}, {0x300C, 0x300D}, {0x30FB, 0x30FC}});
    switch (kind) {
    case PoolKind::Hiragana:
        return hiragana;
    case PoolKind::Katakana:
        return katakana;
    case PoolKind::HalfKatakana:
        return halfKatakana;
    case PoolKind::Kanji:
        return kanji;
    case PoolKind::FullAlnum:
        return fullAlnum;
    case PoolKind::Punct:
        return punct;
    }
    throw std::logic_error("unknown pool");
}

const std::vector<std::string>& SearchWords()
{
    static const std::vector<std::string> words = {
        "Textrove", "error", "東京都", "ｶﾀｶﾅ", "データ", "buffer", "検索結果", "Ｄａｔａ", "漢字", "timeout",
    };
    return words;
}

// ---------------------------------------------------------------- tree plan

namespace {

enum class FileEnc { Sjis, Utf8, Utf8Bom, Ascii };
enum class Eol { CrLf, Lf, Cr };

struct DirPlan {
    std::size_t parent;
    fs::path rel;
    int depth;
    int children;
    bool visible;
};

struct FilePlan {
    std::size_t dir;
    std::string name;
    FileEnc enc;
    Eol eol;
    std::uint64_t size;
    bool visible;
    bool longLine;
    bool finalEol;
    bool plant = true;  // false: no search word, whole or split, ever appears
};

const char* const kAsciiTokens[] = {
    "ID",  "OK",  "PC",   "CPU",  "Windows", "Linux", "file", "mail", "http://www.example.jp/",
    "No.", "ver", "v1.2", "2024", "10",      "USB",   "LAN",  "OS",   "SQL",
    "API", "GUI", "x86",  "HDD",
};
const char* const kIdentifiers[] = {
    "count", "index", "value", "result", "node",  "list",   "size",  "offset", "length", "flag",
    "name",  "path",  "total", "item",   "entry", "state",  "queue", "table",  "left",   "right",
    "next",  "prev",  "key",   "hash",   "width", "height", "line",  "word",   "page",   "stack",
};
const char* const kCommentWords[] = {"the", "of", "and", "to", "when", "is", "a", "for", "not", "we"};
const char* const kDirPrefixes[] = {"src", "docs", "資料", "報告", "data", "old", "bak", "設計", "log", "test"};
const char* const kSjisPrefixes[] = {"文書", "memo", "議事録", "readme", "仕様", "ﾒﾓ"};
const char* const kUtf8Prefixes[] = {"utf8_note", "ノート"};
const char* const kAsciiPrefixes[] = {"mod", "util", "main"};
const char* const kAsciiExts[] = {".c", ".h", ".cpp", ".py"};

template <typename T, std::size_t N> const T& Pick(Rng& rng, const T (&items)[N])
{
    return items[rng.Below(N)];
}

std::string Numbered(const char* prefix, std::size_t index, int width, const char* ext)
{
    char num[32];
    std::snprintf(num, sizeof num, "_%0*zu", width, index);
    return std::string(prefix) + num + ext;
}

// Piecewise log-uniform size in [lo, hi]: a random octave, then uniform in it.
std::uint64_t OctaveSize(Rng& rng, std::uint64_t lo, std::uint64_t hi)
{
    int octaves = 0;
    while ((lo << octaves) < hi) ++octaves;
    const std::uint64_t a = lo << rng.Below(static_cast<std::uint64_t>(octaves));
    const std::uint64_t b = std::min(hi, a * 2 - 1);
    return rng.Between(a, b);
}

std::uint64_t DrawFileSize(Rng& rng)
{
    const double u = rng.Unit();
    if (u < 0.85) return OctaveSize(rng, kMinFileBytes, 32ull << 10);
    if (u < 0.98) return OctaveSize(rng, 32ull << 10, 512ull << 10);
    // Room for the last line's overshoot below the 5 MB ceiling.
    return OctaveSize(rng, 512ull << 10, kMaxFileBytes - 4096);
}

std::vector<DirPlan> PlanDirs(Rng& rng, std::size_t count)
{
    std::vector<DirPlan> dirs;
    // A directory holds one ticket per child plus one: parents are drawn in
    // proportion, so a few directories grow wide (up to the cap) and most stay
    // narrow. Hidden directories and full ones hold no tickets.
    std::vector<std::size_t> tickets;
    dirs.push_back({0, fs::path(), 0, 0, true});
    tickets.push_back(0);
    auto add = [&](std::size_t parent, bool hidden) {
        const std::size_t index = dirs.size();
        std::string name = Numbered(Pick(rng, kDirPrefixes), index, 3, "");
        if (hidden) name = "." + name;
        dirs[parent].children++;
        dirs.push_back({parent, dirs[parent].rel / name, dirs[parent].depth + 1, 0, !hidden});
        if (dirs[parent].children < kMaxSubdirs) tickets.push_back(parent);
        if (!hidden && dirs[index].depth < kMaxDepth) tickets.push_back(index);
    };
    // One chain reaches the full depth.
    for (int d = 0; d < kMaxDepth && dirs.size() < count + 1; ++d) add(dirs.size() - 1, false);
    while (dirs.size() < count + 1) {
        std::size_t parent;
        do {
            parent = tickets[rng.Below(tickets.size())];
        } while (dirs[parent].children >= kMaxSubdirs);  // stale ticket of a now full directory
        // The last directory is always hidden, so every tree holds one.
        const bool hidden = dirs.size() >= 3 && (dirs.size() == count || rng.Chance(0.03));
        add(parent, hidden);
    }
    return dirs;
}

std::vector<FilePlan> PlanFiles(Rng& rng, const std::vector<DirPlan>& dirs, std::uint64_t total)
{
    std::vector<FilePlan> files;
    std::uint64_t sum = 0;
    while (sum < total) {
        FilePlan f{};
        f.size = std::max(kMinFileBytes, std::min(DrawFileSize(rng), total - sum));
        sum += f.size;
        f.dir = rng.Below(dirs.size());
        const double kind = rng.Unit();
        f.enc = kind < 0.75   ? FileEnc::Sjis
            : kind < 0.87     ? FileEnc::Ascii
            : rng.Chance(0.4) ? FileEnc::Utf8Bom
                              : FileEnc::Utf8;
        const double eol = rng.Unit();
        f.eol = eol < 0.80 ? Eol::CrLf : eol < 0.94 ? Eol::Lf : Eol::Cr;
        // rg sees a CR-only file as one line; keep those files small.
        if (f.eol == Eol::Cr && f.size > (512u << 10)) f.eol = Eol::CrLf;
        f.finalEol = rng.Chance(0.9);
        const std::size_t index = files.size();
        switch (f.enc) {
        case FileEnc::Sjis:
            f.name = Numbered(Pick(rng, kSjisPrefixes), index, 4, ".txt");
            break;
        case FileEnc::Utf8:
        case FileEnc::Utf8Bom:
            f.name = Numbered(Pick(rng, kUtf8Prefixes), index, 4, ".md");
            break;
        case FileEnc::Ascii: {
            const char* prefix = Pick(rng, kAsciiPrefixes);
            f.name = Numbered(prefix, index, 4, Pick(rng, kAsciiExts));
        } break;
        }
        const bool hidden = index == 1 || rng.Chance(0.02);
        if (hidden) f.name = "." + f.name;
        f.visible = dirs[f.dir].visible && !hidden;
        files.push_back(std::move(f));
    }
    // A few long lines: in the largest prose files, so they stay a small share.
    std::vector<std::size_t> prose;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (files[i].enc != FileEnc::Ascii && files[i].size >= 256u << 10) prose.push_back(i);
    std::stable_sort(prose.begin(), prose.end(),
                     [&](std::size_t a, std::size_t b) { return files[a].size > files[b].size; });
    const std::size_t wanted = std::max<std::size_t>(3, files.size() / 500);
    for (std::size_t i = 0; i < prose.size() && i < wanted; ++i) files[prose[i]].longLine = true;
    return files;
}

// ---------------------------------------------------------------- file text

class FileBuilder {
public:
    FileBuilder(Rng& rng, const FilePlan& plan, std::vector<PlantCount>& planted, CorpusSummary& sum)
        : m_rng(rng),
          m_plan(plan),
          m_planted(planted),
          m_sum(sum),
          m_sjis(plan.enc == FileEnc::Sjis),
          m_ascii(plan.enc == FileEnc::Ascii)
    {
        for (const auto& w : SearchWords()) {
            std::u32string u;
            for (int32_t i = 0; i < static_cast<int32_t>(w.size());) {
                UChar32 c;
                U8_NEXT(w.data(), i, static_cast<int32_t>(w.size()), c);
                u.push_back(static_cast<char32_t>(c));
            }
            m_words.push_back(std::move(u));
        }
    }

    std::string Build()
    {
        m_out.reserve(m_plan.size + 1024);
        if (m_plan.enc == FileEnc::Utf8Bom) m_out += "\xEF\xBB\xBF";
        bool longDone = !m_plan.longLine;
        while (m_out.size() < m_plan.size || !m_pendingTail.empty()) {
            std::string line;
            std::size_t chars = 0;
            if (!m_pendingTail.empty()) {
                line += m_pendingTail.bytes;
                chars += m_pendingTail.chars;
                m_pendingTail = {};
            }
            const bool makeLong =
                !longDone && m_out.size() >= m_plan.size / 3 && m_plan.size - m_out.size() > 3 * 45000;
            if (makeLong) {
                longDone = true;
                const std::size_t target = m_rng.Between(10500, 40000);
                chars += Prose(line, target - 200);
                chars += Plant(line, /*allowSplit=*/false);
                chars += Prose(line, 150);
            } else {
                chars += NormalLine(line);
            }
            if (chars > static_cast<std::size_t>(kLongLineChars)) m_sum.longLines++;
            const bool last = m_out.size() + line.size() >= m_plan.size && m_pendingTail.empty();
            m_out += line;
            if (!last || m_plan.finalEol || line.empty()) Terminate();
            m_lines++;
        }
        return std::move(m_out);
    }

    std::uint64_t Lines() const { return m_lines; }

private:
    struct Piece {
        std::string bytes;
        std::size_t chars = 0;
        bool empty() const { return chars == 0; }
    };

    void Terminate()
    {
        switch (m_plan.eol) {
        case Eol::CrLf:
            m_out += "\r\n";
            break;
        case Eol::Lf:
            m_out += '\n';
            break;
        case Eol::Cr:
            m_out += '\r';
            break;
        }
    }

    void Put(const Glyph& g, std::string& line) { line += m_sjis ? g.sjis : g.utf8; }

    std::size_t Run(PoolKind kind, std::size_t n, std::string& line)
    {
        const auto& pool = Pool(kind);
        for (std::size_t i = 0; i < n; ++i) {
            std::size_t k = m_rng.Below(pool.size());
            // Without planting, the kanji that starts 東京都 is never drawn.
            if (!m_plan.plant && pool[k].cp == U'東') k = (k + 1) % pool.size();
            Put(pool[k], line);
        }
        return n;
    }

    // Japanese prose with ASCII mixed in, about `target` characters.
    std::size_t Prose(std::string& line, std::size_t target)
    {
        std::size_t chars = 0;
        while (chars < target) {
            const std::uint64_t r = m_rng.Below(100);
            if (r < 38)
                chars += Run(PoolKind::Hiragana, m_rng.Between(2, 6), line);
            else if (r < 63)
                chars += Run(PoolKind::Kanji, m_rng.Between(1, 3), line);
            else if (r < 75)
                chars += Run(PoolKind::Katakana, m_rng.Between(2, 6), line);
            else if (r < 79)
                chars += Run(PoolKind::HalfKatakana, m_rng.Between(2, 5), line);
            else if (r < 83)
                chars += Run(PoolKind::FullAlnum, m_rng.Between(1, 4), line);
            else if (r < 93) {
                const std::string_view token = Pick(m_rng, kAsciiTokens);
                line += ' ';
                line += token;
                line += ' ';
                chars += token.size() + 2;
            } else
                chars += Run(PoolKind::Punct, 1, line);
        }
        return chars;
    }

    // Every random draw is its own statement: the order of operands of an
    // overloaded + is unspecified, and the draw order must not depend on it.
    std::string SourceLine()
    {
        std::string s(4 * m_rng.Below(3), ' ');
        auto id = [&] { s += Pick(m_rng, kIdentifiers); };
        auto num = [&] { s += std::to_string(m_rng.Below(1000)); };
        switch (m_rng.Below(10)) {
        case 0:
            s += "int ";
            id();
            s += " = ";
            id();
            s += " + ";
            num();
            s += ";";
            break;
        case 1:
            s += "if (";
            id();
            s += " > ";
            num();
            s += ") {";
            break;
        case 2:
            s += "}";
            break;
        case 3:
            s += "return ";
            id();
            s += ";";
            break;
        case 4:
            s += "//";
            for (auto n = m_rng.Between(3, 12); n > 0; --n) {
                s += ' ';
                s += m_rng.Chance(0.5) ? Pick(m_rng, kCommentWords) : Pick(m_rng, kIdentifiers);
            }
            break;
        case 5:
            id();
            s += "(";
            id();
            s += ", ";
            id();
            s += ");";
            break;
        case 6:
            s += "for (int i = 0; i < ";
            id();
            s += "; ++i) {";
            break;
        case 7:
            s = "#include <";
            id();
            s += ".h>";
            break;
        case 8:
            s.clear();
            break;
        default:
            id();
            s += ".";
            id();
            s += " = ";
            id();
            s += "[";
            num();
            s += "];";
            break;
        }
        return s;
    }

    std::size_t NormalLine(std::string& line)
    {
        const bool plant = m_rng.Chance(kPlantRate) && m_plan.plant;
        if (m_ascii) {
            std::string s = SourceLine();
            std::size_t chars = s.size();
            if (plant) {
                const std::size_t at = m_rng.Below(s.size() + 1);
                line += s.substr(0, at);
                chars += Plant(line, true);
                if (m_pendingTail.empty()) line += s.substr(at);  // a split head ends the line
            } else {
                line += s;
            }
            return chars;
        }
        if (m_rng.Chance(0.08) && !plant) return 0;
        const std::size_t target = m_rng.Between(8, 110);
        const std::size_t before = m_rng.Below(target + 1);
        std::size_t chars = Prose(line, before);
        if (plant) chars += Plant(line, true);
        if (!m_pendingTail.empty()) return chars;  // a split head ends the line
        return chars + Prose(line, target - std::min(target, chars));
    }

    // Appends one search word in a random letter case to the line, or, when
    // split, its head to the line and its tail to the next line.
    std::size_t Plant(std::string& line, bool allowSplit)
    {
        std::size_t w;
        do {
            w = m_rng.Below(m_words.size());
        } while (m_ascii && !IsAsciiWord(m_words[w]));
        std::u32string word = m_words[w];
        switch (m_rng.Below(4)) {
        case 0:
            for (auto& c : word) c = Lower(c);
            break;
        case 1:
            for (auto& c : word) c = Upper(c);
            break;
        case 2:
            break;  // as typed
        default:
            for (auto& c : word) c = m_rng.Chance(0.5) ? Upper(c) : Lower(c);
            break;
        }
        const bool split = allowSplit && word.size() >= 2 && m_rng.Chance(0.15);
        if (!split) {
            line += Encode(word);
            if (m_plan.visible) m_planted[w].inLine++;
            return word.size();
        }
        const std::size_t at = m_rng.Between(1, word.size() - 1);
        line += Encode(word.substr(0, at));
        const std::u32string tail = word.substr(at);
        m_pendingTail = {Encode(tail), tail.size()};
        if (m_plan.visible) m_planted[w].split++;
        return at;
    }

    std::string Encode(const std::u32string& text) const { return m_sjis ? EncodeSjis(text) : EncodeUtf8(text); }

    static bool IsAsciiWord(const std::u32string& w)
    {
        return std::all_of(w.begin(), w.end(), [](char32_t c) { return c < 0x80; });
    }
    // ASCII and full-width Latin letters only; no other letters occur in the words.
    static char32_t Upper(char32_t c)
    {
        if ((c >= U'a' && c <= U'z') || (c >= 0xFF41 && c <= 0xFF5A)) return c - 0x20;
        return c;
    }
    static char32_t Lower(char32_t c)
    {
        if ((c >= U'A' && c <= U'Z') || (c >= 0xFF21 && c <= 0xFF3A)) return c + 0x20;
        return c;
    }

    Rng& m_rng;
    const FilePlan& m_plan;
    std::vector<PlantCount>& m_planted;
    CorpusSummary& m_sum;
    const bool m_sjis;
    const bool m_ascii;
    std::vector<std::u32string> m_words;
    std::string m_out;
    Piece m_pendingTail;
    std::uint64_t m_lines = 0;
};

void WriteFile(const fs::path& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot create " + path.string());
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) throw std::runtime_error("cannot write " + path.string());
}

}  // namespace

CorpusSummary GenerateCorpus(const CorpusOptions& options)
{
    if (fs::exists(options.root)) throw std::runtime_error(options.root.string() + " exists already");
    if (options.sizeBytes < kMinFileBytes) throw std::runtime_error("corpus size below one file");

    Rng rng(options.seed);
    // About eight files per directory.
    const std::size_t fileEstimate = static_cast<std::size_t>(options.sizeBytes / (80u << 10)) + 1;
    const std::vector<DirPlan> dirs = PlanDirs(rng, std::max<std::size_t>(1, fileEstimate / 8));
    const std::vector<FilePlan> files = PlanFiles(rng, dirs, options.sizeBytes);

    CorpusSummary sum;
    for (const auto& w : SearchWords()) sum.planted.push_back({w, 0, 0});

    fs::create_directories(options.root);
    for (std::size_t i = 1; i < dirs.size(); ++i) {
        fs::create_directory(options.root / dirs[i].rel);
        sum.dirs++;
        if (!dirs[i].visible) sum.hiddenDirs++;
        sum.maxDepth = std::max(sum.maxDepth, dirs[i].depth);
    }
    for (const auto& d : dirs) sum.maxSubdirs = std::max(sum.maxSubdirs, d.children);

    for (const auto& plan : files) {
        // Each file draws from its own stream, so a change to one file's text
        // leaves the others as they were.
        Rng fileRng(rng.Next());
        FileBuilder builder(fileRng, plan, sum.planted, sum);
        const std::string bytes = builder.Build();
        WriteFile(options.root / dirs[plan.dir].rel / plan.name, bytes);

        sum.files++;
        sum.bytes += bytes.size();
        sum.lines += builder.Lines();
        if (plan.visible) {
            sum.visibleFiles++;
            sum.visibleBytes += bytes.size();
            sum.visibleLines += builder.Lines();
        }
        switch (plan.enc) {
        case FileEnc::Sjis:
            sum.sjisFiles++;
            break;
        case FileEnc::Utf8:
            sum.utf8Files++;
            break;
        case FileEnc::Utf8Bom:
            sum.utf8Files++;
            sum.utf8BomFiles++;
            break;
        case FileEnc::Ascii:
            sum.asciiFiles++;
            break;
        }
        switch (plan.eol) {
        case Eol::CrLf:
            sum.crlfFiles++;
            break;
        case Eol::Lf:
            sum.lfFiles++;
            break;
        case Eol::Cr:
            sum.crFiles++;
            break;
        }
    }
    return sum;
}

const std::vector<std::string>& SmallTreeWords()
{
    static const std::vector<std::string> words = {"xyzzy", "東京都"};
    return words;
}

CorpusSummary GenerateSmallTree(const SmallTreeOptions& options)
{
    if (fs::exists(options.root)) throw std::runtime_error(options.root.string() + " exists already");
    if (options.dirs < 1 || options.filesPerDir < 1) throw std::runtime_error("empty small tree");
    Rng rng(options.seed);
    CorpusSummary sum;
    fs::create_directories(options.root);
    std::vector<PlantCount> none;
    std::size_t index = 0;
    for (int d = 0; d < options.dirs; ++d) {
        const fs::path dir = options.root / Numbered(Pick(rng, kDirPrefixes), static_cast<std::size_t>(d), 2, "");
        fs::create_directory(dir);
        sum.dirs++;
        sum.maxSubdirs = options.dirs;
        sum.maxDepth = 1;
        for (int f = 0; f < options.filesPerDir; ++f, ++index) {
            FilePlan plan{};
            plan.plant = false;
            plan.dir = static_cast<std::size_t>(d);
            plan.size = rng.Between(kSmallMinBytes, kSmallMaxBytes);
            plan.visible = true;
            plan.enc = rng.Chance(0.4) ? FileEnc::Sjis : FileEnc::Ascii;
            const bool usual = rng.Chance(0.8);
            plan.eol = (plan.enc == FileEnc::Sjis) == usual ? Eol::CrLf : Eol::Lf;
            plan.finalEol = rng.Chance(0.9);
            plan.name = plan.enc == FileEnc::Sjis
                ? Numbered(Pick(rng, kSjisPrefixes), index, 6, ".txt")
                : Numbered(Pick(rng, kAsciiPrefixes), index, 6, Pick(rng, kAsciiExts));
            Rng fileRng(rng.Next());
            FileBuilder builder(fileRng, plan, none, sum);
            std::string bytes = builder.Build();
            // The last line may run past the size drawn; cut it back at a
            // line end so the file keeps to the stated range.
            if (bytes.size() > kSmallMaxBytes) {
                std::size_t cut = bytes.find_last_of("\r\n", kSmallMaxBytes - 1);
                bytes.resize(cut == std::string::npos ? kSmallMaxBytes : cut + 1);
            }
            WriteFile(dir / plan.name, bytes);
            sum.files++;
            sum.visibleFiles++;
            sum.bytes += bytes.size();
            sum.visibleBytes += bytes.size();
            sum.lines += builder.Lines();
            sum.visibleLines += builder.Lines();
            (plan.enc == FileEnc::Sjis ? sum.sjisFiles : sum.asciiFiles)++;
            (plan.eol == Eol::CrLf ? sum.crlfFiles : sum.lfFiles)++;
        }
    }
    for (const auto& w : SmallTreeWords()) sum.planted.push_back({w, 0, 0});
    return sum;
}

std::string FormatSummary(const CorpusSummary& s)
{
    std::ostringstream o;
    o << "files=" << s.files << "\nvisible_files=" << s.visibleFiles << "\ndirs=" << s.dirs
      << "\nhidden_dirs=" << s.hiddenDirs << "\nbytes=" << s.bytes << "\nvisible_bytes=" << s.visibleBytes
      << "\nlines=" << s.lines << "\nvisible_lines=" << s.visibleLines << "\nlong_lines=" << s.longLines
      << "\nsjis_files=" << s.sjisFiles << "\nutf8_files=" << s.utf8Files << "\nutf8_bom_files=" << s.utf8BomFiles
      << "\nascii_files=" << s.asciiFiles << "\ncrlf_files=" << s.crlfFiles << "\nlf_files=" << s.lfFiles
      << "\ncr_files=" << s.crFiles << "\nmax_depth=" << s.maxDepth << "\nmax_subdirs=" << s.maxSubdirs << "\n";
    std::uint64_t inLine = 0, split = 0;
    for (std::size_t i = 0; i < s.planted.size(); ++i) {
        o << "planted_" << i << "=" << s.planted[i].word << " " << s.planted[i].inLine << " " << s.planted[i].split
          << "\n";
        inLine += s.planted[i].inLine;
        split += s.planted[i].split;
    }
    o << "planted_in_line=" << inLine << "\nplanted_split=" << split << "\n";
    return o.str();
}

}  // namespace textrove::bench
