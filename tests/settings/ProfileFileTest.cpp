// Reading and writing the settings file on disk.
#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>

#include "support/SettingsFolder.h"

namespace textrove::settings {
namespace {

namespace fs = std::filesystem;
using namespace testing;

const std::set<std::string> kOnlyFileAndLock = {"Textroveini", "Textroveini.lock"};

TEST_F(SettingsDirTest, PathFollowsXdgConfigHome)
{
    const std::string home = std::getenv("HOME") ? std::getenv("HOME") : "";
    ::setenv("HOME", "/home/someone", 1);
    ::setenv("XDG_CONFIG_HOME", "/cfg/dir", 1);
    EXPECT_EQ(SettingsFilePath(), "/cfg/dir/Textroveini");
    for (const char* ignored : {"", "relative/dir"}) {
        ::setenv("XDG_CONFIG_HOME", ignored, 1);
        EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/Textroveini") << "'" << ignored << "'";
    }
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/Textroveini");
    ::setenv("HOME", home.c_str(), 1);
}

TEST_F(SettingsDirTest, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "/cwd"), "/cwd");
    EXPECT_FALSE(fs::exists(configDir_)) << "reading creates nothing";

    WriteRaw("\xEF\xBB\xBF[DefList]\nListName2=\nListName1=ABC\n[DefDir]\nOther=1\n");  // UTF-8 BOM
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "/cwd"), "/cwd") << "missing key";
    EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyTop, "d"), "d") << "missing section";
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(2), "d"), "") << "empty key is not missing";
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), "d"), "ABC");
}

TEST_F(SettingsDirTest, FirstWriteCreatesPrivateDirectoryAndFileByUmask)
{
    ::setenv("XDG_CONFIG_HOME", (configDir_ + "/deeper").c_str(), 1);
    const mode_t old = ::umask(027);
    const bool ok = WriteProfile(kSectionDefDir, kKeyDirectory, "/data");
    ::umask(old);
    ASSERT_TRUE(ok);
    const std::string path = configDir_ + "/deeper/Textroveini";
    EXPECT_EQ(StatOf(configDir_ + "/deeper").st_mode & 07777, 0700u);
    EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(path), "[DefDir]\nDirectory=/data\n");
}

TEST_F(SettingsDirTest, ValuesComeBackWholeThroughTheFile)
{
    std::string longJapanese;
    for (int i = 0; i < 200; ++i) longJapanese += "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // テスト
    const std::string values[] = {"  =;[x] /home/\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF ",   // データ
                                  "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84",                  // ﾃｽﾄ
                                  std::string(150, 'b'),                                   // once cut at 143 bytes
                                  longJapanese};
    for (const std::string& value : values) {
        ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, value));
        ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(1), value));
        EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "dflt"), value);
        EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), "dflt"), value);
    }
}

TEST_F(SettingsDirTest, NamesIgnoreCaseAndUnknownLinesSurvive)
{
    WriteRaw("; comment\r\nstray line\r\n[windowsize]\r\ntop=120\r\n  Extra = keep  \r\n=x\r\n"
             "[broken\r\n[Foreign]\r\nx=1\r\n");
    EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyTop, ""), "120");
    ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyTop, "-45"));
    ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyLeft, "30"));
    EXPECT_EQ(ReadRaw(),
              "; comment\r\nstray line\r\n[windowsize]\r\ntop=-45\r\n  Extra = keep  \r\n=x\r\n"
              "[broken\r\nLeft=30\r\n[Foreign]\r\nx=1\r\n");
}

TEST_F(SettingsDirTest, WriteReplacesTheFileAtomically)
{
    WriteRaw("[DefDir]\nDirectory=/old\n");
    ASSERT_EQ(::chmod(FilePath().c_str(), 0640), 0);
    // Half a file from a writer that was killed.
    std::ofstream(FilePath() + ".tmp") << "[DefDir]\nDirec";
    ::chmod((FilePath() + ".tmp").c_str(), 0400);
    const ino_t before = StatOf(FilePath()).st_ino;
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
    EXPECT_NE(StatOf(FilePath()).st_ino, before) << "a new file was renamed over the old one";
    EXPECT_EQ(StatOf(FilePath()).st_mode & 07777, 0640u) << "mode of the existing file kept";
    EXPECT_EQ(DirEntries(configDir_), kOnlyFileAndLock) << "no temporary file left";
    EXPECT_EQ(ReadRaw(), "[DefDir]\nDirectory=/new\n");

    const ino_t written = StatOf(FilePath()).st_ino;
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
    EXPECT_EQ(StatOf(FilePath()).st_ino, written) << "an unchanged value leaves the file alone";
}

