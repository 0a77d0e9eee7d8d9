#include "modal_answer.h"

using namespace window_driver;
using modal_answer::weapon_line;
using modal_answer::Window;

namespace
{

// Nodes: 1 Sword; keys at 2, 4, ... 14, each followed by its value. In windows-1252: épée
// longue, cœur de šárka, ÉPÉE COURTE.
const QByteArray kSword = "Sword\\damage\\12\\SPEED\\fast\\range\\range 40\\style\\\xE9p\xE9"
                          "e longue\\maker\\\\ornament\\c\x9cur de \x9a\xE1rka\\alt\\\xC9P\xC9"
                          "E COURTE";

// The user's side: the boxes ticked, the text typed into the box (empty in a new window) one
// character at a time as a keyboard or an input method sends it, the button pressed.
void search(Window &w, bool keys, bool values, const QString &text)
{
    for (auto [name, ticked] : {std::pair{"Check2", keys}, std::pair{"Check1", values}}) {
        auto *box = control<QCheckBox>(w.form, name);
        if (box->isChecked() != ticked)
            QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    }
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, control<QLineEdit>(w.form, "Text3"), Qt::Key_unknown,
                            QString(c), {});
    }
    QTest::mouseClick(control<QPushButton>(w.form, "cmdSearch"), Qt::LeftButton);
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void finds_the_next_match_data()
    {
        QTest::addColumn<bool>("collapsed"); // by Collapse All, before the search
        QTest::addColumn<bool>("keys");
        QTest::addColumn<bool>("values");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after"); // the same as before: nothing found
        QTest::newRow("both boxes unticked") << false << false << false << "e" << 1 << 1;
        QTest::newRow("keys only passes over a value") << false << true << false << "a" << 3 << 6;
        QTest::newRow("values only passes over a key") << false << false << true << "a" << 1 << 5;
        QTest::newRow("both, a key first") << false << true << true << "a" << 1 << 2;
        QTest::newRow("both, a value next") << false << true << true << "a" << 2 << 5;
        QTest::newRow("small letters find capitals") << false << true << false << "speed" << 1 << 4;
        QTest::newRow("\u00C9P\u00C9E finds \u00E9p\u00E9e")
            << false << false << true << "\u00C9P\u00C9E" << 1 << 9;
        QTest::newRow("\u0152 finds \u0153") << false << false << true << "\u0152" << 1 << 13;
        QTest::newRow("trailing blank kept") << false << false << true << "12 " << 1 << 1;
        QTest::newRow("empty text, empty value") << false << false << true << "" << 10 << 11;
        QTest::newRow("no wrap to a match before") << false << false << true << "12" << 5 << 5;
        QTest::newRow("value under a collapsed key")
            << true << false << true << "courte" << 1 << 15;
    }
    void finds_the_next_match()
    {
        QFETCH(bool, collapsed);
        QFETCH(bool, keys);
        QFETCH(bool, values);
        QFETCH(QString, text);
        QFETCH(int, before);
        QFETCH(int, after);
        Window w(kSword);
        click_node(w.form, NodeIndex(before));
        if (collapsed)
            w.tool(6);
        search(w, keys, values, text);
        const auto found = NodeIndex(after);
        QCOMPARE(w.form.tree().selected(), found);
        QCOMPARE(w.tv->currentIndex(), model_index(w.form, found));
        QCOMPARE(w.text2->text(), w.form.tree().text(found));
        QVERIFY(w.tv->viewport()->rect().contains(w.tv->visualRect(model_index(w.form, found))));
        if (after != before)
            QTRY_COMPARE(w.form.focusWidget(), w.tv);
    }

    void full_tree_ends_at_the_last_node()
    {
        Window w(weapon_line(16383));
        click_node(w.form, kMaxNodes);
        search(w, true, true, "");
        QCOMPARE(w.form.tree().selected(), kMaxNodes);
        click_node(w.form, kMaxNodes - 1);
        search(w, true, true, "");
        QCOMPARE(w.text2->text(), "v16383");
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
