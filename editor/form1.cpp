#include "editor/form1.h"

#include "about/form2.h"
#include "editor/accessible_action.h"
#include "editor/common_dialog.h"
#include "editor/document_steps.h"
#include "editor/image_list.h"
#include "editor/long_line_edit.h"
#include "editor/status_bar.h"
#include "editor/tool_bar.h"
#include "editor/tree_view.h"
#include "editor/weapon_text_validator.h"
#include "ui/sharp_picture.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <QUndoStack>

namespace
{

void place(QWidget *widget, float left, float top, float width, float height)
{
    widget->setGeometry(twips_to_pixels(left), twips_to_pixels(top), twips_to_pixels(width),
                        twips_to_pixels(height));
}

QGroupBox *makeFrame(QWidget *parent, const char *name, const QString &caption)
{
    auto *frame = new QGroupBox(caption, parent);
    frame->setObjectName(QLatin1String(name));
    return frame;
}

// The platform's own keys for a command; where it has none, the usual ones given.
void set_keys(QAction *action, QKeySequence::StandardKey command, const QKeySequence &usual = {})
{
    action->setShortcuts(command);
    if (action->shortcuts().isEmpty() && !usual.isEmpty())
        action->setShortcut(usual);
}

template <typename Widget> Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QMenu *add_menu(QMenuBar *bar, const char *name, const QString &title)
{
    QMenu *menu = named(bar->addMenu(title), name);
    menu->setAccessibleName(QString(title).remove(u'&'));
    return menu;
}

} // namespace

Form1::Form1(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kProgramTitle);
    setWindowIcon(sharp_icon(QStringLiteral(":/pictures/tick.ico")));
    m_imageList1 = make_ImageList1(this);
    m_imageList2 = make_ImageList2(this);
    m_commonDialog1 = new CommonDialog(this);
    m_commonDialog1->setObjectName(QStringLiteral("CommonDialog1"));
    m_archiveDialog = new CommonDialog(this);
    m_archiveDialog->setObjectName(QStringLiteral("CommonDialog2"));
    m_archiveDialog->CancelError = true;
    m_archiveDialog->DialogTitle = QStringLiteral("Open from Archive");
    m_archiveDialog->Filter = QStringLiteral("Game archives (*.pk3 *.zbx *.zip);;All files (*)");
    m_saveDialog = new CommonDialog(this);
    m_saveDialog->setObjectName(QStringLiteral("CommonDialog3"));
    m_saveDialog->CancelError = true;
    m_saveDialog->DialogTitle = QStringLiteral("Save Weapon As");
    m_document = new WeaponDocument(this);
    m_undoStack = new QUndoStack(this);
    m_undoStack->setUndoLimit(kUndoLimit);
    // The history knows when undoing comes back to what was saved; the document, when it was.
    connect(m_undoStack, &QUndoStack::cleanChanged, m_document,
            [this](bool clean) { m_document->setModified(!clean); });
    connect(m_document, &WeaponDocument::saved, m_undoStack, &QUndoStack::setClean);
    connect(m_document, &WeaponDocument::modifiedChanged, this, &Form1::showModified);
    connect(m_document, &WeaponDocument::originChanged, this, &Form1::showOrigin);

    createMenus();
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);
    m_toolbar1 = new ToolBar(*m_imageList2, m_client);
    m_toolbar1->setGeometry(0, 0, twips_to_pixels(7080),
                            std::max(twips_to_pixels(675), m_toolbar1->fittingHeight()));
    createSearchPanel(m_client);
    createTreeFrame(m_client);
    createValuePanel(m_client);
    m_statusBar1 =
        new StatusBar(m_imageList1->icon(7).pixmap(QSize(16, 16), devicePixelRatio()), this);
    setStatusBar(m_statusBar1);
    setTabOrder();

    connect(m_toolbar1, &ToolBar::ButtonClick, this, &Form1::Toolbar1_ButtonClick);
    connect(m_tv, &TreeView::NodeClick, this, &Form1::Tv_NodeClick);
    connect(m_tv, &TreeView::Collapse, this, &Form1::Tv_Collapse);
    connect(m_tv, &TreeView::AfterLabelEdit, this, &Form1::Tv_AfterLabelEdit);
    connect(m_tv, &TreeView::labelEditChanged, this, &Form1::showModified);
    connect(m_tv, &TreeView::longValueEditRequested, this,
            [this] { m_text2Long->setFocus(Qt::OtherFocusReason); });
    connect(m_text2, &QLineEdit::textChanged, this, &Form1::Text2_Change);
    m_text2->installEventFilter(this);
    connect(&tree(), &WeaponTree::selectionChanged, this, [this] { ++m_typingRun; });
    connect(m_cmdSearch, &QPushButton::clicked, this, &Form1::cmdSearch_Click);
    acceptFileDrops();
    connect(m_text3, &QLineEdit::returnPressed, this, &Form1::cmdSearch_Click);

    resize(twips_to_pixels(7080), twips_to_pixels(7650) + menuBar()->sizeHint().height());
    // The list of the menus a narrow window has no room for, made as the bar is measured.
    if (auto *more = menuBar()->findChild<QToolButton *>(QStringLiteral("qt_menubar_ext_button"));
        more && more->menu()) {
        more->setAccessibleName(QStringLiteral("More menus"));
        more->menu()->setAccessibleName(QStringLiteral("More menus"));
    }
    centreOnScreen();
    m_tv->setFocus();
}

