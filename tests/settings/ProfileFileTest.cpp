// The settings file on disk, also under two running copies and writers killed
// at random moments.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <set>
#include <string>
#include <thread>

#include <poll.h>
#include <sched.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/Profile.h"
#include "settings/ProfileLimits.h"
#include "settings/SettingsNames.h"
#include "support/ConfigHome.h"
#include "text/TextCodec.h"

namespace textrove::settings {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

struct stat StatOf(const std::string& path)
{
    struct stat st { };
    ::stat(path.c_str(), &st);
    return st;
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

// A private settings location per test.
class SettingsDirTest : public ::testing::Test {
protected:
    std::string FilePath() const { return home_.FilePath(); }
    std::string ReadRaw() const { return ReadFile(FilePath()); }
    void WriteRaw(const std::string& bytes)
    {
        fs::create_directories(configDir_);
        std::ofstream(FilePath(), std::ios::binary) << bytes;
    }
    bool OnlyFileAndLock() const  // in the folder
    {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(configDir_)) names.insert(e.path().filename());
        return names == std::set<std::string>{"Textroveini", "Textroveini.lock"};
    }

    testsupport::ConfigHome home_;
    const std::string& root_ = home_.Root();
    const std::string& configDir_ = home_.Dir();
};

// Reading creates nothing; the first write creates the missing folders
// owner-only and the file by the umask. A relative or empty XDG_CONFIG_HOME
// is ignored. Each line is UTF-8 when valid, else CP932; a write re-encodes
// only its own line and writes every other byte back as it was.
TEST_F(SettingsDirTest, FirstWriteAndPerLineEncoding)
{
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "/cwd"), "/cwd");
    EXPECT_FALSE(fs::exists(configDir_)) << "reading creates nothing";
    ::setenv("XDG_CONFIG_HOME", (configDir_ + "/deeper").c_str(), 1);
    const mode_t old = ::umask(027);
    EXPECT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/data"));
    ::umask(old);
    EXPECT_EQ(StatOf(configDir_).st_mode & 07777, 0700u);
    EXPECT_EQ(StatOf(configDir_ + "/deeper").st_mode & 07777, 0700u);
    EXPECT_EQ(StatOf(configDir_ + "/deeper/Textroveini").st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(configDir_ + "/deeper/Textroveini"), "[DefDir]\nDirectory=/data\n");
    ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
    EXPECT_EQ(SettingsFilePath(), std::string(std::getenv("HOME") ?: "") + "/.config/Textroveini");
    ::setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);

    const std::string nihongo = "日本語";
    const std::string stray = "\xEF\xBB\xBF[DefList]\nListName1=" + nihongo + "\nListName2=\xE9\n";
    WriteRaw(stray);
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), ""), nihongo);
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/x"));
    EXPECT_EQ(ReadRaw(), stray + "[DefDir]\nDirectory=/x\n");

    const std::string legacyDir = "[DefDir]\r\nDirectory=C:\\\x83\x65\x83\x58\x83\x67\\\x95\x5C\r\n";
    WriteRaw(legacyDir + "[DefList]\r\nListName1=\xC3\xBD\xC4\r\n");
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), "C:\\テスト\\表");
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), ""), "ﾃｽﾄ");
    std::string odd = " =;[x] ";  // a long value was once cut at 143 bytes
    for (int i = 0; i < 200; ++i) odd += "テスト";
    ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(1), nihongo));
    ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(2), odd));
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(2), ""), odd);
    EXPECT_EQ(ReadRaw(), legacyDir + "[DefList]\r\nListName1=" + nihongo + "\r\nListName2=" + odd + "\r\n");
}

// The mode of the temporary file of a write, looked at as soon as it is
// created: the write runs in a child at idle priority on this thread's CPU,
// so this thread, woken by the creation, runs before the child's next step.
int TemporaryFileModeAtCreation(const std::string& dir, mode_t umask)
{
    cpu_set_t all, one;
    ::sched_getaffinity(0, sizeof all, &all);
    CPU_ZERO(&one);
    CPU_SET(::sched_getcpu(), &one);
    ::sched_setaffinity(0, sizeof one, &one);
    const int watch = ::inotify_init1(IN_CLOEXEC);
    ::inotify_add_watch(watch, dir.c_str(), IN_CREATE);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const sched_param idle{};
        ::sched_setscheduler(0, SCHED_IDLE, &idle);  // without it the look may only come late
        ::umask(umask);
        ::_exit(WriteProfile(kSectionDefDir, kKeyDirectory, "/new") ? 0 : 1);
    }
    alignas(inotify_event) char event[4096];
    pollfd p{watch, POLLIN, 0};
    const bool created = ::poll(&p, 1, 5000) == 1 && ::read(watch, event, sizeof event) > 0;
    const int mode = static_cast<int>(StatOf(dir + "/Textroveini.tmp").st_mode & 07777);  // 0 when gone
    int status = -1;
    ::waitpid(pid, &status, 0);
    ::close(watch);
    ::sched_setaffinity(0, sizeof all, &all);
    EXPECT_TRUE(created && WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return mode;
}

