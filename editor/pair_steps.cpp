#include "editor/pair_steps.h"

namespace
{

QString shownInMenu(QString text) { return text.replace(u'&', QStringLiteral("&&")); }

// Runs of neighbouring rows in rows (ascending), as first index and length in rows.
QList<std::pair<qsizetype, qsizetype>> runs(const QList<int> &rows)
{
    QList<std::pair<qsizetype, qsizetype>> all;
    for (qsizetype i = 0; i < rows.size();) {
        qsizetype end = i + 1;
        while (end < rows.size() && rows[end] == rows[end - 1] + 1)
            ++end;
        all.append({i, end - i});
        i = end;
    }
    return all;
}

} // namespace

QString pairs_name(const QList<WeaponPair> &pairs)
{
    if (pairs.size() == 1)
        return shownInMenu(pairs.front().key);
    return QStringLiteral("%1 pairs").arg(pairs.size());
}

DeletePairsStep::DeletePairsStep(WeaponTree &tree, QList<int> rows, ShowNode show)
    : m_tree(tree), m_rows(std::move(rows)), m_selectedBefore(tree.selected()),
      m_show(std::move(show))
{
    for (const int row : m_rows)
        m_pairs.append(tree.pairAt(row));
    setText(QStringLiteral("Delete %1").arg(pairs_name(m_pairs)));
}

void DeletePairsStep::redo()
{
    // From the bottom up, so that the rows still to go keep their numbers; neighbours go in
    // one removal of many rows.
    const auto all = runs(m_rows);
    for (auto it = all.crbegin(); it != all.crend(); ++it)
        m_tree.removePairs(m_rows[it->first], static_cast<int>(it->second));
    m_show(m_tree.selected());
}

void DeletePairsStep::undo()
{
    for (const auto &[first, length] : runs(m_rows))
        m_tree.insertPairs(m_rows[first], m_pairs.mid(first, length));
    m_show(m_selectedBefore);
}

MovePairsStep::MovePairsStep(WeaponTree &tree, QList<int> rows, int by, ShowNode show)
    : m_tree(tree), m_rows(std::move(rows)), m_by(by), m_show(std::move(show))
{
    QList<WeaponPair> pairs;
    for (const int row : m_rows)
        pairs.append(tree.pairAt(row));
    setText(QStringLiteral("%1 %2").arg(
        by < 0 ? QStringLiteral("Move Up") : QStringLiteral("Move Down"), pairs_name(pairs)));
}

void MovePairsStep::redo() { move(m_by); }
void MovePairsStep::undo() { move(-m_by); }

void MovePairsStep::move(int by)
{
    // Rows as they stand before this move: the moved ones, or where the last move left them.
    QList<int> rows = m_rows;
    if (by != m_by) {
        for (int &row : rows)
            row += m_by;
    }
    // The pair nearest the edge goes first, so that none jumps over another moved one.
    const NodeIndex selected = m_tree.selected();
    const quint32 selectedId = selected == 0 ? 0 : m_tree.nodeId(selected);
    if (by < 0) {
        for (const int row : rows)
            m_tree.movePair(row, row + by);
    } else {
        for (auto it = rows.crbegin(); it != rows.crend(); ++it)
            m_tree.movePair(*it, *it + by);
    }
    const NodeIndex shown = selected == 0 ? NodeIndex(0) : m_tree.nodeOfId(selectedId);
    m_show(shown != 0 ? shown : WeaponTree::pairKey(rows.front() + by));
}

RenameKeyStep::RenameKeyStep(WeaponTree &tree, NodeIndex key, QString name, ShowNode show)
    : m_tree(tree), m_key(key), m_before(tree.text(key)), m_after(std::move(name)),
      m_show(std::move(show))
{
    setText(QStringLiteral("Rename %1 to %2").arg(shownInMenu(m_before), shownInMenu(m_after)));
}

void RenameKeyStep::redo()
{
    m_tree.renameKey(m_key, m_after);
    m_show(m_key);
}

void RenameKeyStep::undo()
{
    m_tree.renameKey(m_key, m_before);
    m_show(m_key);
}

InsertPairsStep::InsertPairsStep(const QString &text, WeaponTree &tree, int row,
                                 QList<WeaponPair> added, QList<WeaponPair> replaced, ShowNode show)
    : QUndoCommand(text), m_tree(tree), m_row(row), m_added(std::move(added)),
      m_replaced(std::move(replaced)), m_selectedBefore(tree.selected()), m_show(std::move(show))
{
    for (const WeaponPair &pair : m_replaced)
        m_replacedBefore.append({pair.key, tree.text(tree.keyNode(pair.key) + 1)});
}

void InsertPairsStep::setValues(const QList<WeaponPair> &values)
{
    for (const WeaponPair &pair : values)
        m_tree.setText(static_cast<NodeIndex>(m_tree.keyNode(pair.key) + 1), pair.value);
}

void InsertPairsStep::redo()
{
    m_tree.insertPairs(m_row, m_added);
    setValues(m_replaced);
    m_show(m_added.isEmpty() ? m_tree.keyNode(m_replaced.front().key) : WeaponTree::pairKey(m_row));
}

void InsertPairsStep::undo()
{
    setValues(m_replacedBefore);
    m_tree.removePairs(m_row, static_cast<int>(m_added.size()));
    m_show(m_selectedBefore);
}
