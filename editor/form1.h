#pragma once

#include "document/weapon_document.h"
#include "editor/form_layout.h"

#include <QMainWindow>
#include <QMessageBox>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QUndoCommand;
class QUndoStack;
class CommonDialog;
class Form2;
class ImageList;
class LongLineEdit;
class StatusBar;
class ToolBar;
class TreeView;

// The window's title while no document is open, and the tail of it while one is.
inline const QString kProgramTitle = QStringLiteral("Zembrak Armsmith");

// The main window: the whole editor. Handlers are named after the control and the event that
// runs them; each is short and runs on the user-interface thread.
using ShowNode = std::function<void(NodeIndex)>;

class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // What status panel 1 shows of the open document: the full path of its file; empty while
    // no document is open.
    QString openPath() const;
    // The open weapon; the window holds no file logic of its own.
    WeaponDocument &document() { return *m_document; }
    // Where the open document came from; an empty path while none is open.
    const WeaponOrigin &origin() const { return m_document->origin(); }
    // Opens the file as Open does once its dialog has given a path, the message on failure
    // included. True when the file became the document.
    bool openWeaponFile(const QString &path);

    WeaponTree &tree();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void moveEvent(QMoveEvent *event) override;

private:
    void createMenus();
    void createEditMenu();
    QAction *addCommand(QMenu *menu, const char *name, const QString &text,
                        void (Form1::*handler)());
    void createSearchPanel(QWidget *client);
    void createTreeFrame(QWidget *client);
    void createValuePanel(QWidget *client);
    void setTabOrder();
    void centreOnScreen();
    void centreOnceFramed();
    void Form_Resize();
    void applyLayout();

    // Document commands.
    void mnuOpen_Click();
    void mnuOpenArchive_Click();
    void mnuOpenFolderTable_Click();
    void mnuOpenArchiveTable_Click();
    bool openArchiveEntry(const QString &archive, const QString &entry);
    // Shows the document just opened, or tells why shown could not be opened.
    bool takeDocument(const WeaponFileResult &result, const QString &shown);
    void mnuSave_Click();
    void mnuExit_Click();
    void mnuAbout_Click();
    void Toolbar1_ButtonClick(int index);
    void new_key();
    void expand_all();
    void collapse_all();
    void set_all_expanded(bool expanded);
    bool saveAndReport();
    void mnuSaveAs_Click();
    void mnuRevert_Click();
    // Reads the file again as the disk holds it, or tells why it could not.
    bool revertAndReport();
    // What every command that reads, saves or replaces the document runs first: the user's
    // text still open for editing becomes part of the document, as a step of its own.
    void commitPendingEdit();
    void mnuUndo_Click();
    void mnuRedo_Click();
    // Undo or Redo, once the pending edit is a step of its own.
    void moveInHistory(void (QUndoStack::*move)());
    // Steps are never pushed while the stack runs one; such a push waits until it returns.
    void pushStep(QUndoCommand *step);
    void showModified();
    // Before the document is replaced or the program ends: true when that may go ahead.
    bool maybeSave();
    // The status bar and the title name where the document comes from.
    void showOrigin();
    // Before a save over a file that another program changed since we read or wrote it:
    // Save to overwrite it, Reset to take the file as it is now, Cancel.
    QMessageBox::StandardButton askChangedFile();

    // Value panel.
    void Tv_NodeClick();
    void Text2_Change();
    // A keystroke in the long box: the node's text changes in place, as the box changed it.
    void Text2Long_Change(qsizetype from, qsizetype length, const QString &inserted);
    // Puts the selected node's text in the value box that suits its length.
    void showValue(const QString &text);
    void createLongValueBox();
    void Tv_AfterLabelEdit(NodeIndex node, bool *cancel, const QString &newText);
    void Tv_Collapse();
    void fitValuePanel(bool editable);
    // Selects a node an undo or redo touched and fits the value panel to it.
    void showStep(NodeIndex node);

    // Pair editing.
    void createPairMenu();
    // Rows of the pairs selected in the tree, a value counting as its pair, in file order.
    QList<int> selectedPairRows() const;
    ShowNode stepShower();
    void mnuDeletePair_Click();
    void mnuRenameKey_Click();
    void mnuEditInPlace_Click();
    void mnuMoveUp_Click();
    void mnuMoveDown_Click();
    void movePairs(int by);
    void mnuCopy_Click();
    void mnuPaste_Click();
    // Why pairs cannot go into the document as they are, or empty.
    QString pasteRefusal(const QList<WeaponPair> &pairs) const;
    // Asks before pasted pairs give keys already here their values.
    bool replaceValues(const QList<WeaponPair> &replaced);
    void mnuDuplicate_Click();

    // Search.
    void mnuFind_Click();
    void cmdSearch_Click();

    // Opening from the desktop: dropped files and the recent list.
    void createRecentMenu(QMenu *file);
    void acceptFileDrops();
    void refreshRecentMenu();
    void rememberRecent(const QString &path);
    void mnuRecent_Click(const QString &path);

    ImageList *m_imageList1 = nullptr;
    ImageList *m_imageList2 = nullptr;
    CommonDialog *m_commonDialog1 = nullptr;
    // Archives are chosen apart from weapon files, so each dialog starts where it was left.
    CommonDialog *m_archiveDialog = nullptr;
    CommonDialog *m_saveDialog = nullptr;
    // The pair commands, in the Edit menu and on the tree's context menu.
    QList<QAction *> m_pairActions;
    QAction *m_mnuEditInPlace = nullptr;
    QUndoStack *m_undoStack = nullptr;
    // Keystrokes in the value box merge into one step while the run stays the same.
    int m_typingRun = 0;
    bool m_runningStep = false;
    std::vector<std::unique_ptr<QUndoCommand>> m_stepsWaiting;
    std::unique_ptr<Form2> m_form2;
    WeaponDocument *m_document = nullptr;

    QMenu *m_mnuEdit = nullptr;
    QWidget *m_client = nullptr;
    ToolBar *m_toolbar1 = nullptr;
    StatusBar *m_statusBar1 = nullptr;
    QGroupBox *m_weapFrame = nullptr;
    TreeView *m_tv = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    // Stands in for Text2 while the value is too long for a line edit to lay out on every key.
    LongLineEdit *m_text2Long = nullptr;
    QLabel *m_label2 = nullptr;
    QGroupBox *m_frame2 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QPushButton *m_cmdSearch = nullptr;
    QMenu *m_mnuRecent = nullptr;

    FormLayout m_layout;
    bool m_centredInFrame = false;
};
