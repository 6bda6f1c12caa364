// Twips (1/1440 inch) held as float; pixels only where a value crosses into Qt.
#pragma once

#include <cmath>

namespace textrove {

struct TwipsRect {
    float left = 0;
    float top = 0;
    float width = 0;
    float height = 0;
};

inline int TwipsToPixels(float twips, double dpi)
{
    return static_cast<int>(std::lround(static_cast<double>(twips) * dpi / 1440.0));
}

inline float PixelsToTwips(int pixels, double dpi)
{
    return static_cast<float>(static_cast<double>(pixels) * 1440.0 / dpi);
}

}  // namespace textrove
