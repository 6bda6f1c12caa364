// Text module: how bytes become characters and how characters are compared.
// This header gathers the module's parts (UTF-8, CP932, case mapping and pre-images).
// A character is a Unicode code point. Strings crossing module boundaries are
// UTF-8 (std::string); matching works on UTF-32 (std::u32string).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "text/CaseMapping.h"
#include "text/CasePreImages.h"
#include "text/Characters.h"
#include "text/Cp932.h"
#include "text/Encoding.h"
#include "text/Utf8.h"

namespace textrove::text {

// The rule for searched files, given the whole file (EncodingDetector):
// 1. FF FE: UTF-16LE; FE FF: UTF-16BE.
// Then, looking at the bytes after a leading UTF-8 byte-order mark:
// 2. valid UTF-8 with a byte of 0x80 or above: UTF-8;
// 3. all bytes below 0x80 and ESC $ @ or ESC $ B somewhere: ISO-2022-JP;
//    (all below 0x80 otherwise: UTF-8 after a byte-order mark, else CP932;
//    the text is the same);
// 4. every byte of 0x80 or above in a well-formed EUC-JP character, and the
//    two-byte characters led by A4 or A5 at least a fifth of them: EUC-JP;
// 5. CP932 (the byte-order mark, if any, then read as CP932 bytes).
Encoding DetectEncoding(std::string_view bytes);

// Decodes bytes of the given encoding. Invalid sequences become kInvalid.
// For the encodings read through UTF-8 the bytes are taken as a whole text
// from its start (ISO-2022-JP in ASCII), with no byte-order mark.
std::u32string Decode(std::string_view bytes, Encoding encoding);
void DecodeAppend(std::string_view bytes, Encoding encoding, std::u32string& out);

// CP932 bytes to UTF-8; invalid sequences become U+FFFD.
std::string Cp932ToUtf8(std::string_view bytes);

// UTF-8 to code points and back. Invalid UTF-8 input becomes U+FFFD; kInvalid
// is written as U+FFFD.
std::u32string Utf8ToU32(std::string_view utf8);
std::string U32ToUtf8(std::u32string_view text);
void AppendUtf8(char32_t c, std::string& out);

// Bytes that may not be UTF-8 (file names) shown as UTF-8, U+FFFD for each
// invalid sequence.
std::string LossyUtf8(std::string_view bytes);

// `utf8` as a result record shows it, in the window and in textrove-search
// alike: invalid sequences, and the characters the window's text widget
// takes for a line or paragraph break (CR, LF, U+2028, U+2029, and its frame
// marks U+FDD0/U+FDD1), become U+FFFD, so the window's saved or copied text
// is the record. False, and `out` untouched, when `utf8` is shown as it is.
bool ShownAsRecord(std::string_view utf8, std::string& out);

// Upper-cased UTF-8 (CaseMapping), invalid sequences as U+FFFD.
std::string ToUpperUtf8(std::string_view utf8);

// Code-point length and cut of UTF-8 text.
std::size_t CodePointLength(std::string_view utf8);
std::string CutCodePoints(std::string_view utf8, std::size_t maxCodePoints);

}  // namespace textrove::text
