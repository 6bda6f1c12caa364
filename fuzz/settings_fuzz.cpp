// Arbitrary bytes as a settings file: lookup and change must not crash, a
// stored value must read back exactly, no other key may change, and every line
// the change did not touch comes back byte for byte. One input in eight also
// goes through the disk, sometimes with a dangling link planted in place of
// the lock or the temporary file: the file on disk must then be what the
// in-memory change gives, and nothing is ever created through a link.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/Profile.h"
#include "settings/SettingsNames.h"
#include "text/TextCodec.h"

namespace {

using namespace textrove::settings;

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool SameAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// The file's lines, each with its terminator.
std::vector<std::string_view> RawLines(std::string_view bytes)
{
    std::vector<std::string_view> lines;
    while (!bytes.empty()) {
        const std::size_t lf = bytes.find('\n');
        const std::size_t n = lf == std::string_view::npos ? bytes.size() : lf + 1;
        lines.push_back(bytes.substr(0, n));
        bytes.remove_prefix(n);
    }
    return lines;
}

std::string_view Terminator(std::string_view line)
{
    if (line.ends_with("\r\n")) return line.substr(line.size() - 2);
    if (line.ends_with('\n') || line.ends_with('\r')) return line.substr(line.size() - 1);
    return {};
}

// `after` is `before` with one line replaced (keeping its terminator), or
// with lines inserted; a last line without LF may gain one to end it.
bool OnlyTheChangedLinesDiffer(std::string_view before, std::string_view after, bool replaced)
{
    // A leading byte-order mark belongs to no line, and it stays.
    constexpr std::string_view kBom = "\xEF\xBB\xBF";
    if (before.starts_with(kBom)) {
        if (!after.starts_with(kBom)) return false;
        before.remove_prefix(kBom.size());
        after.remove_prefix(kBom.size());
    }
    const std::vector<std::string_view> a = RawLines(before), b = RawLines(after);
    std::size_t p = 0, q = 0;
    while (p < a.size() && p < b.size() && a[p] == b[p]) ++p;
    while (q < a.size() - p && q < b.size() - p && a[a.size() - 1 - q] == b[b.size() - 1 - q]) ++q;
    const std::size_t da = a.size() - p - q, db = b.size() - p - q;
    if (replaced) return da == 1 && db == 1 && Terminator(a[p]) == Terminator(b[p]);
    if (da == 0) return db == 1 || db == 2;
    const bool endedHere = da == 1 && q == 0 && !a[p].ends_with('\n') && b[p].starts_with(a[p]);
    const std::string_view gained = endedHere ? b[p].substr(a[p].size()) : "x";
    return endedHere && (gained == "\n" || (gained == "\r\n" && !a[p].ends_with('\r'))) && (db == 2 || db == 3);
}

// The lookup rules written plainly over whole lines: the oracle for FindValue.
std::optional<std::string> ReferenceFind(std::string_view bytes, std::string_view section, std::string_view key)
{
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    bool inSection = false;
    for (std::string_view content : RawLines(bytes)) {
        if (content.size() > kMaxLineBytes) continue;
        if (content.ends_with('\n')) content.remove_suffix(1);
        if (content.ends_with('\r')) content.remove_suffix(1);
        const std::string line =
            textrove::text::IsValidUtf8(content) ? std::string(content) : textrove::text::Cp932ToUtf8(content);
        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || trimmed.front() == ';') continue;
        if (trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos)
                inSection = SameAsciiCase(TrimBlanks(trimmed.substr(1, close - 1)), section);
            continue;
        }
        const std::size_t eq = line.find('=');
        const std::string_view name = TrimBlanks(std::string_view(line).substr(0, eq == std::string::npos ? 0 : eq));
        if (!name.empty() && inSection && SameAsciiCase(name, key)) return line.substr(eq + 1);
    }
    return std::nullopt;
}

// Every name the file might use as a section or a key (a generous superset).
void CollectNames(std::string_view bytes, std::vector<std::string>& sections, std::vector<std::string>& keys)
{
    constexpr std::size_t kMaxNames = 24;  // keeps one run quick on large inputs
    for (std::string_view raw : RawLines(bytes)) {
        if (sections.size() >= kMaxNames && keys.size() >= kMaxNames) break;
        while (!raw.empty() && (raw.back() == '\n' || raw.back() == '\r')) raw.remove_suffix(1);
        const std::string line = textrove::text::IsValidUtf8(raw) ? std::string(raw) : textrove::text::Cp932ToUtf8(raw);
        const std::string_view trimmed = TrimBlanks(line);
        if (!trimmed.empty() && trimmed.front() == '[') {
            const std::size_t close = trimmed.find(']');
            if (close != std::string_view::npos && sections.size() < kMaxNames) {
                sections.emplace_back(TrimBlanks(trimmed.substr(1, close - 1)));
            }
        } else if (const std::size_t eq = line.find('='); eq != std::string::npos && keys.size() < kMaxNames) {
            keys.emplace_back(TrimBlanks(std::string_view(line).substr(0, eq)));
        }
    }
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::string& path)
{
    struct stat st { };
    return ::lstat(path.c_str(), &st) == 0;
}

