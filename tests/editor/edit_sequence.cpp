#include "edit_sequence.h"

#include "editor/document_steps.h"
#include "editor/long_line_edit.h"
#include "modal_answer.h"

using namespace window_driver;

namespace
{

const QByteArray kStart = "H\\a\\1\\b\\2\r\n";
// Pasted by "paste": the value then goes on in the long box.
const QString kLongText = QStringLiteral("long ").repeated(500);

// One step of the model's history, with the node each way of taking it shows.
struct PlainStep {
    QStringList before, after;
    int node = 0; // a change of this node's text; 0 for New Key
    int run = 0;  // typing in the box merges within one run; -1 never merges
    int shownOnUndo = 0, shownOnRedo = 0;
};

} // namespace

// What the user should see, worked out without the window: node texts in index order, the
// selection, the in-place editor, and a history kept as QUndoStack keeps it.
struct PlainDocument {
    QStringList texts = QString::fromLatin1(kStart.trimmed()).split(u'\\');
    int selected = 1;
    int run = 0;
    int editorNode = 0; // 0: no in-place editor open
    QString editorText;
    bool editorAllSelected = false;
    std::vector<PlainStep> steps;
    int index = 0, clean = 0;
    int keysAdded = 0;

    bool isValue(int node) const { return node > 1 && node % 2 == 1; }
    bool modified() const
    {
        return clean != index || (editorNode != 0 && editorText != texts[editorNode - 1]);
    }
    void select(int node)
    {
        if (node != selected)
            ++run;
        selected = node;
    }
    void push(PlainStep step)
    {
        const bool hasTop = index > 0;
        steps.resize(size_t(index));
        if (clean > index)
            clean = -1;
        PlainStep *top = hasTop ? &steps.back() : nullptr;
        if (top && step.run >= 0 && top->run == step.run && top->node == step.node &&
            index != clean) {
            top->after = step.after;
            return;
        }
        steps.push_back(std::move(step));
        if (steps.size() > size_t(kUndoLimit)) {
            steps.erase(steps.begin());
            --index;
            clean = clean < 1 ? -1 : clean - 1;
        }
        ++index;
    }
    void change(int node, const QString &text, int stepRun)
    {
        PlainStep step{texts, texts, node, stepRun, node, node};
        step.after[node - 1] = text;
        texts = step.after;
        push(std::move(step));
    }
    void commit()
    {
        const int node = std::exchange(editorNode, 0);
        if (node != 0 && editorText != texts[node - 1])
            change(node, editorText, -1);
    }
    void move(bool back)
    {
        if (back ? index == 0 : index == int(steps.size()))
            return; // the menu item is disabled: nothing happens, not even the commit
        commit();
        if (back ? index == 0 : index == int(steps.size()))
            return;
        const PlainStep &step = steps[size_t(back ? --index : index++)];
        texts = back ? step.before : step.after;
        select(back ? step.shownOnUndo : step.shownOnRedo);
        ++run;
    }
    void newKey()
    {
        commit();
        ++keysAdded;
        PlainStep step{texts, texts, 0, -1, selected, int(texts.size()) + 1};
        step.after << QStringLiteral("k%1").arg(keysAdded) << QStringLiteral("v%1").arg(keysAdded);
        texts = step.after;
        push(std::move(step));
        select(int(texts.size()) - 1);
    }
};

EditSequence::EditSequence(Form1 &form)
    : m_form(form), m_path(m_dir.filePath(QStringLiteral("weapon.txt"))),
      m_plain(std::make_unique<PlainDocument>())
{
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(kStart) != kStart.size())
        m_failure = QStringLiteral("The document could not be written.");
    else if (file.close(); !m_form.openWeaponFile(m_path))
        m_failure = QStringLiteral("The document could not be opened.");
    else
        m_failure = differences();
}

EditSequence::~EditSequence() = default;

QString EditSequence::choose(quint8 what, quint8 which) const
{
    const PlainDocument &p = *m_plain;
    const QChar letter(u'a' + which % 26);
    const bool editing = p.editorNode != 0;
    switch (what % 12) {
    case 0:
    case 1: {
        const int other = 1 + which % (int(p.texts.size()) - 1);
        return QString::number(other >= p.selected ? other + 1 : other);
    }
    case 2:
        return QStringLiteral("box ") + letter;
    case 3:
        return which % 8 == 0 ? QStringLiteral("paste") : QStringLiteral("box-");
    case 4:
        return QStringLiteral("F2");
    case 5:
        return editing ? QStringLiteral("edit ") + letter : QStringLiteral("F2");
    case 6:
        return editing ? (which % 2 ? QStringLiteral("Return") : QStringLiteral("Escape"))
                       : QStringLiteral("box ") + letter;
    case 7:
        return QStringLiteral("key");
    case 8:
    case 9:
        return QStringLiteral("undo");
    case 10:
        return QStringLiteral("redo");
    default:
        return QStringLiteral("save");
    }
}

