// A file in one of the encodings read through UTF-8 (UTF-16, ISO-2022-JP,
// EUC-JP), handed to the scanner as UTF-8: each piece of the file is decoded
// as it comes, invalid sequences as text::kInvalidByte. Offsets are those of
// the UTF-8 text. ReadAt decodes the file again from a checkpoint (the
// decoder's state at the start of a piece); checkpoints are kept only back to
// the second-last piece before the current one that holds a line break, which
// is as far back as the scanner reads a line again, so memory stays bounded
// by the longest line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "search/engine/ByteSource.h"
#include "text/StreamDecoder.h"

namespace textrove::search {

class TranscodingSource : public ByteSource {
public:
    // Starts on a file: `inner` gives its bytes from the first one.
    void Reset(ByteSource& inner, text::Encoding encoding);
    bool Next(Piece& piece) override;
    bool ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n) override;

    // File bytes decoded per step when reading again.
    static constexpr std::size_t kRereadStep = 64 * 1024;

private:
    struct Checkpoint {
        std::uint64_t raw = 0;  // file offset of the first byte not yet decoded
        std::uint64_t out = 0;  // UTF-8 offset of what it decodes to
        text::StreamDecoder::State state;
        bool lineBreak = false;  // the piece decoded from here holds CR or LF
    };

    ByteSource* m_inner = nullptr;
    text::StreamDecoder m_decoder{text::Encoding::EucJp};
    std::vector<unsigned char> m_out;   // room in front, then the decoded piece
    std::vector<unsigned char> m_join;  // held bytes and a piece without room in front
    unsigned char m_held[text::StreamDecoder::kMaxHeld] = {};
    std::size_t m_heldLength = 0;
    std::uint64_t m_rawTaken = 0;  // file bytes received from `inner`
    std::uint64_t m_outGiven = 0;  // UTF-8 bytes handed out
    bool m_ended = false;
    std::deque<Checkpoint> m_checkpoints;

    // Where the last ReadAt stopped: reading a line again in order decodes
    // it once.
    Checkpoint m_cursor;
    bool m_cursorValid = false;
    std::vector<unsigned char> m_rereadRaw;
    std::vector<unsigned char> m_rereadOut;
};

}  // namespace textrove::search
