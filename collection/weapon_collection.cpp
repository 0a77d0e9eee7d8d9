#include "collection/weapon_collection.h"

#include "collection/folded_text.h"
#include "document/code_page.h"
#include "document/weapon_source.h"
#include "weapons/archive_weapon.h"

#include <algorithm>
#include <set>

WeaponCollection::WeaponCollection(LoadedWeapons loaded, QObject *parent)
    : QObject(parent), m_source(loaded.source), m_archive(loaded.archive),
      m_records(std::move(loaded.records)), m_notLoaded(std::move(loaded.notLoaded)),
      m_otherFiles(loaded.otherFiles), m_archiveMemo(std::move(loaded.archiveMemo))
{
    m_rowOfPath.reserve(size());
    QHash<QByteArray, int> columnOfBytes;
    for (int row = 0; row < size(); ++row) {
        WeaponRecord &weapon = record(row);
        m_rowOfPath.insert(weapon.path, row);
        for (int pair = 0; pair < weapon.pairCount(); ++pair) {
            const QByteArrayView key = weapon.key(pair);
            // Looked up in place: only a key met for the first time is copied.
            const auto found =
                columnOfBytes.constFind(QByteArray::fromRawData(key.data(), key.size()));
            if (found != columnOfBytes.cend()) {
                weapon.setColumn(pair, *found);
                continue;
            }
            const int column = static_cast<int>(m_keys.size());
            columnOfBytes.insert(key.toByteArray(), column);
            m_keyBytes << key.toByteArray();
            m_keys << code_page::decode(key);
            m_columnOfKey.insert(m_keys.back(), column);
            weapon.setColumn(pair, column);
        }
    }
}

WeaponCollection::~WeaponCollection() = default;

QString WeaponCollection::location(int row) const
{
    const WeaponOrigin &origin = record(row).origin;
    if (origin.entry.isEmpty())
        return WeaponFileSource(origin.path).displayName();
    return ArchiveEntrySource(origin.path, origin.entry).displayName();
}

std::optional<QString> WeaponCollection::value(int row, int column) const
{
    const WeaponRecord &weapon = record(row);
    const int pair = weapon.pairOf(column);
    if (pair < 0)
        return std::nullopt;
    return code_page::decode(weapon.value(pair));
}

bool WeaponCollection::valuesContain(int row, const FoldedText &text) const
{
    const WeaponRecord &weapon = record(row);
    for (int pair = 0; pair < weapon.pairCount(); ++pair) {
        if (text.in(weapon.value(pair)))
            return true;
    }
    return false;
}

QString WeaponCollection::refusesNewKey(int row, const QString &key, int pending) const
{
    const WeaponRecord &weapon = record(row);
    if (1 + 2 * weapon.pairCount() > kMaxNodes - 2 * (pending + 1))
        return QStringLiteral("%1 holds as many keys as a weapon file can.").arg(weapon.path);
    if (code_page::decode(weapon.header()) == key)
        return QStringLiteral("\"%1\" is the header of %2.").arg(key, weapon.path);
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
        m_keyBytes.append(QByteArray());
        code_page::encode(key, m_keyBytes.back());
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
    m_keyBytes.resize(first);
    emit columnsRemoved(first, first + count - 1);
}

void WeaponCollection::setValue(int row, int column, const QString &value)
{
    WeaponRecord &weapon = record(row);
    QByteArray bytes;
    // Every value reaching here was checked against what the file can keep.
    code_page::encode(value, bytes);
    if (const int pair = weapon.pairOf(column); pair >= 0)
        weapon.setValue(pair, bytes);
    else
        weapon.appendPair(m_keyBytes[column], bytes, column);
}

void WeaponCollection::apply(const QList<CellEdit> &edits, quint64 step)
{
    for (const CellEdit &edit : edits)
        setValue(edit.record, edit.column, edit.after);
    emit valuesChanged(edits);
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
        record(edit->record).removeLastPair();
    }
    emit valuesChanged(edits);
    touch(edits, step, true);
}

void WeaponCollection::touch(const QList<CellEdit> &edits, quint64 step, bool undo)
{
    std::set<int> rows;
    for (const CellEdit &edit : edits)
        rows.insert(edit.record);
    QList<int> turned;
    for (const int row : rows) {
        const bool was = isChanged(row);
        std::vector<quint64> &steps = record(row).steps;
        if (undo && !steps.empty() && steps.back() == step)
            steps.pop_back();
        else if (!undo)
            steps.push_back(step);
        if (isChanged(row) != was)
            turned << row;
    }
    if (!turned.isEmpty())
        emit changedStateChanged(turned);
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
    if (isChanged(row) != was)
        emit changedStateChanged({row});
}
