#include "settings/ProfileEdit.h"

#include "text/TextCodec.h"

namespace textrove::settings {

namespace {

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    }
    return true;
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

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
Parsed ParseLine(const Line& line, bool keysWanted, std::string& scratch)
{
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

}  // namespace

// Names and values a write can store so that a read finds them again: its
// line must be valid UTF-8, and the longest it adds is key=value CR LF.
bool IsStorable(std::string_view section, std::string_view key, std::string_view value)
{
    if (!text::IsValidUtf8(section) || !text::IsValidUtf8(key) || !text::IsValidUtf8(value)) return false;
    const bool sectionOk = !section.empty() && Trim(section).size() == section.size() && !HasLineBreak(section)
        && section.find(']') == std::string_view::npos && section.size() + 4 <= kMaxLineBytes;
    const bool keyOk = !key.empty() && Trim(key).size() == key.size() && !HasLineBreak(key)
        && key.find('=') == std::string_view::npos && key.front() != '[' && key.front() != ';';
    return sectionOk && keyOk && !HasLineBreak(value) && key.size() + value.size() + 3 <= kMaxLineBytes;
}

// The first key of that name in any section of that name.
std::optional<std::string> FindIn(LineReader& reader, std::string_view section, std::string_view key)
{
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

// The key FindIn reads gets the value; when missing, the key is added after
// the last non-blank line of the first section of that name, or section and
// key at the end. The changed line alone is re-encoded (UTF-8); new lines end
// as the file's first line feed does.
Plan PlanChange(LineReader& reader, std::string_view section, std::string_view key, std::string_view value, Edit& edit)
{
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

}  // namespace textrove::settings
