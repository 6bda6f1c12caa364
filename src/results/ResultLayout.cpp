#include "results/ResultLayout.h"

#include <algorithm>

namespace textrove {

ResultLayout LayoutResultPane(float frameWidth, float frameHeight, float dirPaneHeight, float listPaneWidth,
                              const ResultLayout& current)
{
    ResultLayout next = current;
    next.pane.top = dirPaneHeight;
    next.pane.left = 0;

    // Differences are taken in single precision before the comparison.
    const float spaceDown = frameHeight - next.pane.top;
    if (spaceDown > 715.0f) next.pane.height = std::max(0.0f, spaceDown - 716.0f);
    const float spaceAcross = frameWidth - listPaneWidth;
    if (spaceAcross > 150.0f) next.pane.width = std::max(0.0f, spaceAcross - 151.0f);

    if (next.pane.height > 500.0f) next.box.height = std::max(0.0f, next.pane.height - 502.0f);
    if (next.pane.width > 200.0f) next.box.width = std::max(0.0f, next.pane.width - 201.0f);
    return next;
}

}  // namespace textrove
