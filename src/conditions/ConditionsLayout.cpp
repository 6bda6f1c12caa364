#include "conditions/ConditionsLayout.h"

#include <algorithm>

namespace textrove::conditions {

SerchDirLayout LayoutSerchDir(float frameOuterWidth)
{
    SerchDirLayout layout{kDirPane, kDirSerchDir, kDir参照};
    const float paneWidth = std::max(0.0f, frameOuterWidth - 152.0f);
    layout.pane.top = 0;
    layout.pane.left = 0;
    layout.pane.width = paneWidth;
    layout.参照.left = paneWidth - kDir参照.width - 150.0f;
    layout.serchDir.width = std::max(0.0f, paneWidth - kDir参照.width - 401.0f);
    return layout;
}

SerchListLayout LayoutSerchList(float frameOuterWidth, float frameOuterHeight, float dirPaneHeight,
                                const SerchListLayout& current)
{
    SerchListLayout layout = current;
    layout.pane.top = dirPaneHeight;
    if (frameOuterWidth - layout.pane.width > 150.0f) layout.pane.left = frameOuterWidth - layout.pane.width - 150.0f;
    if (frameOuterHeight - layout.pane.top > 715.0f) {
        const float height = frameOuterHeight - layout.pane.top - 717.0f;
        // 716 or 717 left over would give no height at all.
        if (height > 0.0f) layout.pane.height = height;
    }
    if (layout.pane.height > 2000.0f) layout.serchListHeight = layout.pane.height - 1252.0f;
    return layout;
}

}  // namespace textrove::conditions
