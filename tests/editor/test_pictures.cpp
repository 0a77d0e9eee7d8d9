#include "about/form2.h"
#include "editor/archive_chooser.h"
#include "editor/image_list.h"
#include "editor/tool_bar.h"
#include "ui/sharp_picture.h"
#include "window_driver.h"
#include <QImageReader>
#include <QtTest>
#include <QtWidgets>

namespace
{

QList<QSize> sizes_in(const QString &path)
{
    QImageReader reader(path);
    QList<QSize> sizes;
    for (QImage i = reader.read(); !i.isNull();
         i = reader.jumpToNextImage() ? reader.read() : QImage())
        sizes << i.size();
    return sizes;
}

int opaque(const QPixmap &pixmap)
{
    const QImage image = pixmap.toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y).alpha() >= 128;
    return count;
}

// Pixels on the screen, and how many to a point of the user interface.
QString shown(const QPixmap &pixmap)
{
    return QString("%1x%2@%3")
        .arg(pixmap.width())
        .arg(pixmap.height())
        .arg(pixmap.devicePixelRatio());
}

// A picture as shown on a desktop of palette, at 100 % and at 200 %: a tree or tool bar picture
// named "list index", or "about" for the About window's.
QList<QImage> shown_on(const QPalette &palette, const QString &picture)
{
    QApplication::setPalette(palette);
    QList<QImage> images;
    if (picture == "about") {
        QWidget owner;
        QTimer::singleShot(0, [&images] {
            auto *about = QApplication::activeModalWidget();
            images << window_driver::control<QLabel>(*about, "Picture1")->pixmap().toImage();
            about->close();
        });
        Form2().Show(&owner);
    } else {
        QObject owner;
        const ImageList *list =
            picture.startsWith('1') ? make_ImageList1(&owner) : make_ImageList2(&owner);
        const QIcon icon = list->icon(picture.section(' ', 1).toInt());
        images << icon.pixmap(list->image_size(), 1).toImage()
               << icon.pixmap(list->image_size(), 2).toImage();
    }
    QApplication::setPalette(QPalette());
    return images;
}

// Pixels a dark window would show light and solid.
int light_pixels(const QList<QImage> &images)
{
    int count = 0;
    for (const QImage &image : images)
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixelColor(x, y).alpha() >= 128 &&
                         image.pixelColor(x, y).lightness() >= 200;
    return count;
}

QByteArray digest(const QList<QImage> &images)
{
    QCryptographicHash hash(QCryptographicHash::Md5);
    for (const QImage &image : images) {
        const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
        hash.addData(QByteArrayView(argb.constBits(), argb.sizeInBytes()));
    }
    return hash.result().toHex();
}

} // namespace

