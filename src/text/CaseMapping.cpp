#include "text/CaseMapping.h"

#include <unicode/uchar.h>

#include <vector>

namespace textrove::text {

char32_t ToUpper(char32_t c)
{
    if (c < 0x80) return (c >= 'a' && c <= 'z') ? c - 0x20 : c;
    // The basic plane through a table filled once from ICU: lines are
    // upper-cased character by character.
    static const std::vector<char32_t> bmp = [] {
        std::vector<char32_t> t(0x10000);
        for (UChar32 x = 0; x < 0x10000; ++x) t[static_cast<std::size_t>(x)] = static_cast<char32_t>(u_toupper(x));
        return t;
    }();
    if (c < 0x10000) return bmp[c];
    if (c > 0x10FFFF) return c;  // kInvalid stays as it is
    return static_cast<char32_t>(u_toupper(static_cast<UChar32>(c)));
}

void ToUpperInPlace(std::u32string& text)
{
    for (char32_t& c : text) c = ToUpper(c);
}

std::u32string ToUpper(std::u32string_view text)
{
    std::u32string out(text);
    ToUpperInPlace(out);
    return out;
}

}  // namespace textrove::text
