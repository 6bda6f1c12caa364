// textrove-search DIRECTORY [WORD]...: one search without windows. Writes the
// result text that the search would append to an empty result pane (each
// record as CR LF and the record, UTF-8) to standard output.
#include <dirent.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "search/engine/SearchEngine.h"

namespace {

constexpr const char* kUsage = "usage: textrove-search DIRECTORY [WORD]...\n"
                               "Searches the files under DIRECTORY for up to 10 words (each upper-cased and\n"
                               "cut to its first 10 characters) and writes the result text to standard output.\n";

// A record too long to hold arrives in parts and is written as they come,
// so memory stays bounded whatever a line holds.
class StdoutSink : public textrove::search::ResultSink {
public:
    bool Append(std::string_view record, std::string& error) override { return AppendPart(record, true, true, error); }

    bool AppendPart(std::string_view part, bool first, bool last, std::string& error) override
    {
        (void)last;
        if ((first && std::fwrite("\r\n", 1, 2, stdout) != 2)
            || (!part.empty() && std::fwrite(part.data(), 1, part.size(), stdout) != part.size())) {
            error = WriteError(errno);
            return false;
        }
        return true;
    }

    // One line however many appends fail: after the first, the search only
    // adds its abort record, which fails too.
    void ReportFailure(const std::string& description) override
    {
        if (!failed) std::fprintf(stderr, "textrove-search: %s\n", description.c_str());
        failed = true;
    }

    static std::string WriteError(int error)
    {
        return std::string("standard output: ") + std::strerror(error != 0 ? error : EIO);
    }

    bool failed = false;
};

// Why the search cannot list `target` (an errno value), or 0. The search
// itself passes such a target over in silence, as a window search does.
int TargetError(const std::string& target)
{
    errno = 0;
    DIR* dir = ::opendir(target.empty() ? "/" : target.c_str());
    if (!dir) return errno ? errno : EIO;
    errno = 0;
    const bool read = ::readdir(dir) != nullptr || errno == 0;
    const int error = errno;
    ::closedir(dir);
    return read ? 0 : error;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        if (std::fputs(kUsage, stdout) >= 0 && std::fflush(stdout) == 0) return 0;
        std::fprintf(stderr, "textrove-search: %s\n", StdoutSink::WriteError(errno).c_str());
        return 1;
    }
    if (argc < 2 || argc - 2 > textrove::search::kMaxWords) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    textrove::search::SearchRequest request;
    request.targetDirectory = argv[1];
    for (int i = 2; i < argc; ++i) {
        if (argv[i][0] == '\0') {
            std::fputs("textrove-search: a search word must not be empty\n", stderr);
            std::fputs(kUsage, stderr);
            return 2;
        }
        request.words.push_back(textrove::search::WordAsAdded(argv[i]));
    }

    // A closed pipe is a write error (EPIPE) like any other, not a silent death.
    std::signal(SIGPIPE, SIG_IGN);
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    const int targetError = TargetError(request.targetDirectory);
    StdoutSink sink;
    textrove::search::CancelFlag cancel{0};  // no one cancels
    textrove::search::SearchEngine engine(sink, cancel);
    engine.SearchCharacter(request);
    // Small outputs meet their write error only here, at the flush or the close.
    if (std::fflush(stdout) != 0 || std::fclose(stdout) != 0) sink.ReportFailure(StdoutSink::WriteError(errno));
    if (sink.failed) return 1;
    if (targetError != 0) {
        std::fprintf(stderr, "textrove-search: %s: %s\n", request.targetDirectory.c_str(), std::strerror(targetError));
        return 2;
    }
    return 0;
}
