// Result pane placement against the frame and the two other panes.
#include <gtest/gtest.h>

#include <array>

#include "results/ResultLayout.h"

namespace {

constexpr float kDir = 636, kList = 1848;
using Rect = std::array<float, 4>;  // left, top, width, height

TEST(ResultLayout, SizesChangeOnlyPastTheirThresholds)
{
    // Frame sizes written as (pane size + the other panes + fixed extents).
    const auto W = [](float paneW) { return paneW + kList + 151; };
    const auto H = [](float paneH) { return paneH + kDir + 716; };
    struct Row {
        float frameW, frameH, paneW, paneH, boxW, boxH;
        const char* why;
    };
    const Row rows[] = {
        {W(3000), kDir + 715, 3000, 2222, 2799, 1720, "H - top = 715: height kept"},
        {W(3000), kDir + 717, 3000, 1, 2799, 666, "717 gives 1"},
        {W(3000), kDir + 715.5f, 3000, 0, 2799, 666, "715.5 gives 0, not -0.5"},
        {kList + 150, H(2000), 1111, 2000, 910, 1498, "W - w = 150: width kept"},
        {kList + 150.5f, H(2000), 0, 2000, 555, 1498, "150.5 gives 0"},
        {W(3000), H(500), 3000, 500, 2799, 666, "pane height 500: box height kept"},
        {W(3000), H(501), 3000, 501, 2799, 0, "501 would give -1: 0"},
        {W(3000), H(2000), 3000, 2000, 2799, 1498, "2000 gives 1498"},
        {W(200), H(2000), 200, 2000, 555, 1498, "pane width 200: box width kept"},
        {W(201), H(2000), 201, 2000, 0, 1498, "201 gives 0"},
    };
    textrove::ResultLayout current;  // recognisable sizes, so that "unchanged" shows
    current.pane = {33, 44, 1111, 2222};
    current.box = {120, 360, 555, 666};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        const auto next = textrove::LayoutResultPane(r.frameW, r.frameH, kDir, kList, current);
        const auto &p = next.pane, &b = next.box;
        EXPECT_EQ(Rect({p.left, p.top, p.width, p.height}), Rect({0, kDir, r.paneW, r.paneH})) << "pane";
        EXPECT_EQ(Rect({b.left, b.top, b.width, b.height}), Rect({120, 360, r.boxW, r.boxH})) << "box";
    }
}

}  // namespace
