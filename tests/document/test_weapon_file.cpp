#include <QtTest>

class Testweapon_file : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(Testweapon_file)
#include "test_weapon_file.moc"