// A write renames a new file over the old one. From its creation the new file
// grants nothing the old one does not; it ends with the old one's mode
// (whatever the umask) and owner.
TEST_F(SettingsDirTest, WriteReplacesTheFileKeepingModeAndOwner)
{
    const std::tuple<const char*, mode_t, mode_t, bool> rows[] = {
        // why, the file's mode, the umask, another owner (as root only)
        {"private file, no umask", 0600, 0, ::geteuid() == 0},
        {"0644 under umask 077 stays 0644", 0644, 077, false},
    };
    for (const auto& [why, mode, umask, otherOwner] : rows) {
        SCOPED_TRACE(why);
        WriteRaw("[DefDir]\nDirectory=/old\n");
        std::ofstream(FilePath() + ".lock");
        std::ofstream(FilePath() + ".tmp") << "[DefDir]\nDirec";  // left by a killed writer
        ASSERT_EQ(::chmod(FilePath().c_str(), mode), 0);
        ASSERT_TRUE(!otherOwner || ::chown(FilePath().c_str(), 65534, 65534) == 0);
        const ino_t before = StatOf(FilePath()).st_ino;
        const int seen = TemporaryFileModeAtCreation(configDir_, umask);
        EXPECT_EQ(seen & ~mode, 0u) << "temporary file mode " << std::oct << seen;
        const struct stat st = StatOf(FilePath());
        EXPECT_NE(st.st_ino, before);
        EXPECT_EQ(st.st_mode & 07777, mode);
        EXPECT_TRUE(!otherOwner || (st.st_uid == 65534 && st.st_gid == 65534));
        EXPECT_TRUE(OnlyFileAndLock()) << "no temporary file left";
        EXPECT_EQ(ReadRaw(), "[DefDir]\nDirectory=/new\n");
    }
}

// A write that cannot complete, or of a value that could not read back,
// returns false and leaves file and folder as they were.
TEST_F(SettingsDirTest, FailingWriteChangesNothing)
{
    const std::string content = "[DefDir]\nDirectory=/keep\n";
    WriteRaw(content);
    const ino_t inode = StatOf(FilePath()).st_ino;
    EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/a\nb"));
    const int status = InChild([] {  // a file-size limit makes write() fail as on a full disk
        const rlimit limit{16, 16};
        if (std::signal(SIGXFSZ, SIG_IGN) == SIG_ERR || ::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
        return WriteProfile(kSectionDefDir, kKeyDirectory, std::string(500, 'z')) ? 1 : 0;
    });
    EXPECT_EQ(status, 0) << "10 no limit, 1 write claimed success";
    EXPECT_EQ(ReadRaw(), content);
    EXPECT_EQ(StatOf(FilePath()).st_ino, inode);
    EXPECT_TRUE(OnlyFileAndLock());
}

// A linked settings file stays linked; a link planted in place of the lock or
// the temporary file fails the write, and nothing is created through it.
TEST_F(SettingsDirTest, OnlyTheSettingsFileIsReachedThroughALink)
{
    fs::create_directories(configDir_);
    const std::string real = root_ + "/dotfiles-Textroveini", content = "[DefDir]\nDirectory=/keep\n";
    std::ofstream(real) << "[DefDir]\nDirectory=/old\n";
    fs::create_symlink(real, FilePath());
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/keep"));
    EXPECT_TRUE(fs::is_symlink(FilePath()));
    EXPECT_EQ(ReadFile(real), content);
    EXPECT_FALSE(fs::exists(real + ".tmp"));
    const std::string victim = root_ + "/victim";
    for (const std::string& link : {FilePath() + ".lock", real + ".tmp"}) {
        fs::remove(link);
        fs::create_symlink(victim, link);  // dangling
        EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new")) << link;
        EXPECT_FALSE(fs::exists(victim)) << "created through " << link;
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(ReadFile(real), content);
        fs::remove(link);
    }
}

// Two copies write at once, and one of them is killed at a random moment,
// mostly in the middle of a write: no key of either is lost, no value is
// torn, and the file holds nothing else.
TEST_F(SettingsDirTest, KilledWriterNeverLeavesABrokenFileOrLosesAKey)
{
    constexpr unsigned kKeys = 40;
    auto sealed = [](const std::string& payload) {  // shows whether the value arrived whole
        return payload + "#" + std::to_string(std::hash<std::string>{}(payload));
    };
    // Kill moments spread over about three writes, measured here: disks differ.
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) ASSERT_TRUE(WriteProfile("Calibrate", "K", std::to_string(i)));
    const auto write = (std::chrono::steady_clock::now() - start) / 10;
    std::mt19937 rng(20240611);
    std::set<unsigned> known;
    int broken = 0, lostKeys = 0, badValues = 0, tempLeft = 0;
    for (unsigned round = 0; round < 500; ++round) {
        const unsigned seed = rng();
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        if (pid == 0) {
            static const char* const pieces[] = {"a", "Z", " ", "=", "[", "]", ";", "テ", "ﾃ"};
            std::mt19937 childRng(seed);
            ::close(ready[0]);
            ::close(ready[1]);  // tells the parent that writing starts now
            for (std::string payload;; payload.clear()) {
                for (int n = childRng() % 120; n > 0; --n) payload += pieces[childRng() % std::size(pieces)];
                WriteProfile("Stress", std::to_string(childRng() % kKeys), sealed(payload));
            }
        }
        ::close(ready[1]);
        char none;
        (void)!::read(ready[0], &none, 1);  // returns once the child has closed its end
        ::close(ready[0]);
        lostKeys += !WriteProfile("Other", std::to_string(round), "日本");  // while the child writes
        std::this_thread::sleep_for(write * std::uniform_real_distribution<>(0, 3)(rng));
        ::kill(pid, SIGKILL);
        ASSERT_EQ(::waitpid(pid, nullptr, 0), pid);

        tempLeft += std::filesystem::exists(FilePath() + ".tmp");
        // Every key written so far still there (those of [Other] counted by the
        // lines), every value sealed, nothing but [Calibrate], [Other] and [Stress].
        const std::string text = ReadRaw();
        std::set<unsigned> now;
        for (unsigned k = 0; k < kKeys; ++k) {
            const std::optional<std::string> value = FindValue(text, "Stress", std::to_string(k));
            if (value) now.insert(k);
            lostKeys += !value && known.count(k);
            badValues += value && sealed(value->substr(0, value->rfind('#'))) != *value;
        }
        lostKeys += FindValue(text, "Other", std::to_string(round)) != "日本";
        const long lines = 4 + round + (now.empty() ? 0 : 1 + now.size());
        broken += !text::IsValidUtf8(text) || !text.ends_with('\n') || std::ranges::count(text, '\n') != lines;
        known = std::move(now);
    }
    EXPECT_EQ(broken, 0);
    EXPECT_EQ(lostKeys, 0);
    EXPECT_EQ(badValues, 0);
    // The run proves something only if writes completed and kills hit writes mid-way.
    EXPECT_FALSE(known.empty());
    EXPECT_GT(tempLeft, 0);
}

