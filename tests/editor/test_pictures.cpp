#include "editor/image_list.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QtTest>

using Sizes = QList<QSize>;

// The installed icons are not compiled in; every other picture is read as the program reads it.
static QString path_of(const QString &file)
{
    const QString resource = QStringLiteral(":/pictures/") + file;
    return QFile::exists(resource) ? resource : QFINDTESTDATA("../../resources/pictures/" + file);
}

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void files_load_with_their_sizes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Sizes>("sizes");
        const auto rows = [](std::initializer_list<const char *> files, const Sizes &sizes) {
            for (const char *file : files)
                QTest::newRow(file) << QString::fromLatin1(file) << sizes;
        };
        rows({"pistol_32.gif", "armsmith_32.png"}, {{32, 32}});
        rows({"pistol_grey_16.gif", "pistol_root_16.gif", "armsmith_16.png"}, {{16, 16}});
        rows({"paper_clip.ico", "minus.ico", "plus.ico", "tick.ico"}, {{32, 32}, {16, 16}});
        rows({"page_blank.bmp", "page_magnifier.bmp"}, {{16, 15}});
        rows({"floppy.bmp", "folder_open.bmp"}, {{24, 23}});
        rows({"small_folder.bmp", "small_plus.bmp"}, {{13, 13}});
    }
    void files_load_with_their_sizes()
    {
        QFETCH(QString, file);
        QFETCH(Sizes, sizes);
        QImageReader reader(path_of(file));
        QCOMPARE(reader.format(), QFileInfo(file).suffix().toLatin1());
        Sizes read{reader.read().size()};
        while (reader.jumpToNextImage())
            read.append(reader.read().size());
        QCOMPARE(read, sizes);
    }

    // Read from the bytes: Qt decodes a GIF to 32 bits and keeps neither palette nor index.
    void about_pistol_is_128_greys_with_index_100_transparent()
    {
        QFile file(path_of("pistol_32.gif"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray gif = file.readAll();
        QVERIFY(gif.startsWith("GIF89a"));
        QCOMPARE(quint8(gif[10]) & 0x87, 0x86); // a global table of 2 << 6 entries
        for (int entry = 13; entry < 13 + 3 * 128; entry += 3)
            QVERIFY2(gif[entry] == gif[entry + 1] && gif[entry] == gif[entry + 2],
                     qPrintable(QString::number((entry - 13) / 3)));
        const qsizetype control = gif.indexOf(QByteArray("\x21\xf9\x04", 3));
        QVERIFY(control > 0);
        QCOMPARE(quint8(gif[control + 3]) & 1, 1);
        QCOMPARE(quint8(gif[control + 6]), 100);
    }

    // Clear corners on every picture, bitmaps included: a bitmap's are drawn in silver.
    void lists_fit_every_picture_clear_at_the_corners()
    {
        QObject owner;
        for (const ImageList *images : {make_ImageList1(&owner), make_ImageList2(&owner)}) {
            QCOMPARE(images->count(), 7);
            for (int index = 1; index <= images->count(); ++index) {
                const QImage image = images->picture(index).toImage();
                const QSize size = images->image_size();
                QCOMPARE(image.size(), size);
                QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
                QCOMPARE(image.pixelColor(size.width() - 1, size.height() - 1).alpha(), 0);
            }
        }
    }
};

QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
