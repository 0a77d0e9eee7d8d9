#include "editor/tool_bar.h"
#include "editor/twips.h"
#include "window_driver.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QToolTip>

using namespace window_driver;

namespace
{

// The outer size the layout reckons with: the window system's frame or, where it reports
// none (offscreen), the design's 120 x 720 twips of title bar, menu bar and borders.
QSize outer_pixels(const Form1 &form)
{
    if (form.frameGeometry().size() != form.size())
        return form.frameGeometry().size();
    return form.centralWidget()->size() + QSize(8, 48 + form.statusBar()->height());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // Before any window: the C locale's short time format carries seconds, which panel 2
    // must leave out.
    void initTestCase() { QLocale::setDefault(QLocale::c()); }

    void start_state()
    {
        Form1 form;
        QVERIFY(show_window(form));
        // Each control by its name, its class and the caption the user reads, blanks and all.
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
        QCOMPARE(form.centralWidget()->width(), twips_to_pixels(7080));
        QCOMPARE(form.centralWidget()->height() + form.statusBar()->height(),
                 twips_to_pixels(7650));
        QCOMPARE(form.statusBar()->height(), twips_to_pixels(315));
        QCOMPARE(form.openPath(), "");
        QCOMPARE(control<QLabel>(form, "Panel1Text")->text(), "");
        QTRY_COMPARE(control<QLabel>(form, "Panel2")->text(),
                     QTime::currentTime().toString("HH:mm"));
        QVERIFY(!control<QCheckBox>(form, "Check1")->isChecked());
        QVERIFY(!control<QCheckBox>(form, "Check2")->isChecked());
        for (const auto &[name, accessible] :
             {std::pair{"Tv", "Weapon tree"}, {"Text2", "Value"}, {"Text3", "Search text"}})
            QCOMPARE(control(form, name)->accessibleName(), accessible);
        // With no document the value box takes typing and writes it nowhere.
        QTest::keyClicks(control(form, "Text2"), "typed");
        QCOMPARE(form.tree().count(), 0);
        QCOMPARE(control<QLabel>(form, "Label2")->text(), "Value:");
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

    // From the design example's outer size, 7200 x 8370 twips, to 1500 wider and so short that
    // Frame1 goes above the top while the frames keep their heights.
    void applied_layout_after_resize()
    {
        Form1 form;
        QVERIFY(show_window(form));
        for (const QSize size : {QSize(7200, 8370), QSize(8700, 1800)}) {
            const QSize wanted = size / kTwipsPerPixel;
            form.resize(form.size() + wanted - outer_pixels(form));
            QTRY_COMPARE(outer_pixels(form), wanted);
        }
        const auto pixels = [](float left, float top, float width, float height) {
            return QRect(QPoint(twips_to_pixels(left), twips_to_pixels(top)),
                         QSize(twips_to_pixels(width), twips_to_pixels(height)));
        };
        QTRY_COMPARE(control(form, "Frame1")->geometry(), pixels(60, -485, 8460, 1155));
        QCOMPARE(control(form, "weap_frame")->geometry(), pixels(60, 2400, 8460, 3685));
        QCOMPARE(control(form, "Tv")->geometry(), pixels(120, 300, 8220, 3085));
        QCOMPARE(control(form, "Text2")->geometry(), pixels(120, 660, 8220, 315));
        QCOMPARE(control(form, "frame2")->geometry(), pixels(60, 780, 8460, 1395));
        QCOMPARE(control(form, "Toolbar1")->geometry(),
                 QRect(0, 0, form.centralWidget()->width(), twips_to_pixels(675)));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
