// Reading and writing the settings file on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "settings/SettingsTestEnv.h"

namespace textrove::settings {
namespace {

using testing::SettingsDirTest;

std::set<std::string> DirEntries(const std::string& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.insert(e.path().filename());
  return names;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

// Runs `body` in a child process and returns its exit status (or -1).
template <typename F>
int InChild(F body) {
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

TEST(SettingsFilePathTest, FollowsXdgConfigHome) {
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string savedXdg = oldXdg ? oldXdg : "";
  const char* oldHome = std::getenv("HOME");
  const std::string savedHome = oldHome ? oldHome : "";

  ::setenv("HOME", "/home/someone", 1);
  ::setenv("XDG_CONFIG_HOME", "/cfg/dir", 1);
  EXPECT_EQ(SettingsFilePath(), "/cfg/dir/Textroveini");
  ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/Textroveini") << "unset: ~/.config";
  ::setenv("XDG_CONFIG_HOME", "", 1);
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/Textroveini") << "empty counts as unset";
  ::setenv("XDG_CONFIG_HOME", "relative/dir", 1);
  EXPECT_EQ(SettingsFilePath(), "/home/someone/.config/Textroveini") << "relative is invalid";

  oldXdg ? ::setenv("XDG_CONFIG_HOME", savedXdg.c_str(), 1) : ::unsetenv("XDG_CONFIG_HOME");
  oldHome ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
}

TEST_F(SettingsDirTest, MissingFileSectionOrKeyGivesTheDefault) {
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "/cwd"), "/cwd");
  EXPECT_FALSE(std::filesystem::exists(configDir_)) << "reading creates nothing";

  WriteRaw("[DefDir]\nOther=1\n[DefList]\nListName2=\nListName1=ABC\n");
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "/cwd"), "/cwd") << "missing key";
  EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyTop, ""), "") << "missing section";
  EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(2), "dflt"), "") << "empty key is not missing";
  EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), "dflt"), "ABC");
  EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(10), "dflt"), "dflt");
}

TEST_F(SettingsDirTest, FirstWriteCreatesDirectoryAndFile) {
  ::setenv("XDG_CONFIG_HOME", (configDir_ + "/deeper/still").c_str(), 1);
  ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/data"));
  const std::string path = configDir_ + "/deeper/still/Textroveini";
  EXPECT_EQ(SettingsFilePath(), path);
  EXPECT_EQ(ModeOf(configDir_ + "/deeper/still"), 0700u);
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), "/data");
  std::ifstream in(path, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[DefDir]\nDirectory=/data\n");
}

TEST_F(SettingsDirTest, ValuesComeBackWholeThroughTheFile) {
  std::string longJapanese;
  for (int i = 0; i < 200; ++i) longJapanese += "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88";  // テスト
  const std::vector<std::string> values = {
      "",
      "=",
      "  both ends  ",
      "[x]",
      ";comment-like",
      "C:\\DATA",
      "/home/user/\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF",  // データ
      "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84",             // ﾃｽﾄ
      std::string(1000, 'a'),
      std::string(150, 'b'),  // once cut at 143 bytes
      longJapanese,
  };
  for (const std::string& value : values) {
    ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, value));
    ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(1), value));
    EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "dflt"), value);
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), "dflt"), value);
  }
  // Ten list keys, three words: all ten present afterwards.
  for (int slot = 1; slot <= kListSlots; ++slot) {
    ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(slot), slot <= 3 ? "W" + std::to_string(slot) : ""));
  }
  for (int slot = 1; slot <= kListSlots; ++slot) {
    EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(slot), "missing"),
              slot <= 3 ? "W" + std::to_string(slot) : "");
  }
}

TEST_F(SettingsDirTest, NamesIgnoreCaseAndForeignLinesSurvive) {
  const std::string before =
      "; kept comment\r\n"
      "stray line\r\n"
      "[windowsize]\r\n"
      "top=120\r\n"
      "  Extra = keep me  \r\n"
      "[Foreign]\r\n"
      "x=1\r\n";
  WriteRaw(before);
  EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyTop, ""), "120");
  ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyTop, "-45"));
  ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyLeft, "30"));
  EXPECT_EQ(ReadRaw(),
            "; kept comment\r\n"
            "stray line\r\n"
            "[windowsize]\r\n"
            "top=-45\r\n"
            "  Extra = keep me  \r\n"
            "Left=30\r\n"
            "[Foreign]\r\n"
            "x=1\r\n");
}

