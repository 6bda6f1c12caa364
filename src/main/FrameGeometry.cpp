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

SavedGeometry ParseSavedGeometry(std::string_view top, std::string_view left,
                                 std::string_view width, std::string_view height,
                                 std::string_view minMaxFlag)
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
    if (std::isnan(value))
        return 0.0f;
    return std::fmin(std::fmax(value, -kMaxCoordinate), kMaxCoordinate);
}

}  // namespace textrove
