// The settings file under two running copies and under writers killed at
// random moments.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/SettingsTestEnv.h"
#include "text/TextCodec.h"

namespace textrove::settings {
namespace {

using testing::SettingsDirTest;
using Clock = std::chrono::steady_clock;

// Key and value names of the two-copies run; built with append (GCC 12 warns
// falsely about `"x" + std::to_string(i)`).
std::string Numbered(const char* prefix, int i) {
  std::string s = prefix;
  s += std::to_string(i);
  return s;
}

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A value that shows whether it arrived whole: payload, '#', payload checksum.
std::string SealedValue(std::mt19937& rng) {
  static const char* const pieces[] = {"a", "Z", "0", " ", "=", "[", "]", ";", "\xE3\x83\x86",
                                       "\xEF\xBE\x83", "\xE6\x97\xA5"};
  const int count = std::uniform_int_distribution<int>(0, 120)(rng);
  std::string payload;
  for (int i = 0; i < count; ++i) {
    payload += pieces[std::uniform_int_distribution<std::size_t>(0, std::size(pieces) - 1)(rng)];
  }
  unsigned sum = 0;
  for (unsigned char c : payload) sum = sum * 31 + c;
  return payload + "#" + std::to_string(sum);
}

bool IsSealed(const std::string& value) {
  const std::size_t hash = value.rfind('#');
  if (hash == std::string::npos) return false;
  unsigned sum = 0;
  for (std::size_t i = 0; i < hash; ++i) sum = sum * 31 + static_cast<unsigned char>(value[i]);
  return value.substr(hash + 1) == std::to_string(sum);
}

// Strict check of a file only these writers touched: UTF-8, every line a
// "[Name]" or "Name=value" line ending in LF. Collects the keys of section
// "Stress". False when anything is off.
bool ParseStrict(const std::string& bytes, std::map<std::string, std::string>& keys) {
  keys.clear();
  if (!text::IsValidUtf8(bytes)) return false;
  if (!bytes.empty() && bytes.back() != '\n') return false;
  std::string section;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t nl = bytes.find('\n', pos);
    const std::string line = bytes.substr(pos, nl - pos);
    pos = nl + 1;
    if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
      section = line.substr(1, line.size() - 2);
      continue;
    }
    const std::size_t eq = line.find('=');
    if (eq == std::string::npos || eq == 0 || section.empty()) return false;
    if (section == "Stress") keys[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return true;
}

TEST_F(SettingsDirTest, TwoCopiesWritingAtOnceLoseNoKey) {
  constexpr int kWritesEach = 1000;
  int startPipe[2];
  ASSERT_EQ(::pipe(startPipe), 0);

  const Clock::time_point start = Clock::now();
  pid_t children[2];
  for (int c = 0; c < 2; ++c) {
    children[c] = ::fork();
    ASSERT_GE(children[c], 0);
    if (children[c] == 0) {
      ::close(startPipe[1]);
      char go;
      if (::read(startPipe[0], &go, 1) != 0) ::_exit(20);  // wait for the common start
      int failed = 0;
      for (int i = 0; i < kWritesEach; ++i) {
        const std::string key = Numbered(c == 0 ? "A" : "B", i);
        // Every tenth write goes to a key both copies keep changing.
        if (!WriteProfile("Stress", key, Numbered("v", i))) ++failed;
        if (i % 10 == 9 && !WriteProfile("Shared", "Last", key)) ++failed;
      }
      ::_exit(failed == 0 ? 0 : 1);
    }
  }
  ::close(startPipe[0]);
  ::close(startPipe[1]);  // both children start now

  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a write returned false";
  }
  const double seconds = SecondsSince(start);

