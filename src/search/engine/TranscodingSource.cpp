#include "search/engine/TranscodingSource.h"

#include <algorithm>
#include <cstring>

#include "search/engine/FileSource.h"

namespace textrove::search {

namespace {

bool HasLineBreak(const unsigned char* p, std::size_t n)
{
    return std::memchr(p, '\n', n) || std::memchr(p, '\r', n);
}

}  // namespace

void TranscodingSource::Reset(ByteSource& inner, text::Encoding encoding)
{
    m_inner = &inner;
    m_decoder = text::StreamDecoder(encoding);
    m_heldLength = 0;
    m_rawTaken = 0;
    m_outGiven = 0;
    m_ended = false;
    m_checkpoints.clear();
    m_cursorValid = false;
}

bool TranscodingSource::Next(Piece& piece)
{
    while (!m_ended) {
        Piece in;
        if (!m_inner->Next(in)) {
            m_ended = true;
            return false;
        }
        // The bytes held back from the previous piece go in front.
        const unsigned char* data = in.data;
        std::size_t size = in.size;
        if (m_heldLength > 0) {
            if (in.headroom >= m_heldLength) {
                std::memcpy(in.data - m_heldLength, m_held, m_heldLength);
                data = in.data - m_heldLength;
            } else {
                m_join.assign(m_held, m_held + m_heldLength);
                m_join.insert(m_join.end(), in.data, in.data + in.size);
                data = m_join.data();
            }
            size += m_heldLength;
        }
        Checkpoint at{m_rawTaken - m_heldLength, m_outGiven, m_decoder.state(), false};
        const std::size_t need = kHeadroom + size * text::StreamDecoder::kMaxGrowth + 16;
        if (m_out.size() < need) m_out.resize(need);
        std::size_t written = 0;
        const std::size_t used = m_decoder.Decode(data, size, in.last, m_out.data() + kHeadroom, written);
        m_heldLength = size - used;
        std::memcpy(m_held, data + used, m_heldLength);
        m_rawTaken += in.size;
        m_ended = in.last;
        if (written == 0 && !in.last) continue;

        at.lineBreak = HasLineBreak(m_out.data() + kHeadroom, written);
        if (at.lineBreak) {
            // The scanner reads again only a line that ends in this piece,
            // or at a CR that ended the previous one (it waits for a possible
            // LF): such a line starts after a break in one of the two
            // pieces with breaks before this one, or later.
            int breaks = 0;
            auto keep = std::find_if(m_checkpoints.rbegin(), m_checkpoints.rend(),
                                     [&breaks](const Checkpoint& c) { return c.lineBreak && ++breaks == 2; });
            if (keep != m_checkpoints.rend()) m_checkpoints.erase(m_checkpoints.begin(), std::prev(keep.base()));
        }
        m_checkpoints.push_back(at);
        m_outGiven += written;
        piece = {m_out.data() + kHeadroom, written, kHeadroom, in.last};
        return true;
    }
    return false;
}

bool TranscodingSource::ReadAt(std::uint64_t offset, unsigned char* buffer, std::size_t n)
{
    if (n == 0) return true;
    if (offset + n > m_outGiven) return false;
    auto cp = std::find_if(m_checkpoints.rbegin(), m_checkpoints.rend(),
                           [offset](const Checkpoint& c) { return c.out <= offset; });
    if (cp == m_checkpoints.rend()) return false;
    Checkpoint from = *cp;
    if (m_cursorValid && m_cursor.out <= offset && m_cursor.out >= from.out) from = m_cursor;

    text::StreamDecoder decoder(m_decoder.encoding());
    decoder.SetState(from.state);
    m_rereadRaw.resize(kRereadStep);
    m_rereadOut.resize(kRereadStep * text::StreamDecoder::kMaxGrowth + 16);
    std::size_t copied = 0;
    Checkpoint step = from;
    while (copied < n) {
        step = from;
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kRereadStep, m_rawTaken - from.raw));
        if (want > 0 && !m_inner->ReadAt(from.raw, m_rereadRaw.data(), want)) return false;
        const bool final = m_ended && from.raw + want == m_rawTaken;
        std::size_t written = 0;
        const std::size_t used = decoder.Decode(m_rereadRaw.data(), want, final, m_rereadOut.data(), written);
        if (used == 0 && written == 0) return false;  // nothing more to decode
        // The decoded stretch is [from.out, from.out + written).
        const std::uint64_t lo = std::max<std::uint64_t>(from.out, offset + copied);
        const std::uint64_t hi = std::min<std::uint64_t>(from.out + written, offset + n);
        if (lo < hi) {
            std::memcpy(buffer + (lo - offset), m_rereadOut.data() + (lo - from.out),
                        static_cast<std::size_t>(hi - lo));
            copied = static_cast<std::size_t>(hi - offset);
        }
        from.raw += used;
        from.out += written;
        from.state = decoder.state();
    }
    // The next read of the line starts where this one ended, inside the last
    // step: it is decoded again from that step's start.
    m_cursor = step;
    m_cursorValid = true;
    return true;
}

}  // namespace textrove::search
