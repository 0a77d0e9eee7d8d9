#include "window_driver.h"

#include <QAccessible>
#include <QApplication>

using namespace window_driver;

namespace
{

void dump(QAccessibleInterface *iface, int depth, QStringList &out)
{
    if (!iface || depth > 8)
        return;
    out << QString(depth * 2, ' ') + QString::number(iface->role(), 16) + " [" +
               iface->text(QAccessible::Name) + "] {" + iface->text(QAccessible::Description) +
               "} " +
               (iface->object() ? iface->object()->objectName() + " " +
                                      iface->object()->metaObject()->className()
                                : QString());
    for (int i = 0; i < iface->childCount(); ++i)
        dump(iface->child(i), depth + 1, out);
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void scratch()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QVERIFY(build_weapon_tree(form.tree(), "Pistol\\damage\\25\\range\\"));
        form.setOpenPath("/tmp/x");
        QStringList out;
        dump(QAccessible::queryAccessibleInterface(&form), 0, out);
        qDebug().noquote() << out.join('\n');
    }
};

QTEST_MAIN(TestAccessibility)
#include "test_accessibility.moc"
