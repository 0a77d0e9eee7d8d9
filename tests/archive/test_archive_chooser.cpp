#include "document/weapon_file.h"
#include "editor/archive_chooser.h"
#include "zip_maker.h"

#include <QtWidgets>

#include <QTest>

#include <sys/stat.h>

namespace
{

enum class Action { Ok, EnterInFilter, EnterInList, DoubleClick, Escape };

QByteArray binaryStart()
{
    QByteArray bytes = QByteArray::fromHex("000002000000000000000000");
    bytes += "\\a\\b\\c\\d\r\n";
    return bytes + QByteArray(20000, '\x7f');
}

const QList<MadeEntry> kEntries = {
    {"weapons/rifle.txt", "Rifle\\damage\\12\\range\\300\r\nsecond line\r\n"},
    {"textures/wall.tga", binaryStart()},
    {"weapons/pistol.txt", "Pistol\\damage\\4", ZIP_CM_STORE},
    {"readme.txt", "Read me first.\r\n"},
    {"notes.txt", "Rifle\\damage\r\n"},
    {"repeat.txt", "Rifle\\damage\\1\\damage\\2\r\n"},
    {"docs/", ""},
    {"weapons/long.txt", "Long\\k\\" + QByteArray(10000, 'v') + "\\k2\\v2\r\n"},
    {"secret/knife.txt", "Knife\\damage\\3\r\n", ZIP_CM_DEFLATE, {}, true},
    {"../mods/Axe.txt", "Axe\\damage\\9\r\n"},
    {"weapons/tab.txt", "Tab\\name\\Big\tGun\r\n"},
    // Its first pair lies past the part of an entry that is looked at first.
    {"weapons/late.txt", QByteArray(20000, 'h') + "\\k\\v"},
    {"late_repeat.txt", QByteArray(20000, 'h') + "\\k\\v\\k\\w"},
    {"late_binary.txt", QByteArray(20000, 'h') + "\x01\\k\\v"},
};

const QString kAxe = QStringLiteral("../mods/Axe.txt    (unsafe: a path outside the archive)");
const QStringList kWeapons = {"weapons/rifle.txt", "weapons/pistol.txt", "weapons/long.txt", kAxe,
                              "weapons/tab.txt",   "weapons/late.txt"};

QStringList shownRows(const QAbstractItemView *view)
{
    QStringList rows;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        rows << view->model()->index(row, 0).data().toString();
    return rows;
}

void act(QDialog *chooser, Action action)
{
    auto *list = chooser->findChild<QListView *>(QStringLiteral("ArchiveEntries"));
    auto *filter = chooser->findChild<QLineEdit *>(QStringLiteral("ArchiveFilter"));
    switch (action) {
    case Action::Ok:
        QTest::mouseClick(chooser->findChild<QPushButton *>(QStringLiteral("cmdOK")),
                          Qt::LeftButton);
        break;
    case Action::EnterInFilter:
        QTest::keyClick(filter, Qt::Key_Return);
        break;
    case Action::EnterInList:
        list->setFocus();
        QTest::keyClick(list, Qt::Key_Down);
        QTest::keyClick(list, Qt::Key_Return);
        break;
    case Action::DoubleClick: {
        const QPoint at = list->visualRect(list->model()->index(0, 0)).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        break;
    }
    case Action::Escape:
        QTest::keyClick(list, Qt::Key_Escape);
        break;
    }
}

} // namespace

class TestArchiveChooser : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_archive = m_dir.filePath(QStringLiteral("game.pk3"));