// Memory stays bounded whatever the file holds: megabytes of empty lines, an
// overlong line and values across read blocks, read and written in a child
// with 32 MiB of room; every byte outside the changed lines comes back.
TEST_F(SettingsDirTest, HugeFileIsStreamedInBoundedMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's shadow memory cannot live under an address-space limit";
#endif
    const std::string word = "ListName1=\x83\x65\x83\x58\x83\x67\r\n";  // テスト in CP932
    std::string bytes = "[DefDir]\nDirectory=/keep\n" + std::string(4 << 20, '\n') + "[DefList]\r\n"
        + std::string(3 * kMaxLineBytes / 2, 'j') + "\r\n" + word;
    for (int i = 0; i < 40; ++i) bytes += "x" + std::to_string(i) + "=" + std::string(100000, 'y') + "\n";
    WriteRaw(bytes += "[WindowSize]\nTop=5");
    EXPECT_EQ(InChild([] {
                  long pages = 0;
                  std::ifstream("/proc/self/statm") >> pages;
                  const rlim_t room = static_cast<rlim_t>(pages) * ::sysconf(_SC_PAGESIZE) + (32 << 20);
                  const rlimit limit{room, room};
                  if (pages == 0 || ::setrlimit(RLIMIT_AS, &limit) != 0) return 10;
                  if (ReadProfile(kSectionDefDir, kKeyDirectory, "") != "/keep"
                      || ReadProfile(kSectionDefList, ListNameKey(1), "") != "テスト"
                      || ReadProfile(kSectionWindowSize, kKeyTop, "") != "5")
                      return 1;
                  return WriteProfile(kSectionWindowSize, kKeyLeft, "7")
                          && WriteProfile(kSectionDefList, ListNameKey(1), "AB")
                      ? 0
                      : 2;
              }),
              0)
        << "-1 out of memory, 1 read wrong, 2 write failed, 10 no limit";
    bytes.replace(bytes.find(word), word.size(), "ListName1=AB\r\n");
    EXPECT_TRUE(ReadRaw() == bytes + "\nLeft=7\n") << "bytes outside the changed lines differ";
}

}  // namespace
}  // namespace textrove::settings
