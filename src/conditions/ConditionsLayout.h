// Layout arithmetic of the two condition panes, in twips. Free of Qt so that
// every threshold can be checked without windows.
#pragma once

#include "ui/Twips.h"

namespace textrove::conditions {

// Design geometry of the target directory pane (client area 4692 x 636).
inline constexpr float kDirPaneHeight = 636;
inline constexpr TwipsRect kDirLabel1{60, 60, 1692, 192};
inline constexpr TwipsRect kDirSerchDir{60, 240, 4032, 312};
inline constexpr TwipsRect kDir参照{4140, 240, 492, 312};
inline constexpr TwipsRect kDirPane{0, 0, 4692, kDirPaneHeight};

// Design geometry of the search word list pane (client area 1848 x 4572).
inline constexpr float kListPaneWidth = 1848;
inline constexpr TwipsRect kListLabel1{120, 120, 1092, 192};
inline constexpr TwipsRect kListSerchText{60, 420, 1692, 312};
inline constexpr TwipsRect kListSerchList{60, 1200, 1692, 3288};
inline constexpr TwipsRect kListListAdd{60, 780, 792, 372};
inline constexpr TwipsRect kListListDel{960, 780, 792, 372};
inline constexpr TwipsRect kListPane{0, 0, kListPaneWidth, 4572};

// Design geometry of the folder browser (client area 6120 x 2820).
inline constexpr float kBrowserWidth = 6120;
inline constexpr float kBrowserHeight = 2820;
inline constexpr TwipsRect kBrowserDrive1{120, 120, 3312, 276};
inline constexpr TwipsRect kBrowserDir1{120, 540, 2892, 1704};
inline constexpr TwipsRect kBrowserFile1{3120, 540, 2892, 1692};
inline constexpr TwipsRect kBrowserOk{3960, 2340, 912, 372};
inline constexpr TwipsRect kBrowserCancel{5100, 2340, 912, 372};

struct SerchDirLayout {
    TwipsRect pane;      // the pane in the frame's pane area
    TwipsRect serchDir;  // the text box in the pane
    TwipsRect 参照;      // the browse button in the pane
};

// The directory pane against a frame of the given outer width: a strip at the
// top, 152 short of the frame's width, the button 150 inside its right edge.
// Widths never go below 0 on a frame too narrow for the formulas.
SerchDirLayout LayoutSerchDir(float frameOuterWidth);

struct SerchListLayout {
    TwipsRect pane;
    float serchListHeight = 0;
};

// The word list pane against the frame and the directory pane above it.
// `current` is the layout as it stands: each guarded value keeps its current
// value when its guard fails, and a height that would come out 0 or less is
// not applied.
SerchListLayout LayoutSerchList(float frameOuterWidth, float frameOuterHeight, float dirPaneHeight,
                                const SerchListLayout& current);

}  // namespace textrove::conditions
