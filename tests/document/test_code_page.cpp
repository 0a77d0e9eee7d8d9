#include <QtTest>

class Testcode_page : public QObject
{
    Q_OBJECT
private slots:
    void placeholder() {}
};

QTEST_GUILESS_MAIN(Testcode_page)
#include "test_code_page.moc"
