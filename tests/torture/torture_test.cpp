// A hostile tree: special files, link loops, a link into /proc and onto a
// device, names that are not UTF-8 or hold a newline, 20,000 files in one
// directory, a 200 MB file without a line end, and files that vanish or shrink
// while the search runs. The search must end, report exactly the regular
// files, and keep its memory bounded.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "search/engine/ResultSink.h"
#include "search/engine/SearchEngine.h"

namespace fs = std::filesystem;
using textrove::search::kBannerHead;
using textrove::search::kBannerTail;

namespace {

constexpr const char* kFffd = "\xEF\xBF\xBD";

class TempTree {
public:
    TempTree()
    {
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/textrove-torture.XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
        m_root = buf.data();
    }
    ~TempTree()
    {
        std::error_code ec;
        fs::remove_all(m_root, ec);  // does not follow links, so the loops are harmless
    }
    const std::string& Root() const { return m_root; }

private:
    std::string m_root;
};

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void Symlink(const std::string& target, const std::string& link)
{
    if (symlink(target.c_str(), link.c_str()) != 0) throw std::runtime_error("symlink failed: " + link);
}

// A bound AF_UNIX socket; the socket file stays while the object lives.
class BoundSocket {
public:
    explicit BoundSocket(const std::string& path)
    {
        m_fd = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (m_fd < 0 || path.size() >= sizeof(addr.sun_path)) throw std::runtime_error("socket setup failed");
        std::memcpy(addr.sun_path, path.c_str(), path.size() + 1);
        if (bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(m_fd, 1) != 0)
            throw std::runtime_error("bind failed: " + path);
    }
    ~BoundSocket() { close(m_fd); }

private:
    int m_fd = -1;
};

struct ChildRun {
    bool timedOut = false;
    int status = -1;    // wait status
    std::string out;    // standard output
    long maxRssKb = 0;  // peak resident set of the child
    double seconds = 0;
};

// Runs argv with stdout into a file; kills it after timeoutSec.
ChildRun RunChild(const std::vector<std::string>& argv, const std::string& outPath, int timeoutSec)
{
    ChildRun run;
    auto start = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0) _exit(126);
        dup2(fd, 1);
        close(fd);
        std::vector<char*> args;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    if (pid < 0) throw std::runtime_error("fork failed");
    rusage usage{};
    for (;;) {
        pid_t got = wait4(pid, &run.status, WNOHANG, &usage);
        if (got == pid) break;
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(timeoutSec)) {
            run.timedOut = true;
            kill(pid, SIGKILL);
            wait4(pid, &run.status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssKb = usage.ru_maxrss;
    std::ifstream in(outPath, std::ios::binary);
    run.out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return run;
}

// The result text split into the header and per-file blocks (banner path ->
// hit records). Fails the test on a malformed text or a repeated banner.
struct ParsedResult {
    std::string header;
    std::map<std::string, std::vector<std::string>> files;
    std::vector<std::string> order;  // banner paths in result order
};

ParsedResult Parse(const std::string& text)
{
    std::vector<std::string> records;
    size_t pos = 0;
    for (;;) {
        size_t next = text.find("\r\n", pos);
        records.push_back(text.substr(pos, next == std::string::npos ? std::string::npos : next - pos));
        if (next == std::string::npos) break;
        pos = next + 2;
    }
    ParsedResult parsed;
    EXPECT_GE(records.size(), 2u) << "result text too short";
    if (records.size() < 2) return parsed;
    EXPECT_EQ(records[0], "") << "the text must begin with CR LF";
    parsed.header = records[1];
    const std::string head = kBannerHead, tail = kBannerTail;
    for (size_t i = 2; i < records.size();) {
        EXPECT_EQ(records[i], "") << "file block must open with an empty record, at record " << i;
        ++i;
        if (i >= records.size()) {
            ADD_FAILURE() << "empty record without a banner at the end";
            break;
        }
        const std::string& banner = records[i];
        bool isBanner = banner.size() >= head.size() + tail.size() && banner.compare(0, head.size(), head) == 0
            && banner.compare(banner.size() - tail.size(), tail.size(), tail) == 0;
        EXPECT_TRUE(isBanner) << "not a banner: " << banner;
        std::string path = isBanner ? banner.substr(head.size(), banner.size() - head.size() - tail.size()) : banner;
        EXPECT_EQ(parsed.files.count(path), 0u) << "banner repeated: " << path;
        parsed.order.push_back(path);
        auto& hits = parsed.files[path];
        for (++i; i < records.size() && !records[i].empty(); ++i) hits.push_back(records[i]);
    }
    return parsed;
}

std::string FormatMap(const std::map<std::string, std::vector<std::string>>& files)
{
    std::string s;
    for (const auto& [path, hits] : files) {
        s += "  [" + path + "]\n";
        for (const auto& h : hits) s += "      " + h + "\n";
    }
    return s;
}

long PeakOfEmptySearch(const std::string& exe)
{
    TempTree empty;
    const std::string outPath = empty.Root() + ".out";
    ChildRun run = RunChild({exe, empty.Root(), "needle"}, outPath, 30);
    std::remove(outPath.c_str());
    return run.maxRssKb;
}

}  // namespace

void ExpectCleanExit(const ChildRun& run)
{
    ASSERT_FALSE(run.timedOut) << "the search did not end within its time";
    ASSERT_TRUE(WIFEXITED(run.status)) << "terminated by signal "
                                       << (WIFSIGNALED(run.status) ? WTERMSIG(run.status) : 0);
    EXPECT_EQ(WEXITSTATUS(run.status), 0);
}

// Memory a search may take beyond that of a search of an empty directory.
constexpr long kMemoryAllowanceKb = 64L * 1024;

TEST(TortureTree, CommandLineSearchEndsAndReportsOnlyRegularFiles)
{
    TempTree tree;
    const std::string t = tree.Root();
    std::map<std::string, std::vector<std::string>> expected;

    // Regular files that must be found.
    WriteFile(t + "/plain.txt", "nothing here\nfind the NEEDLE here\n");
    expected[t + "/plain.txt"] = {"NEEDLE :find the NEEDLE here"};
    // CP932 bytes: 日本 needle, CR LF.
    WriteFile(t + "/sjis.txt", "\x93\xfa\x96\x7b needle\r\n");
    expected[t + "/sjis.txt"] = {"NEEDLE :\xe6\x97\xa5\xe6\x9c\xac needle"};
    // A link to a regular file is scanned under its own name.
    Symlink("plain.txt", t + "/filelink");
    expected[t + "/filelink"] = {"NEEDLE :find the NEEDLE here"};
    // Names that are not UTF-8 are opened by their bytes and shown with U+FFFD.
    WriteFile(t + "/bad\xff\xfename.txt", "needle bad\n");
    expected[t + "/bad" + kFffd + kFffd + "name.txt"] = {"NEEDLE :needle bad"};
    fs::create_directory(t + "/d\xff");
    WriteFile(t + "/d\xff/inner.txt", "needle inner\n");
    expected[t + "/d" + kFffd + "/inner.txt"] = {"NEEDLE :needle inner"};
    // A newline inside a name: the file is found; the banner, one line like
    // every record, shows the newline as U+FFFD.
    WriteFile(t + "/new\nline.txt", "needle nl\n");
    expected[t + "/new" + kFffd + "line.txt"] = {"NEEDLE :needle nl"};
    fs::create_directory(t + "/sub");
    WriteFile(t + "/sub/deep.txt", "needle deep\n");
    expected[t + "/sub/deep.txt"] = {"NEEDLE :needle deep"};

    // 20,000 files in one directory; every 2000th holds the word.
    fs::create_directory(t + "/many");
    for (int k = 0; k < 20000; ++k) {
        char name[32];
        std::snprintf(name, sizeof name, "/many/f%05d", k);
        if (k % 2000 == 0) {
            WriteFile(t + name, "needle " + std::to_string(k) + "\n");
            expected[t + name] = {"NEEDLE :needle " + std::to_string(k)};
        } else {
            WriteFile(t + name, "plain\n");
        }
    }

    // Everything below must be neither scanned nor entered.
    WriteFile(t + "/.hidden.txt", "needle hidden\n");
    fs::create_directory(t + "/.hiddendir");
    WriteFile(t + "/.hiddendir/x.txt", "needle in hidden dir\n");
    ASSERT_EQ(mkfifo((t + "/fifo").c_str(), 0600), 0);  // opening it would block for ever
    BoundSocket sock(t + "/sock");
    Symlink(".", t + "/loop");
    Symlink("..", t + "/sub/up");
    Symlink("/proc", t + "/proc");
    Symlink("/dev/zero", t + "/zero");  // endless bytes, no line end
    Symlink("does-not-exist", t + "/broken");
    Symlink(t + "/sub", t + "/dirlink");

    const std::string outPath = t + ".out";
    ChildRun run = RunChild({TEXTROVE_SEARCH_EXE, t, "needle"}, outPath, 40);
    std::remove(outPath.c_str());
    ExpectCleanExit(run);

    ParsedResult parsed = Parse(run.out);
    EXPECT_EQ(parsed.header, "検索文字は、  NEEDLE");
    EXPECT_EQ(parsed.files, expected) << "got:\n" << FormatMap(parsed.files) << "expected:\n" << FormatMap(expected);

    // The target's own files come before any subdirectory's.
    bool inSubdirs = false;
    for (const auto& p : parsed.order) {
        bool direct = p.find('/', t.size() + 1) == std::string::npos;
        EXPECT_FALSE(inSubdirs && direct) << p << " reported after a subdirectory's file";
        inSubdirs = inSubdirs || !direct;
    }

    long baseKb = PeakOfEmptySearch(TEXTROVE_SEARCH_EXE);
    std::printf("[ figures  ] tree search %.2f s, peak RSS %ld KiB (empty search %ld KiB)\n", run.seconds, run.maxRssKb,
                baseKb);
    EXPECT_LT(run.maxRssKb - baseKb, kMemoryAllowanceKb) << "memory grew with the tree";
}

TEST(TortureTree, LineOf200MegabytesKeepsMemoryBounded)
{
    TempTree tree;
    const std::string t = tree.Root();
    WriteFile(t + "/small.txt", "needle small\n");
    {
        std::string chunk(1 << 20, 'a');
        std::ofstream huge(t + "/huge.txt", std::ios::binary);
        for (int i = 0; i < 200; ++i) huge.write(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        ASSERT_TRUE(huge.good());
    }

    const std::string outPath = t + ".out";
    ChildRun run = RunChild({TEXTROVE_SEARCH_EXE, t, "needle"}, outPath, 40);
    std::remove(outPath.c_str());
    fs::remove(t + "/huge.txt");
    ExpectCleanExit(run);

    ParsedResult parsed = Parse(run.out);
    std::map<std::string, std::vector<std::string>> expected = {{t + "/small.txt", {"NEEDLE :needle small"}}};
    EXPECT_EQ(parsed.files, expected) << "got:\n" << FormatMap(parsed.files);

    long baseKb = PeakOfEmptySearch(TEXTROVE_SEARCH_EXE);
    std::printf("[ figures  ] 200 MB line: search %.2f s, peak RSS %ld KiB (empty search %ld KiB)\n", run.seconds,
                run.maxRssKb, baseKb);
    EXPECT_LT(run.maxRssKb - baseKb, kMemoryAllowanceKb) << "memory grew with the 200 MB line";
}

namespace {

// Collects records and, at given banners, changes the tree under the search.
class MutatingSink : public textrove::search::ResultSink {
public:
    std::string text;
    std::vector<std::string> failures;
    std::function<void(const std::string& bannerPath)> onBanner;

    bool Append(std::string_view record, std::string&) override
    {
        text += "\r\n";
        text += record;
        const std::string head = kBannerHead, tail = kBannerTail;
        if (record.size() > head.size() + tail.size() && record.substr(0, head.size()) == head && onBanner)
            onBanner(std::string(record.substr(head.size(), record.size() - head.size() - tail.size())));
        return true;
    }
    void ReportFailure(const std::string& description) override { failures.push_back(description); }
};

}  // namespace

TEST(TortureTree, FilesRemovedOrTruncatedWhileTheSearchRuns)
{
    TempTree tree;
    const std::string t = tree.Root();

    // The target's own file is scanned first. When it reports, the files of
    // a/zz are deleted or truncated and a/zz/sub is removed. The walk reads
    // ahead by a bounded number of files, so 300 files of a/ stand between.
    WriteFile(t + "/trigger.txt", "needle trigger\n");
    fs::create_directories(t + "/a/zz/sub");
    for (int k = 0; k < 300; ++k) WriteFile(t + "/a/p" + std::to_string(k), "nothing here\n");
    for (int k = 0; k < 8; ++k) WriteFile(t + "/a/zz/m" + std::to_string(k), "needle in m" + std::to_string(k) + "\n");
    WriteFile(t + "/a/zz/sub/gone.txt", "needle gone\n");

    // b/big.txt: the word on its first and its last line, 16 MB apart. It is
    // truncated to nothing while it is being scanned.
    fs::create_directory(t + "/b");
    {
        std::ofstream big(t + "/b/big.txt", std::ios::binary);
        big << "needle first\n";
        std::string filler;
        for (int i = 0; i < 4096; ++i) filler += "filler line without the word, just text to read\n";
        while (big.tellp() < 16 * 1024 * 1024) big << filler;
        big << "needle last\n";
        ASSERT_TRUE(big.good());
    }

    MutatingSink sink;
    int changed = 0;
    bool truncatedBig = false;
    sink.onBanner = [&](const std::string& path) {
        if (path == t + "/trigger.txt") {
            for (int k = 0; k < 8; ++k) {
                const std::string file = t + "/a/zz/m" + std::to_string(k);
                if (k % 2 == 0)
                    fs::remove(file);
                else
                    fs::resize_file(file, 0);
                ++changed;
            }
            fs::remove_all(t + "/a/zz/sub");
        }
        if (path == t + "/b/big.txt") {
            fs::resize_file(path, 0);
            truncatedBig = true;
        }
    };

    textrove::search::CancelFlag cancel{0};
    textrove::search::SearchEngine engine(sink, cancel);
    engine.SearchCharacter({t, {"NEEDLE"}});

    EXPECT_EQ(changed, 8);
    EXPECT_TRUE(truncatedBig);
    EXPECT_TRUE(sink.failures.empty());

    ParsedResult parsed = Parse(sink.text);
    std::map<std::string, std::vector<std::string>> expected = {
        {t + "/trigger.txt", {"NEEDLE :needle trigger"}},
        {t + "/b/big.txt", {"NEEDLE :needle first"}},
    };
    EXPECT_EQ(parsed.files, expected) << "got:\n" << FormatMap(parsed.files) << "expected:\n" << FormatMap(expected);
    EXPECT_EQ(sink.text.find("中断"), std::string::npos) << "no cancellation was asked for";
}
