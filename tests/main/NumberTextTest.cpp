// Stored window geometry: lenient number reading, state rounding, float text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>
#include <vector>

#include "main/FrameGeometry.h"
#include "main/NumberText.h"

namespace {

using namespace textrove;
constexpr double kInf = std::numeric_limits<double>::infinity();

TEST(LenientNumber, ReadsTheLeadingNumber)
{
    const std::tuple<const char*, double, const char*> rows[] = {
        {"", 0, "missing key"},
        {"12abc", 12, "trailing letters"},
        {"\t-1 \n5", -15, "blanks, tabs and line feeds anywhere, sign"},
        {"1.2.3", 1.2, "second point"},
        {"2.5E-1", 0.25, "exponent"},
        {"1e+", 1, "bare e ends before it"},
        {"7\r", 7, "CR is not ignored"},
        {"1,5", 1, "no locale comma"},
        {"-1e400", -kInf, "overflow"},
        {"0e99999999999", 0, "zero with a huge exponent"},
    };
    for (const auto& [text, expected, why] : rows) EXPECT_EQ(LenientNumber(text), expected) << why;
}

TEST(GeometryNumbers, RangeStateRoundingAndTextThatReadsBack)
{
    for (double bad : {1e39, -1e39, kInf, std::nan("")}) EXPECT_EQ(GeometryValue(bad), 0.0f) << bad;

    // Half to even; anything but the three states is normal.
    const std::pair<double, int> states[] = {{1, 1},    {0.5, 0}, {1.5, 2},         {2.5, 2},
                                             {2.51, 0}, {-1, 0},  {std::nan(""), 0}};
    for (const auto& [value, state] : states) EXPECT_EQ(int(WindowStateValue(value)), state) << value;

    EXPECT_EQ(std::vector<std::string>({FloatText(7350.0f), FloatText(-0.0f)}),
              std::vector<std::string>({"7350", "0"}));
    for (float v : {0.1f, 1.0f / 3.0f, -15.25f, 1234567.0f, 3.0e38f, 1.0e-20f})
        EXPECT_EQ(GeometryValue(LenientNumber(FloatText(v))), v) << FloatText(v);
}

TEST(FrameGeometry, ParseCutsAtNulAndClampsTheArea)
{
    using namespace std::string_literals;
    const SavedGeometry g = ParseSavedGeometry("5\0"s
                                               "7"s,
                                               "abc", "1e39", " 9 000", "7");
    EXPECT_EQ(std::vector<float>({g.top, g.left, g.width, g.height}), std::vector<float>({5, 0, 0, 9000}))
        << "text after a NUL is not read";

    const std::tuple<float, float, float, float> rows[] = {
        {9150, 6116, 9000, 5400},
        {kMinAreaWidth + 149, kMinAreaHeight + 716, kMinAreaWidth, kMinAreaHeight},
        {3.0e38f, -3.0e38f, kMaxCoordinate, kMinAreaHeight},
        {std::nanf(""), std::nanf(""), kMinAreaWidth, kMinAreaHeight}};
    for (const auto& [w, h, areaW, areaH] : rows)
        EXPECT_EQ(std::make_pair(AreaForOuter(w, h).width, AreaForOuter(w, h).height), std::make_pair(areaW, areaH))
            << w;
    EXPECT_EQ(ClampCoordinate(-3.0e38f), -kMaxCoordinate);
    EXPECT_EQ(ClampCoordinate(std::nanf("")), 0.0f);
}

TEST(FrameGeometry, AFrameWhoseTitleBarIsOffEveryScreenComesBack)
{
    // A 1280 x 1024 px screen and a second one to its right, 1000 x 750 px,
    // in twips; the frame is 9000 x 6000 twips.
    const TwipsRect screens[] = {{0, 0, 19200, 15360}, {19200, 0, 15000, 11250}};
    const std::tuple<const char*, float, float, float, float> rows[] = {
        {"title bar on the second screen", 25000, 10900, 25000, 10900},
        {"just a grip of the title bar shown", 1500 - 9000, 15360 - 300, 1500 - 9000, 15360 - 300},
        {"title bar above the top edge", 3000, -15, 3000, 0},
        {"title bar below the second screen", 25000, 11100, 10200, 9360},
        {"too far left to grab", 1499 - 9000, 100, 0, 100}};
    for (const auto& [why, left, top, wantLeft, wantTop] : rows) {
        const TwipsRect placed = OntoScreens({left, top, 9000, 6000}, screens);
        EXPECT_EQ(std::vector<float>({placed.left, placed.top, placed.width, placed.height}),
                  std::vector<float>({wantLeft, wantTop, 9000, 6000}))
            << why;
    }
    const TwipsRect tiny[] = {{0, 0, 6000, 4500}};
    const TwipsRect big = OntoScreens({-50000, 50000, 9000, 6000}, tiny);
    EXPECT_EQ(std::make_pair(big.left, big.top), std::make_pair(0.0f, 0.0f)) << "a screen smaller than the frame";
}

}  // namespace
