// A file's bytes as the scanner takes them. A leaf: it includes no other
// engine header, so every source can be built without the scanner.
#pragma once

#include <cstddef>
#include <cstdint>

namespace textrove::search {

// Bytes read per system call.
inline constexpr std::size_t kReadBlockSize = std::size_t{1} << 20;

// A file's bytes in order, as the scanner receives them.
class ByteSource {
public:
    struct Piece {
        unsigned char* data = nullptr;
        std::size_t size = 0;
        // The scanner may write to [data - headroom, data) until the next call.
        std::size_t headroom = 0;
        bool last = false;  // the end of the file follows this piece
    };

    virtual ~ByteSource() = default;
    // The next piece, valid until the next call; false when no piece comes:
    // after the last one, or when reading failed or was stopped (the line
    // in progress is then dropped).
    virtual bool Next(Piece& piece) = 0;
    // Reads exactly `n` bytes at `offset` again, for a line too long to
    // hold; false when they cannot be read.
    virtual bool ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n) = 0;
};

}  // namespace textrove::search
