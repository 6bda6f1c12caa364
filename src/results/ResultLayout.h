// Placement of the result pane and its text box, in twips. No Qt.
#pragma once

#include "ui/Twips.h"

namespace textrove {

// Design geometry of the result pane's controls (twips, pane-relative).
inline constexpr TwipsRect kResultLabelRect{60, 120, 732, 192};
inline constexpr TwipsRect kResultBoxDesignRect{120, 360, 3432, 1932};
inline constexpr float kResultPaneDesignWidth = 3744;
inline constexpr float kResultPaneDesignHeight = 2496;

struct ResultLayout {
    TwipsRect pane;  // relative to the pane area
    TwipsRect box;   // SerchAns, relative to the pane
};

// Lays the pane out below the directory pane and left of the word list pane.
// `frameWidth`/`frameHeight` are the main window's outer size. A size is
// changed only when the space exceeds its threshold (pane: 715 down, 150
// across; text box: 500 and 200); otherwise it stays as in `current`. No
// size ever becomes negative.
ResultLayout LayoutResultPane(float frameWidth, float frameHeight, float dirPaneHeight, float listPaneWidth,
                              const ResultLayout& current);

}  // namespace textrove
