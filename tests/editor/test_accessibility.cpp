#include "about/form2.h"
#include "window_driver.h"

#include <QAccessible>
#include <QApplication>
#include <QDialog>

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
    return rows.join(u'\n');
}

// Whatever a reader would meet without a name, or with blanks around it. Separators and plain
// containers without a name of their own are passed over, as readers do.
void find_unnamed(QAccessibleInterface *at, const QString &path, QStringList &found)
{
    const QString name = at->text(QAccessible::Name);
    const QString description = at->text(QAccessible::Description);
    const QString here = path + "/" + QString::number(at->role(), 16) + " " + name;
    const bool passedOver = at->role() == QAccessible::Separator ||
                            (at->role() == QAccessible::Client && name.isEmpty());
    if ((!passedOver && name.trimmed().isEmpty()) || name != name.trimmed() ||
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
               "24 empty (value of range)";
        QTest::newRow("a collapsed key hides its value; Down moves the focus")
            << QByteArray("Pistol\\damage\\25\\range\\300") << 2 << 4 << QKeySequence(Qt::Key_Down)
            << "23\n24 Pistol (the weapon's header)\n24 damage (key holding one value)\n"
               "24 range (key holding one value)\n* 24 300 (value of range)";
        QTest::newRow("header alone")
            << QByteArray("H") << 0 << 1 << QKeySequence() << "23\n* 24 H (the weapon's header)";
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
        QCOMPARE(unnamed(&form).join("\n"), QString());
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
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
