// The settings file under two running copies and under writers killed at
// random moments.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>

#include <signal.h>
#include <sys/mman.h>
#include <sys/resource.h>

#include "support/SettingsFolder.h"
#include "text/TextCodec.h"

namespace textrove::settings {
namespace {

using testing::SettingsDirTest;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Built with append: GCC 12 warns falsely about `"x" + std::to_string(i)`.
std::string Numbered(const char* prefix, int i)
{
    return std::string(prefix).append(std::to_string(i));
}

// A value that shows whether it arrived whole: payload, '#', hash of the payload.
std::string Sealed(const std::string& payload)
{
    return payload + "#" + std::to_string(std::hash<std::string>{}(payload));
}

bool IsSealed(const std::string& value)
{
    const std::size_t hash = value.rfind('#');
    return hash != std::string::npos && Sealed(value.substr(0, hash)) == value;
}

TEST_F(SettingsDirTest, TwoCopiesWritingAtOnceLoseNoKey)
{
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
                if (!WriteProfile("Stress", key, Numbered("v", i))) ++failed;
                // Every tenth write goes to a key both copies keep changing.
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
    for (int i = 0; i < kWritesEach; ++i) {
        for (const char* copy : {"A", "B"}) lost += FindValue(text, "Stress", Numbered(copy, i)) != Numbered("v", i);
    }
    const std::string last = ReadProfile("Shared", "Last", "");
    EXPECT_TRUE(last == Numbered("A", kWritesEach - 1) || last == Numbered("B", kWritesEach - 1)) << last;
    std::printf("[ figures  ] two copies: %d writes each (+%d shared), %.2f s, %d keys lost\n", kWritesEach,
                kWritesEach / 10, seconds, lost);
    EXPECT_EQ(lost, 0);
}

TEST_F(SettingsDirTest, KilledWriterNeverLeavesABrokenFileOrLosesAKey)
{
    constexpr int kRounds = 500, kKeys = 40;
    std::mt19937 rng(20240611);
    // Writes completed across all children.
    auto* completed = static_cast<std::atomic<long>*>(
        ::mmap(nullptr, sizeof(std::atomic<long>), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0));
    ASSERT_NE(completed, MAP_FAILED);
    new (completed) std::atomic<long>(0);

    const std::string other = "\xE6\x97\xA5\xE6\x9C\xAC";  // 日本
    ASSERT_TRUE(WriteProfile("Other", "Name", other));
    // Kill moments spread over about three writes; a write's cost (mostly fsync)
    // differs a lot between disks, so it is measured here.
    const Clock::time_point calibrate = Clock::now();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(WriteProfile("Calibrate", "K", std::to_string(i)));
    const int writeMicros = static_cast<int>(SecondsSince(calibrate) * 1e6 / 10);

    std::set<int> known;
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
            static const char* const pieces[] = {"a", "Z", " ", "=", "[", "]", ";", "\xE3\x83\x86", "\xEF\xBE\x83"};
            std::mt19937 childRng(seed);
            ::close(ready[0]);
            ::close(ready[1]);  // tells the parent that writing starts now
            for (;;) {
                std::string payload;
                for (int n = childRng() % 120; n > 0; --n) payload += pieces[childRng() % std::size(pieces)];
                if (WriteProfile("Stress", Numbered("K", childRng() % kKeys), Sealed(payload))) completed->fetch_add(1);
            }
        }
        ::close(ready[1]);
        char none;
        (void)!::read(ready[0], &none, 1);  // returns once the child has closed its end
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(delayMicros));
        kills += ::kill(pid, SIGKILL) == 0;
        ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);

        tempLeft += std::filesystem::exists(FilePath() + ".tmp");
        // Whole: every key written so far still there, every value sealed, and
        // nothing else than [Other] [Calibrate] with a key each and [Stress] with its keys.
        const std::string text = ReadRaw();
        std::set<int> now;
        for (int k = 0; k < kKeys; ++k) {
            const std::optional<std::string> value = FindValue(text, "Stress", Numbered("K", k));
            if (value) now.insert(k);
            lostKeys += !value && known.count(k);
            badValues += value && !IsSealed(*value);
        }
        lostKeys += FindValue(text, "Other", "Name") != other;
        const long lines = 4 + (now.empty() ? 0 : 1 + now.size());
        broken += !text::IsValidUtf8(text) || !text.ends_with('\n') || std::ranges::count(text, '\n') != lines;
        known = std::move(now);
    }
    const double seconds = SecondsSince(start);
    const long writesDone = completed->load();
    ::munmap(completed, sizeof(std::atomic<long>));
    std::printf("[ figures  ] killed writers: %d rounds, %d kills, %ld writes done, %.2f s, "
                "%d temp files left at a kill, %d broken files, %d keys lost, %d torn values, "
                "%zu keys at the end, %d us per write\n",
                kRounds, kills, writesDone, seconds, tempLeft, broken, lostKeys, badValues, known.size(), writeMicros);
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(lostKeys, 0);
    EXPECT_EQ(badValues, 0);
    // The run proves something only if writes completed and kills hit writes mid-way.
    EXPECT_GT(writesDone, 0);
    EXPECT_GT(tempLeft, 0);
}

// Reads and writes stream the file: they run under an address-space limit far
// below the file's size and change nothing but their own line.
TEST_F(SettingsDirTest, HugeFileIsStreamedInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory cannot live under an address-space limit";
#endif
    const std::string cp932Word = "ListName1=\x83\x65\x83\x58\x83\x67\r\n";  // テスト
    std::string bytes = "[DefDir]\nDirectory=/keep\n" + std::string(4 << 20, '\n') + "[DefList]\r\n"
        + std::string(3 * kMaxLineBytes / 2, 'j') + "\r\n" + cp932Word;  // overlong: kept
    for (int i = 0; i < 40; ++i)
        bytes += Numbered("x", i) + "=" + std::string(100000, 'y') + "\n";  // across read blocks
    bytes += "[WindowSize]\nTop=5";
    WriteRaw(bytes);
    const int status = testing::InChild([] {
        long pages = 0;
        if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        const rlim_t room = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (32 << 20);
        const rlimit limit{room, room};
        if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) return 10;
        if (ReadProfile(kSectionDefDir, kKeyDirectory, "") != "/keep") return 1;
        if (ReadProfile(kSectionDefList, ListNameKey(1), "") != "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88") return 2;
        if (ReadProfile(kSectionWindowSize, kKeyTop, "") != "5") return 3;
        return WriteProfile(kSectionWindowSize, kKeyLeft, "7") && WriteProfile(kSectionDefList, ListNameKey(1), "AB")
            ? 0
            : 4;
    });
    EXPECT_EQ(status, 0) << "-1 killed (out of memory), 1-3 read wrong, 4 write failed, 10 no limit";
    bytes.replace(bytes.find(cp932Word), cp932Word.size(), "ListName1=AB\r\n");
    EXPECT_TRUE(ReadRaw() == bytes + "\nLeft=7\n") << "bytes outside the changed lines differ";
}

}  // namespace
}  // namespace textrove::settings
