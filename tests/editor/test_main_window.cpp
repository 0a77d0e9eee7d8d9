#include "editor/tool_bar.h"
#include "window_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolTip>

using namespace window_driver;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // Each control by its name, its class and the caption the user reads, blanks and all.
    void start_state()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QStringList found;
        const auto add = [&found](const QObject *object, const QString &caption) {
            found << QStringLiteral("%1 %2 '%3'")
                         .arg(object->objectName(), object->metaObject()->className(), caption);
        };
        add(&form, form.windowTitle());
        for (const QAction *menu : form.menuBar()->actions()) {
            add(menu->menu(), menu->menu()->title());
            for (const QAction *item : menu->menu()->actions())
                add(item, item->isSeparator() ? "-" : item->text());
        }
        for (const char *name : {"weap_frame", "Frame1", "frame2", "Label2", "Check1", "Check2",
                                 "cmdSearch", "Text2", "Text3", "Toolbar1", "Tv", "StatusBar1",
                                 "ImageList1", "ImageList2", "CommonDialog1"}) {
            const QObject *object = form.findChild<QObject *>(name);
            add(object, object->property(object->property("title").isValid() ? "title" : "text")
                            .toString());
        }
        QCOMPARE(found.join(u'\n'),
                 "Form1 Form1 'Zembrak Armsmith'\nmnuFile QMenu '&File'\n"
                 "mnuOpen QAction '&Open Weapon'\nmnuSave QAction '&Save Weapon'\n"
                 "mnuspac QAction '-'\nmnuExit QAction 'E&xit'\nmnuHelp QMenu '&Help'\n"
                 "mnuAbout QAction '&About '\nweap_frame QGroupBox 'Weapon Properties'\n"
                 "Frame1 QGroupBox 'Item Properties'\nframe2 QGroupBox 'Search'\n"
                 "Label2 QLabel 'Value:'\nCheck1 QCheckBox 'Search Value'\n"
                 "Check2 QCheckBox 'Search Key'\ncmdSearch QPushButton 'Search'\n"
                 "Text2 QLineEdit ''\nText3 QLineEdit ''\nToolbar1 ToolBar ''\nTv TreeView ''\n"
                 "StatusBar1 StatusBar ''\nImageList1 ImageList ''\nImageList2 ImageList ''\n"
                 "CommonDialog1 CommonDialog ''");
    }

    // The buttons in place, separators counted; resting the pointer on one shows its own tip or
    // none, never its caption.
    void tool_bar()
    {
        Form1 form;
        QVERIFY(show_window(form));
        auto *bar = control<ToolBar>(form, "Toolbar1");
        QStringList buttons;
        for (QAction *action : bar->actions()) {
            QWidget *button = bar->widgetForAction(action);
            QHelpEvent hover(QEvent::ToolTip, {}, button->mapToGlobal(QPoint()));
            QApplication::sendEvent(button, &hover);
            const QString tip = QToolTip::isVisible() ? QToolTip::text() : "";
            buttons << (action->isSeparator() ? "-" : action->text() + " (" + tip + ")");
            QToolTip::hideText();
            QTRY_VERIFY(!QToolTip::isVisible());
        }
        QCOMPARE(buttons,
                 QStringList({"Open Weapon (Open a weapon file (must be extracted from pk3 "
                              "first))",
                              "-", "Save Weapon (Save weapon file )", "-", "Expand All ()",
                              "Collapse All ()", "-", "New Key ()"}));
    }

    // Opens as 7080 x 7650 twips below the menu bar, with no document; growing wider and shorter
    // moves and sizes the frames by just as much, while the search panel and the tree's top stay.
    void size_and_layout()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QCOMPARE(form.centralWidget()->height() + form.statusBar()->height(), 510);
        QCOMPARE(form.centralWidget()->width(), 472);
        QCOMPARE(form.openPath(), QString());
        QVERIFY(!control<QCheckBox>(form, "Check1")->isChecked());
        QVERIFY(!control<QCheckBox>(form, "Check2")->isChecked());
        QVERIFY(!control<QLineEdit>(form, "Text2")->isReadOnly());
        const auto geometries = [&form] {
            QList<QRect> all;
            for (const char *name : {"frame2", "weap_frame", "Tv", "Frame1", "Text2"})
                all << control(form, name)->geometry();
            return all;
        };
        const QList<QRect> before = geometries();
        form.resize(form.width() + 60, form.height() - 40);
        QTRY_COMPARE(form.centralWidget()->width(), 532);
        const QList<QRect> after = geometries();
        QCOMPARE(after[0], before[0].adjusted(0, 0, 60, 0));
        QCOMPARE(after[1], before[1].adjusted(0, 0, 60, -40));
        QCOMPARE(after[2], before[2].adjusted(0, 0, 60, -40));
        QCOMPARE(after[3], before[3].adjusted(0, 0, 60, 0).translated(0, -40));
        QCOMPARE(after[4], before[4].adjusted(0, 0, 60, 0));
    }

    void tab_order_cycles()
    {
        Form1 form;
        QVERIFY(show_window(form));
        tree_view(form)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), tree_view(form));
        QStringList visited;
        for (const Qt::Key key : {Qt::Key_Tab, Qt::Key_Backtab}) {
            for (int i = 0; i < 6; ++i) {
                QTest::keyClick(QApplication::focusWidget(), key);
                visited << QApplication::focusWidget()->objectName();
            }
        }
        QCOMPARE(visited.join(' '), "Text2 Text3 Check1 Check2 cmdSearch Tv "
                                    "cmdSearch Check2 Check1 Text3 Text2 Tv");
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
