#include "editor/document_steps.h"

namespace
{

// Step names show in the Edit menu, where a lone & would underline the letter after it.
QString shownInMenu(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

// The value's key names the step, since that is what the user looks for in the tree.
QString changeName(const WeaponTree &tree, NodeIndex node)
{
    const NodeIndex parent = tree.parent(node);
    return QStringLiteral("Change of %1").arg(shownInMenu(tree.text(parent != 0 ? parent : node)));
}

} // namespace

TextSplice splice_between(const QString &before, const QString &after)
{
    const qsizetype shorter = std::min(before.size(), after.size());
    qsizetype head = 0;
    while (head < shorter && before[head] == after[head])
        ++head;
    qsizetype tail = 0;
    while (tail < shorter - head &&
           before[before.size() - 1 - tail] == after[after.size() - 1 - tail])
        ++tail;
    return {head, before.mid(head, before.size() - head - tail),
            after.mid(head, after.size() - head - tail)};
}

ChangeTextStep::ChangeTextStep(WeaponTree &tree, NodeIndex node, const QString &before, int run,
                               ShowNode show)
    : ChangeTextStep(tree, node, splice_between(before, tree.text(node)), run, std::move(show))
{
}

ChangeTextStep::ChangeTextStep(WeaponTree &tree, NodeIndex node, TextSplice splice, int run,
                               ShowNode show)
    : QUndoCommand(changeName(tree, node)), m_tree(tree), m_node(node), m_splice(std::move(splice)),
      m_run(run), m_show(std::move(show))
{
}

void ChangeTextStep::undo()
{
    m_tree.replaceText(m_node, m_splice.at, m_splice.inserted.size(), m_splice.removed);
    m_show(m_node);
}

void ChangeTextStep::redo()
{
    if (std::exchange(m_done, false))
        return;
    m_tree.replaceText(m_node, m_splice.at, m_splice.removed.size(), m_splice.inserted);
    m_show(m_node);
}

bool ChangeTextStep::mergeWith(const QUndoCommand *other)
{
    const auto *next = static_cast<const ChangeTextStep *>(other);
    if (next->m_node != m_node || next->m_run != m_run)
        return false;
    // Only the stretch both changes touched is taken back, twice, so that merging a keystroke
    // costs what the keystroke changed rather than the length of the whole value.
    const TextSplice &first = m_splice, &second = next->m_splice;
    const qsizetype from = std::min(first.at, second.at);
    const qsizetype endBetween =
        std::max(first.at + first.inserted.size(), second.at + second.removed.size());
    const qsizetype endNow = endBetween - second.removed.size() + second.inserted.size();
    const QString now = m_tree.text(m_node).mid(from, endNow - from);
    QString before = now;
    before.replace(second.at - from, second.inserted.size(), second.removed);
    before.replace(first.at - from, first.inserted.size(), first.removed);
    TextSplice merged = splice_between(before, now);
    merged.at += from;
    m_splice = std::move(merged);
    return true;
}

NewKeyStep::NewKeyStep(WeaponTree &tree, NodeIndex selectedBefore, ShowNode show)
    : m_tree(tree), m_key(tree.text(static_cast<NodeIndex>(tree.count() - 1))),
      m_value(tree.text(tree.count())), m_selectedBefore(selectedBefore), m_show(std::move(show))
{
    setText(QStringLiteral("New Key %1").arg(shownInMenu(m_key)));
}

void NewKeyStep::undo()
{
    m_tree.removeLastPair();
    m_show(m_selectedBefore);
}

void NewKeyStep::redo()
{
    if (std::exchange(m_done, false))
        return;
    m_tree.appendPair(m_tree.nodes().Item(1).value(), m_key, m_value);
    // As New Key leaves it: the value scrolled into view, its key selected.
    m_tree.ensureVisible(m_tree.count());
    m_show(static_cast<NodeIndex>(m_tree.count() - 1));
}