class TestPictures : public QObject
{
    Q_OBJECT
private slots:
    void sizes_data() // each file with the size of every image in it
    {
        QTest::addColumn<QString>("sizes");
        for (const QString &row :
             QString("pistol_32.gif 32x32,armsmith_32.png 32x32,pistol_grey_16.gif "
                     "16x16,pistol_root_16.gif 16x16,armsmith_16.png 16x16,paper_clip.ico 32x32 "
                     "16x16,minus.ico 32x32 16x16,plus.ico 32x32 16x16,tick.ico 32x32 "
                     "16x16,page_blank.bmp 16x15,page_magnifier.bmp 16x15,floppy.bmp "
                     "24x23,folder_open.bmp 24x23,small_folder.bmp 13x13,small_plus.bmp 13x13")
                 .split(u','))
            QTest::newRow(qPrintable(row.section(u' ', 0, 0))) << row.section(u' ', 1);
    }
    void sizes() // from the sources, as installed icons are not compiled in
    {
        QImageReader reader(
            QFINDTESTDATA("../../resources/pictures/" + QString(QTest::currentDataTag())));
        QStringList read;
        for (QImage i = reader.read(); !i.isNull();
             i = reader.jumpToNextImage() ? reader.read() : QImage())
            read << QString("%1x%2").arg(i.width()).arg(i.height());
        QTEST(read.join(u' '), "sizes");
    }
    void double_size_data()
    {
        QTest::addColumn<QString>("path");
        for (const QString &name : QDir(":/pictures").entryList())
            if (!name.contains("@2x"))
                QTest::newRow(qPrintable(name)) << ":/pictures/" + name;
    }
    // Every image of the large drawing exactly twice its small one, or Qt would scale it again.
    void double_size()
    {
        QFETCH(QString, path);
        QList<QSize> doubled;
        for (const QSize size : sizes_in(path))
            doubled << size * 2;
        QCOMPARE(sizes_in(double_size_path(path)), doubled);
    }
    // Bitmaps are drawn on silver, which the lists must clear, at either scale. Qt drops a GIF's
    // palette, so the About picture's transparent index is read from its control block.
    void transparency()
    {
        QObject owner;
        for (const ImageList *images : {make_ImageList1(&owner), make_ImageList2(&owner)})
            for (int index = 1; index <= images->count(); ++index) {
                QCOMPARE(images->picture(index).toImage().pixelColor(0, 0).alpha(), 0);
                const QSize size = images->image_size();
                const QPixmap small = images->icon(index).pixmap(size, 1),
                              large = images->icon(index).pixmap(size, 2);
                QCOMPARE(shown(small) + " " + shown(large),
                         shown(QPixmap(size)) + " " +
                             QString("%1x%2@2").arg(size.width() * 2).arg(size.height() * 2));
                QCOMPARE(large.toImage().pixelColor(0, 0).alpha(), 0);
                // Drawn over the whole of its place, not in a corner of it.
                const double cover = double(opaque(large)) / opaque(small);
                QVERIFY2(cover > 3 && cover < 5, qPrintable(QString::number(cover)));
            }
        QFile gif(":/pictures/pistol_32.gif");
        QVERIFY(gif.open(QIODevice::ReadOnly));
        const QByteArray bytes = gif.readAll(),
                         block = bytes.mid(bytes.indexOf("\x21\xf9\x04") + 3);
        QCOMPARE(QList<int>({block.at(0) & 1, quint8(block.at(3))}), QList<int>({1, 100}));
    }
    // Black and grey drawings get a light rim on a dark desktop, so that they read there; on a
    // bright one they stay exactly as drawn. The filter's hint stays readable on either.
    void outlined_on_a_dark_desktop_data()
    {
        QTest::addColumn<QString>("picture");
        QTest::addColumn<QByteArray>("bright");
        QTest::newRow("header pistol") << "1 7" << QByteArray("5409b4b6bdb676e18216e6374754e198");
        QTest::newRow("minus") << "2 3" << QByteArray("43ada5ce72287ca863bb88884d96df6b");
        QTest::newRow("plus") << "2 4" << QByteArray("97abb75f5e0e3024a2eaa7f72a1f086b");
        QTest::newRow("About pistol") << "about" << QByteArray("162a987131f5faa4d4619d0b786bbb70");
    }
    void outlined_on_a_dark_desktop()
    {
        QFETCH(QString, picture);
        QFETCH(QByteArray, bright);
        QPalette dark(QColor(40, 40, 40), QColor(48, 48, 48));
        dark.setColor(QPalette::WindowText, Qt::white);
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 128)); // as themes leave it
        const QList<QImage> onBright = shown_on(QPalette(), picture),
                            onDark = shown_on(dark, picture);
        QCOMPARE(digest(onBright), bright);
        QCOMPARE(light_pixels(onBright), 0);
        QVERIFY2(light_pixels(onDark) > 20, qPrintable(QString::number(light_pixels(onDark))));
        QApplication::setPalette(dark);
        ArchiveChooser chooser("weapons.pk3", {ArchiveEntry{QStringLiteral("pistol.wpn")}});
        QApplication::setPalette(QPalette());
        const QPalette shown = chooser.findChild<QLineEdit *>("ArchiveFilter")->palette();
        QVERIFY(shown.color(QPalette::PlaceholderText).lightness() > 128);
    }

    // This test runs at 200 %, where every picture the window shows must come from its large
    // drawing.
    void window_at_double_scale()
    {
        Form1 form;
        QVERIFY(window_driver::show_window(form));
        QStringList found{"window " + shown(form.windowIcon().pixmap(QSize(32, 32), 2))};
        auto *bar = window_driver::control<ToolBar>(form, "Toolbar1");
        for (QAction *action : bar->actions())
            if (!action->isSeparator())
                found << action->text() + " " + shown(action->icon().pixmap(bar->iconSize(), 2));
        for (const QLabel *label : window_driver::control(form, "Panel1")->findChildren<QLabel *>())
            if (!label->pixmap().isNull())
                found << "status " + shown(label->pixmap());
        QTimer::singleShot(0, [&found] {
            auto *about = QApplication::activeModalWidget();
            found << "about " + shown(window_driver::control<QLabel>(*about, "Picture1")->pixmap());
            about->close();
        });
        form.findChild<QAction *>("mnuAbout")->trigger();
        QCOMPARE(found.join(u'\n'), "window 64x64@2\nOpen Weapon 48x46@2\nSave Weapon 48x46@2\n"
                                    "Expand All 48x46@2\nCollapse All 48x46@2\nNew Key 48x46@2\n"
                                    "status 32x32@2\nabout 64x64@2");
    }
};

// The whole suite runs as on a screen scaled to 200 %; the small pictures are asked for by scale.
int main(int argc, char *argv[])
{
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestPictures test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "test_pictures.moc"
