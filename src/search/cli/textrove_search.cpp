// textrove-search DIRECTORY [WORD]...: one search without windows. Writes the
// result text that the search would append to an empty result pane (each
// record as CR LF and the record, UTF-8) to standard output.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "search/engine/SearchEngine.h"

namespace {

constexpr const char* kUsage =
    "usage: textrove-search DIRECTORY [WORD]...\n"
    "Searches the files under DIRECTORY for up to 10 words (each upper-cased and\n"
    "cut to its first 10 characters) and writes the result text to standard output.\n";

class StdoutSink : public textrove::search::ResultSink {
public:
    bool Append(std::string_view record, std::string& error) override
    {
        if (std::fwrite("\r\n", 1, 2, stdout) != 2 ||
            (!record.empty() && std::fwrite(record.data(), 1, record.size(), stdout) != record.size())) {
            error = "standard output cannot be written";
            return false;
        }
        return true;
    }

    void ReportFailure(const std::string& description) override
    {
        std::fprintf(stderr, "textrove-search: %s\n", description.c_str());
        failed = true;
    }

    bool failed = false;
};

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(kUsage, stdout);
        return 0;
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

    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);

    StdoutSink sink;
    textrove::search::CancelFlag cancel{0};  // no one cancels
    textrove::search::SearchEngine engine(sink, cancel);
    engine.SearchCharacter(request);
    if (std::fflush(stdout) != 0 || sink.failed) return 1;
    return 0;
}
