#include "document/code_page.h"

#include <QSet>
#include <QtTest>

class TestCodePage : public QObject
{
    Q_OBJECT

private slots:
    void byteAndCharacter_data();
    void byteAndCharacter();
    void everyByteSurvives();
    void charactersWithoutByte_data();
    void charactersWithoutByte();
    void encodeReplacesEarlierBytes();
};

void TestCodePage::byteAndCharacter_data()
{
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("character");

    QTest::newRow("NUL") << 0x00 << 0x0000;
    QTest::newRow("backslash") << 0x5C << 0x005C;
    QTest::newRow("DEL") << 0x7F << 0x007F;
    QTest::newRow("euro sign") << 0x80 << 0x20AC;
    QTest::newRow("undefined 0x81") << 0x81 << 0x0081;
    QTest::newRow("S caron") << 0x8A << 0x0160;
    QTest::newRow("undefined 0x8D") << 0x8D << 0x008D;
    QTest::newRow("undefined 0x8F") << 0x8F << 0x008F;
    QTest::newRow("undefined 0x90") << 0x90 << 0x0090;
    QTest::newRow("trade mark") << 0x99 << 0x2122;
    QTest::newRow("undefined 0x9D") << 0x9D << 0x009D;
    QTest::newRow("Y diaeresis") << 0x9F << 0x0178;
    QTest::newRow("no-break space") << 0xA0 << 0x00A0;
    QTest::newRow("y diaeresis") << 0xFF << 0x00FF;
}

void TestCodePage::byteAndCharacter()
{
    QFETCH(int, byte);
    QFETCH(int, character);

    const QByteArray bytes(1, static_cast<char>(byte));
    QCOMPARE(code_page::decode(bytes), QString(QChar(character)));
    QByteArray encoded;
    QVERIFY(code_page::encode(QString(QChar(character)), encoded));
    QCOMPARE(encoded, bytes);
}

void TestCodePage::everyByteSurvives()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const QString text = code_page::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
    QCOMPARE(code_page::firstUnencodable(text), -1);
    QByteArray back;
    QVERIFY(code_page::encode(text, back));
    QCOMPARE(back, all);
}

void TestCodePage::charactersWithoutByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("position");

    QTest::newRow("U+0080, whose byte is the euro sign") << QString("ab") + QChar(0x80) << 2;
    QTest::newRow("U+009F, whose byte is Y diaeresis") << QString(QChar(0x9F)) + "ab" << 0;
    QTest::newRow("first past Latin-1") << QString("a") + QChar(0x100) << 1;
    QTest::newRow("snowman among letters") << QString::fromUtf8("é€☃a") << 2;
    QTest::newRow("replacement character") << QString(QChar(0xFFFD)) << 0;
    QTest::newRow("surrogate pair") << QString::fromUtf8("x😀") << 1;
    QTest::newRow("lone low surrogate") << QString("x") + QChar(0xDC00) << 1;
}

void TestCodePage::charactersWithoutByte()
{
    QFETCH(QString, text);
    QFETCH(int, position);

    QByteArray bytes;
    QVERIFY(!code_page::encode(text, bytes));
    QCOMPARE(code_page::firstUnencodable(text), position);
    QVERIFY(!code_page::canEncode(text[position]));
}

void TestCodePage::encodeReplacesEarlierBytes()
{
    QByteArray bytes = "left over from before";
    QVERIFY(code_page::encode(QString::fromUtf8("a€"), bytes));
    QCOMPARE(bytes, QByteArray("a\x80"));
    QVERIFY(code_page::encode(QString(), bytes));
    QCOMPARE(bytes, QByteArray());
}

QTEST_GUILESS_MAIN(TestCodePage)
#include "test_code_page.moc"
