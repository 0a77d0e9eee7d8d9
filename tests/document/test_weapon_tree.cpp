#include <QtTest>

class Testweapon_tree : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(Testweapon_tree)
#include "test_weapon_tree.moc"
