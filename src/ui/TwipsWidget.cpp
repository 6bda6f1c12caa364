#include "ui/TwipsWidget.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace textrove {

double LogicalDpi()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const double dpi = screen->logicalDotsPerInchX();
        if (dpi > 0) return dpi;
    }
    return 96.0;
}

void ApplyTwips(QWidget* widget, const TwipsRect& rect)
{
    const double dpi = LogicalDpi();
    widget->setGeometry(TwipsToPixels(rect.left, dpi), TwipsToPixels(rect.top, dpi),
                        std::max(0, TwipsToPixels(rect.width, dpi)), std::max(0, TwipsToPixels(rect.height, dpi)));
}

}  // namespace textrove
