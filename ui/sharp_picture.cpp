#include "ui/sharp_picture.h"

#include <QFileInfo>
#include <QImageReader>
#include <QWidget>

namespace
{

// Every image a file holds: an icon file keeps several sizes.
QList<QImage> images_in(const QString &path)
{
    QList<QImage> images;
    QImageReader reader(path);
    for (QImage image = reader.read(); !image.isNull();
         image = reader.jumpToNextImage() ? reader.read() : QImage())
        images.append(image);
    return images;
}

} // namespace

QString double_size_path(const QString &path)
{
    const QFileInfo file(path);
    const QString suffix = file.suffix().compare(u"ico", Qt::CaseInsensitive) == 0
                               ? file.suffix()
                               : QStringLiteral("png");
    return file.path() + u'/' + file.completeBaseName() + QStringLiteral("@2x.") + suffix;
}

QIcon sharp_icon(const QString &path)
{
    QIcon icon;
    for (const QImage &image : images_in(path))
        icon.addPixmap(QPixmap::fromImage(image));
    for (QImage image : images_in(double_size_path(path))) {
        image.setDevicePixelRatio(2);
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QPixmap sharp_pixmap(const QString &path, const QWidget &widget)
{
    const QSize size = QImageReader(path).size();
    return sharp_icon(path).pixmap(size, widget.devicePixelRatioF());
}
