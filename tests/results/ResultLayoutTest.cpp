// Result pane placement against the frame and the two other panes.
#include <gtest/gtest.h>

#include "results/ResultLayout.h"

namespace {

using textrove::LayoutResultPane;
using textrove::ResultLayout;

constexpr float kDir = 636, kList = 1848;

struct Row {
    float frameW, frameH;
    float paneW, paneH, boxW, boxH;  // expected
    const char* why;
};
class ResultLayoutRows : public ::testing::TestWithParam<Row> {};

TEST_P(ResultLayoutRows, SizesChangeOnlyPastTheirThresholds)
{
    ResultLayout current;  // recognisable sizes, so that "unchanged" shows
    current.pane = {33, 44, 1111, 2222};
    current.box = {120, 360, 555, 666};
    const Row& r = GetParam();
    const ResultLayout next = LayoutResultPane(r.frameW, r.frameH, kDir, kList, current);
    EXPECT_EQ(next.pane.left, 0.0f);
    EXPECT_EQ(next.pane.top, kDir);
    EXPECT_EQ(next.pane.width, r.paneW) << r.why;
    EXPECT_EQ(next.pane.height, r.paneH) << r.why;
    EXPECT_EQ(next.box.width, r.boxW) << r.why;
    EXPECT_EQ(next.box.height, r.boxH) << r.why;
    EXPECT_EQ(next.box.left, 120.0f);
    EXPECT_EQ(next.box.top, 360.0f);
}

// Frame sizes written as (pane size + the other panes + fixed extents).
constexpr float W(float paneW) { return paneW + kList + 151; }
constexpr float H(float paneH) { return paneH + kDir + 716; }

INSTANTIATE_TEST_SUITE_P(
    Rows, ResultLayoutRows,
    ::testing::Values(
        Row{W(3000), kDir + 715, 3000, 2222, 2799, 1720, "H - top = 715: height kept"},
        Row{W(3000), kDir + 716, 3000, 0, 2799, 666, "716 gives 0"},
        Row{W(3000), kDir + 717, 3000, 1, 2799, 666, "717 gives 1"},
        Row{W(3000), kDir + 715.5f, 3000, 0, 2799, 666, "between 715 and 716: 0, not negative"},
        Row{kList + 150, H(2000), 1111, 2000, 910, 1498, "W - w = 150: width kept"},
        Row{kList + 151, H(2000), 0, 2000, 555, 1498, "151 gives 0"},
        Row{kList + 150.5f, H(2000), 0, 2000, 555, 1498, "between 150 and 151: 0"},
        Row{W(3000), H(500), 3000, 500, 2799, 666, "pane height 500: box height kept"},
        Row{W(3000), H(501), 3000, 501, 2799, 0, "501 would give -1: 0"},
        Row{W(3000), H(502), 3000, 502, 2799, 0, "502 gives 0"},
        Row{W(3000), H(2000), 3000, 2000, 2799, 1498, "2000 gives 1498"},
        Row{W(200), H(2000), 200, 2000, 555, 1498, "pane width 200: box width kept"},
        Row{W(201), H(2000), 201, 2000, 0, 1498, "201 gives 0"},
        Row{100, 100, 1111, 2222, 910, 1720, "tiny frame keeps the pane"}));

}  // namespace
