#include "TreeReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using textrove::bench::ReadTree;

namespace {

void Write(const fs::path& p, std::size_t bytes)
{
    fs::create_directories(p.parent_path());
    std::ofstream f(p, std::ios::binary);
    f << std::string(bytes, 'x');
}

class TreeReaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = (fs::temp_directory_path() / "tree_reader_XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        m_root = tmpl;
    }
    void TearDown() override { fs::remove_all(m_root); }

    fs::path m_root;
};

}  // namespace

TEST_F(TreeReaderTest, ReadsWhatASearchReadsAndSkipsTheRest)
{
    Write(m_root / "a.txt", 10);
    Write(m_root / "empty.txt", 0);
    Write(m_root / "sub" / "deep" / "b.txt", (2u << 20) + 3);  // many buffer fills
    Write(m_root / ".hidden", 5);                              // hidden file
    Write(m_root / ".hid" / "c.txt", 7);                       // inside a hidden directory
    Write(m_root / "sub" / ".d" / "e.txt", 11);
    fs::create_symlink(m_root / "a.txt", m_root / "link-to-file");   // read under its own name
    fs::create_directory_symlink(m_root / "sub", m_root / "link-to-dir");  // not entered
    fs::create_symlink(m_root / "missing", m_root / "broken");
    ASSERT_EQ(mkfifo((m_root / "fifo").c_str(), 0600), 0);  // would block a reader

    std::vector<char> buffer(4096);
    const auto stats = ReadTree(m_root.string(), buffer);
    EXPECT_EQ(stats.files, 4u);
    EXPECT_EQ(stats.bytes, 10u + 0u + (2u << 20) + 3u + 10u);
    EXPECT_EQ(stats.dirs, 2u);  // sub, sub/deep
    EXPECT_EQ(stats.unreadable, 0u);
    EXPECT_EQ(buffer.size(), 4096u);
}

TEST_F(TreeReaderTest, RefusesMissingRootAndEmptyBuffer)
{
    std::vector<char> buffer(16);
    EXPECT_THROW(ReadTree((m_root / "nope").string(), buffer), std::runtime_error);
    std::vector<char> none;
    EXPECT_THROW(ReadTree(m_root.string(), none), std::invalid_argument);
}
