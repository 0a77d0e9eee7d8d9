#include "editor/image_list.h"

#include <QFile>
#include <QImageReader>
#include <QtTest>

#include <memory>

using Sizes = QList<QSize>;

namespace
{

const QRgb kSilver = qRgb(192, 192, 192);

QString resource(const char *file)
{
    return QStringLiteral(":/pictures/") + QLatin1String(file);
}

QByteArray bytes_of(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int u8(const QByteArray &bytes, qsizetype at)
{
    return static_cast<quint8>(bytes.at(at));
}
int u16(const QByteArray &bytes, qsizetype at)
{
    return u8(bytes, at) | u8(bytes, at + 1) << 8;
}

int u32(const QByteArray &bytes, qsizetype at)
{
    return u16(bytes, at) | u16(bytes, at + 2) << 16;
}

// Palette entries as the file stores them, read from the bytes since Qt decodes icons and
// GIFs to 32-bit images. An icon answers only when all its sizes agree; -1 otherwise.
int stored_colours(const QByteArray &bytes, const QByteArray &format)
{
    if (format == "gif")
        return 2 << (u8(bytes, 10) & 7);
    if (format == "bmp")
        return 1 << u16(bytes, 28);
    int colours = -1;
    for (int i = 0; i < u16(bytes, 4); ++i) {
        const int entry_colours = 1 << u16(bytes, u32(bytes, 6 + 16 * i + 12) + 14);
        if (colours != -1 && colours != entry_colours)
            return -1;
        colours = entry_colours;
    }
    return colours;
}

QList<QImage> all_images(const QString &path)
{
    QImageReader reader(path);
    QList<QImage> images;
    for (int i = 0; i < std::max(reader.imageCount(), 1); ++i) {
        if (i > 0 && !reader.jumpToImage(i))
            break;
        images.append(reader.read());
    }
    return images;
}

QPoint at(const QImage &image, QPointF fraction)
{
    return QPoint(int(fraction.x() * image.width()), int(fraction.y() * image.height()));
}

std::unique_ptr<QObject> lists_owner()
{
    auto owner = std::make_unique<QObject>();
    make_ImageList1(owner.get());
    make_ImageList2(owner.get());
    return owner;
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void files_have_their_format_data();
    void files_have_their_format();
    void files_bring_their_own_transparency_data();
    void files_bring_their_own_transparency();
    void about_pistol_is_greys_with_index_100_transparent();
    void list_pictures_fit_and_stay_transparent_data();
    void list_pictures_fit_and_stay_transparent();
    void pictures_of_the_lists_size_are_shown_as_drawn_data();
    void pictures_of_the_lists_size_are_shown_as_drawn();
    void numbers_outside_a_list_give_no_picture_data();
    void numbers_outside_a_list_give_no_picture();
};

void TestPictures::files_have_their_format_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<Sizes>("sizes");
    QTest::addColumn<int>("colours"); // -1 where the palette's size does not matter

    const Sizes icon{{32, 32}, {16, 16}};
    QTest::newRow("about pistol") << resource("pistol_32.gif") << QByteArray("gif")
                                  << Sizes{{32, 32}} << 128;
    QTest::newRow("grey pistol") << resource("pistol_grey_16.gif") << QByteArray("gif")
                                 << Sizes{{16, 16}} << -1;
    QTest::newRow("root pistol") << resource("pistol_root_16.gif") << QByteArray("gif")
                                 << Sizes{{16, 16}} << -1;
    QTest::newRow("paper clip") << resource("paper_clip.ico") << QByteArray("ico") << icon << 16;
    QTest::newRow("minus") << resource("minus.ico") << QByteArray("ico") << icon << 16;
    QTest::newRow("plus") << resource("plus.ico") << QByteArray("ico") << icon << 16;
    QTest::newRow("window tick") << resource("tick.ico") << QByteArray("ico") << icon << 16;
    QTest::newRow("blank page") << resource("page_blank.bmp") << QByteArray("bmp")
                                << Sizes{{16, 15}} << 256;
    QTest::newRow("page with magnifier")
        << resource("page_magnifier.bmp") << QByteArray("bmp") << Sizes{{16, 15}} << 256;
    QTest::newRow("floppy") << resource("floppy.bmp") << QByteArray("bmp") << Sizes{{24, 23}}
                            << 256;
    QTest::newRow("open folder") << resource("folder_open.bmp") << QByteArray("bmp")
                                 << Sizes{{24, 23}} << 256;
    QTest::newRow("small folder") << resource("small_folder.bmp") << QByteArray("bmp")
                                  << Sizes{{13, 13}} << 16;
    QTest::newRow("small plus") << resource("small_plus.bmp") << QByteArray("bmp")
                                << Sizes{{13, 13}} << 16;
    QTest::newRow("installed icon 32") << QFINDTESTDATA("../../resources/pictures/armsmith_32.png")
                                       << QByteArray("png") << Sizes{{32, 32}} << -1;
    QTest::newRow("installed icon 16") << QFINDTESTDATA("../../resources/pictures/armsmith_16.png")
                                       << QByteArray("png") << Sizes{{16, 16}} << -1;
}

void TestPictures::files_have_their_format()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, format);
    QFETCH(Sizes, sizes);
    QFETCH(int, colours);

    QCOMPARE(QImageReader(path).format(), format);
    Sizes read;
    for (const QImage &image : all_images(path))
        read.append(image.size());
    QCOMPARE(read, sizes);
    if (colours != -1)
        QCOMPARE(stored_colours(bytes_of(path), format), colours);
    // The image lists rely on bitmaps being drawn on the mask colour.
    if (format == "bmp")
        QCOMPARE(QImage(path).pixel(0, 0), kSilver);
}

