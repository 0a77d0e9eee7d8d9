#include "ui/dark_outline.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

bool palette_is_dark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightnessF() < 0.5;
}

namespace
{

// The strongest alpha within width pixels of (x, y).
int nearby_alpha(const QImage &image, int x, int y, int width)
{
    int strongest = 0;
    for (int dy = -width; dy <= width; ++dy)
        for (int dx = -width; dx <= width; ++dx) {
            const int nx = x + dx, ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < image.width() && ny < image.height())
                strongest = std::max(strongest, qAlpha(image.pixel(nx, ny)));
        }
    return strongest;
}

} // namespace

QImage with_outline(const QImage &image, const QColor &colour, int width)
{
    const QImage drawing = image.convertToFormat(QImage::Format_ARGB32);
    QImage outlined(drawing.size(), QImage::Format_ARGB32);
    for (int y = 0; y < drawing.height(); ++y)
        for (int x = 0; x < drawing.width(); ++x) {
            QColor rim = colour;
            rim.setAlpha(nearby_alpha(drawing, x, y, width));
            outlined.setPixelColor(x, y, rim);
        }
    QPainter painter(&outlined);
    painter.drawImage(0, 0, drawing);
    painter.end();
    outlined.setDevicePixelRatio(image.devicePixelRatio());
    return outlined;
}

QPixmap outlined_where_dark(const QPixmap &pixmap, const QPalette &palette)
{
    if (pixmap.isNull() || !palette_is_dark(palette))
        return pixmap;
    const int width = std::max(1, static_cast<int>(std::lround(pixmap.devicePixelRatio())));
    return QPixmap::fromImage(
        with_outline(pixmap.toImage(), palette.color(QPalette::WindowText), width));
}

QColor readable_placeholder(const QPalette &palette)
{
    QColor colour = palette.color(QPalette::Text);
    colour.setAlpha(128);
    return colour;
}
