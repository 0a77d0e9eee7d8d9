#include "modal_answer.h"

using namespace window_driver;

// Nodes: 1 Sword; keys at 2, 4, ... 12, each followed by its value; windows-1252 letters.
static const QByteArray kSword = "Sword\\damage\\12\\SPEED\\fast\\range\\range 40\\style\\\xE9p\xE9"
                                 "e longue\\maker\\\\alt\\\xC9P\xC9"
                                 "E COURTE";

// Boxes ticked ("k" Keys, "v" Values), text typed, selection before and after (0: no match, the
// selection stays), Collapse All first or not.
struct Search {
    QString boxes, text;
    int before, after;
    bool collapsed = false;
};

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void finds_the_next_match_data()
    {
        QTest::addColumn<Search>("s");
        QTest::newRow("keys only passes over a value") << Search{"k", "a", 3, 6};
        QTest::newRow("again from a match: moves on") << Search{"k", "a", 2, 6};
        QTest::newRow("values only passes over a key") << Search{"v", "a", 1, 5};
        QTest::newRow("both boxes unticked") << Search{"", "e", 1, 0};
        QTest::newRow("\u00C9P\u00C9E finds \u00E9p\u00E9e") << Search{"v", "\u00C9P\u00C9E", 1, 9};
        QTest::newRow("empty text, empty value") << Search{"v", "", 10, 11};
        QTest::newRow("no wrap after the last match") << Search{"v", "12", 5, 0};
        QTest::newRow("value under a collapsed key") << Search{"v", "courte", 1, 13, true};
    }
    void finds_the_next_match()
    {
        QFETCH(Search, s);
        OpenWindow w(kSword);
        click_node(w.form, NodeIndex(s.before));
        if (s.collapsed)
            w.tool(6);
        for (auto [name, box] : {std::pair{"Check2", 'k'}, std::pair{"Check1", 'v'}}) {
            auto *check = control<QCheckBox>(w.form, name);
            if (check->isChecked() != s.boxes.contains(box))
                QTest::mouseClick(check, Qt::LeftButton, {}, QPoint(8, check->height() / 2));
        }
        // One character at a time, as a keyboard or an input method sends them.
        for (const QChar c : s.text)
            QTest::sendKeyEvent(QTest::Click, control(w.form, "Text3"), Qt::Key_unknown, c, {});
        QTest::mouseClick(control<QPushButton>(w.form, "cmdSearch"), Qt::LeftButton);
        const auto node = NodeIndex(s.after ? s.after : s.before);
        const TreeView *tv = tree_view(w.form);
        QCOMPARE(tv->currentIndex(), model_index(w.form, node));
        QCOMPARE(control<QLineEdit>(w.form, "Text2")->text(), w.form.tree().text(node));
        QVERIFY(tv->viewport()->rect().contains(tv->visualRect(tv->currentIndex())));
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