void TestPictures::files_bring_their_own_transparency_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QPointF>("clear"); // both as fractions of the picture, for every size in it
    QTest::addColumn<QPointF>("solid");

    QTest::newRow("about pistol") << resource("pistol_32.gif") << QPointF(0, 0)
                                  << QPointF(0.5, 0.3);
    QTest::newRow("grey pistol") << resource("pistol_grey_16.gif") << QPointF(0.9, 0.9)
                                 << QPointF(0.5, 0.3);
    QTest::newRow("root pistol") << resource("pistol_root_16.gif") << QPointF(0.9, 0.9)
                                 << QPointF(0.5, 0.3);
    QTest::newRow("paper clip") << resource("paper_clip.ico") << QPointF(0.05, 0.5)
                                << QPointF(0.6, 0.8);
    QTest::newRow("minus") << resource("minus.ico") << QPointF(0.5, 0.2) << QPointF(0.5, 0.45);
    QTest::newRow("plus") << resource("plus.ico") << QPointF(0.15, 0.15) << QPointF(0.5, 0.25);
    QTest::newRow("window tick") << resource("tick.ico") << QPointF(0.1, 0.1) << QPointF(0.4, 0.7);
    QTest::newRow("installed icon 32") << QFINDTESTDATA("../../resources/pictures/armsmith_32.png")
                                       << QPointF(0.1, 0.1) << QPointF(0.4, 0.7);
    QTest::newRow("installed icon 16") << QFINDTESTDATA("../../resources/pictures/armsmith_16.png")
                                       << QPointF(0.1, 0.1) << QPointF(0.4, 0.7);
}

void TestPictures::files_bring_their_own_transparency()
{
    QFETCH(QString, path);
    QFETCH(QPointF, clear);
    QFETCH(QPointF, solid);

    const QList<QImage> images = all_images(path);
    QVERIFY(!images.isEmpty());
    for (const QImage &image : images) {
        QCOMPARE(image.pixelColor(at(image, clear)).alpha(), 0);
        QCOMPARE(image.pixelColor(at(image, solid)).alpha(), 255);
    }
}

void TestPictures::about_pistol_is_greys_with_index_100_transparent()
{
    const QByteArray gif = bytes_of(resource("pistol_32.gif"));
    QVERIFY(gif.startsWith("GIF89a"));
    QVERIFY(u8(gif, 10) & 0x80); // a global colour table
    for (int i = 0; i < 128; ++i) {
        const qsizetype entry = 13 + 3 * i;
        QVERIFY2(gif.at(entry) == gif.at(entry + 1) && gif.at(entry) == gif.at(entry + 2),
                 qPrintable(QStringLiteral("entry %1 is not grey").arg(i)));
    }
    const qsizetype control = gif.indexOf(QByteArray("\x21\xf9\x04", 3));
    QVERIFY(control > 0);
    QVERIFY(u8(gif, control + 3) & 1);
    QCOMPARE(u8(gif, control + 6), 100);

    // Black inside, lighter greys along the edges.
    QSet<QRgb> opaque;
    const QImage image = QImage(resource("pistol_32.gif")).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) == 255)
                opaque.insert(image.pixel(x, y));
    QVERIFY(opaque.contains(qRgb(0, 0, 0)));
    QVERIFY(opaque.size() > 4);
}

