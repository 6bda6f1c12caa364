// CP932 (Windows Shift-JIS) decoding through ICU's converter.
#pragma once

#include <string>
#include <string_view>

namespace textrove::text {

// Appends the characters of the CP932 bytes; invalid sequences become
// kInvalid. Safe on any thread (each thread keeps its own converter).
void DecodeCp932Append(std::string_view bytes, std::u32string& out);

}  // namespace textrove::text
