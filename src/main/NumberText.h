// Number <-> text conversions used for the stored window geometry. No Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace textrove {

// Lenient conversion of settings text to a number. Blanks, tabs and line
// feeds are ignored wherever they stand; the number is an optional sign,
// digits, an optional point and fraction and an optional exponent (e/E), and
// ends at the first character that cannot continue it. Text without a leading
// number gives 0. A magnitude beyond double range gives +/-infinity. The
// result never depends on the C locale.
double LenientNumber(std::string_view text);

// A converted geometry value as float; 0 when it is not finite or lies outside
// float range (such a value cannot describe a window).
float GeometryValue(double number);

// A converted window state: rounded to the nearest integer, an exact half to
// the even neighbour; anything but 0, 1 or 2 (and non-finite) gives 0.
std::uint8_t WindowStateValue(double number);

// Shortest decimal text that reads back as the same float: "7350", "-15",
// "1.5". No decimal point for whole values.
std::string FloatText(float value);

}  // namespace textrove
