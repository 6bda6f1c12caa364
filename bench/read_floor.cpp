// read_floor DIRECTORY: reads every searchable file of the tree once, through
// one 1 MiB buffer, and prints what it read. The benchmark's lower bound.
#include <cstdio>
#include <exception>

#include "TreeReader.h"

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: read_floor DIRECTORY\n");
        return 2;
    }
    try {
        std::vector<char> buffer(1u << 20);
        const auto s = textrove::bench::ReadTree(argv[1], buffer);
        std::printf("files=%llu bytes=%llu dirs=%llu unreadable=%llu\n", static_cast<unsigned long long>(s.files),
                    static_cast<unsigned long long>(s.bytes), static_cast<unsigned long long>(s.dirs),
                    static_cast<unsigned long long>(s.unreadable));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "read_floor: %s\n", e.what());
        return 1;
    }
}
