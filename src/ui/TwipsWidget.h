// Placing widgets by twips. The twips values stay the source of truth: a
// widget's pixel rectangle is derived from them, never read back.
#pragma once

#include "ui/Twips.h"

class QWidget;

namespace textrove {

// Logical DPI used for every conversion (the primary screen's; 96 when none).
double LogicalDpi();

// Sets the widget's geometry (relative to its parent) from a twips rectangle.
void ApplyTwips(QWidget* widget, const TwipsRect& rect);

}  // namespace textrove
