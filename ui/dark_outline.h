#pragma once

#include <QImage>
#include <QPalette>
#include <QPixmap>

// Black and grey drawings on a clear ground vanish into a dark desktop. Where the windows are
// dark, they get a light rim; on a bright desktop they stay exactly as drawn.
bool palette_is_dark(const QPalette &palette);

// image with a rim of colour, width pixels wide, around whatever of it is not clear.
QImage with_outline(const QImage &image, const QColor &colour, int width);

// pixmap outlined in the text colour of palette where palette is dark, else pixmap itself. The
// rim is one pixel of the user interface wide at any screen scale.
QPixmap outlined_where_dark(const QPixmap &pixmap, const QPalette &palette);

// A placeholder text colour that reads on palette's text boxes, bright or dark: themes that
// leave it unset would otherwise get black at half strength, lost on a dark box.
QColor readable_placeholder(const QPalette &palette);
