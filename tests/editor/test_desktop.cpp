#include "editor/command_line.h"
#include "editor/recent_files.h"
#include "modal_answer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace window_driver;

namespace
{

QString write_weapon(const QString &path)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write("H\\" + QFileInfo(path).fileName().toLatin1() + "\\1");
    return path;
}

// The recent menu as the user sees it, by file name: "&&" draws an ampersand, and a lone "&"
// only underlines the letter after it.
QString recent_menu(Form1 &form)
{
    auto *menu = control<QMenu>(form, "mnuRecent");
    emit menu->aboutToShow();
    QStringList names;
    for (const QAction *item : menu->actions()) {
        const QString drawn = item->text().replace("&&", "\1").remove(u'&').replace(u'\1', u'&');
        names << drawn.section(u'/', -1);
    }
    return names.join(u' ');
}

// A tool tip as the user reads it: text that looks like markup is shown as markup, and laid out,
// which loads the pictures it names.
QString shown_as_tool_tip(const QString &tip)
{
    if (!Qt::mightBeRichText(tip))
        return tip;
    QTextDocument document;
    document.setHtml(tip);
    document.size();
    return document.toPlainText();
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_settings;
    std::unique_ptr<QTemporaryDir> m_files;

private slots:
    // Every test has an empty recent list and an empty folder of its own, the current one.
    void init()
    {
        m_settings = std::make_unique<QTemporaryDir>();
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settings->path());
        m_files = std::make_unique<QTemporaryDir>();
        QDir::setCurrent(m_files->path());
    }

    void command_line_answers_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("output"); // exit code, first line out, lines of error
        QTest::newRow("help") << QStringList{"--help"} << "0|Usage: armsmith [options] [FILE]|";
        QTest::newRow("version") << QStringList{"--version"} << "0|armsmith " ARMSMITH_VERSION "|";
        QTest::newRow("two files") << QStringList{"a", "b"}
                                   << "64||armsmith: Only one weapon file can be opened at a "
                                      "time; 2 were given.";
        QTest::newRow("unknown option")
            << QStringList{"--bogus"} << "64||armsmith: Unknown option 'bogus'.";
        QTest::newRow("import without its source")
            << QStringList{"--import-csv", "a.csv"}
            << "64||armsmith: --import-csv FILE needs the folder or archive to import into after "
               "it.";
        QTest::newRow("dry run without an import")
            << QStringList{"--dry-run", "--export-csv", "."}
            << "64||armsmith: --dry-run goes with --import-csv.";
        QTest::newRow("output without an export")
            << QStringList{"--output", "x.csv", "w.wpn"}
            << "64||armsmith: --output goes with --export-csv.";
        QTest::newRow("the window system's own options")
            << QStringList{"-style", "fusion", "-reverse", "--version"}
            << "0|armsmith " ARMSMITH_VERSION "|";
    }
    // The program itself, with no window system to be had: it answers and ends all the same.
    void command_line_answers()
    {
        QFETCH(QStringList, arguments);
        QProcess armsmith;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);
        armsmith.setProcessEnvironment(environment);
        armsmith.start(ARMSMITH_EXECUTABLE, arguments);
        QVERIFY(armsmith.waitForFinished());
        // Qt may warn about the test machine's session first; only our own lines count.
        const QStringList errors = QString(armsmith.readAllStandardError()).split(u'\n');
        const QString out = QString(armsmith.readAllStandardOutput()).section(u'\n', 0, 0);
        QTEST(QString::number(armsmith.exitCode()) + '|' + out + '|' +
                  errors.filter(QRegularExpression("^armsmith:")).join(u'\n'),
              "output");
    }

    void opens_from_command_line_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("file"); // written in the current folder; null: none
        // opened, the path shown, the nodes, title, status tool tip, messages
        QTest::addColumn<QString>("shown");
        const QString title = " - Zembrak Armsmith|";
        QTest::newRow("file in the current folder")
            << QStringList{"rifle.wpn"} << QByteArray("rifle.wpn")
            << "1|FOLDER/rifle.wpn|H\nrifle.wpn\n1|rifle.wpn" + title + "FOLDER/rifle.wpn|";
        QTest::newRow("relative path through another folder")
            << QStringList{"sub/../rifle.wpn"} << QByteArray("rifle.wpn")
            << "1|FOLDER/rifle.wpn|H\nrifle.wpn\n1|rifle.wpn" + title + "FOLDER/rifle.wpn|";
        QTest::newRow("file named like an option")
            << QStringList{"--", "-v.wpn"} << QByteArray("-v.wpn")
            << "1|FOLDER/-v.wpn|H\n-v.wpn\n1|-v.wpn" + title + "FOLDER/-v.wpn|";
        QTest::newRow("missing file")
            << QStringList{"gone.wpn"} << QByteArray()
            << "0|||Zembrak Armsmith||Zembrak Armsmith: FOLDER/gone.wpn could not be opened."
               "\n\nThe file cannot be read: No such file or directory";
        // Names are shown as spelt: never as markup, and a picture they name is never read.
        QTest::newRow("name like markup")
            << QStringList{"<h1>BIG<i>.txt"} << QByteArray("<h1>BIG<i>.txt")
            << "1|FOLDER/<h1>BIG<i>.txt|H\n<h1>BIG<i>.txt\n1|<h1>BIG<i>.txt" + title +
                   "FOLDER/<h1>BIG<i>.txt|";
        QTest::newRow("name pointing at a named pipe")
            << QStringList{"<img src=pipe>"} << QByteArray("<img src=pipe>")
            << "1|FOLDER/<img src=pipe>|H\n<img src=pipe>\n1|<img src=pipe>" + title +
                   "FOLDER/<img src=pipe>|";
        QTest::newRow("name holding the unsaved mark")
            << QStringList{"a[*].wpn"} << QByteArray("a[*].wpn")
            << "1|FOLDER/a[*].wpn|H\na[*].wpn\n1|a[*].wpn" + title + "FOLDER/a[*].wpn|";
        QTest::newRow("name not UTF-8")
            << QStringList{QFile::decodeName("bad\xff.wpn")} << QByteArray("bad\xff.wpn")
            << "0|||Zembrak Armsmith||Zembrak Armsmith: FOLDER/bad\uFFFD.wpn could not be "
               "opened.\n\nThe file is there, but its name is not UTF-8 text, so it cannot be "
               "opened by that name. Rename it, then open it again.";
    }
    void opens_from_command_line()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, file);
        const CommandLine command = read_command_line(QStringList{"armsmith"} + arguments);
        QVERIFY(command.answer.isEmpty() && command.error.isEmpty());
        QDir().mkdir("sub");
        QVERIFY(::mkfifo("pipe", 0600) == 0);
        if (QFile out(QFile::decodeName(file)); !file.isNull()) {
            // Written by its bytes: a name that is not UTF-8 has no QString spelling.
            const int fd = ::open(file.constData(), O_WRONLY | O_CREAT, 0600);
            const QByteArray bytes = "H\\" + QFileInfo(out).fileName().toUtf8() + "\\1";
            QVERIFY(fd >= 0 && ::write(fd, bytes.constData(), bytes.size()) == bytes.size());
            ::close(fd);
        }
        Form1 form;
        QVERIFY(show_window(form));
        bool opened = false;
        const QStringList seen = answer_modals(
            {}, [&] { opened = !command.file.isEmpty() && form.openWeaponFile(command.file); });
        const QString tip = control<QLabel>(form, "Panel1Text")->toolTip();
        QTEST(QString(QString::number(opened) + '|' + form.openPath() + '|' + node_texts(form) +
                      '|' + form.windowHandle()->title() + '|' + shown_as_tool_tip(tip) + '|' +
                      seen.join(u'\n'))
                  .replace(m_files->path(), "FOLDER"),
              "shown");
    }

    void drop_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("urls");
        QTest::addColumn<QString>("shown"); // dropped, opened file, search text, messages
        const QStringList one{"file:rifle.wpn"};
        QTest::newRow("on the tree") << "Tv" << one << "1|rifle.wpn||";
        QTest::newRow("on the value box") << "Text2" << one << "1|rifle.wpn||";
        QTest::newRow("on the search box") << "Text3" << one << "1|rifle.wpn||";
        QTest::newRow("two files") << "Tv" << QStringList{"file:rifle.wpn", "file:b.wpn"}
                                   << "1|||Zembrak Armsmith: Only one weapon file can be opened "
                                      "at a time; 2 were dropped.\n\nDrop one of them.";
        QTest::newRow("two files on the value box")
            << "Text2" << QStringList{"file:rifle.wpn", "file:b.wpn"}
            << "1|||Zembrak Armsmith: Only one weapon file can be opened at a time; 2 were "
               "dropped.\n\nDrop one of them.";
        QTest::newRow("web address")
            << "Tv" << QStringList{"https://zembrak.example/rifle.wpn"} << "0|||";
    }
    void drop()
    {
        QFETCH(QString, target);
        QFETCH(QStringList, urls);
        Form1 form;
        QVERIFY(show_window(form));
        QMimeData mime;
        QList<QUrl> list;
        for (const QString &url : urls)
            list << (url.startsWith("file:") ? QUrl::fromLocalFile(write_weapon(url.mid(5)))
                                             : QUrl(url));
        mime.setUrls(list);
        // File managers offer the address as text as well, which a text box would take.
        mime.setText(list.first().toString());
        QWidget *on = control(form, qPrintable(target));
        if (auto *view = qobject_cast<QAbstractScrollArea *>(on))
            on = view->viewport();
        bool dropped = false;
        const QStringList seen = answer_modals({}, [&] {
            dropped = drag_and_drop(on, mime);
            for (int i = 0; i < 10; ++i) // what the drop does follows once its event is done
                QCoreApplication::processEvents();
        });
        QTEST(QString::number(dropped) + '|' + QFileInfo(form.openPath()).fileName() + '|' +
                  control<QLineEdit>(form, "Text3")->text() + '|' + seen.join(u'\n'),
              "shown");
    }

    // A drop replaces the document like Open, so unsaved edits are asked about first.
    void drop_over_edits_asks_first_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("shown"); // opened file, modified
        QTest::newRow("cancel keeps the edit") << "Cancel"
                                               << "rifle.wpn|1";
        QTest::newRow("discard opens the dropped file") << "Discard"
                                                        << "b.wpn|0";
    }
    void drop_over_edits_asks_first()
    {
        QFETCH(QString, answer);
        Form1 form;
        QVERIFY(show_window(form));
        QVERIFY(form.openWeaponFile(write_weapon("rifle.wpn")));
        click_node(form, 3);
        QTest::keyClicks(control(form, "Text2"), "7");
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(write_weapon("b.wpn"))});
        // The file manager waits for the drop to return: nothing may be asked before it has.
        const QStringList during =
            answer_modals({}, [&] { QVERIFY(drag_and_drop(tree_view(form)->viewport(), mime)); });
        QCOMPARE(during, QStringList());
        const QStringList seen = answer_modals({answer}, [&] {
            for (int i = 0; i < 10; ++i)
                QCoreApplication::processEvents();
        });
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen[0].contains("has changes"), qPrintable(seen[0]));
        QTEST(QFileInfo(form.openPath()).fileName() + '|' +
                  QString::number(form.isWindowModified()),
              "shown");
    }

    void recent_list_data()
    {
        QTest::addColumn<QStringList>("steps"); // open or save a file, or another window adds one
        QTest::addColumn<QString>("menu");
        QTest::newRow("newest first") << QStringList{"open a", "open b", "open c"} << "c b a";
        QTest::newRow("opened again moves up")
            << QStringList{"open a", "open b", "open a"} << "a b";
        QTest::newRow("one file, two spellings")
            << QStringList{"open a", "open b", "open ./sub/../a"} << "a b";
        QTest::newRow("ampersand in a name") << QStringList{"open R&D", "open a&&b"} << "a&&b R&D";
        QTest::newRow("saved moves up") << QStringList{"open a", "other b", "save"} << "a b";
        QTest::newRow("failed open left out") << QStringList{"open a", "open missing/x"} << "a";
        QStringList ten;
        for (const char *name : {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"})
            ten << QString("open f") + name;
        QTest::newRow("eight kept") << ten << "f10 f9 f8 f7 f6 f5 f4 f3";
        // Reading a named pipe would hang the start; the list is then left alone.
        QTest::newRow("settings a named pipe")
            << QStringList{"pipe settings", "open a", "save"} << "";
    }
    void recent_list()
    {
        QFETCH(QStringList, steps);
        QDir().mkdir("sub");
        if (steps.first() == "pipe settings") {
            QVERIFY(QDir(m_settings->path()).mkpath("Armsmith"));
            const QString settings = m_settings->path() + "/Armsmith/Armsmith.conf";
            QVERIFY(::mkfifo(QFile::encodeName(settings).constData(), 0600) == 0);
        }
        Form1 form;
        QVERIFY(show_window(form));
        for (const QString &step : steps) {
            const QString what = step.section(u' ', 0, 0), name = step.section(u' ', 1);
            if (what == "open" && !name.startsWith("missing"))
                write_weapon(name);
            if (what == "open") // the path as the caller spelled it, not made tidy first
                answer_modals({}, [&] { form.openWeaponFile(QDir::currentPath() + '/' + name); });
            if (what == "other")
                RecentFiles().add(write_weapon(name));
            if (what == "save")
                control<QAction>(form, "Toolbar1_Button3")->trigger();
        }
        QTEST(recent_menu(form), "menu");
    }

    void choosing_recent_data()
    {
        QTest::addColumn<bool>("gone");
        QTest::addColumn<QString>("shown"); // messages, the open file, the menu afterwards
        QTest::newRow("file still there") << false << "|b|b a";
        QTest::newRow("file gone") << true
                                   << "Zembrak Armsmith: FOLDER/b is no longer there, so it was "
                                      "taken off the recent list.\n\nIt may have "
                                      "been moved, renamed or deleted.||a";
    }
    void choosing_recent()
    {
        QFETCH(bool, gone);
        Form1 form;
        QVERIFY(show_window(form));
        RecentFiles().add(write_weapon("b"));
        RecentFiles().add(write_weapon("a"));
        if (gone)
            QFile::remove("b");
        recent_menu(form);
        const QStringList seen =
            answer_modals({}, [&] { control<QAction>(form, "mnuRecent2")->trigger(); });
        QTEST(seen.join(u'\n').replace(m_files->path(), "FOLDER") + '|' +
                  QFileInfo(form.openPath()).fileName() + '|' + recent_menu(form),
              "shown");
    }
};

QTEST_MAIN(TestDesktop)
#include "test_desktop.moc"
