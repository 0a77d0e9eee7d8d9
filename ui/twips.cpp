#include "ui/twips.h"

#include <QFontMetricsF>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>

namespace
{

// The windows' places were measured with the desktop's usual 9 point font.
constexpr double kLaidOutForPoints = 9;

} // namespace

double font_scale()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return 1;
    const QFont font = QGuiApplication::font();
    QFont laidOutFor(font);
    laidOutFor.setPointSizeF(kLaidOutForPoints);
    return std::max(1.0, QFontMetricsF(font).height() / QFontMetricsF(laidOutFor).height());
}

int twips_to_pixels(double twips)
{
    const double pixels = twips * font_scale() / kTwipsPerPixel;
    return static_cast<int>(pixels >= 0 ? pixels + 0.5 : pixels - 0.5);
}

double pixels_to_twips(int pixels)
{
    return static_cast<double>(pixels) * kTwipsPerPixel / font_scale();
}

void grow_to_text_when_scaled(QWidget *control)
{
    if (font_scale() > 1)
        control->resize(control->size().expandedTo(control->sizeHint()));
}
