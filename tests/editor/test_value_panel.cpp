#include "document/code_page.h"
#include "window_driver.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>

using namespace window_driver;

namespace
{

// Nodes: 1 H (root), 2 a (key), 3 "1" (value), 4 b (key), 5 "2" (value).
const QByteArray kPairs = "H\\a\\1\\b\\2";
const QString kUnencodable = QString(QChar(0x4E2D)) + QString::fromUcs4(U"\U0001F600");
const QString kCodePageSample = QString::fromUtf8("é€\tŸ ") + QChar(0x81);

struct Window {
    QTemporaryDir dir;
    Form1 form;
    TreeView *tv = tree_view(form);
    QLineEdit *text2 = control<QLineEdit>(form, "Text2");

    // "read-only" or "editable" and the text shown, once the caption, the box's lock and colour
    // and the tree's in-place editing all agree on which.
    QString panel() const
    {
        const bool locked = text2->isReadOnly();
        const bool agree =
            control<QLabel>(form, "Label2")->text() ==
                (locked ? "Value (Not Modifiable)" : "Value (Modifiable)") &&
            text2->palette().color(QPalette::Base) ==
                QApplication::palette().color(locked ? QPalette::Button : QPalette::Base) &&
            tv->LabelEdit() == (locked ? 1 : 0);
        return (!agree ? "mixed " : locked ? "read-only " : "editable ") + text2->text();
    }

    QStringList texts()
    {
        QStringList all;
        for (NodeIndex node = 1; node <= form.tree().count(); ++node)
            all << form.tree().text(node);
        return all;
    }

    // "3" clicks node 3's row, "+2" node 2's expand button (which must close it), "box" clicks to
    // the end of the value box, "type " and "paste " enter the rest by keystrokes or from the
    // clipboard, and anything else is a key. After every keystroke in the box the node holds what
    // it shows.
    void run(const QString &step)
    {
        QWidget *focus = QApplication::focusWidget();
        const auto node = NodeIndex(step.toInt());
        if (step[0].isDigit()) {
            click_node(form, node);
        } else if (step.startsWith("type ")) {
            for (const char32_t c : step.mid(5).toUcs4()) {
                QTest::sendKeyEvent(QTest::Click, focus, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                                    Qt::NoModifier);
                if (focus == text2)
                    QCOMPARE(form.tree().text(form.tree().selected()), text2->text());
            }
        } else if (step[0] == u'+' && node) {
            const QRect label = tv->visualRect(model_index(form, node));
            QTest::mouseClick(tv->viewport(), Qt::LeftButton, {},
                              QPoint(label.left() - tv->indentation() / 2, label.center().y()));
            QVERIFY(!form.tree().expanded(node) && !tv->isExpanded(model_index(form, node)));
        } else if (step == "box") {
            QTest::mouseClick(text2, Qt::LeftButton);
            QTest::keyClick(text2, Qt::Key_End);
        } else if (step.startsWith("paste ")) {
            QGuiApplication::clipboard()->setText(step.mid(6));
            QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
        } else {
            const QKeyCombination key = QKeySequence(step)[0];
            QTest::keyClick(focus, key.key(), key.keyboardModifiers());
        }
    }
};

// Each row opens bytes, takes the steps, and names the node then selected and the panel.
void columns()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("panel");
}

void row(const char *name, const QStringList &steps, int node, const QString &panel,
         const QByteArray &bytes = kPairs)
{
    QTest::newRow(name) << bytes << steps << node << panel;
}

} // namespace

class TestValuePanel : public QObject
{
    Q_OBJECT

private slots:
    void follows_the_selection_data()
    {
        columns();
        row("root, a value shown before", {"3", "1"}, 1, "read-only H");
        row("value, a key shown before", {"2", "3"}, 3, "editable 1");
        row("Left from a value to its key", {"3", "Left"}, 2, "read-only a");
        row("expand button of the key above the value", {"3", "+2"}, 2, "read-only a");
    }
    void follows_the_selection() { check(); }

    void edits_reach_the_node_data()
    {
        columns();
        row("typed into a lone root", {"box", "type z"}, 1, "editable Hz", "H");
        row("F2, in-place edit, Enter", {"3", "F2", "End", "type +", "Return"}, 3, "editable 1+");
        row("F2, in-place edit, Esc", {"3", "F2", "End", "type +", "Esc"}, 3, "editable 1");
        row("pasted code-page characters", {"3", "box", "paste " + kCodePageSample, "type !"}, 3,
            "editable 1" + kCodePageSample + "!");

        // Showing a value writes its own text back into it, so the text must come through the
        // value box and the in-place editor whole.
        const auto kept = [](const char *name, const QByteArray &bytes) {
            row(name, {"3", "2", "3", "1", "3", "F2", "Return"}, 3,
                "editable " + code_page::decode(bytes), "H\\k\\" + bytes + "\\k2\\v");
        };
        QByteArray codePage, longText;
        for (int byte = 0; byte < 256; ++byte) {
            if (byte != '\\' && byte != '\r')
                codePage += char(byte);
        }
        for (int i = 0; longText.size() < 100000; ++i)
            longText += QByteArray::number(i) + ' ';
        kept("shown and stored back: lone LF", "\n");
        kept("shown and stored back: tab", "\t");
        kept("shown and stored back: NUL", QByteArray("x\0y", 3));
        kept("shown and stored back: every code-page character", codePage);
        kept("shown and stored back: 100000 characters", longText.left(100000));
    }
    void edits_reach_the_node() { check(); }

    // What the file cannot hold never gets in: typed, nothing happens; pasted, it is dropped and
    // the rest goes in, the cursor after it. The header and the keys take no edit at all.
    void edits_refused_data()
    {
        columns();
        const QString pasted = "paste x\\y\rz" + kUnencodable + "w";
        row("typed into a key", {"3", "2", "box", "type z"}, 2, "read-only a");
        row("F2 on a key", {"3", "4", "F2"}, 4, "read-only b");
        row("box: typed backslash, characters without a byte",
            {"3", "box", "type a\\b" + kUnencodable + "c"}, 3, "editable 1abc");
        row("box: pasted backslash, CR, characters without a byte", {"3", "box", pasted, "type !"},
            3, "editable 1xyzw!");
        row("in place: pasted backslash, CR, characters without a byte",
            {"3", "F2", "End", pasted, "type !", "Return"}, 3, "editable 1xyzw!");
    }
    void edits_refused() { check(); }

private:
    void check()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, steps);
        QFETCH(int, node);
        QFETCH(QString, panel);
        Window w;
        QVERIFY(show_window(w.form) && !open_bytes(w.form, w.dir, bytes).isEmpty());
        QStringList texts = w.texts();
        for (const QString &step : steps)
            w.run(step);
        QTRY_VERIFY(QApplication::focusWidget()->parentWidget() != w.tv->viewport());
        QCOMPARE(w.form.tree().selected(), node);
        QCOMPARE(w.tv->currentIndex(), model_index(w.form, NodeIndex(node)));
        QCOMPARE(w.panel(), panel);
        // Only the selected node may have changed, and to what the box shows.
        texts[node - 1] = w.text2->text();
        QCOMPARE(w.texts(), texts);
    }
};

QTEST_MAIN(TestValuePanel)
#include "test_value_panel.moc"
