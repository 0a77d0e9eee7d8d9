#include "editor/image_list.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtTest>

using Sizes = QList<QSize>;

// The installed icons are not compiled in; the rest is read as the program reads it.
static QString path_of(const QString &file)
{
    const QString resource = ":/pictures/" + file;
    return QFile::exists(resource) ? resource : QFINDTESTDATA("../../resources/pictures/" + file);
}

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void load_with_their_sizes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Sizes>("sizes");
        const auto rows = [](std::initializer_list<const char *> files, const Sizes &sizes) {
            for (const char *file : files)
                QTest::newRow(file) << QString(file) << sizes;
        };
        rows({"pistol_32.gif", "armsmith_32.png"}, {{32, 32}});
        rows({"pistol_grey_16.gif", "pistol_root_16.gif", "armsmith_16.png"}, {{16, 16}});
        rows({"paper_clip.ico", "minus.ico", "plus.ico", "tick.ico"}, {{32, 32}, {16, 16}});
        rows({"page_blank.bmp", "page_magnifier.bmp"}, {{16, 15}});
        rows({"floppy.bmp", "folder_open.bmp"}, {{24, 23}});
        rows({"small_folder.bmp", "small_plus.bmp"}, {{13, 13}});
    }
    void load_with_their_sizes()
    {
        QFETCH(QString, file);
        QFETCH(Sizes, sizes);
        QImageReader reader(path_of(file));
        QCOMPARE(reader.format(), QFileInfo(file).suffix().toLatin1());
        Sizes read{reader.read().size()};
        while (reader.jumpToNextImage())
            read << reader.read().size();
        QCOMPARE(read, sizes);
    }

    // From the bytes: Qt decodes a GIF to 32 bits and keeps no palette index.
    void about_gif_transparent_index_is_100()
    {
        QFile file(path_of("pistol_32.gif"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray gif = file.readAll();
        const qsizetype control = gif.indexOf(QByteArray("\x21\xf9\x04", 3));
        QVERIFY(gif.startsWith("GIF89a") && control > 0);
        QCOMPARE(quint8(gif[control + 3]) & 1, 1);
        QCOMPARE(quint8(gif[control + 6]), 100);
    }

    // A bitmap's corners are silver, which the lists must make clear.
    void image_lists_clear_the_corners()
    {
        QObject owner;
        for (const ImageList *images : {make_ImageList1(&owner), make_ImageList2(&owner)}) {
            QCOMPARE(images->count(), 7);
            const QSize size = images->image_size();
            for (int index = 1; index <= images->count(); ++index) {
                const QImage image = images->picture(index).toImage();
                QCOMPARE(image.size(), size);
                QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
                QCOMPARE(image.pixelColor(size.width() - 1, size.height() - 1).alpha(), 0);
            }
        }
    }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
