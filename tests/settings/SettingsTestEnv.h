// A private settings location per test: a fresh temporary directory with
// XDG_CONFIG_HOME pointing into it, removed again afterwards.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/Profile.h"
#include "settings/SettingsNames.h"

namespace textrove::settings::testing {

class SettingsDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) oldXdg_ = old;
    std::string tmpl = (std::filesystem::temp_directory_path() / "textrove-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    ::chmod(root_.c_str(), 0755);  // lets a test process of another uid look inside
    configDir_ = root_ + "/config";
    ::setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
  }

  void TearDown() override {
    std::error_code ec;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root_, ec)) {
      if (entry.is_directory(ec)) ::chmod(entry.path().c_str(), 0755);
    }
    std::filesystem::remove_all(root_, ec);
    if (oldXdg_) {
      ::setenv("XDG_CONFIG_HOME", oldXdg_->c_str(), 1);
    } else {
      ::unsetenv("XDG_CONFIG_HOME");
    }
  }

  std::string FilePath() const { return configDir_ + "/" + kFileName; }

  void WriteRaw(const std::string& bytes) {
    std::filesystem::create_directories(configDir_);
    std::ofstream out(FilePath(), std::ios::binary | std::ios::trunc);
    out << bytes;
  }

  std::string ReadRaw() const {
    std::ifstream in(FilePath(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  std::string root_;
  std::string configDir_;
  std::optional<std::string> oldXdg_;
};

}  // namespace textrove::settings::testing
