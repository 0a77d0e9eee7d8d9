#include "editor/image_list.h"

#include "ui/dark_outline.h"
#include "ui/sharp_picture.h"

#include <QGuiApplication>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace
{

const QColor kSilver(192, 192, 192);

// How far a picture is from the wanted size, as a factor of scale rather than in pixels:
// shrinking an icon's 32 x 32 to 24 x 23 keeps more of it than stretching its 16 x 16.
double scale_distance(QSize from, QSize to)
{
    const double factor =
        std::min(double(to.width()) / from.width(), double(to.height()) / from.height());
    return std::abs(std::log(factor));
}

QImage with_mask_transparent(const QImage &image, QColor mask)
{
    QImage masked = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = mask.rgb();
    for (int y = 0; y < masked.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(masked.scanLine(y));
        std::replace(line, line + masked.width(), key, QRgb(0));
    }
    return masked;
}

QStringList picture_paths(std::initializer_list<const char *> files)
{
    QStringList paths;
    for (const char *file : files)
        paths.append(QStringLiteral(":/pictures/") + QLatin1String(file));
    return paths;
}

} // namespace

ImageList::ImageList(const QString &name, QSize image_size, QColor mask_color,
                     const QStringList &paths, QObject *parent)
    : QObject(parent), m_image_size(image_size), m_mask_color(mask_color)
{
    setObjectName(name);
    const QSize double_size = image_size * 2;
    for (const QString &path : paths) {
        m_pictures.append(QPixmap::fromImage(fit(load(path, image_size), image_size)));
        QIcon icon(m_pictures.last());
        QImage large = fit(load(double_size_path(path), double_size), double_size);
        large.setDevicePixelRatio(2);
        icon.addPixmap(QPixmap::fromImage(large));
        m_icons.append(icon);
    }
}

QPixmap ImageList::picture(int index) const
{
    return index >= 1 && index <= count() ? m_pictures.at(index - 1) : QPixmap();
}

QIcon ImageList::icon(int index) const
{
    return index >= 1 && index <= count() ? m_icons.at(index - 1) : QIcon();
}

void ImageList::outlineWhereDark(std::initializer_list<int> indexes, const QPalette &palette)
{
    if (!palette_is_dark(palette))
        return;
    for (const int index : indexes) {
        if (index < 1 || index > count())
            continue;
        const QPixmap large = m_icons.at(index - 1).pixmap(m_image_size, 2);
        m_pictures[index - 1] = outlined_where_dark(m_pictures.at(index - 1), palette);
        QIcon icon(m_pictures.at(index - 1));
        icon.addPixmap(outlined_where_dark(large, palette));
        m_icons[index - 1] = icon;
    }
}

QImage ImageList::load(const QString &path, QSize size) const
{
    QImageReader reader(path);
    const bool is_bitmap = reader.format() == "bmp";
    // An icon file holds several sizes; take the one that needs the least scaling.
    QImage best;
    const int images = std::max(reader.imageCount(), 1);
    for (int i = 0; i < images && (i == 0 || reader.jumpToImage(i)); ++i) {
        const QImage image = reader.read();
        if (!image.isNull() && (best.isNull() || scale_distance(image.size(), size) <
                                                     scale_distance(best.size(), size)))
            best = image;
    }
    // Qt takes a name ending in @2x as a picture for scaled screens and would paint it at half
    // its size; here it is fitted pixel for pixel.
    best.setDevicePixelRatio(1);
    return is_bitmap && !best.isNull() ? with_mask_transparent(best, m_mask_color) : best;
}

QImage ImageList::fit(const QImage &image, QSize size) const
{
    if (image.isNull() || image.size() == size)
        return image;
    const QImage scaled = image.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage fitted(size, QImage::Format_ARGB32_Premultiplied);
    fitted.fill(Qt::transparent);
    QPainter painter(&fitted);
    painter.drawImage((size.width() - scaled.width()) / 2, (size.height() - scaled.height()) / 2,
                      scaled);
    return fitted;
}

ImageList *make_ImageList1(QObject *parent)
{
    auto *list = new ImageList(
        QStringLiteral("ImageList1"), QSize(16, 16), kSilver,
        picture_paths({"pistol_32.gif", "paper_clip.ico", "page_blank.bmp", "page_magnifier.bmp",
                       "pistol_grey_16.gif", "pistol_grey_16.gif", "pistol_root_16.gif"}),
        parent);
    list->outlineWhereDark({7}, QGuiApplication::palette()); // the header's pistol
    return list;
}

ImageList *make_ImageList2(QObject *parent)
{
    auto *list =
        new ImageList(QStringLiteral("ImageList2"), QSize(24, 23), kSilver,
                      picture_paths({"floppy.bmp", "folder_open.bmp", "minus.ico", "plus.ico",
                                     "paper_clip.ico", "small_folder.bmp", "small_plus.bmp"}),
                      parent);
    list->outlineWhereDark({3, 4}, QGuiApplication::palette()); // minus and plus
    return list;
}
