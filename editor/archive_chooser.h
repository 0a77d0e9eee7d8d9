#pragma once

#include "archive/zip_archive.h"

#include <QDialog>
#include <QSortFilterProxyModel>
#include <QStringList>
#include <QStringListModel>

#include <optional>

class QDialogButtonBox;
class QLineEdit;
class QListView;

// How much of each entry's start is unpacked to tell a weapon file from anything else.
inline constexpr qint64 kWeaponCheckBytes = 4096;

// Whether the entry's first line loads as a weapon file with at least one key and value.
bool is_weapon_entry(ArchiveReader &reader, const ArchiveEntry &entry);

// The names of the weapon entries of an open archive, in archive order.
QStringList weapon_entry_names(ArchiveReader &reader);

// Lists the weapon entries of one archive, narrowed by a filter as the user types.
class ArchiveChooser : public QDialog
{
    Q_OBJECT

public:
    ArchiveChooser(const QString &archive, const QStringList &entries, QWidget *parent = nullptr);

    // The entry the user chose, or the empty text while none is chosen.
    QString chosenEntry() const;

private:
    void ArchiveFilter_Change(const QString &text);
    void ArchiveEntries_DblClick(const QModelIndex &index);
    void keepOneCurrent();

    QStringListModel m_entries;
    QSortFilterProxyModel m_shown;
    QLineEdit *m_filter;
    QListView *m_list;
    QDialogButtonBox *m_buttons;
};

// Reads the archive and lets the user choose one of its weapon entries. Gives nothing when the
// user cancels, and nothing with *failure set when the archive cannot be read or holds no
// weapon file.
std::optional<QString> choose_archive_entry(QWidget *owner, const QString &archive,
                                            QString *failure);
