// The table decoder must agree with the ICU converter on every input.
#include <gtest/gtest.h>

#include "text/Cp932Table.h"
#include "text/TextCodec.h"

namespace {

namespace text = textrove::text;

TEST(Cp932Table, AgreesWithIcuOnEveryShortSequence)
{
    auto differs = [](const std::string& s) {
        std::u32string table;
        textrove::text::Cp932Table::Get().DecodeAppend(reinterpret_cast<const unsigned char*>(s.data()), s.size(),
                                                       table);
        return table != text::Decode(s, text::Encoding::Cp932);
    };
    int mismatches = 0;
    for (int a = 0; a < 256; ++a) {
        mismatches += differs(std::string(1, static_cast<char>(a)));
        // A third byte checks what the pair leaves for the next character.
        for (int b = 0; b < 256; ++b)
            for (char c : {'\x20', '\x82', '\xA0'})
                mismatches += differs({static_cast<char>(a), static_cast<char>(b), c});
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