TEST_F(SettingsDirTest, KeysOfASecondCopyAreKept)
{
    ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyTop, "1"));
    WriteRaw(ReadRaw() + "[DefDir]\nDirectory=/other copy\n");  // the other copy writes meanwhile
    ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyLeft, "2"));
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), "/other copy");
    EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyTop, ""), "1");
    EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyLeft, ""), "2");
}

// Each line is UTF-8 when valid, else CP932; a write re-encodes only its own line.
TEST_F(SettingsDirTest, EncodingIsPerLineAndOnlyTheChangedLineIsRewritten)
{
    const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
    const std::string stray = "[DefList]\nListName1=" + nihongo + "\nListName2=\xE9\n";
    WriteRaw(stray);
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), ""), nihongo);
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/x"));
    EXPECT_EQ(ReadRaw(), stray + "[DefDir]\nDirectory=/x\n");

    const std::string legacyDir = "[DefDir]\r\nDirectory=C:\\\x83\x65\x83\x58\x83\x67\\\x95\x5C\r\n";
    WriteRaw(legacyDir + "[DefList]\r\nListName1=\xC3\xBD\xC4\r\n");
    const std::string dir = "C:\\\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\\\xE8\xA1\xA8";  // C:\テスト\表
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), dir);
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), ""), "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84");  // ﾃｽﾄ
    ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(1), nihongo));
    ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(2), "ABC"));
    EXPECT_EQ(ReadRaw(), legacyDir + "[DefList]\r\nListName1=" + nihongo + "\r\nListName2=ABC\r\n");
}

