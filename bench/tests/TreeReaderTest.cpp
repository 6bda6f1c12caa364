#include "TreeReader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using textrove::bench::ReadTree;

TEST(TreeReaderTest, ReadsWhatASearchReadsAndSkipsTheRest)
{
    std::string tmpl = fs::temp_directory_path() / "tree_reader_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    const fs::path root = tmpl;
    const auto write = [&](const fs::path& rel, std::size_t bytes) {
        fs::create_directories((root / rel).parent_path());
        std::ofstream(root / rel, std::ios::binary) << std::string(bytes, 'x');
    };
    write("a.txt", 10);
    write("empty.txt", 0);
    write("sub/deep/b.txt", (2u << 20) + 3);  // many buffer fills
    write(".hidden", 5);
    write(".hid/c.txt", 7);
    write("sub/.d/e.txt", 11);
    fs::create_symlink(root / "a.txt", root / "link-to-file");         // read under its own name
    fs::create_directory_symlink(root / "sub", root / "link-to-dir");  // not entered
    fs::create_symlink(root / "missing", root / "broken");
    ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);  // would block a reader

    std::vector<char> buffer(4096), none;
    const auto stats = ReadTree(root.string(), buffer);
    EXPECT_EQ(stats.files, 4u);
    EXPECT_EQ(stats.bytes, 10u + 0u + (2u << 20) + 3u + 10u);
    EXPECT_EQ(stats.dirs, 2u);  // sub, sub/deep
    EXPECT_EQ(stats.unreadable, 0u);
    EXPECT_EQ(buffer.size(), 4096u);
    EXPECT_THROW(ReadTree((root / "nope").string(), buffer), std::runtime_error);
    EXPECT_THROW(ReadTree(root.string(), none), std::invalid_argument);
    fs::remove_all(root);
}