private slots:
    void initTestCase() { QVERIFY(make_zip(m_archive, kEntries)); }

    void choosesAmongWeaponEntries_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Action>("action");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("no filter, OK takes the first")
            << "" << Action::Ok << kWeapons << "weapons/rifle.txt";
        QTest::newRow("filter in any case, Enter in the box")
            << "PIST" << Action::EnterInFilter << QStringList{"weapons/pistol.txt"}
            << "weapons/pistol.txt";
        QTest::newRow("filter on the folder, Enter on the next row")
            << "weapons/" << Action::EnterInList
            << QStringList{kWeapons[0], kWeapons[1], kWeapons[2], kWeapons[4], kWeapons[5]}
            << "weapons/pistol.txt";
        QTest::newRow("filter on a climbing name, double-click")
            << "../" << Action::DoubleClick << QStringList{kAxe} << "../mods/Axe.txt";
        QTest::newRow("filter matching nothing, Enter")
            << "zzz" << Action::EnterInFilter << QStringList{} << "";
        QTest::newRow("Escape") << "" << Action::Escape << kWeapons << "";
    }

    void choosesAmongWeaponEntries()
    {
        QFETCH(QString, typed);
        QFETCH(Action, action);
        QFETCH(QStringList, shown);
        QFETCH(QString, chosen);
        QStringList seen;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            auto *chooser = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!chooser || !chooser->isVisible() || !seen.isEmpty())
                return;
            QCOMPARE(chooser->objectName(), QStringLiteral("ArchiveChooser"));
            auto *filter = chooser->findChild<QLineEdit *>(QStringLiteral("ArchiveFilter"));
            QTest::keyClicks(filter, typed);
            seen = shownRows(chooser->findChild<QListView *>(QStringLiteral("ArchiveEntries")));
            seen.prepend(QStringLiteral("shown"));
            act(chooser, action);
            // A chooser the action left open fails the comparison below instead of hanging.
            if (chooser->isVisible())
                chooser->reject();
        });
        poll.start(5);
        QString failure;
        const std::optional<QString> result = choose_archive_entry(nullptr, m_archive, &failure);
        seen.removeFirst();
        QCOMPARE(seen, shown);
        QCOMPARE(result.value_or(QString()), chosen);
        QCOMPARE(result.has_value(), !chosen.isEmpty());
        QVERIFY(failure.isEmpty());
    }

    void refusesArchiveWithoutWeapons_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("reasons");
        QTest::newRow("not a zip")
            << QByteArray("Rifle\\damage\\12\r\n") << QStringList{"The file is not a zip archive."};
        QTest::newRow("a named pipe") << QByteArray() << QStringList{"named pipe"};
        const auto zip = [&](const QList<MadeEntry> &entries) {
            const QString built = m_dir.filePath(QStringLiteral("built.pk3"));
            return make_zip(built, entries) ? file_bytes(built) : QByteArray();
        };
        QTest::newRow("no weapon entry") << zip({kEntries[1], kEntries[3], kEntries[4]})
                                         << QStringList{"The archive holds no weapon file."};
        QTest::newRow("its only weapon encrypted")
            << zip({kEntries[1], kEntries[8]})
            << QStringList{"no weapon file that can be opened",
                           "\"secret/knife.txt\" is encrypted"};
        QByteArray lzma = zip({{"w.txt", "W\\k\\v", ZIP_CM_STORE}});
        lzma[8] = 14;
        lzma[lzma.indexOf("PK\x01\x02") + 10] = 14;
        QTest::newRow("its only weapon packed with LZMA")
            << lzma << QStringList{"\"w.txt\" is packed with LZMA (method 14)"};
        QTest::newRow("its only weapon too large")
            << zip({{"w.txt", "W\\k\\v\\" + QByteArray(kMaxWeaponFileBytes, 'v')}})
            << QStringList{"\"w.txt\" unpacks to 16777222 bytes, more than the 16777216"};
        QTest::newRow("a broken name") << raw_zip({{"\x81.txt", "W\\k\\v", 0x0800}})
                                       << QStringList{"its name is not valid UTF-8"};
        QList<RawEntry> shared(10000, {"", "W\\k\\v", 0, {}, {}, 0});
        for (qsizetype i = 0; i < shared.size(); ++i)
            shared[i].name = QByteArray::number(i) + ".txt";
        QTest::newRow("ten thousand names for one entry")
            << raw_zip(shared) << QStringList{"two of its entries share the same bytes"};
    }

    void refusesArchiveWithoutWeapons()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, reasons);
        const QString path = m_dir.filePath(QStringLiteral("refused.pk3"));
        QFile::remove(path);
        QVERIFY(bytes.isEmpty() ? mkfifo(QFile::encodeName(path).constData(), 0600) == 0
                                : write_file(path, bytes));
        bool shown = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, [&] {
            if (auto *window = QApplication::activeModalWidget()) {
                shown = true;
                window->close();
            }
        });
        poll.start(5);
        QString failure;
        QVERIFY(!choose_archive_entry(nullptr, path, &failure));
        for (const QString &reason : reasons)
            QVERIFY2(failure.contains(reason), qPrintable(failure));
        QVERIFY(!shown);
    }
};

QTEST_MAIN(TestArchiveChooser)
#include "test_archive_chooser.moc"
