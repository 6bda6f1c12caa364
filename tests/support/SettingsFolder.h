// The settings suites' fixture: a private settings location per test and
// small file helpers.
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
#include "support/ConfigHome.h"

namespace textrove::settings::testing {

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline struct stat StatOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st;
}

inline std::set<std::string> DirEntries(const std::string& dir)
{
    std::set<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename());
    return names;
}

// Runs `body` in a child process; its exit status, or -1 when it did not exit
// (an exception counts as not exiting, and never reaches the test runner).
template <typename F> int InChild(F body)
{
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
    std::string FilePath() const { return home_.FilePath(); }
    std::string ReadRaw() const { return ReadFile(FilePath()); }
    void WriteRaw(const std::string& bytes)
    {
        std::filesystem::create_directories(configDir_);
        std::ofstream(FilePath(), std::ios::binary) << bytes;
    }

    testsupport::ConfigHome home_;
    const std::string& root_ = home_.Root();
    const std::string& configDir_ = home_.Dir();
};

}  // namespace textrove::settings::testing
