#pragma once

#include "collection/weapon_collection.h"

#include <QMainWindow>
#include <QUndoStack>

#include <memory>

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class WeaponGrid;
class WeaponTableModel;

// Every weapon of a folder or an archive side by side, edited in place or in bulk, and saved
// together with the same care as a single weapon.
class WeaponTable : public QMainWindow
{
    Q_OBJECT

public:
    explicit WeaponTable(std::unique_ptr<WeaponCollection> weapons, QWidget *parent = nullptr);
    ~WeaponTable() override;

    WeaponCollection &weapons() { return *m_weapons; }
    WeaponGrid *grid() const { return m_grid; }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void createMenus();
    void createEditMenu();
    QAction *addCommand(QMenu *menu, const QString &name, const QString &text,
                        const QKeySequence &key, void (WeaponTable::*handler)());
    void updateStatus();
    void updateTitle();

    void mnuSaveAll_Click();
    void mnuExportCsv_Click();
    void mnuImportCsv_Click();
    void mnuClose_Click();
    void mnuCopy_Click();
    void mnuPaste_Click();
    void mnuSetSelected_Click();
    void mnuAdjust_Click();
    void mnuCompare_Click();
    void mnuFindRows_Click();
    void mnuFindKeys_Click();
    void WeaponGrid_ContextMenu(const QPoint &at);

    // Takes in what is typed in an open cell, as every command that reads or saves must.
    void takeTyped();
    // Writes every changed weapon; false when some stay unsaved.
    bool saveAll();
    void say(const QString &text);

    std::unique_ptr<WeaponCollection> m_weapons;
    QUndoStack m_undo;
    WeaponTableModel *m_model = nullptr;
    WeaponGrid *m_grid = nullptr;
    QLineEdit *m_tableFilter = nullptr;
    QLineEdit *m_keyFilter = nullptr;
    QListWidget *m_notLoaded = nullptr;
    QLabel *m_counts = nullptr;
    QLabel *m_others = nullptr;
};

// Reads the folder or archive at path with a progress dialog that can be cancelled, the reading
// itself off the user-interface thread, and shows its table. Gives the window, or nothing when
// the user cancelled or nothing could be read (then a message says why).
WeaponTable *open_weapon_table(QWidget *owner, const QString &path);
