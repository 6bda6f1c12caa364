#include "text/Cp932Table.h"

#include "text/TextCodec.h"

namespace textrove::text {

const Cp932Table& Cp932Table::Get()
{
    static const Cp932Table table;
    return table;
}

Cp932Table::Cp932Table() : m_pair(65536)
{
    auto entry = [](char32_t c) { return c == kInvalid ? kInvalidEntry : static_cast<std::uint32_t>(c); };
    std::u32string out;
    for (int b = 0; b < 256; ++b) {
        out.clear();
        text::DecodeAppend(std::string(1, static_cast<char>(b)), Encoding::Cp932, out);
        m_last[static_cast<std::size_t>(b)] = out.size() == 1 ? entry(out[0]) : kInvalidEntry;
        if (out.size() == 1 && out[0] != kInvalid) m_encodings[out[0]].push_back(std::string(1, static_cast<char>(b)));
    }
    // A byte below 0x80 is always one character; decoding never looks its
    // pair up.
    for (int first = 0x80; first < 256; ++first) {
        for (int second = 0; second < 256; ++second) {
            const std::string bytes{static_cast<char>(first), static_cast<char>(second)};
            out.clear();
            text::DecodeAppend(bytes, Encoding::Cp932, out);
            std::uint32_t& e = m_pair[static_cast<std::size_t>(first << 8 | second)];
            if (out.size() == 1) {
                e = kTwoBytes | entry(out[0]);
                if (out[0] != kInvalid) m_encodings[out[0]].push_back(bytes);
            } else {
                e = out.empty() ? kInvalidEntry : entry(out[0]);
            }
        }
    }
}

void Cp932Table::DecodeAppend(const unsigned char* p, std::size_t n, std::u32string& out) const
{
    std::size_t i = 0;
    while (i < n) {
        std::uint32_t e;
        if (p[i] < 0x80) {
            out.push_back(p[i]);  // never a lead byte: stands for itself
            ++i;
            continue;
        }
        if (i + 1 < n) {
            e = m_pair[static_cast<std::size_t>(p[i]) << 8 | p[i + 1]];
            i += (e & kTwoBytes) ? 2 : 1;
        } else {
            e = m_last[p[i]];
            ++i;
        }
        const std::uint32_t c = e & ~kTwoBytes;
        out.push_back(c == kInvalidEntry ? kInvalid : static_cast<char32_t>(c));
    }
}

const std::vector<std::string>* Cp932Table::EncodingsOf(char32_t c) const
{
    auto it = m_encodings.find(c);
    return it == m_encodings.end() ? nullptr : &it->second;
}

}  // namespace textrove::text
