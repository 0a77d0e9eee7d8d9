#include "document/code_page.h"
#include "window_driver.h"

#include <QApplication>
#include <QClipboard>
#include <QDeadlineTimer>
#include <QLabel>
#include <QLineEdit>

using namespace window_driver;

namespace
{

// Nodes: 1 H (root), 2 a (key), 3 "1" (value), 4 b (key), 5 "2" (value).
const QByteArray kPairs = "H\\a\\1\\b\\2";
const QString kPairTexts = "H\na\n1\nb\n2";

QString read_only(const QString &text)
{
    return "Value (Not Modifiable) [" + text + "] read-only";
}
QString editable(const QString &text)
{
    return "Value (Modifiable) [" + text + "] editable";
}

// Keys carrying any text, one character at a time, as a keyboard or an input method sends it.
void type_text(QWidget *widget, const QString &text)
{
    for (const char32_t c : text.toUcs4())
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString::fromUcs4(&c, 1),
                            Qt::NoModifier);
}

void paste_text(QWidget *widget, const QString &text)
{
    QGuiApplication::clipboard()->setText(text);
    QTest::keyClick(widget, Qt::Key_V, Qt::ControlModifier);
}

// A second click on a selected row starts the in-place edit only once the double-click time
// has passed without a second click; after that, an edit that was going to start has started.
void wait_past_double_click_time()
{
    const QDeadlineTimer passed(QApplication::doubleClickInterval() + 200);
    QTRY_VERIFY(passed.hasExpired());
}

// The main window with a document open; each test builds its own.
struct Window {
    QTemporaryDir dir;
    Form1 form;
    TreeView *tv = tree_view(form);
    QLineEdit *text2 = control<QLineEdit>(form, "Text2");
    QLabel *label2 = control<QLabel>(form, "Label2");

    bool open(const QByteArray &bytes)
    {
        return show_window(form) && !open_bytes(form, dir, bytes).isEmpty();
    }

    WeaponTree &tree() { return form.tree(); }
    QString row_text(NodeIndex node) { return model_index(form, node).data().toString(); }

    // What the value panel shows and allows, in one line.
    QString panel() const
    {
        const QColor back = text2->palette().color(QPalette::Base);
        const QPalette system = QApplication::palette();
        QString mode;
        if (text2->isReadOnly() && back == system.color(QPalette::Button) && tv->LabelEdit() == 1)
            mode = "read-only";
        else if (!text2->isReadOnly() && back == system.color(QPalette::Base) &&
                 tv->LabelEdit() == 0)
            mode = "editable";
        else
            mode = QString("mixed: locked %1, colour %2, LabelEdit %3")
                       .arg(text2->isReadOnly())
                       .arg(back.name())
                       .arg(tv->LabelEdit());
        return label2->text() + " [" + text2->text() + "] " + mode;
    }

    // Puts the cursor at the end of the value box, as a user clicking into it would.
    void click_into_box()
    {
        QTest::mouseClick(text2, Qt::LeftButton);
        QTest::keyClick(text2, Qt::Key_End);
    }

    QLineEdit *in_place_editor() const
    {
        for (QLineEdit *editor : tv->viewport()->findChildren<QLineEdit *>()) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }

    void click_expand_button(NodeIndex node)
    {
        const QRect label = tv->visualRect(model_index(form, node));
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, {},
                          QPoint(label.left() - tv->indentation() / 2, label.center().y()));
    }
};

} // namespace

