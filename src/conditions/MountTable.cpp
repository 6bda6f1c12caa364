#include "conditions/MountTable.h"

#include "search/engine/PseudoFileSystems.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <iterator>
#include <sstream>

namespace textrove::conditions {

namespace {

// Decodes the kernel's \ooo escapes (blank, tab, newline, backslash).
std::string UnescapeMountField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const char a = field[i + 1], b = field[i + 2], c = field[i + 3];
            if (a >= '0' && a <= '3' && b >= '0' && b <= '7' && c >= '0' && c <= '7') {
                out.push_back(static_cast<char>((a - '0') * 64 + (b - '0') * 8 + (c - '0')));
                i += 3;
                continue;
            }
        }
        out.push_back(field[i]);
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        if (pos >= line.size()) break;
        std::size_t end = pos;
        while (end < line.size() && line[end] != ' ' && line[end] != '\t') ++end;
        fields.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return fields;
}

}  // namespace

std::vector<MountEntry> ParseMounts(std::string_view text)
{
    std::vector<MountEntry> mounts;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        const std::vector<std::string_view> fields = SplitFields(line);
        if (fields.size() < 3) continue;
        std::string mountPoint = UnescapeMountField(fields[1]);
        if (mountPoint.empty() || mountPoint.front() != '/') continue;
        mounts.push_back({std::move(mountPoint), std::string(fields[2])});
    }
    return mounts;
}

bool IsPseudoFileSystem(std::string_view fsType)
{
    // Beside the kernel's own: RAM-backed mounts and automount points (the
    // real file system, once mounted there, is listed on its own).
    static constexpr std::array<std::string_view, 3> kNoUserFiles{"tmpfs", "ramfs", "autofs"};
    return textrove::search::IsPseudoFileSystemType(fsType)
        || std::find(kNoUserFiles.begin(), kNoUserFiles.end(), fsType) != kNoUserFiles.end();
}

std::vector<std::string> RealMountPoints(const std::vector<MountEntry>& mounts)
{
    // A later mount on the same point hides the earlier one.
    std::vector<std::string> points;
    std::vector<std::string> hidden;
    for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) {
        if (std::find(points.begin(), points.end(), it->mountPoint) != points.end()
            || std::find(hidden.begin(), hidden.end(), it->mountPoint) != hidden.end())
            continue;
        if (IsPseudoFileSystem(it->fsType))
            hidden.push_back(it->mountPoint);
        else
            points.push_back(it->mountPoint);
    }
    std::sort(points.begin(), points.end());
    return points;
}

std::string MountPointOf(std::string_view absolutePath, const std::vector<MountEntry>& mounts)
{
    std::string best = "/";
    for (const MountEntry& mount : mounts) {
        const std::string& point = mount.mountPoint;
        if (point.size() <= best.size() || absolutePath.substr(0, point.size()) != point) continue;
        // "/mnt/data" holds "/mnt/data" and "/mnt/data/x", not "/mnt/database".
        if (absolutePath.size() == point.size() || point.back() == '/' || absolutePath[point.size()] == '/')
            best = point;
    }
    return best;
}

std::vector<MountEntry> ReadSystemMounts()
{
    std::ifstream in("/proc/self/mounts", std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    return ParseMounts(text.str());
}

}  // namespace textrove::conditions
