// The encoding rule of searched files (see DetectEncoding), fed a file's
// bytes in order, in pieces of any size. The same bytes give the same
// encoding however they are cut.
#pragma once

#include <cstddef>
#include <cstdint>

#include "text/TextCodec.h"

namespace textrove::text {

class EncodingDetector {
public:
    // False once the encoding is settled whatever may follow.
    bool Feed(const unsigned char* p, std::size_t n);
    bool Open() const { return !m_utf16 && (m_utf8Valid || m_eucFormed); }
    // The encoding: at the end of the file, or once it is settled.
    Encoding Finish();

private:
    void EndHead();
    void FeedRest(const unsigned char* p, std::size_t n);
    void FeedUtf8(const unsigned char* p, std::size_t n);
    void FeedEuc(const unsigned char* p, std::size_t n);
    void FeedEscapes(const unsigned char* p, std::size_t n);

    // The first bytes, until the byte-order marks are told apart.
    unsigned char m_head[3] = {};
    std::size_t m_headLength = 0;
    bool m_headDone = false;
    bool m_utf8Bom = false;
    bool m_utf16 = false;
    Encoding m_utf16Encoding = Encoding::Utf16Le;

    // UTF-8: a character cut off at the end of the previous piece.
    unsigned char m_carry[4] = {};
    std::size_t m_carryLength = 0;
    bool m_utf8Valid = true;
    bool m_high = false;

    // ISO-2022-JP, looked for while every byte is below 0x80: how much of
    // ESC $ the previous piece ended in.
    bool m_jisEscape = false;
    int m_escapeMatched = 0;

    // EUC-JP: trail bytes still due for the character in progress.
    bool m_eucFormed = true;
    int m_eucDue = 0;
    unsigned char m_eucLead = 0;
    std::uint64_t m_multiByte = 0;
    std::uint64_t m_kana = 0;  // two-byte characters led by A4 or A5
};

}  // namespace textrove::text
