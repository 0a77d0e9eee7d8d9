#pragma once

#include "document/weapon_source.h"
#include "document/weapon_tree.h"

#include <QObject>
#include <memory>

// Whether a save may go over a file that another program changed since we read or wrote it.
enum class DiskCheck { Refuse, Overwrite };

// One open weapon without a window: its tree, where it came from, and the commands on it as a
// whole (open, save, Save As, revert). Every window or table that shows a weapon works on one
// of these; what it shows follows the tree's signals, and what it asks the user (overwrite?
// discard?) it decides from the results here.
//
// A failed open or revert leaves the document exactly as it was: the new tree is built aside
// and only replaces this one once it is whole. A failed save leaves the disk as it was.
class WeaponDocument : public QObject
{
    Q_OBJECT

public:
    explicit WeaponDocument(QObject *parent = nullptr);
    ~WeaponDocument() override;

    WeaponTree &tree() { return m_tree; }
    const WeaponTree &tree() const { return m_tree; }
    // Where the document came from; an empty path while none is open.
    const WeaponOrigin &origin() const { return m_origin; }
    bool isOpen() const { return !m_origin.path.isEmpty(); }
    // How messages name the document: its path, or its archive and entry; empty when none.
    QString displayName() const;

    // Edits made since the last open, revert or save. The editing layer says so: its undo
    // history knows when the user's steps come back to what was saved. Open, revert and save
    // clear it.
    bool isModified() const { return m_modified; }
    void setModified(bool modified);

    // Replaces the document with the weapon at source. On failure nothing changes.
    WeaponFileResult open(std::unique_ptr<WeaponSource> source);
    WeaponFileResult openFile(const QString &path);
    // Makes a tree built from source's bytes the document, as open() would, for a caller that
    // has read those bytes already (a table sorting a folder's files into weapons and others).
    void adopt(std::unique_ptr<WeaponSource> source, WeaponTree &loaded, WeaponOrigin origin);
    // Notes that the document was written by other means (the changed entries of an archive go
    // back in one rewrite of it), and what the disk now holds.
    void noteSaved(const DiskSnapshot &disk);
    // Whether the disk no longer holds what we last read or wrote there.
    bool changedOnDisk() const;
    // Writes the document back where it came from. With DiskCheck::Refuse a file that another
    // program changed meanwhile is left alone and the result is ChangedOnDisk.
    WeaponFileResult save(DiskCheck check = DiskCheck::Refuse);
    // Writes the document, and the bytes after its first line, to a loose file at path (from
    // an archive entry too), which then becomes where the document comes from.
    WeaponFileResult saveAs(const QString &path);
    // Reads the document again as the disk holds it now; the edits made here are lost.
    WeaponFileResult revert();

signals:
    // The tree's texts or pairs changed, by the user or by the program.
    void changed();
    void modifiedChanged(bool modified);
    // Written to disk; the document is no longer modified.
    void saved();
    // Open or revert put a new tree in place of the old one.
    void replaced();
    // Where the document comes from changed: open, revert or Save As.
    void originChanged();

private:
    // Puts a tree built aside in place of this one.
    void take(WeaponTree &loaded, WeaponOrigin origin);
    void treeChanged();

    WeaponTree m_tree;
    WeaponOrigin m_origin;
    std::unique_ptr<WeaponSource> m_source;
    bool m_modified = false;
    bool m_replacing = false;
};