// The tree view reads the document's tree to its last moment; it goes before the document.
Form1::~Form1() { delete m_tv; }

QString Form1::openPath() const { return m_statusBar1->panel1Text(); }
WeaponTree &Form1::tree() { return m_document->tree(); }

void Form1::showOrigin()
{
    const WeaponOrigin &origin = m_document->origin();
    const bool inArchive = !origin.entry.isEmpty();
    m_statusBar1->setPanel1Text(inArchive ? QStringLiteral("%1:%2").arg(origin.path, origin.entry)
                                          : origin.path);
    // The [*] shows only while the document has edits not yet saved.
    // A [*] in the name itself must show as typed, not as the mark of unsaved edits.
    const QString name = QFileInfo(inArchive ? origin.entry : origin.path)
                             .fileName()
                             .replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
    setWindowTitle(origin.path.isEmpty() ? kProgramTitle
                                         : QStringLiteral("%1[*] - %2").arg(name, kProgramTitle));
}

void Form1::createMenus()
{
    menuBar()->setAccessibleName(QStringLiteral("Menu bar"));
    QMenu *file = add_menu(menuBar(), "mnuFile", QStringLiteral("&File"));
    set_keys(addCommand(file, "mnuOpen", QStringLiteral("&Open Weapon"), &Form1::mnuOpen_Click),
             QKeySequence::Open);
    addCommand(file, "mnuOpenArchive", QStringLiteral("Open from &Archive\u2026"),
               &Form1::mnuOpenArchive_Click)
        ->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
    addCommand(file, "mnuOpenFolderTable", QStringLiteral("Open &Folder as Table\u2026"),
               &Form1::mnuOpenFolderTable_Click)
        ->setShortcut(Qt::CTRL | Qt::Key_T);
    addCommand(file, "mnuOpenArchiveTable", QStringLiteral("Open Archive as &Table\u2026"),
               &Form1::mnuOpenArchiveTable_Click)
        ->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_T);
    set_keys(addCommand(file, "mnuSave", QStringLiteral("&Save Weapon"), &Form1::mnuSave_Click),
             QKeySequence::Save);
    set_keys(addCommand(file, "mnuSaveAs", QStringLiteral("Sav&e Weapon As\u2026"),
                        &Form1::mnuSaveAs_Click),
             QKeySequence::SaveAs, Qt::CTRL | Qt::SHIFT | Qt::Key_S);
    addCommand(file, "mnuRevert", QStringLiteral("Re&vert"), &Form1::mnuRevert_Click);
    createRecentMenu(file);
    named(file->addSeparator(), "mnuspac");
    set_keys(addCommand(file, "mnuExit", QStringLiteral("E&xit"), &Form1::mnuExit_Click),
             QKeySequence::Quit, Qt::CTRL | Qt::Key_Q);
    createEditMenu();
    QMenu *view = add_menu(menuBar(), "mnuView", QStringLiteral("&View"));
    addCommand(view, "mnuExpandAll", QStringLiteral("&Expand All"), &Form1::expand_all)
        ->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_E);
    addCommand(view, "mnuCollapseAll", QStringLiteral("&Collapse All"), &Form1::collapse_all)
        ->setShortcut(Qt::CTRL | Qt::SHIFT | Qt::Key_C);
    QMenu *help = add_menu(menuBar(), "mnuHelp", QStringLiteral("&Help"));
    QAction *about =
        addCommand(help, "mnuAbout", QStringLiteral("&About "), &Form1::mnuAbout_Click);
    set_accessible_name(about, QStringLiteral("About"));
    // The About window holds the program's only help, its usage text.
    set_keys(about, QKeySequence::HelpContents);
}

