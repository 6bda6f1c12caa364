// Decoding of the encodings that are searched through UTF-8: UTF-16LE/BE,
// ISO-2022-JP and EUC-JP. A file is decoded piece by piece in order, and the
// output is the same however the file is cut into pieces. An invalid
// sequence becomes kInvalidByte, a byte that valid UTF-8 never holds, so a
// word (valid UTF-8) never matches across or into it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/Characters.h"
#include "text/Encoding.h"

namespace textrove::text {

class StreamDecoder {
public:
    // What carries from one piece to the next besides the bytes held back:
    // whether the start of the file (and its byte-order mark) is behind, and
    // the ISO-2022-JP set designated to G0, which lasts across line ends.
    struct State {
        bool started = false;
        std::uint8_t designation = 0;
        bool operator==(const State&) const = default;
    };

    // Output bytes per input byte at most (an ISO-2022-JP half-width
    // katakana byte becomes three).
    static constexpr std::size_t kMaxGrowth = 3;
    // Input bytes an unfinished sequence holds back at most.
    static constexpr std::size_t kMaxHeld = 4;

    // `encoding` is one for which ReadThroughUtf8 holds.
    explicit StreamDecoder(Encoding encoding);

    Encoding encoding() const { return m_encoding; }
    State state() const { return m_state; }
    void SetState(State state) { m_state = state; }

    // Decodes in[0, n) to UTF-8 at `out`, which has room for kMaxGrowth * n
    // bytes; sets `written`. Returns the bytes consumed: a sequence cut off
    // at the end (at most kMaxHeld bytes) is left, to be passed again in
    // front of the next piece; when `final` it is an invalid sequence.
    // At the start a byte-order mark (FF FE / FE FF for UTF-16, EF BB BF
    // otherwise) is dropped.
    std::size_t Decode(const unsigned char* in, std::size_t n, bool final, unsigned char* out, std::size_t& written);

private:
    std::size_t Utf16(const unsigned char* in, std::size_t n, bool final, unsigned char*& out) const;
    std::size_t EucJp(const unsigned char* in, std::size_t n, bool final, unsigned char*& out) const;
    std::size_t Iso2022Jp(const unsigned char* in, std::size_t n, bool final, unsigned char*& out);

    Encoding m_encoding;
    State m_state;
};

}  // namespace textrove::text
