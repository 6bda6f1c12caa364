// Stored window geometry: lenient number reading, state rounding, float text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "main/FrameGeometry.h"
#include "main/NumberText.h"

namespace {

using namespace textrove;
constexpr double kInf = std::numeric_limits<double>::infinity();

struct NumberRow {
    const char* text;
    double expected;
    const char* why;
};
class LenientNumberRows : public ::testing::TestWithParam<NumberRow> {};

TEST_P(LenientNumberRows, Converts)
{
    EXPECT_EQ(LenientNumber(GetParam().text), GetParam().expected) << GetParam().why;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LenientNumberRows,
    ::testing::Values(NumberRow{"", 0, "missing key"}, NumberRow{"12abc", 12, "trailing letters"},
                      NumberRow{"abc", 0, "no leading number"}, NumberRow{"1.5", 1.5, "fraction"},
                      NumberRow{" 1 2", 12, "blanks anywhere"},
                      NumberRow{"\t-1\n5", -15, "tabs and line feeds, sign"},
                      NumberRow{"-.5", -0.5, "no integer digits"}, NumberRow{".", 0, "point alone"},
                      NumberRow{"--1", 0, "second sign stops"}, NumberRow{"1.2.3", 1.2, "second point"},
                      NumberRow{"2.5E-1", 0.25, "exponent"}, NumberRow{"1e+", 1, "bare e ends before it"},
                      NumberRow{"1 e 2", 100, "blanks in the exponent"},
                      NumberRow{"7\r", 7, "CR is not ignored"}, NumberRow{"1,5", 1, "no locale comma"},
                      NumberRow{"0x10", 0, "no hex"}, NumberRow{"inf", 0, "no words"},
                      NumberRow{"1e-400", 0, "underflow"}, NumberRow{"-1e400", -kInf, "overflow"},
                      NumberRow{"0e99999999999", 0, "zero with a huge exponent"}));

TEST(GeometryValue, OutOfFloatRangeOrNonFiniteIsZero)
{
    EXPECT_EQ(GeometryValue(-1200), -1200.0f);
    EXPECT_EQ(GeometryValue(3.0e38), 3.0e38f);
    for (double bad : {1e39, -1e39, kInf, std::nan("")})
        EXPECT_EQ(GeometryValue(bad), 0.0f) << bad;
}

TEST(WindowStateValue, HalfToEvenAndOnlyThreeStates)
{
    const std::pair<double, int> rows[] = {{0, 0},   {1, 1},    {2, 2},     {0.5, 0},  {1.5, 2},
                                           {2.5, 2}, {0.51, 1}, {2.51, 0},  {3, 0},    {-0.5, 0},
                                           {-1, 0},  {256, 0},  {kInf, 0}, {std::nan(""), 0}};
    for (const auto& [value, state] : rows)
        EXPECT_EQ(int(WindowStateValue(value)), state) << value;
}

TEST(FloatText, ShortestTextThatReadsBack)
{
    EXPECT_EQ(FloatText(7350.0f), "7350");
    EXPECT_EQ(FloatText(-0.0f), "0");
    EXPECT_EQ(FloatText(-1200.0f), "-1200");
    EXPECT_EQ(FloatText(1234567.0f), "1234567");
    for (float v : {0.1f, 1.0f / 3.0f, -15.25f, 3.0e38f, 1.0e-20f})
        EXPECT_EQ(GeometryValue(LenientNumber(FloatText(v))), v) << FloatText(v);
}

TEST(FrameGeometry, ParseCutsAtNulAndClampsTheArea)
{
    using namespace std::string_literals;
    const SavedGeometry g = ParseSavedGeometry("5\0"s "7"s, "abc", "1e39", " 9 000", "7");
    EXPECT_EQ(g.top, 5.0f) << "text after a NUL is not read";
    EXPECT_EQ(g.left, 0.0f);
    EXPECT_EQ(g.width, 0.0f);
    EXPECT_EQ(g.height, 9000.0f);
    EXPECT_EQ(g.state, WindowState::Normal);

    const std::tuple<float, float, float, float> rows[] = {
        {0, 0, kMinAreaWidth, kMinAreaHeight},
        {9150, 6116, 9000, 5400},
        {kMinAreaWidth + 149, kMinAreaHeight + 716, kMinAreaWidth, kMinAreaHeight},
        {3.0e38f, -3.0e38f, kMaxCoordinate, kMinAreaHeight},
        {std::nanf(""), std::nanf(""), kMinAreaWidth, kMinAreaHeight}};
    for (const auto& [w, h, areaW, areaH] : rows) {
        EXPECT_EQ(AreaForOuter(w, h).width, areaW) << w;
        EXPECT_EQ(AreaForOuter(w, h).height, areaH) << h;
    }
    EXPECT_EQ(ClampCoordinate(-3.0e38f), -kMaxCoordinate);
    EXPECT_EQ(ClampCoordinate(std::nanf("")), 0.0f);
}

}  // namespace