// A write that cannot complete returns false and leaves file and folder as they were.
TEST_F(SettingsDirTest, FailingWriteChangesNothing)
{
    const std::string content = "[DefDir]\nDirectory=/keep\n";
    const struct {
        const char* why;
        bool (*setUp)(const std::string& dir);  // in the child; false when it could not
        std::string value;
    } rows[] = {
        {"read-only folder, lock file left by an earlier run",
         [](const std::string& dir) {
             std::ofstream(dir + "/Textroveini.lock");
             // root ignores permissions: the attempt runs as an ordinary user.
             return ::chmod((dir + "/Textroveini.lock").c_str(), 0666) == 0 && ::chmod(dir.c_str(), 0555) == 0
                 && (::geteuid() != 0 || (::setgid(65534) == 0 && ::setuid(65534) == 0));
         },
         "/new"},
        {"full disk: a file-size limit makes write() fail the same way",
         [](const std::string&) {
             const rlimit limit{16, 16};
             return std::signal(SIGXFSZ, SIG_IGN) != SIG_ERR && ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
         },
         std::string(500, 'z')},
        {"LF in the value", [](const std::string&) { return true; }, "/a\nb"},
        {"CR in the value", [](const std::string&) { return true; }, "/a\r"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        WriteRaw(content);
        const ino_t inode = StatOf(FilePath()).st_ino;
        const int status = InChild([&] {
            if (!row.setUp(configDir_)) return 10;
            if (ReadProfile(kSectionDefDir, kKeyDirectory, "") != "/keep") return 11;
            return WriteProfile(kSectionDefDir, kKeyDirectory, row.value) ? 12 : 0;
        });
        ::chmod(configDir_.c_str(), 0755);
        EXPECT_EQ(status, 0) << "10 setup failed, 11 read failed, 12 write claimed success";
        EXPECT_EQ(ReadRaw(), content);
        EXPECT_EQ(StatOf(FilePath()).st_ino, inode);
        EXPECT_EQ(DirEntries(configDir_), kOnlyFileAndLock);
    }
}

TEST_F(SettingsDirTest, FifoInTheFilesPlaceFailsWithoutHanging)
{
    fs::create_directories(configDir_);  // a FIFO nobody writes to must not hang the caller
    ASSERT_EQ(::mkfifo(FilePath().c_str(), 0644), 0);
    const int status = InChild([] {
        ::alarm(5);
        if (ReadProfile(kSectionDefDir, kKeyDirectory, "dflt") != "dflt") return 1;
        return WriteProfile(kSectionDefDir, kKeyDirectory, "/x") ? 2 : 0;
    });
    EXPECT_EQ(status, 0) << "-1 hung, 1 read gave no default, 2 write claimed success";
}

TEST_F(SettingsDirTest, LinkedSettingsFileStaysLinked)
{
    fs::create_directories(configDir_);
    const std::string real = root_ + "/dotfiles-Textroveini";
    std::ofstream(real) << "[DefDir]\nDirectory=/old\n";
    fs::create_symlink(real, FilePath());
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
    EXPECT_TRUE(fs::is_symlink(FilePath()));
    EXPECT_EQ(ReadFile(real), "[DefDir]\nDirectory=/new\n");
    EXPECT_FALSE(fs::exists(real + ".tmp"));
}

TEST_F(SettingsDirTest, LinkInPlaceOfLockOrTemporaryFileFailsTheWrite)
{
    const std::string content = "[DefDir]\nDirectory=/keep\n";
    const std::string victim = root_ + "/victim";
    for (const char* planted : {"Textroveini.lock", "Textroveini.tmp"}) {
        SCOPED_TRACE(planted);
        WriteRaw(content);
        const std::string link = configDir_ + "/" + planted;
        fs::remove(link);  // the lock of the round before
        fs::remove(victim);
        fs::create_symlink(victim, link);  // dangling
        EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
        EXPECT_FALSE(fs::exists(victim)) << "created through the link";
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(ReadRaw(), content);
        fs::remove(link);
    }
}

// Watched from its creation, the temporary file never grants what the settings
// file does not; the file keeps its mode (whatever the umask) and owner.
TEST_F(SettingsDirTest, TemporaryFileNeverGrantsMoreThanTheFile)
{
    const struct {
        const char* why;
        mode_t mode, umask;
        bool otherOwner;  // run as root only
    } rows[] = {
        {"private file, no umask", 0600, 0, false},
        {"group-readable file", 0640, 0, false},
        {"0644 under umask 077 stays 0644", 0644, 077, false},
        {"owner and group kept", 0600, 022, true},
    };
    // Large, so that the temporary file stays long enough to be seen.
    const std::string content = "[DefDir]\nDirectory=/old\n" + std::string(16 << 20, '\n');
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        if (row.otherOwner && ::geteuid() != 0) continue;
        WriteRaw(content);
        ASSERT_EQ(::chmod(FilePath().c_str(), row.mode), 0);
        if (row.otherOwner) {
            ASSERT_EQ(::chown(FilePath().c_str(), 65534, 65534), 0);
        }
        const int watch = ::inotify_init1(IN_CLOEXEC);
        ASSERT_GE(::inotify_add_watch(watch, configDir_.c_str(), IN_CREATE), 0);
        std::atomic<int> seen{-1};  // the temporary file's mode when first seen
        std::thread watcher([&] {
            alignas(inotify_event) char buf[4096];
            for (pollfd p{watch, POLLIN, 0}; ::poll(&p, 1, 5000) == 1;) {
                const ssize_t n = ::read(watch, buf, sizeof buf);
                for (ssize_t at = 0; at < n;) {
                    const auto* e = reinterpret_cast<const inotify_event*>(buf + at);
                    if (e->len > 0 && std::string(e->name) == "Textroveini.tmp") {
                        seen = static_cast<int>(StatOf(configDir_ + "/Textroveini.tmp").st_mode & 07777);
                        return;
                    }
                    at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
                }
            }
        });
        const mode_t before = ::umask(row.umask);
        const bool ok = WriteProfile(kSectionDefDir, kKeyDirectory, "/new");
        ::umask(before);
        watcher.join();
        ::close(watch);
        EXPECT_TRUE(ok);
        // A watcher kept from running until the rename saw nothing: no verdict then.
        if (seen >= 0) {
            EXPECT_EQ(seen & ~static_cast<int>(row.mode), 0) << "temporary file mode " << std::oct << seen;
        }
        const struct stat st = StatOf(FilePath());
        EXPECT_EQ(st.st_mode & 07777, row.mode);
        EXPECT_TRUE(!row.otherOwner || (st.st_uid == 65534 && st.st_gid == 65534));
    }
}

}  // namespace
}  // namespace textrove::settings
