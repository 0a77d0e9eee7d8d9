#include "collection/weapon_collection.h"

#include <algorithm>
#include <set>

WeaponCollection::WeaponCollection(LoadedWeapons loaded, QObject *parent)
    : QObject(parent), m_source(loaded.source), m_archive(loaded.archive),
      m_records(std::move(loaded.records)), m_notLoaded(std::move(loaded.notLoaded)),
      m_otherFiles(loaded.otherFiles)
{
    m_rowOfPath.reserve(size());
    QStringList found;
    for (int row = 0; row < size(); ++row) {
        const WeaponTree &tree = record(row).tree();
        m_rowOfPath.insert(record(row).path, row);
        for (int key = 2; key < tree.count(); key += 2) {
            const QString &name = tree.text(static_cast<NodeIndex>(key));
            if (!m_columnOfKey.contains(name)) {
                m_columnOfKey.insert(name, static_cast<int>(m_keys.size()));
                m_keys << name;
            }
        }
    }
}

WeaponCollection::~WeaponCollection() = default;

std::optional<QString> WeaponCollection::value(int row, int column) const
{
    const WeaponTree &tree = record(row).tree();
    const NodeIndex key = tree.keyNode(m_keys[column]);
    if (key == 0 || tree.childCount(key) == 0)
        return std::nullopt;
    return tree.text(tree.child(key, 0));
}

QString WeaponCollection::refusesNewKey(int row, const QString &key, int pending) const
{
    const WeaponTree &tree = record(row).tree();
    if (tree.count() > kMaxNodes - 2 * (pending + 1))
        return QStringLiteral("%1 holds as many keys as a weapon file can.").arg(record(row).path);
    if (tree.hasKey(key))
        return QStringLiteral("\"%1\" is the header of %2.").arg(key, record(row).path);
    return {};
}

void WeaponCollection::addKeys(const QStringList &keys)
{
    if (keys.isEmpty())
        return;
    const int first = static_cast<int>(m_keys.size());
    for (const QString &key : keys) {
        m_columnOfKey.insert(key, static_cast<int>(m_keys.size()));
        m_keys << key;
    }
    emit columnsInserted(first, static_cast<int>(m_keys.size()) - 1);
}

void WeaponCollection::removeLastKeys(int count)
{
    if (count <= 0)
        return;
    const int first = static_cast<int>(m_keys.size()) - count;
    for (int column = first; column < m_keys.size(); ++column)
        m_columnOfKey.remove(m_keys[column]);
    m_keys.resize(first);
    emit columnsRemoved(first, first + count - 1);
}

void WeaponCollection::setValue(int row, int column, const QString &value)
{
    WeaponTree &tree = record(row).tree();
    if (const NodeIndex key = tree.keyNode(m_keys[column]); key != 0)
        tree.setText(tree.child(key, 0), value);
    else
        tree.appendPair(Node(&tree, 1), m_keys[column], value);
    emit valueChanged(row, column);
}

void WeaponCollection::apply(const QList<CellEdit> &edits, quint64 step)
{
    for (const CellEdit &edit : edits)
        setValue(edit.record, edit.column, edit.after);
    touch(edits, step, false);
}

void WeaponCollection::revert(const QList<CellEdit> &edits, quint64 step)
{
    // Pairs were added at the ends of their files in this order, so they come off in reverse.
    for (auto edit = edits.crbegin(); edit != edits.crend(); ++edit) {
        if (edit->before) {
            setValue(edit->record, edit->column, *edit->before);
            continue;
        }
        record(edit->record).tree().removeLastPair();
        emit valueChanged(edit->record, edit->column);
    }
    touch(edits, step, true);
}

void WeaponCollection::touch(const QList<CellEdit> &edits, quint64 step, bool undo)
{
    std::set<int> rows;
    for (const CellEdit &edit : edits)
        rows.insert(edit.record);
    for (const int row : rows) {
        const bool was = isChanged(row);
        std::vector<quint64> &steps = record(row).steps;
        if (undo && !steps.empty() && steps.back() == step)
            steps.pop_back();
        else if (!undo)
            steps.push_back(step);
        noteChangedState(row, was);
    }
}

bool WeaponCollection::isChanged(int row) const
{
    const WeaponRecord &weapon = record(row);
    return (weapon.steps.empty() ? 0 : weapon.steps.back()) != weapon.savedStep;
}

int WeaponCollection::changedCount() const
{
    int changed = 0;
    for (int row = 0; row < size(); ++row)
        changed += isChanged(row) ? 1 : 0;
    return changed;
}

void WeaponCollection::markSaved(int row)
{
    const bool was = isChanged(row);
    const std::vector<quint64> &steps = record(row).steps;
    record(row).savedStep = steps.empty() ? 0 : steps.back();
    noteChangedState(row, was);
}

// The document hears of it too, so that it knows whether it holds unsaved edits.
void WeaponCollection::noteChangedState(int row, bool was)
{
    const bool changed = isChanged(row);
    record(row).document->setModified(changed);
    if (changed != was)
        emit changedStateChanged(row);
}
