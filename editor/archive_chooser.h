#pragma once

#include "archive/zip_archive.h"

#include <QDialog>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStringList>

#include <optional>

class QDialogButtonBox;
class QLineEdit;
class QListView;

// How much of each entry's start is unpacked first to tell a weapon file from anything else.
inline constexpr qint64 kWeaponCheckBytes = 4096;

enum class EntryKind { Weapon, Other, Unopenable };

// Whether the entry's first line loads as a weapon file with at least one key and value. A line
// longer than its first few KB is judged by the keys and values that start shows whole; only a
// line that shows none is read on, up to the largest weapon file. Unopenable, with why in
// reason, is an entry that may be a weapon file but cannot be read (encrypted, packed with a
// method we cannot unpack, too large, a broken name, damaged).
EntryKind weapon_entry_kind(ArchiveReader &reader, const ArchiveEntry &entry, QString *reason);

// What the weapon entries of an open archive are, in archive order.
struct WeaponEntries {
    QList<ArchiveEntry> weapons;
    QStringList unopenable; // a sentence for each entry that could not be looked into
    bool cancelled = false;
};
WeaponEntries find_weapon_entries(ArchiveReader &reader, const ArchiveProgress &progress = {});

// How a name is listed: as it is, with a mark when it climbs out of the archive's folder.
QString shown_entry_name(const ArchiveEntry &entry);

// Lists the weapon entries of one archive, narrowed by a filter as the user types.
class ArchiveChooser : public QDialog
{
    Q_OBJECT

public:
    ArchiveChooser(const QString &archive, const QList<ArchiveEntry> &entries,
                   QWidget *parent = nullptr);

    // The entry the user chose, or the empty text while none is chosen.
    QString chosenEntry() const;

private:
    void ArchiveFilter_Change(const QString &text);
    void ArchiveEntries_DblClick(const QModelIndex &index);
    void keepOneCurrent();

    QStandardItemModel m_entries;
    QSortFilterProxyModel m_shown;
    QLineEdit *m_filter;
    QListView *m_list;
    QDialogButtonBox *m_buttons;
};

// Reads the archive and lets the user choose one of its weapon entries. Gives nothing when the
// user cancels (the reading or the choice), and nothing with *failure set when the archive
// cannot be read or holds no weapon file that can be opened.
std::optional<QString> choose_archive_entry(QWidget *owner, const QString &archive,
                                            QString *failure);
