#pragma once

#include <QIcon>
#include <QPixmap>
#include <QString>

class QWidget;

// Every picture comes with its drawing at twice the size, for screens scaled to 200 %: beside
// name.bmp or name.gif lies name@2x.png, beside name.ico lies name@2x.ico.
QString double_size_path(const QString &path);

// The images of path and of its double-size drawing as one icon, the large ones marked as
// such, so Qt picks whichever matches the screen instead of enlarging a small one.
QIcon sharp_icon(const QString &path);

// The picture at path, at its own size in widget's pixels and drawn for widget's screen.
QPixmap sharp_pixmap(const QString &path, const QWidget &widget);
