// The table decoder must agree with the ICU converter on every input.
#include <random>

#include <gtest/gtest.h>

#include "search/engine/Cp932Table.h"
#include "text/TextCodec.h"

namespace {

using textrove::search::Cp932Table;
namespace text = textrove::text;

std::u32string TableDecode(const std::string& bytes)
{
    std::u32string out;
    Cp932Table::Get().DecodeAppend(reinterpret_cast<const unsigned char*>(bytes.data()),
                                   bytes.size(), out);
    return out;
}

TEST(Cp932Table, AgreesWithIcuOnEveryShortSequence)
{
    int mismatches = 0;
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, static_cast<char>(a));
        mismatches += TableDecode(one) != text::Decode(one, text::Encoding::Cp932);
        for (int b = 0; b < 256; ++b) {
            // A third byte checks what the pair leaves for the next character.
            for (char c : {'\x20', '\x82', '\xA0'}) {
                const std::string s{static_cast<char>(a), static_cast<char>(b), c};
                mismatches += TableDecode(s) != text::Decode(s, text::Encoding::Cp932);
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(Cp932Table, AgreesWithIcuOnRandomBytes)
{
    std::mt19937 rng(99);
    std::uniform_int_distribution<int> byte(0, 255), len(0, 64);
    for (int round = 0; round < 20000; ++round) {
        std::string s(static_cast<std::size_t>(len(rng)), '\0');
        for (char& c : s) c = static_cast<char>(byte(rng));
        ASSERT_EQ(TableDecode(s), text::Decode(s, text::Encoding::Cp932)) << "round " << round;
    }
}

TEST(Cp932Table, DecodingResumesAtAnyCharacterStart)
{
    // The scan keeps only a line's tail, cut at a character start found by
    // stepping with CharLength, and decodes blocks cut the same way: both
    // must give the characters the whole text gives.
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int round = 0; round < 20000; ++round) {
        std::string s(static_cast<std::size_t>(rng() % 48), '\0');
        for (char& c : s) c = static_cast<char>(rng() % 3 ? 0x80 + rng() % 0x7D : byte(rng));
        const auto* p = reinterpret_cast<const unsigned char*>(s.data());
        const std::size_t target = s.empty() ? 0 : rng() % s.size();
        std::size_t cut = 0;
        while (cut < target) cut += Cp932Table::Get().CharLength(p + cut, s.size() - cut);
        std::u32string pieces;
        Cp932Table::Get().DecodeAppend(p, cut, pieces);
        Cp932Table::Get().DecodeAppend(p + cut, s.size() - cut, pieces);
        ASSERT_EQ(pieces, TableDecode(s)) << "round " << round << " cut " << cut;
    }
}

TEST(Cp932Table, DuplicateEncodingsAreAllKnown)
{
    const auto* approx = Cp932Table::Get().EncodingsOf(U'≒');
    ASSERT_NE(approx, nullptr);
    EXPECT_EQ(approx->size(), 2u) << "0x81E0 and the NEC row 13 0x8790";
    const auto* a = Cp932Table::Get().EncodingsOf(U'a');
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(*a, std::vector<std::string>{"a"});
    EXPECT_EQ(Cp932Table::Get().EncodingsOf(U'é'), nullptr) << "not in CP932";
}

}  // namespace
