// A private settings location per test (XDG_CONFIG_HOME in a fresh temporary
// directory) and small file helpers.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/Profile.h"
#include "settings/SettingsNames.h"

namespace textrove::settings::testing {

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline struct stat StatOf(const std::string& path) {
  struct stat st {};
  ::stat(path.c_str(), &st);
  return st;
}

inline std::set<std::string> DirEntries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename());
  return names;
}

// Runs `body` in a child process; its exit status, or -1 when it did not exit
// (an exception counts as not exiting, and never reaches the test runner).
template <typename F>
int InChild(F body) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    try {
      ::_exit(body());
    } catch (...) {
      ::_exit(255);
    }
  }
  int status = 0;
  return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) != 255
             ? WEXITSTATUS(status)
             : -1;
}

class SettingsDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = std::filesystem::temp_directory_path() / "textrove-settings-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
    root_ = tmpl;
    ::chmod(root_.c_str(), 0755);  // lets a child running as another uid look inside
    ::setenv("XDG_CONFIG_HOME", configDir_.assign(root_ + "/config").c_str(), 1);
  }
  void TearDown() override {
    ::chmod(configDir_.c_str(), 0755);
    std::filesystem::remove_all(root_);
    ::unsetenv("XDG_CONFIG_HOME");
  }

  std::string FilePath() const { return configDir_ + "/" + kFileName; }
  std::string ReadRaw() const { return ReadFile(FilePath()); }
  void WriteRaw(const std::string& bytes) {
    std::filesystem::create_directories(configDir_);
    std::ofstream(FilePath(), std::ios::binary) << bytes;
  }

  std::string root_, configDir_;
};

}  // namespace textrove::settings::testing
