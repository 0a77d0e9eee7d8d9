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
const QByteArray kFull = weapon_line(16383);

// A search by a user from the node before: the boxes ticked ("k" Keys, "v" Values), the text
// typed, Collapse All first or not. after: the node the search stops on.
struct Search {
    QString boxes, text;
    int before, after;
    bool collapsed = false;
    QByteArray line = kSword;
};

// The text goes in one character at a time, as a keyboard or an input method sends it. The node
// found is then the view's current one, on screen and in the panel.
void search_from_before()
{
    QFETCH(Search, s);
    Window w(s.line);
    click_node(w.form, NodeIndex(s.before));
    if (s.collapsed)
        w.tool(6);
    for (auto [name, box] : {std::pair{"Check2", 'k'}, std::pair{"Check1", 'v'}}) {
        auto *check = control<QCheckBox>(w.form, name);
        if (check->isChecked() != s.boxes.contains(box))
            QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
    }
    auto *typed = control<QLineEdit>(w.form, "Text3");
    for (const QChar c : s.text)
        QTest::sendKeyEvent(QTest::Click, typed, Qt::Key_unknown, QString(c), {});
    QTest::mouseClick(control<QPushButton>(w.form, "cmdSearch"), Qt::LeftButton);
    const QModelIndex found = model_index(w.form, NodeIndex(s.after));
    QCOMPARE(w.tv->currentIndex(), found);
    QCOMPARE(w.text2->text(), w.form.tree().text(NodeIndex(s.after)));
    QVERIFY(w.tv->viewport()->rect().contains(w.tv->visualRect(found)));
    if (s.after != s.before)
        QTRY_COMPARE(w.form.focusWidget(), w.tv);
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void finds_the_next_match_data()
    {
        QTest::addColumn<Search>("s");
        QTest::newRow("keys only passes over a value") << Search{"k", "a", 3, 6};
        QTest::newRow("values only passes over a key") << Search{"v", "a", 1, 5};
        QTest::newRow("both boxes, from a match onward") << Search{"kv", "a", 2, 5};
        QTest::newRow("\u00C9P\u00C9E finds \u00E9p\u00E9e") << Search{"v", "\u00C9P\u00C9E", 1, 9};
        QTest::newRow("\u0152 finds \u0153") << Search{"v", "\u0152", 1, 13};
        QTest::newRow("empty text, empty value") << Search{"v", "", 10, 11};
        QTest::newRow("value under a collapsed key") << Search{"v", "courte", 1, 15, true};
        QTest::newRow("full tree, its last node")
            << Search{"kv", "", kMaxNodes - 1, kMaxNodes, false, kFull};
    }
    void finds_the_next_match() { search_from_before(); }

    void finds_nothing_data()
    {
        QTest::addColumn<Search>("s");
        QTest::newRow("both boxes unticked") << Search{"", "e", 1, 1};
        QTest::newRow("trailing blank kept") << Search{"v", "12 ", 1, 1};
        QTest::newRow("no wrap to a match before") << Search{"v", "12", 5, 5};
        QTest::newRow("full tree, from its last node")
            << Search{"kv", "", kMaxNodes, kMaxNodes, false, kFull};
    }
    void finds_nothing() { search_from_before(); }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
