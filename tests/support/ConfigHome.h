// The one way a test gets a private settings location: XDG_CONFIG_HOME
// points at <fresh temporary directory>/config while the object lives. The
// config directory itself is not created, so a first write creates it.
#pragma once

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include <stdlib.h>
#include <sys/stat.h>

#include "settings/SettingsNames.h"

namespace testsupport {

class ConfigHome {
public:
    ConfigHome()
    {
        if (const char* old = ::getenv("XDG_CONFIG_HOME")) m_old = old;
        std::string tmpl = (std::filesystem::temp_directory_path() / "textrove-config-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        m_root = tmpl;
        ::chmod(m_root.c_str(), 0755);  // lets a child running as another uid look inside
        m_dir = m_root + "/config";
        ::setenv("XDG_CONFIG_HOME", m_dir.c_str(), 1);
    }
    ~ConfigHome()
    {
        std::error_code ec;
        std::filesystem::permissions(m_dir, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_root, ec);
        m_old ? ::setenv("XDG_CONFIG_HOME", m_old->c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
    }
    ConfigHome(const ConfigHome&) = delete;
    ConfigHome& operator=(const ConfigHome&) = delete;

    const std::string& Root() const { return m_root; }
    const std::string& Dir() const { return m_dir; }
    std::string FilePath() const { return m_dir + "/" + textrove::settings::kFileName; }

private:
    std::string m_root, m_dir;
    std::optional<std::string> m_old;
};

}  // namespace testsupport
