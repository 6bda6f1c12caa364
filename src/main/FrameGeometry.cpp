#include "main/FrameGeometry.h"

#include <cmath>

#include "main/NumberText.h"

namespace textrove {

namespace {

std::string_view BeforeNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

}  // namespace

SavedGeometry ParseSavedGeometry(std::string_view top, std::string_view left, std::string_view width,
                                 std::string_view height, std::string_view minMaxFlag)
{
    SavedGeometry saved;
    saved.top = GeometryValue(LenientNumber(BeforeNul(top)));
    saved.left = GeometryValue(LenientNumber(BeforeNul(left)));
    saved.width = GeometryValue(LenientNumber(BeforeNul(width)));
    saved.height = GeometryValue(LenientNumber(BeforeNul(height)));
    saved.state = static_cast<WindowState>(WindowStateValue(LenientNumber(BeforeNul(minMaxFlag))));
    return saved;
}

AreaSize AreaForOuter(float outerWidth, float outerHeight)
{
    // fmax also maps NaN to the minimum.
    return {std::fmin(std::fmax(outerWidth - kFrameExtraWidth, kMinAreaWidth), kMaxCoordinate),
            std::fmin(std::fmax(outerHeight - kFrameExtraHeight, kMinAreaHeight), kMaxCoordinate)};
}

float ClampCoordinate(float value)
{
    if (std::isnan(value)) return 0.0f;
    return std::fmin(std::fmax(value, -kMaxCoordinate), kMaxCoordinate);
}

TwipsRect OntoScreens(TwipsRect frame, std::span<const TwipsRect> screens)
{
    const float grip = std::fmin(kGripWidth, frame.width);
    for (const TwipsRect& s : screens) {
        const float shown = std::fmin(frame.left + frame.width, s.left + s.width) - std::fmax(frame.left, s.left);
        if (frame.top >= s.top && frame.top + kGripHeight <= s.top + s.height && shown >= grip) return frame;
    }
    if (screens.empty()) return frame;
    // Wholly onto the first screen; one too small keeps the top-left corner.
    const TwipsRect& s = screens.front();
    frame.top = std::fmax(s.top, std::fmin(frame.top, s.top + s.height - frame.height));
    frame.left = std::fmax(s.left, std::fmin(frame.left, s.left + s.width - frame.width));
    return frame;
}

}  // namespace textrove
