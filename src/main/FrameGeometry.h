// The main window's outer geometry as the settings file and the pane layout
// see it, and the area below the menu bar where the panes live. No Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "ui/Twips.h"

namespace textrove {

// Fixed non-client extents (twips): frame, caption and menu bar of the
// window as the layout arithmetic counts them.
inline constexpr float kFrameExtraWidth = 150.0f;
inline constexpr float kFrameExtraHeight = 716.0f;

// Smallest pane area (twips): the design size, where every pane and control
// keeps a positive size.
inline constexpr float kMinAreaWidth = 7200.0f;
inline constexpr float kMinAreaHeight = 3900.0f;

// Largest extent or coordinate (twips) handed to the window system; keeps
// pixel conversions far from int overflow for absurd stored values.
inline constexpr float kMaxCoordinate = 5.0e7f;

enum class WindowState : std::uint8_t { Normal = 0, Minimized = 1, Maximized = 2 };

// Values restored from section WindowSize, already converted.
struct SavedGeometry {
    float top = 0;
    float left = 0;
    float width = 0;   // outer width, twips
    float height = 0;  // outer height, twips
    WindowState state = WindowState::Normal;
};

// Converts the five stored texts (each cut at its first NUL).
SavedGeometry ParseSavedGeometry(std::string_view top, std::string_view left, std::string_view width,
                                 std::string_view height, std::string_view minMaxFlag);

struct AreaSize {
    float width = 0;
    float height = 0;
};

// Pane area for a requested outer size, clamped up to the minimum (and down
// to kMaxCoordinate).
AreaSize AreaForOuter(float outerWidth, float outerHeight);

// A stored top or left edge limited to +/-kMaxCoordinate.
float ClampCoordinate(float value);

// The part of a frame's top edge (its title bar) that must stand on a screen
// for the frame to be grabbed and moved, twips.
inline constexpr float kGripWidth = 1500.0f;
inline constexpr float kGripHeight = 300.0f;

// The frame's outer rectangle where it can open: unchanged when a grip of its
// top edge lies on one of the screens (their available areas, the primary
// first); otherwise moved the shortest way to lie wholly on the first screen.
TwipsRect OntoScreens(TwipsRect frame, std::span<const TwipsRect> screens);

inline float OuterWidthForArea(float areaWidth)
{
    return areaWidth + kFrameExtraWidth;
}
inline float OuterHeightForArea(float areaHeight)
{
    return areaHeight + kFrameExtraHeight;
}

}  // namespace textrove