QString EditSequence::run(const QString &step)
{
    m_taken << step;
    act(step);
    QCoreApplication::processEvents(); // Return ends an in-place edit from the event loop
    model(step);
    QString found = differences();
    if (found.isEmpty() && step == QStringLiteral("save") &&
        bytes_of(m_path) != m_plain->texts.join(u'\\').toLatin1() + "\r\n")
        found = QStringLiteral("saved %1").arg(QString::fromLatin1(bytes_of(m_path)));
    return found.isEmpty() ? found : QStringLiteral("after %1: %2").arg(m_taken.join(u','), found);
}

void EditSequence::act(const QString &step)
{
    QWidget *box = value_box(m_form);
    if (!m_form.isActiveWindow()) { // keys reach only an active window, and a dialog took it
        m_form.activateWindow();
        if (!QTest::qWaitForWindowActive(&m_form))
            return;
    }
    QWidget *focus = QApplication::focusWidget() ? QApplication::focusWidget() : &m_form;
    if (step[0].isDigit()) {
        click_node(m_form, NodeIndex(step.toInt()));
    } else if (step.startsWith(QStringLiteral("box")) || step == QStringLiteral("paste")) {
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_End);
        if (step == QStringLiteral("paste")) {
            QGuiApplication::clipboard()->setText(kLongText);
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        } else if (step == QStringLiteral("box-")) {
            QTest::keyClick(box, Qt::Key_Backspace);
        } else {
            QTest::keyClicks(box, step.mid(4));
        }
    } else if (step == QStringLiteral("F2")) {
        tree_view(m_form)->setFocus();
        QTest::keyClick(tree_view(m_form), Qt::Key_F2);
    } else if (step.startsWith(QStringLiteral("edit "))) {
        QTest::keyClicks(focus, step.mid(5));
    } else if (step == QStringLiteral("key")) {
        const QString n = QString::number(m_plain->keysAdded + 1);
        answer_modals({"k" + n, "v" + n},
                      [&] { QTest::keyClick(focus, Qt::Key_N, Qt::ControlModifier); });
    } else if (step == QStringLiteral("undo") || step == QStringLiteral("redo")) {
        control<QAction>(m_form, step == QStringLiteral("undo") ? "mnuUndo" : "mnuRedo")->trigger();
    } else if (step == QStringLiteral("save")) {
        QTest::keyClick(focus, Qt::Key_S, Qt::ControlModifier);
    } else {
        const QKeyCombination key = QKeySequence(step)[0];
        QTest::keyClick(focus, key.key(), key.keyboardModifiers());
    }
}

void EditSequence::model(const QString &step)
{
    PlainDocument &p = *m_plain;
    if (step[0].isDigit()) {
        p.commit();
        p.select(step.toInt());
    } else if (step.startsWith(QStringLiteral("box")) || step == QStringLiteral("paste")) {
        p.commit();
        QString text = p.texts[p.selected - 1];
        if (step == QStringLiteral("box-"))
            text.chop(1);
        else
            text += step == QStringLiteral("paste") ? kLongText : step.mid(4);
        if (p.isValue(p.selected) && text != p.texts[p.selected - 1])
            p.change(p.selected, text, p.run);
    } else if (step == QStringLiteral("F2")) {
        p.commit();
        // A long value is edited in the value box, which takes the focus instead.
        if (p.isValue(p.selected) && p.texts[p.selected - 1].size() <= kLongValue) {
            p.editorNode = p.selected;
            p.editorText = p.texts[p.selected - 1];
            p.editorAllSelected = true;
        }
    } else if (step.startsWith(QStringLiteral("edit ")) && p.editorNode != 0) {
        p.editorText = (p.editorAllSelected ? QString() : p.editorText) + step.mid(5);
        p.editorAllSelected = false;
    } else if (step == QStringLiteral("Return")) {
        p.commit();
    } else if (step == QStringLiteral("Escape")) {
        p.editorNode = 0;
    } else if (step == QStringLiteral("key")) {
        p.newKey();
    } else if (step == QStringLiteral("undo") || step == QStringLiteral("redo")) {
        p.move(step == QStringLiteral("undo"));
    } else if (step == QStringLiteral("save")) {
        p.commit();
        p.clean = p.index;
    } else {
        p.commit();
    }
}

QString EditSequence::differences() const
{
    const PlainDocument &p = *m_plain;
    const WeaponTree &tree = m_form.tree();
    QStringList texts;
    for (int node = 1; node <= tree.count(); ++node)
        texts << tree.text(NodeIndex(node));
    const TreeView *tv = tree_view(m_form);
    const bool editing = tv->indexWidget(tv->currentIndex()) != nullptr;
    const QString shown = value_box_text(m_form);
    QStringList found;
    if (texts != p.texts)
        found << QStringLiteral("nodes %1, expected %2").arg(texts.join(u'|'), p.texts.join(u'|'));
    if (tree.selected() != p.selected)
        found
            << QStringLiteral("node %1 selected, expected %2").arg(tree.selected()).arg(p.selected);
    if (shown != p.texts.value(p.selected - 1))
        found << QStringLiteral("the value box shows %1").arg(shown);
    if (m_form.isWindowModified() != p.modified())
        found << QStringLiteral("the title's mark is %1").arg(m_form.isWindowModified());
    if (editing != (p.editorNode != 0))
        found << QStringLiteral("the in-place editor is %1").arg(editing ? "open" : "closed");
    return found.join(QStringLiteral("; "));
}
