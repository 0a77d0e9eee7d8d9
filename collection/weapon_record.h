#pragma once

#include "document/weapon_origin.h"

#include <QByteArray>
#include <QString>

#include <vector>

// One weapon of a table, kept the way its file holds it: the first line as its windows-1252
// bytes, with where each pair starts and which column of the table its key is. A table holds
// thousands of these, so a value is decoded only when asked for, and an edit rewrites the few
// hundred bytes of the line in place. It is the document of its row: Save All writes the line
// back through the same careful save, and the same check of the disk, as the main window.
class WeaponRecord
{
public:
    WeaponRecord() = default;
    // Takes a first line that split_weapon_line accepted, with the starts it gave.
    WeaponRecord(QString path, QByteArray line, const std::vector<quint32> &starts,
                 WeaponOrigin origin);

    // The path the weapon is known by, relative to the folder or archive, with forward slashes.
    QString path;
    // Where the weapon is on disk: the file, or the archive and entry, with the bytes after the
    // first line and what the disk held when it was last read or written.
    WeaponOrigin origin;
    // The edit steps applied to this weapon, newest last, and the newest one it was saved after:
    // undoing back past a save and then editing anew must still count as a change.
    std::vector<quint64> steps;
    quint64 savedStep = 0;

    const QByteArray &line() const { return m_line; }
    QByteArrayView header() const;
    int pairCount() const { return static_cast<int>(m_pairs.size()); }
    QByteArrayView key(int pair) const
    {
        const Pair &at = m_pairs[static_cast<size_t>(pair)];
        return QByteArrayView(m_line).sliced(at.key, at.value - 1 - at.key);
    }
    QByteArrayView value(int pair) const
    {
        const auto at = static_cast<size_t>(pair);
        return QByteArrayView(m_line).sliced(m_pairs[at].value, valueEnd(at) - m_pairs[at].value);
    }
    // The table column of each pair's key, which the table gives out as it meets the keys.
    int column(int pair) const { return m_pairs[static_cast<size_t>(pair)].column; }
    void setColumn(int pair, int column) { m_pairs[static_cast<size_t>(pair)].column = column; }
    // The pair whose key is the column's, or -1.
    int pairOf(int column) const;

    // Edits take bytes the file can keep: no backslash and no CR.
    void setValue(int pair, QByteArrayView value);
    void appendPair(QByteArrayView key, QByteArrayView value, int column);
    void removeLastPair();

private:
    struct Pair {
        quint32 key;   // where the key starts in the line
        quint32 value; // where the value starts
        qint32 column;
    };
    qsizetype valueEnd(size_t pair) const
    {
        return pair + 1 < m_pairs.size() ? m_pairs[pair + 1].key - 1 : m_line.size();
    }

    QByteArray m_line;
    std::vector<Pair> m_pairs;
};
