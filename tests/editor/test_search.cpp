#include "modal_answer.h"
#include "window_driver.h"

#include "document/code_page.h"
#include "editor/tool_bar.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace window_driver;

namespace
{

// Nodes: 1 Sword; keys at 2, 4, ... 14, each followed by its value.
const QString kHeader = QStringLiteral("Sword");
const QList<QPair<QString, QString>> kPairs = {
    {"damage", "12"},                             // 2, 3
    {"SPEED", "fast"},                            // 4, 5
    {"range", "range 40"},                        // 6, 7
    {"style", "\u00E9p\u00E9e longue"},           // 8, 9: épée longue
    {"maker", ""},                                // 10, 11
    {"ornament", "c\u0153ur de \u0161\u00E1rka"}, // 12, 13: cœur de šárka
    {"alt", "\u00C9P\u00C9E COURTE"},             // 14, 15: ÉPÉE COURTE
};

// Selections before a search that no click can make.
constexpr int kNoDocument = -1;
constexpr int kNoSelection = 0;

// Keys carrying any text, one character at a time, as a keyboard or an input method sends it.
void type_keys(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
}

struct Searcher {
    QTemporaryDir dir;
    Form1 form;
    TreeView *tv = tree_view(form);
    QLineEdit *text2 = control<QLineEdit>(form, "Text2");
    QLineEdit *text3 = control<QLineEdit>(form, "Text3");
    QPushButton *cmdSearch = control<QPushButton>(form, "cmdSearch");

    Searcher() { show_window(form); }

    bool open(const QString &header, const QList<QPair<QString, QString>> &pairs)
    {
        QString line = header;
        for (const auto &[key, value] : pairs)
            line += '\\' + key + '\\' + value;
        QByteArray bytes;
        const QString path = dir.filePath(QStringLiteral("weapon.txt"));
        QFile file(path);
        if (!code_page::encode(line, bytes) || !file.open(QIODevice::WriteOnly))
            return false;
        file.write(bytes);
        file.close();
        const auto open = [this] { form.findChild<QAction *>("mnuOpen")->trigger(); };
        modal_answer::run(open, {modal_answer::choose_file(path)});
        return form.tree().count() == 1 + 2 * pairs.size();
    }