class TestValuePanel : public QObject
{
    Q_OBJECT

private slots:
    void modes_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("node");
        QTest::addColumn<QString>("panel");
        QTest::newRow("root with pairs") << kPairs << 3 << 1 << read_only("H");
        QTest::newRow("key") << kPairs << 3 << 2 << read_only("a");
        QTest::newRow("value") << kPairs << 2 << 3 << editable("1");
        QTest::newRow("last value") << kPairs << 1 << 5 << editable("2");
        QTest::newRow("empty value") << QByteArray("H\\a\\") << 2 << 3 << editable("");
        QTest::newRow("lone root") << QByteArray("H") << 0 << 1 << editable("H");
    }
    void modes()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, before);
        QFETCH(int, node);
        QFETCH(QString, panel);
        Window w;
        QVERIFY(w.open(bytes));
        if (before)
            click_node(w.form, NodeIndex(before));
        click_node(w.form, NodeIndex(node));
        QCOMPARE(w.tree().selected(), node);
        QCOMPARE(w.panel(), panel);
        const QImage painted = w.text2->grab().toImage();
        QCOMPARE(painted.pixelColor(painted.width() - 4, painted.height() / 2),
                 w.text2->palette().color(QPalette::Base));
    }

    void typing_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("node");
        QTest::addColumn<bool>("emptied");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("texts");
        QTest::newRow("value") << kPairs << 3 << false << "x y"
                               << "H\na\n1x y\nb\n2";
        QTest::newRow("value emptied") << kPairs << 5 << true << ""
                                       << "H\na\n1\nb\n";
        QTest::newRow("value emptied, retyped") << kPairs << 5 << true << "9"
                                                << "H\na\n1\nb\n9";
        QTest::newRow("lone root") << QByteArray("H") << 1 << false << "eader"
                                   << "Header";
        QTest::newRow("lone root emptied") << QByteArray("H") << 1 << true << ""
                                           << "";
        QTest::newRow("key refuses") << kPairs << 2 << true << "xyz" << kPairTexts;
        QTest::newRow("root refuses") << kPairs << 1 << true << "xyz" << kPairTexts;
    }
    void typing()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, node);
        QFETCH(bool, emptied);
        QFETCH(QString, typed);
        QFETCH(QString, texts);
        Window w;
        QVERIFY(w.open(bytes));
        click_node(w.form, NodeIndex(node));
        const bool taken = !w.text2->isReadOnly();
        const QString original = w.tree().text(NodeIndex(node));
        w.click_into_box();
        if (emptied) {
            QTest::keyClick(w.text2, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClick(w.text2, Qt::Key_Delete);
        }
        const QString start = taken && emptied ? QString() : original;
        // The node and its row follow every keystroke, not just the last.
        for (qsizetype i = 0; i <= typed.size(); ++i) {
            if (i > 0)
                QTest::keyClick(w.text2, typed[i - 1].toLatin1());
            const QString expected = taken ? start + typed.left(i) : original;
            QCOMPARE(w.tree().text(NodeIndex(node)), expected);
            QCOMPARE(w.row_text(NodeIndex(node)), expected);
            QCOMPARE(w.text2->text(), expected);
        }
        QCOMPARE(node_texts(w.form), texts);
    }

    void before_any_document_data()
    {
        QTest::addColumn<QByteArray>("loaded");
        QTest::addColumn<QString>("texts");
        QTest::newRow("nothing loaded") << QByteArray() << "";
        QTest::newRow("load failed halfway, nothing selected") << QByteArray("H\\a") << "H\na";
    }
    void before_any_document()
    {
        QFETCH(QByteArray, loaded);
        QFETCH(QString, texts);
        Window w;
        QVERIFY(show_window(w.form));
        if (!loaded.isEmpty()) {
            QFile file(w.dir.filePath("bad.txt"));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(loaded) == loaded.size());
            file.close();
            QVERIFY(!load_weapon(w.tree(), file.fileName()));
        }
        w.click_into_box();
        QTest::keyClicks(w.text2, "typed");
        QCOMPARE(w.text2->text(), "typed");
        QCOMPARE(node_texts(w.form), texts);
        QCOMPARE(w.label2->text(), "Value:");
        QCOMPARE(w.tree().selected(), 0);
        QVERIFY(!open_bytes(w.form, w.dir, kPairs).isEmpty());
        QCOMPARE(w.panel(), read_only("H"));
    }

    void in_place_edit_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("node");
        QTest::addColumn<bool>("byClick");
        QTest::addColumn<int>("finish");
        QTest::addColumn<QString>("texts");
        const int enter = Qt::Key_Return;
        const int escape = Qt::Key_Escape;
        QTest::newRow("second click, Enter") << kPairs << 3 << true << enter << "H\na\n1+\nb\n2";
        QTest::newRow("F2, Enter") << kPairs << 5 << false << enter << "H\na\n1\nb\n2+";
        QTest::newRow("F2 on a lone root, Enter") << QByteArray("H") << 1 << false << enter << "H+";
        QTest::newRow("second click, Esc") << kPairs << 3 << true << escape << kPairTexts;
        QTest::newRow("F2, Esc") << kPairs << 3 << false << escape << kPairTexts;
    }
    void in_place_edit()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, node);
        QFETCH(bool, byClick);
        QFETCH(int, finish);
        QFETCH(QString, texts);
        Window w;
        QVERIFY(w.open(bytes));
        click_node(w.form, NodeIndex(node));
        if (byClick)
            click_node(w.form, NodeIndex(node));
        else
            QTest::keyClick(w.tv, Qt::Key_F2);
        QTRY_VERIFY(w.in_place_editor());
        QLineEdit *editor = w.in_place_editor();
        QCOMPARE(editor->text(), w.tree().text(NodeIndex(node)));
        QTest::keyClick(editor, Qt::Key_End);
        QTest::keyClick(editor, '+');
        QTest::keyClick(editor, Qt::Key(finish));
        QTRY_VERIFY(!w.in_place_editor());
        QCOMPARE(node_texts(w.form), texts);
        const QString shown = w.tree().text(NodeIndex(node));
        QCOMPARE(w.row_text(NodeIndex(node)), shown);
        QCOMPARE(w.panel(), editable(shown));
    }

    void no_in_place_edit_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<int>("node");
        QTest::addColumn<bool>("byClick");
        QTest::newRow("second click on a key") << 0 << 2 << true;
        QTest::newRow("second click on a key, a value shown before") << 3 << 2 << true;
        QTest::newRow("second click on the root") << 3 << 1 << true;
        QTest::newRow("F2 on a key, a value shown before") << 3 << 4 << false;
        QTest::newRow("F2 on the root") << 0 << 1 << false;
    }
    void no_in_place_edit()
    {
        QFETCH(int, before);
        QFETCH(int, node);
        QFETCH(bool, byClick);
        Window w;
        QVERIFY(w.open(kPairs));
        if (before)
            click_node(w.form, NodeIndex(before));
        click_node(w.form, NodeIndex(node));
        if (byClick) {
            click_node(w.form, NodeIndex(node));
            wait_past_double_click_time();
        } else {
            QTest::keyClick(w.tv, Qt::Key_F2);
        }
        QVERIFY(!w.in_place_editor());
        QCOMPARE(w.panel(), read_only(w.tree().text(NodeIndex(node))));
    }

    void keyboard_moves_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("texts");
        QTest::newRow("Down from a value to a key") << 3 << int(Qt::Key_Down) << 4 << kPairTexts;
        QTest::newRow("Up from a key to a value") << 4 << int(Qt::Key_Up) << 3 << "H\na\n1z\nb\n2";
        QTest::newRow("Right from a key to its value")
            << 2 << int(Qt::Key_Right) << 3 << "H\na\n1z\nb\n2";
        QTest::newRow("Left from a value to its key") << 3 << int(Qt::Key_Left) << 2 << kPairTexts;
        QTest::newRow("Home") << 5 << int(Qt::Key_Home) << 1 << kPairTexts;
        QTest::newRow("End") << 2 << int(Qt::Key_End) << 5 << "H\na\n1\nb\n2z";
        QTest::newRow("PageDown") << 3 << int(Qt::Key_PageDown) << 5 << "H\na\n1\nb\n2z";
        QTest::newRow("PageUp") << 5 << int(Qt::Key_PageUp) << 1 << kPairTexts;
    }
    void keyboard_moves()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        QFETCH(QString, texts);
        Window w;
        QVERIFY(w.open(kPairs));
        click_node(w.form, NodeIndex(from));
        QTest::keyClick(w.tv, Qt::Key(key));
        QCOMPARE(w.tree().selected(), to);
        const QString shown = w.tree().text(NodeIndex(to));
        QCOMPARE(w.panel(),
                 w.tree().childCount(NodeIndex(to)) ? read_only(shown) : editable(shown));
        w.click_into_box();
        QTest::keyClick(w.text2, 'z');
        QCOMPARE(node_texts(w.form), texts);
    }

    void collapse_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("collapsed");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("texts");
        QTest::newRow("expand button of the key above the value")
            << 3 << "button" << 2 << 2 << kPairTexts;
        QTest::newRow("expand button of the root above the value")
            << 5 << "button" << 1 << 1 << kPairTexts;
        QTest::newRow("expand button of another key")
            << 5 << "button" << 2 << 5 << "H\na\n1\nb\n2z";
        QTest::newRow("Left, Left from the value") << 3 << "Left" << 2 << 2 << kPairTexts;
        QTest::newRow("the program collapses the key above the value")
            << 3 << "program" << 2 << 2 << kPairTexts;
    }
    void collapse()
    {
        QFETCH(int, from);
        QFETCH(QString, how);
        QFETCH(int, collapsed);
        QFETCH(int, to);
        QFETCH(QString, texts);
        Window w;
        QVERIFY(w.open(kPairs));
        click_node(w.form, NodeIndex(from));
        if (how == "button") {
            w.click_expand_button(NodeIndex(collapsed));
        } else if (how == "Left") {
            QTest::keyClick(w.tv, Qt::Key_Left);
            QTest::keyClick(w.tv, Qt::Key_Left);
        } else {
            w.tree().setExpanded(NodeIndex(collapsed), false);
        }
        QVERIFY(!w.tree().expanded(NodeIndex(collapsed)));
        QVERIFY(!w.tv->isExpanded(model_index(w.form, NodeIndex(collapsed))));
        QCOMPARE(w.tree().selected(), to);
        QCOMPARE(w.tv->currentIndex(), model_index(w.form, NodeIndex(to)));
        const QString shown = w.tree().text(NodeIndex(to));
        QCOMPARE(w.panel(),
                 w.tree().childCount(NodeIndex(to)) ? read_only(shown) : editable(shown));
        w.click_into_box();
        QTest::keyClick(w.text2, 'z');
        QCOMPARE(node_texts(w.form), texts);
    }

    // What the file cannot hold never gets in: typed, nothing happens; pasted, it is dropped
    // and the rest goes in, the cursor after it.
    void refused_characters_data()
    {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<bool>("pasted");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("value");
        const QString unencodable =
            QString("a") + QChar(0x4E2D) + "b" + QString::fromUcs4(U"\U0001F600") + "c";
        const QString everything =
            QString("x\\y\rz") + QChar(0x4E2D) + QString::fromUcs4(U"\U0001F600") + "w";
        const QString codePage = QString::fromUtf8("é€\tŸ ") + QChar(0x81);
        for (const bool inPlace : {false, true}) {
            const QString where = inPlace ? "in place: " : "box: ";
            QTest::newRow(qPrintable(where + "typed backslash")) << inPlace << false << "a\\b"
                                                                 << "1ab!";
            QTest::newRow(qPrintable(where + "typed characters without a byte"))
                << inPlace << false << unencodable << "1abc!";
            QTest::newRow(qPrintable(where + "pasted backslash, CR, characters without a byte"))
                << inPlace << true << everything << "1xyzw!";
            QTest::newRow(qPrintable(where + "pasted code-page characters are kept"))
                << inPlace << true << codePage << "1" + codePage + "!";
        }
    }
    void refused_characters()
    {
        QFETCH(bool, inPlace);
        QFETCH(bool, pasted);
        QFETCH(QString, input);
        QFETCH(QString, value);
        Window w;
        QVERIFY(w.open(kPairs));
        click_node(w.form, 3);
        QLineEdit *editor = w.text2;
        if (inPlace) {
            QTest::keyClick(w.tv, Qt::Key_F2);
            QTRY_VERIFY((editor = w.in_place_editor()));
        } else {
            w.click_into_box();
        }
        QTest::keyClick(editor, Qt::Key_End);
        if (pasted)
            paste_text(editor, input);
        else
            type_text(editor, input);
        QTest::keyClick(editor, '!');
        QCOMPARE(editor->text(), value);
        if (inPlace) {
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_VERIFY(!w.in_place_editor());
        }
        QCOMPARE(w.tree().text(3), value);
        QCOMPARE(w.text2->text(), value);
    }

    // Showing a value writes its own text back into it, so the text must come through the
    // value box and the in-place editor whole.
    void showing_keeps_the_text_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QByteArray codePage;
        for (int byte = 0; byte < 256; ++byte) {
            if (byte != '\\' && byte != '\r')
                codePage += char(byte);
        }
        QByteArray long_text;
        for (int i = 0; long_text.size() < 100000; ++i)
            long_text += QByteArray::number(i) + ' ';
        QTest::newRow("lone LF") << QByteArray("\n");
        QTest::newRow("LF between words") << QByteArray("a\nb");
        QTest::newRow("tab") << QByteArray("\t");
        QTest::newRow("NUL") << QByteArray("x\0y", 3);
        QTest::newRow("blanks around") << QByteArray("  x  ");
        QTest::newRow("bytes the code page leaves undefined") << QByteArray("\x81\x8D\x8F\x90\x9D");
        QTest::newRow("every code-page character") << codePage;
        QTest::newRow("100000 characters") << long_text.left(100000);
    }
    void showing_keeps_the_text()
    {
        QFETCH(QByteArray, bytes);
        const QString expected = code_page::decode(bytes);
        Window w;
        QVERIFY(w.open("H\\k\\" + bytes + "\\k2\\v"));
        click_node(w.form, 3);
        QCOMPARE(w.text2->text(), expected);
        click_node(w.form, 2);
        click_node(w.form, 3);
        click_node(w.form, 1);
        QCOMPARE(w.tree().text(3), expected);

        click_node(w.form, 3);
        QTest::keyClick(w.tv, Qt::Key_F2);
        QTRY_VERIFY(w.in_place_editor());
        QTest::keyClick(w.in_place_editor(), Qt::Key_Return);
        QTRY_VERIFY(!w.in_place_editor());
        QCOMPARE(w.tree().text(3), expected);
        for (const NodeIndex other : {1, 2, 4, 5})
            QCOMPARE(w.tree().text(other), QStringList({"H", "k", "", "k2", "v"})[other - 1]);
    }
};

QTEST_MAIN(TestValuePanel)
#include "test_value_panel.moc"
