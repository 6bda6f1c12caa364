// Simple Unicode upper-case mapping, one code point to one (ICU u_toupper).
#pragma once

#include <string>
#include <string_view>

namespace textrove::text {

char32_t ToUpper(char32_t c);
void ToUpperInPlace(std::u32string& text);
std::u32string ToUpper(std::u32string_view text);

}  // namespace textrove::text
