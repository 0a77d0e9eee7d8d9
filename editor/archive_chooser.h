#pragma once

#include "archive/zip_archive.h"
#include "collection/weapon_entries.h"

#include <QDialog>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QStringList>

#include <optional>

class QDialogButtonBox;
class QLineEdit;
class QListView;

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
