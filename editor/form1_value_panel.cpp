// The value panel follows the selected node: a value is edited in the box or in place in the
// tree, while the header and the keys are shown but protected.
#include "editor/form1.h"

#include "document/weapon_document.h"
#include "editor/document_steps.h"
#include "editor/long_line_edit.h"
#include "editor/tree_view.h"
#include "editor/weapon_text_validator.h"
#include "ui/system_colors.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QUndoStack>

namespace
{

const QString kNoText;

} // namespace

void Form1::createLongValueBox()
{
    const auto read = [this]() -> const QString & {
        const NodeIndex node = tree().selected();
        return tree().contains(node) ? tree().text(node) : kNoText;
    };
    m_text2Long = new LongLineEdit(read, std::bind_front(&Form1::Text2Long_Change, this), m_frame1);
    m_text2Long->setObjectName(QStringLiteral("Text2Long"));
    m_text2Long->setAccessibleName(m_text2->accessibleName());
    m_text2Long->setValidator(new WeaponTextValidator(m_text2Long));
    m_text2Long->hide();
}

void Form1::Tv_NodeClick()
{
    const std::optional<Node> selected = tree().SelectedItem();
    if (!selected)
        return;
    fitValuePanel(selected->Children() < 1);
    showValue(selected->Text());
}

void Form1::showValue(const QString &text)
{
    const bool isLong = text.size() > kLongValue;
    if (isLong) {
        // The hidden box holds no text of its own, and emptying it is no edit of the value.
        const QSignalBlocker quiet(m_text2);
        m_text2->clear();
        m_text2Long->textReset();
    } else {
        m_text2->setText(text);
    }
    QWidget *shown = isLong ? static_cast<QWidget *>(m_text2Long) : m_text2;
    QWidget *hidden = isLong ? static_cast<QWidget *>(m_text2) : m_text2Long;
    if (hidden->isHidden())
        return;
    shown->show();
    if (hidden->hasFocus()) // the user goes on typing where they were
        shown->setFocus(Qt::OtherFocusReason);
    hidden->hide();
}

void Form1::fitValuePanel(bool editable)
{
    // The two settings that protect the header and the keys always change together.
    m_text2->setReadOnly(!editable);
    m_text2Long->setReadOnly(!editable);
    m_tv->setLabelEdit(editable ? TreeView::tvwAutomatic : TreeView::tvwManual);
    m_mnuEditInPlace->setEnabled(editable);
    const QColor back = system_color(editable ? kWindowBackground : kButtonFace);
    m_label2->setText(editable ? QStringLiteral("Value (Modifiable)")
                               : QStringLiteral("Value (Not Modifiable)"));
    for (QWidget *box : {static_cast<QWidget *>(m_text2), static_cast<QWidget *>(m_text2Long)}) {
        if (box->palette().color(QPalette::Base) != back) {
            QPalette palette = box->palette();
            palette.setColor(QPalette::Base, back);
            box->setPalette(palette);
        }
        // The caption says whether the value can be changed; a screen reader says so too.
        box->setAccessibleName(m_label2->text());
    }
}

void Form1::Text2_Change()
{
    const std::optional<Node> selected = tree().SelectedItem();
    // Equal texts: the panel was fitted to the node, or an undo put the text back.
    if (!selected || selected->Text() == m_text2->text())
        return;
    const QString before = selected->Text();
    selected->setText(m_text2->text());
    pushStep(new ChangeTextStep(tree(), selected->Index(), before, m_typingRun,
                                [this](NodeIndex node) { showStep(node); }));
    // Grown past what a line edit lays out quickly, by a paste: the long box takes over, with
    // the caret where it was, once the line edit is done with the key.
    if (m_text2->text().size() > kLongValue)
        QMetaObject::invokeMethod(
            this,
            [this, cursor = m_text2->cursorPosition()] {
                const std::optional<Node> node = tree().SelectedItem();
                if (m_text2->isHidden() || !node || node->Text().size() <= kLongValue)
                    return;
                showValue(node->Text());
                m_text2Long->setCursorPosition(cursor);
            },
            Qt::QueuedConnection);
}

void Form1::Text2Long_Change(qsizetype from, qsizetype length, const QString &inserted)
{
    const std::optional<Node> selected = tree().SelectedItem();
    if (!selected)
        return;
    const NodeIndex node = selected->Index();
    TextSplice splice{from, tree().text(node).mid(from, length), inserted};
    tree().replaceText(node, from, length, inserted);
    pushStep(new ChangeTextStep(tree(), node, std::move(splice), m_typingRun,
                                [this](NodeIndex shown) { showStep(shown); }));
}

void Form1::Tv_AfterLabelEdit(NodeIndex node, bool * /*cancel*/, const QString &newText)
{
    // One step of its own: an in-place edit never merges with typing in the box, nor with
    // another in-place edit.
    if (!tree().contains(node))
        return;
    if (tree().text(node) != newText) {
        const QString before = tree().text(node);
        tree().setText(node, newText);
        pushStep(new ChangeTextStep(tree(), node, before, -1,
                                    [this](NodeIndex shown) { showStep(shown); }));
    }
    if (node == tree().selected())
        showValue(newText);
}

void Form1::Tv_Collapse() { Tv_NodeClick(); }

void Form1::showStep(NodeIndex node)
{
    // Typing after an undo or a redo starts a step of its own.
    ++m_typingRun;
    if (tree().contains(node))
        tree().select(node);
    Tv_NodeClick();
}

void Form1::commitPendingEdit() { m_tv->commitLabelEdit(); }

void Form1::pushStep(QUndoCommand *step)
{
    if (m_runningStep)
        m_stepsWaiting.emplace_back(step);
    else
        m_undoStack->push(step);
}

void Form1::mnuUndo_Click() { moveInHistory(&QUndoStack::undo); }
void Form1::mnuRedo_Click() { moveInHistory(&QUndoStack::redo); }

void Form1::moveInHistory(void (QUndoStack::*move)())
{
    commitPendingEdit();
    {
        const QScopedValueRollback running(m_runningStep, true);
        (m_undoStack->*move)();
    }
    for (auto &step : std::exchange(m_stepsWaiting, {}))
        m_undoStack->push(step.release());
}

// The title's mark counts an in-place edit not yet taken in, as every question before a loss
// does.
void Form1::showModified()
{
    setWindowModified(m_document->isModified() || m_tv->labelEditPending());
}