    // The user's side of a search: the boxes ticked, the text typed, the button pressed.
    void prepare(bool keys, bool values, const QString &text)
    {
        for (auto [name, ticked] : {std::pair{"Check2", keys}, std::pair{"Check1", values}}) {
            auto *box = control<QCheckBox>(form, name);
            if (box->isChecked() != ticked)
                QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
        }
        QTest::mouseClick(text3, Qt::LeftButton);
        QTest::keyClick(text3, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(text3, Qt::Key_Delete);
        type_keys(text3, text);
    }

    void search() { QTest::mouseClick(cmdSearch, Qt::LeftButton); }

    QString panel() const
    {
        return text2->text() + (text2->isReadOnly() ? " read-only" : " editable");
    }

    bool shown(NodeIndex node) const
    {
        return tv->viewport()->rect().contains(tv->visualRect(model_index(form, node)));
    }
};

QList<QPair<QString, QString>> numbered_pairs(int count)
{
    QList<QPair<QString, QString>> pairs;
    for (int i = 1; i <= count; ++i)
        pairs.append({QStringLiteral("k%1").arg(i), QStringLiteral("v%1").arg(i)});
    return pairs;
}

} // namespace

class TestSearch : public QObject
{
    Q_OBJECT

private slots:
    void finds_the_next_match_data()
    {
        QTest::addColumn<bool>("keys");
        QTest::addColumn<bool>("values");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("after"); // the same as before: nothing found
        QTest::newRow("both boxes unticked") << false << false << "e" << 1 << 1;
        QTest::newRow("both boxes unticked, empty text") << false << false << "" << 1 << 1;
        QTest::newRow("keys only passes over a value") << true << false << "a" << 3 << 6;
        QTest::newRow("values only passes over a key") << false << true << "a" << 1 << 5;
        QTest::newRow("both, a key first") << true << true << "a" << 1 << 2;
        QTest::newRow("both, a value next") << true << true << "a" << 2 << 5;
        QTest::newRow("key text needs Search Key") << false << true << "range" << 5 << 7;
        QTest::newRow("key text with Search Key") << true << false << "range" << 5 << 6;
        QTest::newRow("keys only ignores a value's text") << true << false << "fast" << 1 << 1;
        QTest::newRow("small letters find capitals") << true << false << "speed" << 1 << 4;
        QTest::newRow("capitals find small letters") << false << true << "FAST" << 1 << 5;
        QTest::newRow("\u00C9P\u00C9E finds \u00E9p\u00E9e")
            << false << true << "\u00C9P\u00C9E" << 1 << 9;
        QTest::newRow("\u00E9p\u00E9e finds \u00C9P\u00C9E")
            << false << true << "\u00E9p\u00E9e" << 9 << 15;
        QTest::newRow("\u0152 finds \u0153") << false << true << "\u0152" << 1 << 13;
        QTest::newRow("\u0160\u00C1RKA finds \u0161\u00E1rka")
            << false << true << "\u0160\u00C1RKA" << 1 << 13;
        QTest::newRow("text in the middle") << false << true << "ongu" << 1 << 9;
        QTest::newRow("leading blank kept") << false << true << " 40" << 1 << 7;
        QTest::newRow("trailing blank kept") << false << true << "12 " << 1 << 1;
        QTest::newRow("empty text, next value") << false << true << "" << 1 << 3;
        QTest::newRow("empty text, empty value") << false << true << "" << 10 << 11;
        QTest::newRow("empty text, next key") << true << false << "" << 4 << 6;
        QTest::newRow("last node selected") << true << true << "" << 15 << 15;
        QTest::newRow("match only before the selection") << false << true << "12" << 5 << 5;
        QTest::newRow("header never examined") << true << true << "Sword" << 1 << 1;
        QTest::newRow("no document") << true << true << "" << kNoDocument << kNoDocument;
        QTest::newRow("no selection starts after the root")
            << true << true << "" << kNoSelection << 2;
        QTest::newRow("no selection, header text")
            << true << true << "Sword" << kNoSelection << kNoSelection;
    }
    void finds_the_next_match()
    {
        QFETCH(bool, keys);
        QFETCH(bool, values);
        QFETCH(QString, text);
        QFETCH(int, before);
        QFETCH(int, after);
        Searcher s;
        WeaponTree &tree = s.form.tree();
        if (before != kNoDocument)
            QVERIFY(s.open(kHeader, kPairs));
        if (before == kNoSelection) {
            // A document on screen that nothing has selected yet.
            tree.nodes().Clear();
            tree.addRoot(kHeader);
            for (const auto &[key, value] : kPairs)
                tree.appendPair(Node(&tree, 1), key, value);
        } else if (before > 0) {
            click_node(s.form, NodeIndex(before));
        }
        const QString panel = s.panel();
        s.prepare(keys, values, text);
        QCOMPARE(control<QCheckBox>(s.form, "Check2")->isChecked(), keys);
        QCOMPARE(control<QCheckBox>(s.form, "Check1")->isChecked(), values);
        QCOMPARE(s.text3->text(), text);

        s.search();
        const auto found = NodeIndex(std::max(after, 0));
        QCOMPARE(tree.selected(), found);
        QCOMPARE(s.tv->currentIndex(), model_index(s.form, found));
        if (after == before) {
            QCOMPARE(s.panel(), panel);
            QCOMPARE(s.form.focusWidget(), s.cmdSearch);
        } else {
            const bool key = tree.childCount(found) > 0;
            QCOMPARE(s.panel(), tree.text(found) + (key ? " read-only" : " editable"));
            QTRY_COMPARE(s.form.focusWidget(), s.tv);
        }
    }

    void repeated_clicks_step_through_matches_and_stop()
    {
        Searcher s;
        QVERIFY(s.open(kHeader, kPairs));
        s.prepare(false, true, "e");
        QList<int> visited;
        for (int click = 0; click < 5; ++click) {
            s.search();
            visited << s.form.tree().selected();
        }
        QCOMPARE(visited, QList<int>({7, 9, 13, 15, 15}));
    }

    void found_node_under_a_collapsed_key_is_shown()
    {
        Searcher s;
        QVERIFY(s.open("H", numbered_pairs(60)));
        auto *toolbar = control<ToolBar>(s.form, "Toolbar1");
        QTest::mouseClick(toolbar->widgetForAction(toolbar->button(6)), Qt::LeftButton);
        QVERIFY(!s.tv->isExpanded(model_index(s.form, 1)));
        s.prepare(false, true, "v59");
        s.search();
        QCOMPARE(s.form.tree().selected(), NodeIndex(119));
        QVERIFY(s.form.tree().expanded(118));
        QVERIFY(s.tv->isExpanded(model_index(s.form, 118)));
        QVERIFY(!s.tv->isExpanded(model_index(s.form, 116)));
        QVERIFY(s.shown(119));
        QVERIFY(!s.shown(2));
    }

    void full_tree_ends_at_the_last_node()
    {
        Searcher s;
        QVERIFY(s.open("H", numbered_pairs(16383)));
        QCOMPARE(s.form.tree().count(), kMaxNodes);
        click_node(s.form, kMaxNodes);
        s.prepare(true, true, "");
        s.search();
        QCOMPARE(s.form.tree().selected(), kMaxNodes);

        click_node(s.form, kMaxNodes - 1);
        s.search();
        QCOMPARE(s.form.tree().selected(), kMaxNodes);
        QCOMPARE(s.panel(), "v16383 editable");
    }
};

QTEST_MAIN(TestSearch)
#include "test_search.moc"
