// What stands for bytes that are no character of the text.
#pragma once

namespace textrove::text {

// Stands in a decoded line for a byte sequence that is not valid in the file's
// encoding. It is no code point, so no search word can ever match it; it is
// shown as U+FFFD.
inline constexpr char32_t kInvalid = 0xFFFFFFFFu;
inline constexpr char32_t kReplacement = 0xFFFDu;

// Stands in UTF-8 decoded output (StreamDecoder) for an invalid sequence: a
// byte that valid UTF-8 never holds.
inline constexpr unsigned char kInvalidByte = 0xFF;

}  // namespace textrove::text
