// Layout arithmetic of the condition panes at and around each threshold.
#include <gtest/gtest.h>

#include "conditions/ConditionsLayout.h"

using namespace textrove::conditions;

namespace {

TEST(ConditionsLayout, DirectoryPaneWidthsFollowTheFrameAndStayNonNegative)
{
    const struct {
        const char* why;
        float frame, pane, button, text;
    } rows[] = {
        {"pane and text grow with the frame, the button moves", 5844, 5692, 5050, 4799},
        {"text box exactly closes up", 1045, 893, 251, 0},
        {"one twip less: text box kept at 0", 1044, 892, 250, 0},
        {"narrower than 152: pane kept at 0", 100, 0, -642, 0},
        {"fractions survive", 2000.5f, 1848.5f, 1206.5f, 955.5f},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const SerchDirLayout layout = LayoutSerchDir(row.frame);
        EXPECT_FLOAT_EQ(layout.pane.width, row.pane);
        EXPECT_FLOAT_EQ(layout.参照.left, row.button);
        EXPECT_FLOAT_EQ(layout.serchDir.width, row.text);
    }
}

TEST(ConditionsLayout, WordListGuardsKeepOldValuesWhenTheyFail)
{
    // Placed earlier at left 777, height 3000, list 1000 (not what the rule gives).
    const SerchListLayout before{{777, 0, 1848, 3000}, 1000};
    const struct {
        const char* why;
        float frameW, frameH, dirH, left, height, list;
    } rows[] = {
        {"ordinary frame", 9000, 6000, 636, 7002, 4647, 3395},
        {"width gap 151: left 1", 1999, 6000, 636, 1, 4647, 3395},
        {"width gap exactly 150: left kept", 1998, 6000, 636, 777, 4647, 3395},
        {"height gap 718: height 1, list kept", 9000, 636 + 718, 636, 7002, 1, 1000},
        {"height gap 717 would give 0: kept, list from it", 9000, 636 + 717, 636, 7002, 3000, 1748},
        {"height gap 716 would give -1: kept", 9000, 636 + 716, 636, 7002, 3000, 1748},
        {"pane 2001 high: list 749", 9000, 636 + 717 + 2001, 636, 7002, 2001, 749},
        {"pane exactly 2000 high: list kept", 9000, 636 + 717 + 2000, 636, 7002, 2000, 1000},
        {"the height guard uses the new top", 9000, 1700, 1000, 7002, 3000, 1748},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.why);
        const SerchListLayout layout = LayoutSerchList(row.frameW, row.frameH, row.dirH, before);
        EXPECT_FLOAT_EQ(layout.pane.top, row.dirH);
        EXPECT_FLOAT_EQ(layout.pane.left, row.left);
        EXPECT_FLOAT_EQ(layout.pane.height, row.height);
        EXPECT_FLOAT_EQ(layout.serchListHeight, row.list);
    }
}

}  // namespace