TEST_F(SettingsDirTest, WriteReplacesTheFileAtomically) {
  WriteRaw("[DefDir]\nDirectory=/old\n");
  ASSERT_EQ(::chmod(FilePath().c_str(), 0640), 0);
  const ino_t before = InodeOf(FilePath());
  ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
  EXPECT_NE(InodeOf(FilePath()), before) << "a new file was renamed over the old one";
  EXPECT_EQ(ModeOf(FilePath()), 0640u) << "mode of the existing file kept";
  EXPECT_EQ(DirEntries(configDir_), (std::set<std::string>{"Textroveini", "Textroveini.lock"}))
      << "no temporary file left";
  EXPECT_EQ(ReadRaw(), "[DefDir]\nDirectory=/new\n");
}

TEST_F(SettingsDirTest, NewFileModeFollowsTheUmask) {
  const mode_t old = ::umask(027);
  const bool ok = WriteProfile(kSectionDefDir, kKeyDirectory, "/x");
  ::umask(old);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ModeOf(FilePath()), 0640u);
}

TEST_F(SettingsDirTest, UnchangedValueLeavesTheFileAlone) {
  WriteRaw("[DefDir]\nDirectory=/same\n");
  const ino_t before = InodeOf(FilePath());
  ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/same"));
  EXPECT_EQ(InodeOf(FilePath()), before);
}

TEST_F(SettingsDirTest, KeysOfASecondCopyAreKept) {
  ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyTop, "1"));
  // Another running copy writes between our writes.
  WriteRaw(ReadRaw() + "[DefDir]\nDirectory=/other copy\n");
  ASSERT_TRUE(WriteProfile(kSectionWindowSize, kKeyLeft, "2"));
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), "/other copy");
  EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyTop, ""), "1");
  EXPECT_EQ(ReadProfile(kSectionWindowSize, kKeyLeft, ""), "2");
}

TEST_F(SettingsDirTest, LegacyCp932FileReadsAndIsRewrittenAsUtf8) {
  WriteRaw("[DefDir]\r\nDirectory=C:\\\x83\x65\x83\x58\x83\x67\\\x95\x5C\r\n"
           "[DefList]\r\nListName1=\xC3\xBD\xC4\r\n");
  const std::string dir = "C:\\\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88\\\xE8\xA1\xA8";  // C:\テスト\表
  const std::string word = "\xEF\xBE\x83\xEF\xBD\xBD\xEF\xBE\x84";                  // ﾃｽﾄ
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), dir);
  EXPECT_EQ(ReadProfile(kSectionDefList, ListNameKey(1), ""), word);

  ASSERT_TRUE(WriteProfile(kSectionDefList, ListNameKey(2), "ABC"));
  EXPECT_EQ(ReadRaw(), "[DefDir]\r\nDirectory=" + dir + "\r\n[DefList]\r\nListName1=" + word +
                           "\r\nListName2=ABC\r\n");
}

TEST_F(SettingsDirTest, LineBreakInValueIsRefusedAndChangesNothing) {
  WriteRaw("[DefDir]\nDirectory=/keep\n");
  const ino_t before = InodeOf(FilePath());
  EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/a\nb"));
  EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/a\r"));
  EXPECT_FALSE(WriteProfile(kSectionDefDir, "", "x"));
  EXPECT_EQ(ReadRaw(), "[DefDir]\nDirectory=/keep\n");
  EXPECT_EQ(InodeOf(FilePath()), before);
}

