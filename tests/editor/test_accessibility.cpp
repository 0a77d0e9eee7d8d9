#include "about/form2.h"
#include "editor/archive_chooser.h"
#include "window_driver.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

using namespace window_driver;

namespace
{

// One row a line, as a screen reader reads it: name, then description; "*" marks the row it is
// given when it asks where the focus is.
QString rows_read(const Form1 &form)
{
    QAccessibleInterface *tree = QAccessible::queryAccessibleInterface(tree_view(form));
    QStringList rows{QString::number(tree->role(), 16)};
    for (int i = 0; i < tree->childCount(); ++i) {
        QAccessibleInterface *row = tree->child(i);
        const bool linked = row->parent() == tree && tree->indexOfChild(row) == i;
        const bool focus = row == tree->focusChild() && row->state().focused;
        rows << QString(linked ? "" : "unlinked ") + (focus ? "* " : "") +
                    QString::number(row->role(), 16) + " " + row->text(QAccessible::Name) + " (" +
                    row->text(QAccessible::Description) + ")";
    }
    // Focus inside the tree that is not on a row: the editor of an in-place edit.
    if (QAccessibleInterface *focus = tree->focusChild(); focus && focus->parent() != tree)
        rows << QString(focus->state().focused ? "* " : "") + QString::number(focus->role(), 16) +
                    " " + focus->text(QAccessible::Name);
    // The value box, or the long box in its place: its caption, its role, and its text as read up
    // to the caret, which the box leaves at the end.
    QAccessibleInterface *box = QAccessible::queryAccessibleInterface(value_box(form));
    QAccessibleTextInterface *text = box->textInterface();
    const int caret = text ? text->cursorPosition() : -1;
    rows << QString("value box: %1 (%2, %3 characters, ending \"%4\")")
                .arg(box->text(QAccessible::Name), QString::number(box->role(), 16))
                .arg(text ? text->characterCount() : -1)
                .arg(text ? text->text(std::max(0, caret - 4), caret) : QString());
    return rows.join(u'\n');
}

// Whatever a reader would meet without a name, with blanks around it or with an access letter's &.
// Separators and plain containers without a name of their own are passed over, as readers do.
void find_unnamed(QAccessibleInterface *at, const QString &path, QStringList &found)
{
    const QString name = at->text(QAccessible::Name);
    const QString description = at->text(QAccessible::Description);
    const QString here = path + "/" + QString::number(at->role(), 16) + " " + name;
    const bool passedOver =
        at->role() == QAccessible::Separator ||
        ((at->role() == QAccessible::Client || at->role() == QAccessible::Grouping) &&
         name.isEmpty());
    if ((!passedOver && name.trimmed().isEmpty()) || name != name.trimmed() || name.contains('&') ||
        description != description.trimmed())
        found << here + " {" + description + "}";
    for (int i = 0; i < at->childCount(); ++i)
        find_unnamed(at->child(i), here, found);
}

QStringList unnamed(QObject *window)
{
    QStringList found;
    find_unnamed(QAccessible::queryAccessibleInterface(window), QString(), found);
    return found;
}

// The buttons below at, in the order a reader meets them.
QStringList buttons_read(QAccessibleInterface *at)
{
    QStringList found;
    if (at->role() == QAccessible::PushButton)
        found << at->text(QAccessible::Name);
    for (int i = 0; i < at->childCount(); ++i)
        found << buttons_read(at->child(i));
    return found;
}

// What Open does to the tree, without the file dialog.
bool load(Form1 &form, const QByteArray &bytes)
{
    const WeaponTreeBatch batch(form.tree());
    form.tree().nodes().Clear();
    return bool(build_weapon_tree(form.tree(), bytes));
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void rows_name_their_keys_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("collapsed"); // a key collapsed first, or 0
        QTest::addColumn<int>("clicked");
        QTest::addColumn<QKeySequence>("keys"); // pressed in the tree after the click
        QTest::addColumn<QString>("rows");
        QTest::newRow("header, keys and values")
            << QByteArray("Pistol\\damage\\25\\range\\") << 0 << 3 << QKeySequence()
            << "23\n24 Pistol (the weapon's header)\n24 damage (key holding one value)\n"
               "* 24 25 (value of damage)\n24 range (key holding one value)\n"
               "24 empty (value of range)\nvalue box: Value (Modifiable) (2a, 2 characters, ending "
               "\"25\")";
        QTest::newRow("editing in place: the editor has the focus, named after its key")
            << QByteArray("Pistol\\damage\\25") << 0 << 3 << QKeySequence(Qt::Key_F2)
            << "23\n24 Pistol (the weapon's header)\n24 damage (key holding one value)\n"
               "24 25 (value of damage)\n* 2a value of damage, editing\n"
               "value box: Value (Modifiable) (2a, 2 characters, ending \"25\")";
        QTest::newRow("no row has the focus once Tab has left the tree")
            << QByteArray("Pistol\\damage\\25") << 0 << 2 << QKeySequence(Qt::Key_Tab)
            << "23\n24 Pistol (the weapon's header)\n24 damage (key holding one value)\n"
               "24 25 (value of damage)\n"
               "value box: Value (Not Modifiable) (2a, 6 characters, ending \"mage\")";
        QTest::newRow("a collapsed key hides its value; Down moves the focus")
            << QByteArray("Pistol\\damage\\25\\range\\300") << 2 << 4 << QKeySequence(Qt::Key_Down)
            << "23\n24 Pistol (the weapon's header)\n24 damage (key holding one value)\n"
               "24 range (key holding one value)\n* 24 300 (value of range)\n"
               "value box: Value (Modifiable) (2a, 3 characters, ending \"300\")";
        QTest::newRow("header alone")
            << QByteArray("H") << 0 << 1 << QKeySequence()
            << "23\n* 24 H (the weapon's header)\n"
               "value box: Value (Modifiable) (2a, 1 characters, ending \"H\")";
        QTest::newRow("a long value: the long box, read through its text")
            << "Pistol\\damage\\" + QByteArray("0123456789").repeated(300) << 0 << 3
            << QKeySequence()
            << QString("23\n24 Pistol (the weapon's header)\n24 damage (key holding one value)\n* "
                       "24 ") +
                   QString("0123456789").repeated(200) +
                   "\u2026 (value of damage)\n"
                   "value box: Value (Modifiable) (2a, 3000 characters, ending \"6789\")";
    }
    void rows_name_their_keys()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, collapsed);
        QFETCH(int, clicked);
        QFETCH(QKeySequence, keys);
        QFETCH(QString, rows);
        Form1 form;
        QVERIFY(show_window(form));
        QVERIFY(load(form, "Old\\k\\v\\k2\\v2\\k3\\v3"));
        QVERIFY(!rows_read(form).isEmpty()); // rows read before a load must not linger after it
        QVERIFY(load(form, bytes));
        QVERIFY(!rows_read(form).isEmpty()); // nor rows read before a collapse after it
        if (collapsed)
            form.tree().setExpanded(NodeIndex(collapsed), false);
        click_node(form, NodeIndex(clicked));
        if (!keys.isEmpty())
            QTest::keySequence(tree_view(form), keys);
        QCOMPARE(rows_read(form), rows);
    }

    void nothing_unnamed()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QVERIFY(load(form, "Pistol\\damage\\25\\range\\"));
        QCOMPARE(unnamed(&form).join("\n"), QString());
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        if (QFile file(path); file.open(QIODevice::WriteOnly))
            file.write("Pistol\\damage\\25");
        QVERIFY(form.openWeaponFile(path)); // the status bar shows its path
        QStringList found = unnamed(&form);
        for (QMenu *menu : form.menuBar()->findChildren<QMenu *>()) // each opens as a window
            found << unnamed(menu);
        ArchiveChooser chooser("weapons.pk3", {ArchiveEntry{QStringLiteral("pistol.wpn")}});
        found << unnamed(&chooser);
        QCOMPARE(found.join("\n"), QString());
        // The whole path, however long, is spoken and shown in the tip.
        auto *panel = form.findChild<QLabel *>("Panel1Text");
        QCOMPARE(QAccessible::queryAccessibleInterface(panel)->text(QAccessible::Name) + "|" +
                     panel->toolTip(),
                 form.openPath() + "|" + form.openPath());
        QStringList inAbout{"not shown"};
        QTimer::singleShot(0, [&] {
            auto *about = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            inAbout = about ? unnamed(about) : inAbout;
            if (about)
                about->close();
        });
        Form2().Show(&form);
        QCOMPARE(inAbout.join('\n'), QString());
    }

    // A reader goes through the question's buttons in the order Tab does.
    void question_reads_in_tab_order()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QTemporaryDir dir;
        const QString path = dir.filePath("weapon.txt");
        if (QFile file(path); file.open(QIODevice::WriteOnly))
            file.write("Pistol\\damage\\25");
        QVERIFY(form.openWeaponFile(path));
        click_node(form, NodeIndex(3));
        QTest::keyClicks(form.findChild<QWidget *>("Text2"), "0");
        QStringList read{"not asked"}, tabbed;
        QTimer::singleShot(0, [&] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            read = buttons_read(QAccessible::queryAccessibleInterface(box));
            for (QWidget *at = box->nextInFocusChain(); at != box; at = at->nextInFocusChain())
                if (auto *button = qobject_cast<QPushButton *>(at); button && button->isVisible())
                    tabbed << button->text();
            box->button(QMessageBox::Cancel)->click();
        });
        form.findChild<QAction *>("mnuOpen")->trigger();
        QCOMPARE(read, tabbed);
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