// The same change through the disk. `plant`: 0 nothing, 1 a dangling link at
// the lock, 2 at the temporary file.
void CheckOnDisk(const std::string& bytes, const std::string& section, const std::string& key, const std::string& value,
                 const std::string& after, int plant)
{
    static const std::string dir = [] {
        char tmpl[] = "/tmp/settings-fuzz-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) std::abort();
        ::setenv("XDG_CONFIG_HOME", tmpl, 1);
        std::atexit([] { std::filesystem::remove_all(std::getenv("XDG_CONFIG_HOME")); });
        return std::string(tmpl);
    }();
    const std::string file = dir + "/" + kFileName, victim = dir + "/victim";
    const std::string links[] = {file + ".lock", file + ".tmp"};
    for (const std::string& path : {file, links[0], links[1], victim}) ::unlink(path.c_str());
    std::ofstream(file, std::ios::binary) << bytes;
    if (plant > 0 && ::symlink(victim.c_str(), links[plant - 1].c_str()) != 0) std::abort();

    const char* const kDefault = "\x01";
    if (ReadProfile(section, key, kDefault) != FindValue(bytes, section, key).value_or(kDefault)) std::abort();
    const bool ok = WriteProfile(section, key, value);
    const std::string now = ReadAll(file);
    if (Exists(victim)) std::abort();  // created through a link
    if (plant > 0) {
        if (now != bytes || (ok && after != bytes) || !Exists(links[plant - 1])) std::abort();
    } else if (now != (ok ? after : bytes) || (!ok && after != bytes)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider input(data, size);
    static const char* const kSections[] = {kSectionWindowSize, kSectionDefDir, kSectionDefList,
                                            "windowsize",       "DEFLIST",      "S"};
    static const char* const kKeys[] = {kKeyTop,      kKeyLeft, kKeyMinMaxFlag, kKeyDirectory, "ListName1",
                                        "listname10", "K"};

    const bool fixedNames = input.ConsumeBool();
    std::string section, key;
    if (fixedNames) {
        section = kSections[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kSections) - 1)];
        key = kKeys[input.ConsumeIntegralInRange<std::size_t>(0, std::size(kKeys) - 1)];
    } else {
        section = input.ConsumeRandomLengthString(24);
        key = input.ConsumeRandomLengthString(24);
    }
    const int disk = input.ConsumeIntegralInRange<int>(0, 23);  // 0-2: through the disk
    const std::string value = input.ConsumeRandomLengthString(512);
    const std::string bytes = input.ConsumeRemainingBytesAsString();

    const std::optional<std::string> old = FindValue(bytes, section, key);
    if (old != ReferenceFind(bytes, section, key)) std::abort();
    const std::string after = SetValue(bytes, section, key, value);
    const bool mustStore =
        fixedNames && value.find_first_of("\r\n") == std::string::npos && textrove::text::IsValidUtf8(value);
    if (mustStore || after != bytes) {
        if (FindValue(after, section, key) != value || ReferenceFind(after, section, key) != value) std::abort();
        if (SetValue(after, section, key, value) != after) std::abort();  // storing again is a no-op
    }
    if (after != bytes && !OnlyTheChangedLinesDiffer(bytes, after, old.has_value())) std::abort();

    std::vector<std::string> sections = {section};
    std::vector<std::string> keys = {key};
    CollectNames(bytes, sections, keys);
    for (const std::string& s : sections) {
        for (const std::string& k : keys) {
            const std::optional<std::string> was = FindValue(bytes, s, k);
            if (was != ReferenceFind(bytes, s, k) || (was && !textrove::text::IsValidUtf8(*was))) std::abort();
            if (SameAsciiCase(s, section) && SameAsciiCase(k, key)) continue;
            if (was != FindValue(after, s, k)) std::abort();
        }
    }
    if (disk <= 2) CheckOnDisk(bytes, section, key, value, after, disk);
    return 0;
}
