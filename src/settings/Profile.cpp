#include "settings/Profile.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "settings/ProfileEdit.h"
#include "settings/ProfileFile.h"
#include "settings/ProfileLines.h"
#include "settings/SettingsNames.h"

namespace textrove::settings {

std::string SettingsFilePath()
{
    // A relative XDG_CONFIG_HOME is invalid and ignored.
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
        return std::string(xdg) + "/" + kFileName;
    }
    const std::string home = HomeDirectory();
    if (home.empty()) return {};
    return home + "/.config/" + kFileName;
}

std::optional<std::string> FindValue(std::string_view fileBytes, std::string_view section, std::string_view key)
{
    LineReader reader(fileBytes);
    return FindIn(reader, section, key);
}

std::string SetValue(std::string_view fileBytes, std::string_view section, std::string_view key, std::string_view value)
{
    std::string bytes(fileBytes);
    if (!IsStorable(section, key, value)) return bytes;
    LineReader reader(fileBytes);
    Edit edit;
    if (PlanChange(reader, section, key, value, edit) == Plan::Change) {
        bytes.replace(edit.at, edit.removed, edit.insert);
    }
    return bytes;
}

std::string ReadProfile(std::string_view section, std::string_view key, std::string_view def)
{
    const std::string path = SettingsFilePath();
    if (path.empty()) return std::string(def);
    struct stat st { };
    const Fd fd(OpenRegular(path, st));
    if (fd.get() < 0) return std::string(def);
    LineReader reader(fd.get(), static_cast<std::uint64_t>(st.st_size));
    std::optional<std::string> value = FindIn(reader, section, key);
    return value ? std::move(*value) : std::string(def);
}

bool WriteProfile(std::string_view section, std::string_view key, std::string_view value)
{
    if (!IsStorable(section, key, value)) return false;
    const std::string path = SettingsFilePath();
    if (path.empty() || !MakeDirectories(DirName(path))) return false;

    // Held around the whole read-modify-write so that a second running copy's
    // keys are never lost between our read and our rename.
    const FileLock lock(path + ".lock");
    if (!lock.Held()) return false;

    const std::string target = ResolveTarget(path);
    if (target.empty()) return false;

    struct stat st { };
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
