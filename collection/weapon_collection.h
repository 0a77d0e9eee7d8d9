#pragma once

#include "archive/zip_archive.h"
#include "collection/weapon_record.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

#include <optional>
#include <vector>

class FoldedText;

// A file that looks like a weapon file but could not be opened, and why.
struct NotLoaded {
    QString path;
    QString reason;
};

// What a scan of a folder or an archive found, before it becomes a table.
struct LoadedWeapons {
    QString source;
    bool archive = false;
    std::vector<WeaponRecord> records;
    QList<NotLoaded> notLoaded;
    int otherFiles = 0;
    // Why nothing could be read at all (no such folder, not an archive); empty otherwise.
    QString failure;
    bool cancelled = false;
    ArchiveMemo archiveMemo; // the archive's table of contents, for the first Save All
};

// One cell's change: before is empty when the weapon had no such key, so that applying adds the
// pair at the end of its file and taking it back removes that pair again.
struct CellEdit {
    int record = 0;
    int column = 0;
    std::optional<QString> before;
    QString after;
};

// Every weapon of a folder or an archive, side by side: a row per weapon in path order and a
// column per key in order of first appearance. The records are the documents; a cell is read
// from its record whenever it is asked for, and every edit goes into the record.
class WeaponCollection : public QObject
{
    Q_OBJECT

public:
    explicit WeaponCollection(LoadedWeapons loaded, QObject *parent = nullptr);
    ~WeaponCollection() override;

    const QString &source() const { return m_source; }
    bool isArchive() const { return m_archive; }
    // The archive's table of contents as it was read, then as the last Save All wrote it, so
    // that the next need not read it again.
    ArchiveMemo &archiveMemo() { return m_archiveMemo; }
    const QList<NotLoaded> &notLoaded() const { return m_notLoaded; }
    int otherFiles() const { return m_otherFiles; }

    int size() const { return static_cast<int>(m_records.size()); }
    const WeaponRecord &record(int row) const { return m_records[static_cast<size_t>(row)]; }
    WeaponRecord &record(int row) { return m_records[static_cast<size_t>(row)]; }
    int recordOf(const QString &path) const { return m_rowOfPath.value(path, -1); }
    // Where the weapon is on disk, as a user would name it: the file, or the archive and entry.
    QString location(int row) const;

    const QStringList &keys() const { return m_keys; }
    int columnOf(const QString &key) const { return m_columnOfKey.value(key, -1); }
    // The weapon's value for the key of column, or nothing when it lacks the key.
    std::optional<QString> value(int row, int column) const;
    // Whether any value of the weapon holds text, ignoring case; the header and keys do not count.
    bool valuesContain(int row, const FoldedText &text) const;
    // Whether the weapon can take the key of column as a new pair, or why not.
    // pending counts the pairs already meant for it.
    QString refusesNewKey(int row, const QString &key, int pending = 0) const;

    // Keys that become new columns, at the end.
    void addKeys(const QStringList &keys);
    // Takes back the newest count columns; they must hold no value any more.
    void removeLastKeys(int count);

    // Applies edits as the step numbered step, or takes them back, in reverse order.
    void apply(const QList<CellEdit> &edits, quint64 step);
    void revert(const QList<CellEdit> &edits, quint64 step);
    quint64 newStep() { return ++m_lastStep; }

    bool isChanged(int row) const;
    int changedCount() const;
    void markSaved(int row);

signals:
    // The cells of edits hold new values; one signal for a step, however many cells it sets.
    void valuesChanged(const QList<CellEdit> &edits);
    void columnsInserted(int first, int last);
    void columnsRemoved(int first, int last);
    // These weapons turned changed, or unchanged again.
    void changedStateChanged(const QList<int> &rows);

private:
    void setValue(int row, int column, const QString &value);
    void touch(const QList<CellEdit> &edits, quint64 step, bool undo);

    QString m_source;
    bool m_archive = false;
    std::vector<WeaponRecord> m_records;
    QHash<QString, int> m_rowOfPath;
    QStringList m_keys;
    QHash<QString, int> m_columnOfKey;
    QList<QByteArray> m_keyBytes; // each key as the files hold it
    QList<NotLoaded> m_notLoaded;
    int m_otherFiles = 0;
    quint64 m_lastStep = 0;
    ArchiveMemo m_archiveMemo;
};
