#pragma once

#include <QColor>
#include <QIcon>
#include <QList>
#include <QObject>
#include <QPalette>
#include <QPixmap>
#include <QSize>
#include <QStringList>

// A numbered set of same-sized pictures, as the tree and the tool bar take them. Bitmaps
// have no alpha, so their mask colour stands for transparency; GIFs and icons carry their own.
// Each icon also holds the picture's drawing at twice the size, for screens scaled to 200 %.
class ImageList : public QObject
{
    Q_OBJECT

public:
    ImageList(const QString &name, QSize image_size, QColor mask_color, const QStringList &paths,
              QObject *parent = nullptr);

    QSize image_size() const { return m_image_size; }
    int count() const { return static_cast<int>(m_pictures.size()); }

    // Pictures are numbered from 1; any other number gives a null picture.
    QPixmap picture(int index) const;
    QIcon icon(int index) const;

    // Gives the pictures at indexes a light rim where palette is dark, for they are black or
    // grey drawings that would vanish there.
    void outlineWhereDark(std::initializer_list<int> indexes, const QPalette &palette);

private:
    QImage load(const QString &path, QSize size) const;
    QImage fit(const QImage &image, QSize size) const;

    QSize m_image_size;
    QColor m_mask_color;
    QList<QPixmap> m_pictures;
    QList<QIcon> m_icons;
};

// The tree's pictures (16 x 16) and the tool bar's (24 x 23), owned by parent.
ImageList *make_ImageList1(QObject *parent);
ImageList *make_ImageList2(QObject *parent);