  const std::string text = ReadRaw();
  int lost = 0;
  for (int c = 0; c < 2; ++c) {
    for (int i = 0; i < kWritesEach; ++i) {
      if (FindValue(text, "Stress", Numbered(c == 0 ? "A" : "B", i)) != Numbered("v", i)) ++lost;
    }
  }
  const std::string last = ReadProfile("Shared", "Last", "");
  EXPECT_TRUE(last == Numbered("A", kWritesEach - 1) || last == Numbered("B", kWritesEach - 1))
      << last;
  std::printf("[ figures  ] two copies: %d writes each (+%d shared), %.2f s, %d keys lost\n",
              kWritesEach, kWritesEach / 10, seconds, lost);
  EXPECT_EQ(lost, 0);
}

TEST_F(SettingsDirTest, KilledWriterNeverLeavesABrokenFileOrLosesAKey) {
  constexpr int kRounds = 500;
  constexpr int kKeys = 40;
  std::mt19937 rng(20240611);

  // Counts writes that completed across all children.
  auto* completed = static_cast<std::atomic<long>*>(::mmap(
      nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(completed, MAP_FAILED);
  new (completed) std::atomic<long>(0);

  ASSERT_TRUE(WriteProfile("Other", "Name", "\xE6\x97\xA5\xE6\x9C\xAC"));
  // Kill moments spread over about three writes; a write's cost (mostly fsync)
  // differs a lot between disks, so it is measured here.
  const Clock::time_point calibrate = Clock::now();
  constexpr int kCalibrationWrites = 10;
  for (int i = 0; i < kCalibrationWrites; ++i) {
    ASSERT_TRUE(WriteProfile("Calibrate", "K", std::to_string(i)));
  }
  const int writeMicros = static_cast<int>(SecondsSince(calibrate) * 1e6 / kCalibrationWrites);
  std::map<std::string, std::string> known;
  int kills = 0, broken = 0, lostKeys = 0, badValues = 0, tempLeft = 0;
  const Clock::time_point start = Clock::now();

  for (int round = 0; round < kRounds; ++round) {
    const unsigned seed = rng();
    const int delayMicros = std::uniform_int_distribution<int>(0, 3 * writeMicros)(rng);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      std::mt19937 childRng(seed);
      ::close(ready[0]);
      ::close(ready[1]);  // tells the parent that writing starts now
      for (;;) {
        const std::string key = "K" + std::to_string(std::uniform_int_distribution<int>(0, kKeys - 1)(childRng));
        if (WriteProfile("Stress", key, SealedValue(childRng))) completed->fetch_add(1);
      }
    }
    ::close(ready[1]);
    char none;
    (void)!::read(ready[0], &none, 1);  // returns once the child has closed its end
    ::close(ready[0]);
    ::usleep(static_cast<useconds_t>(delayMicros));
    if (::kill(pid, SIGKILL) == 0) ++kills;
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);

    if (std::filesystem::exists(FilePath() + ".tmp")) ++tempLeft;
    std::map<std::string, std::string> now;
    if (!ParseStrict(ReadRaw(), now)) {
      ++broken;
      continue;
    }
    for (const auto& [key, value] : known) {
      if (now.count(key) == 0) ++lostKeys;
    }
    for (const auto& [key, value] : now) {
      if (!IsSealed(value)) ++badValues;
    }
    if (ReadProfile("Other", "Name", "") != "\xE6\x97\xA5\xE6\x9C\xAC") ++lostKeys;
    known = std::move(now);
  }
  const double seconds = SecondsSince(start);
  const long writesDone = completed->load();
  ::munmap(completed, sizeof(std::atomic<long>));
  std::printf("[ figures  ] killed writers: %d rounds, %d kills, %ld writes done, %.2f s, "
              "%d temp files left at a kill, %d broken files, %d keys lost, %d torn values, "
              "%zu keys at the end, %d us per write\n",
              kRounds, kills, writesDone, seconds, tempLeft, broken, lostKeys, badValues,
              known.size(), writeMicros);

  EXPECT_EQ(broken, 0);
  EXPECT_EQ(lostKeys, 0);
  EXPECT_EQ(badValues, 0);
  // The run only proves something if writes completed and kills hit writes mid-way.
  EXPECT_GT(writesDone, 0);
  EXPECT_GT(tempLeft, 0);
}

}  // namespace
}  // namespace textrove::settings