TEST_F(SettingsDirTest, ReadOnlyFolderFailsTheWriteAndKeepsTheFile) {
  const std::string content = "[DefDir]\nDirectory=/keep\n";
  WriteRaw(content);
  // An earlier run made the lock file; the folder itself is read-only.
  { std::ofstream(FilePath() + ".lock"); }
  ::chmod((FilePath() + ".lock").c_str(), 0666);
  ASSERT_EQ(::chmod(configDir_.c_str(), 0555), 0);

  // root ignores permissions: the attempt runs as an ordinary user then.
  const int status = InChild([&] {
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
    if (ReadProfile(kSectionDefDir, kKeyDirectory, "") != "/keep") return 11;
    return WriteProfile(kSectionDefDir, kKeyDirectory, "/new") ? 12 : 0;
  });
  EXPECT_EQ(status, 0) << "10 no user switch, 11 read failed, 12 write claimed success";
  EXPECT_EQ(ReadRaw(), content);
  EXPECT_EQ(DirEntries(configDir_), (std::set<std::string>{"Textroveini", "Textroveini.lock"}));
}

TEST_F(SettingsDirTest, FullDiskFailsTheWriteAndKeepsTheFile) {
  const std::string content = "[DefDir]\nDirectory=/keep\n";
  WriteRaw(content);
  // A file-size limit makes write() fail the way a full disk does.
  const int status = InChild([] {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{16, 16};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 10;
    return WriteProfile(kSectionDefDir, kKeyDirectory, std::string(500, 'z')) ? 12 : 0;
  });
  EXPECT_EQ(status, 0) << "10 no limit, 12 write claimed success";
  EXPECT_EQ(ReadRaw(), content);
  EXPECT_EQ(DirEntries(configDir_), (std::set<std::string>{"Textroveini", "Textroveini.lock"}))
      << "temporary file removed";
}

TEST_F(SettingsDirTest, UnusableLocationsFailQuietly) {
  // The configuration "directory" is a plain file.
  std::filesystem::create_directories(root_);
  { std::ofstream(root_ + "/plainfile") << "x"; }
  ::setenv("XDG_CONFIG_HOME", (root_ + "/plainfile").c_str(), 1);
  EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/x"));
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "dflt"), "dflt");

  // The settings file itself is a directory.
  ::setenv("XDG_CONFIG_HOME", configDir_.c_str(), 1);
  std::filesystem::create_directories(FilePath());
  EXPECT_FALSE(WriteProfile(kSectionDefDir, kKeyDirectory, "/x"));
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, "dflt"), "dflt");
  EXPECT_TRUE(std::filesystem::is_directory(FilePath()));

  // The settings file is a FIFO nobody writes to: no hang.
  std::filesystem::remove(FilePath());
  ASSERT_EQ(::mkfifo(FilePath().c_str(), 0644), 0);
  const int status = InChild([] {
    ::alarm(5);
    if (ReadProfile(kSectionDefDir, kKeyDirectory, "dflt") != "dflt") return 1;
    return WriteProfile(kSectionDefDir, kKeyDirectory, "/x") ? 2 : 0;
  });
  EXPECT_EQ(status, 0) << "-1 hung, 1 read gave no default, 2 write claimed success";
}

TEST_F(SettingsDirTest, LinkedSettingsFileStaysLinked) {
  std::filesystem::create_directories(configDir_);
  const std::string real = root_ + "/dotfiles-Textroveini";
  { std::ofstream(real) << "[DefDir]\nDirectory=/old\n"; }
  std::filesystem::create_symlink(real, FilePath());
  ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
  EXPECT_TRUE(std::filesystem::is_symlink(FilePath()));
  EXPECT_EQ(ReadProfile(kSectionDefDir, kKeyDirectory, ""), "/new");
  std::ifstream in(real, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[DefDir]\nDirectory=/new\n");
  EXPECT_FALSE(std::filesystem::exists(real + ".tmp"));
}

TEST_F(SettingsDirTest, LeftoverTemporaryFileIsCleared) {
  WriteRaw("[DefDir]\nDirectory=/old\n");
  { std::ofstream(FilePath() + ".tmp") << "half a file from a killed writer"; }
  ::chmod((FilePath() + ".tmp").c_str(), 0400);
  ASSERT_TRUE(WriteProfile(kSectionDefDir, kKeyDirectory, "/new"));
  EXPECT_EQ(DirEntries(configDir_), (std::set<std::string>{"Textroveini", "Textroveini.lock"}));
  EXPECT_EQ(ReadRaw(), "[DefDir]\nDirectory=/new\n");
}

}  // namespace
}  // namespace textrove::settings
