#include "table/weapon_table.h"

#include "table/weapon_grid.h"
#include "table/weapon_table_model.h"
#include "ui/message_box.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>

WeaponTable::WeaponTable(std::unique_ptr<WeaponCollection> weapons, QWidget *parent)
    : QMainWindow(parent), m_weapons(std::move(weapons))
{
    setObjectName(QStringLiteral("WeaponTable"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_model = new WeaponTableModel(*m_weapons, m_undo, this);
    createControls();
    createMenus();
    connect(m_model, &WeaponTableModel::refused, this, &WeaponTable::say);
    connect(m_weapons.get(), &WeaponCollection::changedStateChanged, this,
            &WeaponTable::updateTitle);
    connect(m_weapons.get(), &WeaponCollection::columnsInserted, this, &WeaponTable::updateStatus);
    connect(m_weapons.get(), &WeaponCollection::columnsRemoved, this, &WeaponTable::updateStatus);
    updateStatus();
    updateTitle();
    resize(900, 600);
}

WeaponTable::~WeaponTable()
{
    // The steps, the grid and its model read the weapons; they go before the weapons do.
    m_undo.clear();
    delete centralWidget();
    delete m_model;
}

void WeaponTable::createControls()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    auto *filters = new QHBoxLayout;
    const auto addFilter = [&](QLineEdit *&box, const QString &name, const QString &label,
                               const QString &hint) {
        box = new QLineEdit(central);
        box->setObjectName(name);
        box->setClearButtonEnabled(true);
        box->setPlaceholderText(hint);
        auto *caption = new QLabel(label, central);
        caption->setBuddy(box);
        filters->addWidget(caption);
        filters->addWidget(box, 1);
    };
    addFilter(m_tableFilter, QStringLiteral("TableFilter"), QStringLiteral("&Rows:"),
              QStringLiteral("Part of a path or a value"));
    addFilter(m_keyFilter, QStringLiteral("KeyFilter"), QStringLiteral("&Keys:"),
              QStringLiteral("Part of a key"));
    m_tableFilter->setAccessibleName(QStringLiteral("Row filter"));
    m_keyFilter->setAccessibleName(QStringLiteral("Key filter"));
    layout->addLayout(filters);

    m_grid = new WeaponGrid(central);
    m_grid->setTableModel(m_model);
    m_grid->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(m_grid, 1);

    m_notLoaded = new QListWidget(central);
    m_notLoaded->setObjectName(QStringLiteral("NotLoaded"));
    m_notLoaded->setAccessibleName(QStringLiteral("Files not loaded"));
    for (const NotLoaded &file : m_weapons->notLoaded())
        m_notLoaded->addItem(QStringLiteral("%1: %2").arg(file.path, file.reason));
    // As tall as its lines, up to five, so that the grid keeps the room.
    m_notLoaded->setMaximumHeight(int(std::min<qsizetype>(m_notLoaded->count(), 5)) *
                                      m_notLoaded->sizeHintForRow(0) +
                                  2 * m_notLoaded->frameWidth());
    m_notLoaded->setVisible(m_notLoaded->count() > 0);
    layout->addWidget(m_notLoaded);
    setCentralWidget(central);
    setTabOrder(m_tableFilter, m_keyFilter);
    setTabOrder(m_keyFilter, m_grid);
    setTabOrder(m_grid, m_notLoaded);
    m_grid->setFocus();

    connect(m_tableFilter, &QLineEdit::textChanged, m_model, &WeaponTableModel::setRowFilter);
    connect(m_keyFilter, &QLineEdit::textChanged, m_model, &WeaponTableModel::setKeyFilter);
    connect(m_grid, &QWidget::customContextMenuRequested, this,
            &WeaponTable::WeaponGrid_ContextMenu);

    m_counts = new QLabel(this);
    m_counts->setObjectName(QStringLiteral("TableCounts"));
    m_others = new QLabel(this);
    m_others->setObjectName(QStringLiteral("OtherFiles"));
    m_others->setContentsMargins(fontMetrics().averageCharWidth() * 2, 0, 0, 0);
    statusBar()->addPermanentWidget(m_counts);
    statusBar()->addPermanentWidget(m_others);
}

QAction *WeaponTable::addCommand(QMenu *menu, const QString &name, const QString &text,
                                 const QKeySequence &key, void (WeaponTable::*handler)())
{
    QAction *action = menu->addAction(text);
    action->setObjectName(name);
    action->setShortcut(key);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void WeaponTable::createMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuTableFile"));
    addCommand(file, QStringLiteral("mnuSaveAll"), QStringLiteral("&Save All"), QKeySequence::Save,
               &WeaponTable::mnuSaveAll_Click);
    file->addSeparator();
    addCommand(file, QStringLiteral("mnuExportCsv"), QStringLiteral("&Export CSV..."),
               QKeySequence(Qt::CTRL | Qt::Key_E), &WeaponTable::mnuExportCsv_Click);
    addCommand(file, QStringLiteral("mnuImportCsv"), QStringLiteral("&Import CSV..."),
               QKeySequence(Qt::CTRL | Qt::Key_I), &WeaponTable::mnuImportCsv_Click);
    file->addSeparator();
    addCommand(file, QStringLiteral("mnuClose"), QStringLiteral("&Close"), QKeySequence::Close,
               &WeaponTable::mnuClose_Click);
    createEditMenu();
}

void WeaponTable::createEditMenu()
{
    QMenu *edit = menuBar()->addMenu(QStringLiteral("&Edit"));
    edit->setObjectName(QStringLiteral("mnuTableEdit"));
    QAction *undo = m_undo.createUndoAction(this, QStringLiteral("&Undo"));
    undo->setObjectName(QStringLiteral("mnuUndo"));
    undo->setShortcut(QKeySequence::Undo);
    QAction *redo = m_undo.createRedoAction(this, QStringLiteral("&Redo"));
    redo->setObjectName(QStringLiteral("mnuRedo"));
    redo->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence::Redo});
    edit->addActions({undo, redo});
    edit->addSeparator();
    addCommand(edit, QStringLiteral("mnuCopy"), QStringLiteral("&Copy"), QKeySequence::Copy,
               &WeaponTable::mnuCopy_Click);
    addCommand(edit, QStringLiteral("mnuPaste"), QStringLiteral("&Paste"), QKeySequence::Paste,
               &WeaponTable::mnuPaste_Click);
    addCommand(edit, QStringLiteral("mnuSetSelected"), QStringLiteral("&Set Selected Cells..."),
               QKeySequence(Qt::CTRL | Qt::Key_Return), &WeaponTable::mnuSetSelected_Click)
        ->setShortcuts(
            {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
    addCommand(edit, QStringLiteral("mnuAdjust"), QStringLiteral("&Adjust Numbers..."),
               QKeySequence(Qt::CTRL | Qt::Key_J), &WeaponTable::mnuAdjust_Click);
    edit->addSeparator();
    addCommand(edit, QStringLiteral("mnuCompare"), QStringLiteral("Compare &With This Weapon"),
               QKeySequence(Qt::CTRL | Qt::Key_B), &WeaponTable::mnuCompare_Click);
    addCommand(edit, QStringLiteral("mnuFindRows"), QStringLiteral("&Filter Rows"),
               QKeySequence::Find, &WeaponTable::mnuFindRows_Click);
    addCommand(edit, QStringLiteral("mnuFindKeys"), QStringLiteral("Filter &Keys"),
               QKeySequence(Qt::CTRL | Qt::Key_K), &WeaponTable::mnuFindKeys_Click);
}

void WeaponTable::updateStatus()
{
    const auto counted = [](qsizetype count, const char *one, const char *many) {
        return QStringLiteral("%1 %2").arg(count).arg(QLatin1String(count == 1 ? one : many));
    };
    m_counts->setText(QStringLiteral("%1, %2, %3 not loaded")
                          .arg(counted(m_weapons->size(), "weapon", "weapons"),
                               counted(m_weapons->keys().size(), "key", "keys"))
                          .arg(m_weapons->notLoaded().size()));
    m_others->setText(counted(m_weapons->otherFiles(), "other file", "other files"));
}

void WeaponTable::updateTitle()
{
    setWindowTitle(
        QStringLiteral("%1[*] - Weapons Table").arg(QFileInfo(m_weapons->source()).fileName()));
    setWindowModified(m_weapons->changedCount() > 0);
}

void WeaponTable::say(const QString &text) { statusBar()->showMessage(text, 10000); }

void WeaponTable::closeEvent(QCloseEvent *event)
{
    takeTyped();
    if (m_weapons->changedCount() == 0) {
        event->accept();
        return;
    }
    const QMessageBox::StandardButton answer =
        ask(this, QStringLiteral("Weapons Table"),
            QStringLiteral("%1 weapons of %2 have unsaved changes.")
                .arg(m_weapons->changedCount())
                .arg(QDir::toNativeSeparators(m_weapons->source())),
            QMessageBox::SaveAll | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel);
    if (answer == QMessageBox::Cancel || (answer == QMessageBox::SaveAll && !saveAll()))
        event->ignore();
    else
        event->accept();
}
