#include "editor/tool_bar.h"
#include "window_driver.h"

#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QToolTip>

using namespace window_driver;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // Trailing blanks are captions too; a tool button without a tip of its own shows none.
    void names_and_captions()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QStringList found{"Form1 " + form.windowTitle()};
        for (const QAction *menu : form.menuBar()->actions()) {
            found << menu->menu()->objectName() + " " + menu->menu()->title();
            for (const QAction *item : menu->menu()->actions())
                found << item->objectName() + " " + (item->isSeparator() ? "-" : item->text());
        }
        auto *bar = control<ToolBar>(form, "Toolbar1");
        for (QAction *action : bar->actions()) {
            QWidget *button = bar->widgetForAction(action);
            QHelpEvent hover(QEvent::ToolTip, {}, button->mapToGlobal(QPoint()));
            QApplication::sendEvent(button, &hover);
            const QString tip = QToolTip::isVisible() ? QToolTip::text() : "";
            found << (action->isSeparator() ? "-" : action->text() + " (" + tip + ")");
            QToolTip::hideText();
            QTRY_VERIFY(!QToolTip::isVisible());
        }
        QCOMPARE(found.join(u'\n'),
                 "Form1 Zembrak Armsmith\nmnuFile &File\nmnuOpen &Open Weapon\n"
                 "mnuOpenArchive Open from &Archive\u2026\n"
                 "mnuOpenFolderTable Open &Folder as Table\u2026\n"
                 "mnuOpenArchiveTable Open Archive as &Table\u2026\n"
                 "mnuSave &Save Weapon\nmnuSaveAs Sav&e Weapon As\u2026\nmnuRevert Re&vert\n"
                 "mnuRecent &Recent Weapons\nmnuspac -\nmnuExit "
                 "E&xit\nmnuEdit &Edit\n"
                 "mnuUndo &Undo\nmnuRedo &Redo\nmnuspac3 -\nmnuNewKey &New Key\n"
                 "mnuspac4 -\nmnuDeletePair &Delete Pair\nmnuEditInPlace Edit &Value in Place\n"
                 "mnuRenameKey Rena&me Key\u2026\n"
                 "mnuDuplicate Dupl&icate Pair\u2026\nmnuMoveUp Move U&p\nmnuMoveDown Move "
                 "Do&wn\nmnuCopy &Copy Pairs\nmnuPaste P&aste Pairs\n"
                 "mnuspac2 -\nmnuFind &Find\nmnuFindNext Find Ne&xt\nmnuView &View\n"
                 "mnuExpandAll &Expand All\nmnuCollapseAll &Collapse All\nmnuHelp &Help\n"
                 "mnuAbout &About \n"
                 "Open Weapon (Open a weapon file (must be extracted from pk3 first))\n-\n"
                 "Save Weapon (Save weapon file )\n-\nExpand All ()\nCollapse All ()\n-\n"
                 "New Key ()");
    }

    // The search panel and the tree's top stay where they are.
    void frames_follow_a_resize()
    {
        Form1 form;
        QVERIFY(show_window(form));
        const auto geometries = [&form] {
            QList<QRect> all;
            for (const char *name : {"frame2", "weap_frame", "Tv", "Frame1", "Text2"})
                all << control(form, name)->geometry();
            return all;
        };
        const QList<QRect> b = geometries();
        const int width = form.centralWidget()->width();
        form.resize(form.width() + 60, form.height() - 40);
        QTRY_COMPARE(form.centralWidget()->width(), width + 60);
        QCOMPARE(geometries(),
                 QList<QRect>({b[0].adjusted(0, 0, 60, 0), b[1].adjusted(0, 0, 60, -40),
                               b[2].adjusted(0, 0, 60, -40), b[3].adjusted(0, -40, 60, -40),
                               b[4].adjusted(0, 0, 60, 0)}));
    }

    // The hover frame of a tool button is drawn at its edges, so they must lie inside the bar,
    // and the bar above the search frame.
    void tool_buttons_lie_inside_the_bar()
    {
        Form1 form;
        QVERIFY(show_window(form));
        auto *bar = control<ToolBar>(form, "Toolbar1");
        for (QAction *action : bar->actions())
            QCOMPARE(bar->rect().united(bar->widgetForAction(action)->geometry()), bar->rect());
        QVERIFY(bar->geometry().bottom() < control(form, "frame2")->y());
    }

    void tab_order_cycles()
    {
        Form1 form;
        QVERIFY(show_window(form));
        tree_view(form)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), tree_view(form));
        QStringList visited;
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab})
            for (int i = 0; i < 6; ++i) {
                QTest::keyClick(QApplication::focusWidget(), key);
                visited << QApplication::focusWidget()->objectName();
            }
        QCOMPARE(visited.join(' '),
                 "Text2 Text3 Check1 Check2 cmdSearch Tv cmdSearch Check2 Check1 Text3 Text2 Tv");
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