void TestPictures::list_pictures_fit_and_stay_transparent_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("bitmap");

    const char *names1[] = {"about pistol", "paper clip",  "blank page", "page with magnifier",
                            "grey pistol",  "grey pistol", "root pistol"};
    const bool bitmaps1[] = {false, false, true, true, false, false, false};
    const char *names2[] = {"floppy",     "open folder",  "minus",     "plus",
                            "paper clip", "small folder", "small plus"};
    const bool bitmaps2[] = {true, true, false, false, false, true, true};
    for (int i = 0; i < 7; ++i) {
        QTest::addRow("ImageList1 %d %s", i + 1, names1[i])
            << "ImageList1" << i + 1 << QSize(16, 16) << bitmaps1[i];
        QTest::addRow("ImageList2 %d %s", i + 1, names2[i])
            << "ImageList2" << i + 1 << QSize(24, 23) << bitmaps2[i];
    }
}

void TestPictures::list_pictures_fit_and_stay_transparent()
{
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(QSize, size);
    QFETCH(bool, bitmap);

    const auto owner = lists_owner();
    const auto *images = owner->findChild<ImageList *>(list);
    QVERIFY(images);
    QCOMPARE(images->count(), 7);
    QVERIFY(!images->icon(index).isNull());
    const QImage image = images->picture(index).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(image.size(), size);

    const int right = size.width() - 1, bottom = size.height() - 1;
    for (const QPoint corner :
         {QPoint(0, 0), QPoint(right, 0), QPoint(0, bottom), QPoint(right, bottom)})
        QCOMPARE(qAlpha(image.pixel(corner)), 0);
    int opaque = 0, opaque_silver = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            opaque += qAlpha(image.pixel(x, y)) == 255;
            opaque_silver += image.pixel(x, y) == kSilver;
        }
    }
    QVERIFY(opaque > size.width() * size.height() / 8);
    if (bitmap)
        QCOMPARE(opaque_silver, 0);
}

void TestPictures::pictures_of_the_lists_size_are_shown_as_drawn_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("path");

    QTest::newRow("tree 2, the paper clip icon's own 16 x 16")
        << "ImageList1" << 2 << resource("paper_clip.ico");
    QTest::newRow("tree 5 grey pistol") << "ImageList1" << 5 << resource("pistol_grey_16.gif");
    QTest::newRow("tree 6 grey pistol again")
        << "ImageList1" << 6 << resource("pistol_grey_16.gif");
    QTest::newRow("tree 7 root pistol") << "ImageList1" << 7 << resource("pistol_root_16.gif");
    QTest::newRow("tool bar 1 floppy") << "ImageList2" << 1 << resource("floppy.bmp");
    QTest::newRow("tool bar 2 open folder") << "ImageList2" << 2 << resource("folder_open.bmp");
}

void TestPictures::pictures_of_the_lists_size_are_shown_as_drawn()
{
    QFETCH(QString, list);
    QFETCH(int, index);
    QFETCH(QString, path);

    const auto owner = lists_owner();
    const auto *images = owner->findChild<ImageList *>(list);
    QVERIFY(images);
    QImage drawn;
    for (const QImage &image : all_images(path))
        if (image.size() == images->image_size())
            drawn = image.convertToFormat(QImage::Format_ARGB32);
    QVERIFY(!drawn.isNull());
    for (int y = 0; y < drawn.height(); ++y)
        for (int x = 0; x < drawn.width(); ++x)
            if (drawn.pixel(x, y) == kSilver)
                drawn.setPixel(x, y, 0);

    const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
    QCOMPARE(images->picture(index).toImage().convertToFormat(premultiplied),
             drawn.convertToFormat(premultiplied));
}

void TestPictures::numbers_outside_a_list_give_no_picture_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<int>("index");

    for (const char *list : {"ImageList1", "ImageList2"}) {
        QTest::addRow("%s zero, as if counted from 0", list) << list << 0;
        QTest::addRow("%s negative", list) << list << -1;
        QTest::addRow("%s one past the last", list) << list << 8;
    }
}

void TestPictures::numbers_outside_a_list_give_no_picture()
{
    QFETCH(QString, list);
    QFETCH(int, index);

    const auto owner = lists_owner();
    const auto *images = owner->findChild<ImageList *>(list);
    QVERIFY(images);
    QVERIFY(images->picture(index).isNull());
    QVERIFY(images->icon(index).isNull());
}

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