void Form1::createEditMenu()
{
    m_mnuEdit = add_menu(menuBar(), "mnuEdit", QStringLiteral("&Edit"));
    // The stack's own actions name the step; what they run is ours, so that an open in-place
    // edit is taken in first.
    QAction *undo =
        named(m_undoStack->createUndoAction(m_mnuEdit, QStringLiteral("&Undo")), "mnuUndo");
    set_keys(undo, QKeySequence::Undo);
    disconnect(undo, &QAction::triggered, m_undoStack, nullptr);
    connect(undo, &QAction::triggered, this, &Form1::mnuUndo_Click);
    QAction *redo =
        named(m_undoStack->createRedoAction(m_mnuEdit, QStringLiteral("&Redo")), "mnuRedo");
    set_keys(redo, QKeySequence::Redo);
    disconnect(redo, &QAction::triggered, m_undoStack, nullptr);
    connect(redo, &QAction::triggered, this, &Form1::mnuRedo_Click);
    // Users of other editors reach for Ctrl+Y as well, which this desktop may leave unbound.
    if (const QKeySequence ctrlY(Qt::CTRL | Qt::Key_Y); !redo->shortcuts().contains(ctrlY))
        redo->setShortcuts(redo->shortcuts() << ctrlY);
    m_mnuEdit->addActions({undo, redo});
    named(m_mnuEdit->addSeparator(), "mnuspac3");
    set_keys(addCommand(m_mnuEdit, "mnuNewKey", QStringLiteral("&New Key"), &Form1::new_key),
             QKeySequence::New);
    createPairMenu();
    named(m_mnuEdit->addSeparator(), "mnuspac2");
    set_keys(addCommand(m_mnuEdit, "mnuFind", QStringLiteral("&Find"), &Form1::mnuFind_Click),
             QKeySequence::Find);
    set_keys(
        addCommand(m_mnuEdit, "mnuFindNext", QStringLiteral("Find Ne&xt"), &Form1::cmdSearch_Click),
        QKeySequence::FindNext);
}

QAction *Form1::addCommand(QMenu *menu, const char *name, const QString &text,
                           void (Form1::*handler)())
{
    return named(menu->addAction(text, this, handler), name);
}

