#include "editor/image_list.h"
#include <QImageReader>
#include <QtTest>

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
    // Bitmaps are drawn on silver, which the lists must clear. Qt drops a GIF's palette, so the
    // About picture's transparent index is read from its control block: flags, delay, index.
    void transparency()
    {
        QObject owner;
        for (const ImageList *images : {make_ImageList1(&owner), make_ImageList2(&owner)})
            for (int index = 1; index <= images->count(); ++index)
                QCOMPARE(images->picture(index).toImage().pixelColor(0, 0).alpha(), 0);
        QFile gif(":/pictures/pistol_32.gif");
        QVERIFY(gif.open(QIODevice::ReadOnly));
        const QByteArray bytes = gif.readAll(),
                         block = bytes.mid(bytes.indexOf("\x21\xf9\x04") + 3);
        QCOMPARE(QList<int>({block.at(0) & 1, quint8(block.at(3))}), QList<int>({1, 100}));
    }
};
QTEST_MAIN(TestPictures)
#include "test_pictures.moc"
