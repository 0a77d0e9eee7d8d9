// The value panel follows the selected node: a value is edited in the box or in place in the
// tree, while the header and the keys are shown but protected.
#include "editor/form1.h"

#include "document/weapon_document.h"
#include "editor/document_steps.h"
#include "editor/tree_view.h"
#include "ui/system_colors.h"

#include <QLabel>
#include <QLineEdit>
#include <QScopedValueRollback>
#include <QUndoStack>

void Form1::Tv_NodeClick()
{
    const std::optional<Node> selected = tree().SelectedItem();
    if (!selected)
        return;
    fitValuePanel(selected->Children() < 1);
    m_text2->setText(selected->Text());
}

void Form1::fitValuePanel(bool editable)
{
    // The two settings that protect the header and the keys always change together.
    m_text2->setReadOnly(!editable);
    m_tv->setLabelEdit(editable ? TreeView::tvwAutomatic : TreeView::tvwManual);
    m_mnuEditInPlace->setEnabled(editable);
    const QColor back = system_color(editable ? kWindowBackground : kButtonFace);
    if (m_text2->palette().color(QPalette::Base) != back) {
        QPalette palette = m_text2->palette();
        palette.setColor(QPalette::Base, back);
        m_text2->setPalette(palette);
    }
    m_label2->setText(editable ? QStringLiteral("Value (Modifiable)")
                               : QStringLiteral("Value (Not Modifiable)"));
    // The caption says whether the value can be changed; a screen reader says so too.
    m_text2->setAccessibleName(m_label2->text());
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
        m_text2->setText(newText);
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
