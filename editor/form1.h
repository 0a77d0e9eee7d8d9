#pragma once

#include "document/weapon_tree.h"
#include "editor/form_layout.h"

#include <QMainWindow>
#include <memory>

class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class CommonDialog;
class Form2;
class ImageList;
class StatusBar;
class ToolBar;
class TreeView;

// The main window: the whole editor. Handlers are named after the control and the event that
// runs them; each is short and runs on the user-interface thread.
class Form1 : public QMainWindow
{
    Q_OBJECT

public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The full path of the open weapon file, kept only as the text of status panel 1; empty
    // while no document is open.
    QString openPath() const;
    void setOpenPath(const QString &path);

    WeaponTree &tree();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
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
    void mnuSave_Click();
    void mnuExit_Click();
    void mnuAbout_Click();
    void Toolbar1_ButtonClick(int index);
    void new_key();
    void expand_all();
    void collapse_all();
    void set_all_expanded(bool expanded);
    void saveAndReport();

    // Value panel.
    void Tv_NodeClick();
    void Text2_Change();
    void Tv_AfterLabelEdit(bool *cancel, const QString &newText);
    void Tv_Collapse();
    void fitValuePanel(bool editable);

    // Search.
    void mnuFind_Click();
    void cmdSearch_Click();

    ImageList *m_imageList1 = nullptr;
    ImageList *m_imageList2 = nullptr;
    CommonDialog *m_commonDialog1 = nullptr;
    std::unique_ptr<Form2> m_form2;

    QMenu *m_mnuEdit = nullptr;
    QWidget *m_client = nullptr;
    ToolBar *m_toolbar1 = nullptr;
    StatusBar *m_statusBar1 = nullptr;
    QGroupBox *m_weapFrame = nullptr;
    TreeView *m_tv = nullptr;
    QGroupBox *m_frame1 = nullptr;
    QLineEdit *m_text2 = nullptr;
    QLabel *m_label2 = nullptr;
    QGroupBox *m_frame2 = nullptr;
    QLineEdit *m_text3 = nullptr;
    QCheckBox *m_check1 = nullptr;
    QCheckBox *m_check2 = nullptr;
    QPushButton *m_cmdSearch = nullptr;

    FormLayout m_layout;
    bool m_centredInFrame = false;
};