void Form1::createSearchPanel(QWidget *client)
{
    m_frame2 = makeFrame(client, "frame2", QStringLiteral("Search"));
    m_text3 = named(new QLineEdit(m_frame2), "Text3");
    m_text3->setAccessibleName(QStringLiteral("Search text"));
    place(m_text3, 120, 300, 3375, 285);
    m_check1 = named(new QCheckBox(QStringLiteral("Search Value"), m_frame2), "Check1");
    place(m_check1, 120, 1020, 3375, 195);
    grow_to_text_when_scaled(m_check1);
    m_check2 = named(new QCheckBox(QStringLiteral("Search Key"), m_frame2), "Check2");
    place(m_check2, 120, 720, 3375, 195);
    grow_to_text_when_scaled(m_check2);
    m_cmdSearch = named(new QPushButton(QStringLiteral("Search"), m_frame2), "cmdSearch");
    m_cmdSearch->setAutoDefault(false);
    place(m_cmdSearch, 3600, 300, 735, 315);
    grow_to_text_when_scaled(m_cmdSearch);
}

void Form1::createTreeFrame(QWidget *client)
{
    m_weapFrame = makeFrame(client, "weap_frame", QStringLiteral("Weapon Properties"));
    m_tv = new TreeView(m_document->tree(), *m_imageList1, m_weapFrame);
    m_tv->setIconSize(QSize(16, 16));
    m_tv->addActions(m_pairActions);
    m_tv->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void Form1::createValuePanel(QWidget *client)
{
    m_frame1 = makeFrame(client, "Frame1", QStringLiteral("Item Properties"));
    m_text2 = named(new QLineEdit(m_frame1), "Text2");
    m_text2->setAccessibleName(QStringLiteral("Value"));
    make_weapon_text_editor(m_text2);
    createLongValueBox();
    m_label2 = named(new QLabel(QStringLiteral("Value:"), m_frame1), "Label2");
    place(m_label2, 120, 300, 4635, 255);
    grow_to_text_when_scaled(m_label2);
    applyLayout();
}

void Form1::setTabOrder()
{
    QWidget *order[] = {m_tv, m_text2, m_text2Long, m_text3, m_check1, m_check2, m_cmdSearch};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        QWidget::setTabOrder(order[i], order[i + 1]);
    QWidget::setTabOrder(m_cmdSearch, m_tv);
}

void Form1::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    m_toolbar1->resize(m_client->width(), m_toolbar1->height());
    Form_Resize();
}

void Form1::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    Form_Resize();
    centreOnceFramed();
}

void Form1::moveEvent(QMoveEvent *event)
{
    QMainWindow::moveEvent(event);
    centreOnceFramed();
}

void Form1::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect frame = frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    move(frame.topLeft());
}

// The window system adds its frame only after the window is shown, so the window is centred
// once more, frame and all, as soon as the frame is known; later moves are the user's.
void Form1::centreOnceFramed()
{
    if (m_centredInFrame || !isVisible() || frameGeometry().size() == size())
        return;
    m_centredInFrame = true;
    centreOnScreen();
}

void Form1::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        Form_Resize();
}

void Form1::closeEvent(QCloseEvent *event)
{
    commitPendingEdit();
    if (maybeSave())
        event->accept();
    else
        event->ignore();
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // The value box would take Ctrl+Z for its own history of keystrokes, which the document's
    // already holds: the window's Undo and Redo get the keys instead.
    if (watched == m_text2 && event->type() == QEvent::ShortcutOverride) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo)) {
            event->ignore();
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::Form_Resize()
{
    const QSize client(m_client->width(), m_client->height() + m_statusBar1->height());
    m_layout = form_resize_client(m_layout, static_cast<float>(pixels_to_twips(client.width())),
                                  static_cast<float>(pixels_to_twips(client.height())));
    applyLayout();
}

void Form1::applyLayout()
{
    const FormLayout &l = m_layout;
    place(m_frame2, 60, 780, l.frame2Width, 1395);
    place(m_weapFrame, l.weapFrameLeft, l.weapFrameTop, l.weapFrameWidth, l.weapFrameHeight);
    place(m_tv, l.tvLeft, l.tvTop, l.tvWidth, l.tvHeight);
    place(m_frame1, 60, l.frame1Top, l.frame1Width, l.frame1Height);
    place(m_text2, 120, 660, l.text2Width, 315);
    m_text2Long->setGeometry(m_text2->geometry());
}
