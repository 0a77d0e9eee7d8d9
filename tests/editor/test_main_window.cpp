#include "editor/tool_bar.h"
#include "editor/twips.h"
#include "window_driver.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

using namespace window_driver;

namespace
{

// What the user reads on a control: a menu's or frame's title, a text, or a window title.
QString caption_of(const QObject *object)
{
    for (const char *property : {"title", "text", "windowTitle"}) {
        if (const QVariant caption = object->property(property); caption.isValid())
            return caption.toString();
    }
    return {};
}

// The menu bar as one text: each menu with its caption and its items by name.
QString menu_structure(Form1 &form)
{
    QStringList menus;
    for (QAction *entry : form.menuBar()->actions()) {
        QStringList items{entry->menu()->objectName(), entry->text() + ':'};
        for (QAction *item : entry->menu()->actions())
            items << item->objectName() + (item->isSeparator() ? "(separator)" : "");
        menus << items.join(u' ');
    }
    return menus.join(u'\n');
}

QRect pixels(float left, float top, float width, float height)
{
    return QRect(twips_to_pixels(left), twips_to_pixels(top), twips_to_pixels(width),
                 twips_to_pixels(height));
}

// Answers every modal window that comes up by closing it, and counts them.
struct ModalCloser {
    int seen = 0;
    QTimer timer;
    ModalCloser()
    {
        QObject::connect(&timer, &QTimer::timeout, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++seen;
                modal->close();
            }
        });
        timer.start(10);
    }
};

// The window's outer size as the layout counts it: the frame the window system draws or,
// where it reports none, the design's title bar, menu bar and borders (120 x 720 twips)
// around the client area.
QSize outer_pixels(const Form1 &form)
{
    if (form.frameGeometry().size() != form.size())
        return form.frameGeometry().size();
    return QSize(form.centralWidget()->width(),
                 form.centralWidget()->height() + form.statusBar()->height()) +
           QSize(8, 48);
}

QString now_without_seconds(QTime time)
{
    return time.toString(QStringLiteral("HH:mm"));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        // The C locale's short time format carries seconds, which panel 2 leaves out.
        QLocale::setDefault(QLocale::c());
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("caption");
        const auto row = [](const char *name, const char *type, const QString &caption) {
            QTest::newRow(name) << name << type << caption;
        };
        row("Form1", "QMainWindow", "Zembrak Armsmith");
        row("mnuFile", "QMenu", "&File");
        row("mnuOpen", "QAction", "&Open Weapon");
        row("mnuSave", "QAction", "&Save Weapon");
        row("mnuspac", "QAction", "");
        row("mnuExit", "QAction", "E&xit");
        row("mnuHelp", "QMenu", "&Help");
        row("mnuAbout", "QAction", "&About ");
        row("Toolbar1", "QToolBar", "");
        row("weap_frame", "QGroupBox", "Weapon Properties");
        row("Tv", "QTreeView", "");
        row("StatusBar1", "QStatusBar", "");
        row("Frame1", "QGroupBox", "Item Properties");
        row("Text2", "QLineEdit", "");
        row("Label2", "QLabel", "Value:");
        row("frame2", "QGroupBox", "Search");
        row("Text3", "QLineEdit", "");
        row("Check1", "QCheckBox", "Search Value");
        row("Check2", "QCheckBox", "Search Key");
        row("cmdSearch", "QPushButton", "Search");
        row("ImageList1", "QObject", "");
        row("ImageList2", "QObject", "");
        row("CommonDialog1", "QObject", "");
    }
    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, type);
        QFETCH(QString, caption);
        Form1 form;
        QObject *object = name == "Form1" ? &form : form.findChild<QObject *>(name);
        QVERIFY(object);
        QCOMPARE(object->objectName(), name);
        QVERIFY2(object->inherits(type.toLatin1()), object->metaObject()->className());
        QCOMPARE(caption_of(object), caption);
    }

    void menus()
    {
        Form1 form;
        QCOMPARE(menu_structure(form), "mnuFile &File: mnuOpen mnuSave mnuspac(separator) mnuExit\n"
                                       "mnuHelp &Help: mnuAbout");
        for (const QAction *action : form.findChildren<QAction *>())
            QVERIFY2(action->shortcuts().isEmpty(), qPrintable(action->text()));
    }

    void start_state()
    {
        Form1 form;
        QVERIFY(show_window(form));
        QCOMPARE(form.openPath(), "");
        QCOMPARE(control<QLabel>(form, "Panel1Text")->text(), "");
        QCOMPARE(tree_view(form)->model()->rowCount(), 0);
        QCOMPARE(control<QLabel>(form, "Label2")->text(), "Value:");
        auto *text2 = control<QLineEdit>(form, "Text2");
        QCOMPARE(text2->text(), "");
        QVERIFY(!text2->isReadOnly());
        QCOMPARE(text2->palette().color(QPalette::Base),
                 QApplication::palette().color(QPalette::Base));
        QCOMPARE(control<QLineEdit>(form, "Text3")->text(), "");
        QCOMPARE(control<QCheckBox>(form, "Check1")->checkState(), Qt::Unchecked);
        QCOMPARE(control<QCheckBox>(form, "Check2")->checkState(), Qt::Unchecked);
        QVERIFY(!control<QPushButton>(form, "cmdSearch")->isDefault());
    }

    void tool_bar_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("tip");
        const auto row = [](int index, const char *caption, const char *tip) {
            QTest::addRow("%d %s", index, *caption ? caption : "separator")
                << index << QString(caption) << QString(tip);
        };
        row(1, "Open Weapon", "Open a weapon file (must be extracted from pk3 first)");
        row(2, "", "");
        row(3, "Save Weapon", "Save weapon file ");
        row(4, "", "");
        row(5, "Expand All", "");
        row(6, "Collapse All", "");
        row(7, "", "");
        row(8, "New Key", "");
    }
    void tool_bar()
    {
        QFETCH(int, index);
        QFETCH(QString, caption);
        QFETCH(QString, tip);
        Form1 form;
        QVERIFY(show_window(form));
        auto *bar = control<ToolBar>(form, "Toolbar1");
        QCOMPARE(bar->actions().size(), 8);
        QAction *action = bar->actions()[index - 1];
        QCOMPARE(action->isSeparator(), caption.isEmpty());
        if (action->isSeparator())
            return;
        auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
        QVERIFY(button && button->isVisible() && button->isEnabled());
        QCOMPARE(button->text(), caption);
        QVERIFY(!button->icon().isNull());
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);

        // Resting the pointer on the button: its own tip or none at all, not its caption.
        QToolTip::hideText();
        const QPoint centre = button->rect().center();
        QHelpEvent hover(QEvent::ToolTip, centre, button->mapToGlobal(centre));
        QApplication::sendEvent(button, &hover);
        QCOMPARE(QToolTip::isVisible() ? QToolTip::text() : QString(), tip);
        QToolTip::hideText();

        QSignalSpy clicks(bar, &ToolBar::ButtonClick);
        ModalCloser closer; // Open Weapon asks for a file
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(clicks.count(), 1);
        QCOMPARE(clicks[0][0].toInt(), index);
    }

    void tab_order_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<QStringList>("focus");
        QTest::newRow("Tab") << int(Qt::Key_Tab) << QStringList{"Text2",  "Text3",     "Check1",
                                                                "Check2", "cmdSearch", "Tv"};
        QTest::newRow("Shift+Tab")
            << int(Qt::Key_Backtab)
            << QStringList{"cmdSearch", "Check2", "Check1", "Text3", "Text2", "Tv"};
    }
    void tab_order()
    {
        QFETCH(int, key);
        QFETCH(QStringList, focus);
        Form1 form;
        QVERIFY(show_window(form));
        tree_view(form)->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), tree_view(form));
        QStringList visited;
        for (qsizetype i = 0; i < focus.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, focus);
    }

    void takes_no_focus_data()
    {
        QTest::addColumn<QString>("name");
        for (const char *name :
             {"weap_frame", "Frame1", "frame2", "Label2", "Toolbar1", "StatusBar1"})
            QTest::newRow(name) << name;
    }
    void takes_no_focus()
    {
        QFETCH(QString, name);
        Form1 form;
        auto *widget = form.findChild<QWidget *>(name);
        QVERIFY(widget);
        QCOMPARE(widget->focusPolicy(), Qt::NoFocus);
        // Nor does anything on the two bars: their buttons and panels are for the mouse.
        if (qobject_cast<QToolBar *>(widget) || qobject_cast<QStatusBar *>(widget)) {
            for (const QWidget *part : widget->findChildren<QWidget *>())
                QVERIFY2(part->focusPolicy() == Qt::NoFocus, part->metaObject()->className());
        }
    }

    void accessible_names_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("accessible");
        const auto row = [](const char *name, const char *accessible) {
            QTest::newRow(name) << QString(name) << QString(accessible);
        };
        row("Tv", "Weapon tree");
        row("Text2", "Value");
        row("Text3", "Search text");
        row("Check1", "Search Value");
        row("Check2", "Search Key");
        row("cmdSearch", "Search");
    }
    void accessible_names()
    {
        QFETCH(QString, name);
        QFETCH(QString, accessible);
        Form1 form;
        QVERIFY(show_window(form));
        QAccessibleInterface *face =
            QAccessible::queryAccessibleInterface(form.findChild<QWidget *>(name));
        QVERIFY(face);
        QCOMPARE(face->text(QAccessible::Name), accessible);
    }

    void first_show_is_design_size_and_centred()
    {
        Form1 form;
        QVERIFY(show_window(form));
        const QWidget *client = form.centralWidget();
        QCOMPARE(client->width(), twips_to_pixels(7080));
        QCOMPARE(client->height() + form.statusBar()->height(), twips_to_pixels(7650));
        QCOMPARE(form.statusBar()->height(), twips_to_pixels(315));
        // Centred as placed; the window system adds its frame around it afterwards.
        const QSize frame = form.frameGeometry().size() - form.size();
        const QPoint off =
            form.frameGeometry().center() - form.screen()->availableGeometry().center();
        QVERIFY2(qAbs(off.x()) <= frame.width() / 2 + 1 && qAbs(off.y()) <= frame.height() / 2 + 1,
                 qPrintable(QString("%1,%2").arg(off.x()).arg(off.y())));
    }

    // Each row first gives the window the outer size of the design example, 7200 x 8370 twips,
    // then the row's own; what a failed step keeps comes from the example.
    void applied_layout_data()
    {
        QTest::addColumn<QSize>("outer");
        QTest::addColumn<float>("frame1Top");
        QTest::addColumn<float>("frameWidth");
        QTest::addColumn<float>("weapHeight");
        QTest::addColumn<float>("tvWidth");
        QTest::addColumn<float>("tvHeight");
        QTest::newRow("design example")
            << QSize(7200, 8370) << 6085.f << 6960.f << 3685.f << 6720.f << 3085.f;
        QTest::newRow("1500 wider, 900 shorter")
            << QSize(8700, 7470) << 5185.f << 8460.f << 2785.f << 8220.f << 2185.f;
        QTest::newRow("below 4685 high: frame heights kept")
            << QSize(6600, 4095) << 1810.f << 6360.f << 3685.f << 6120.f << 3085.f;
        QTest::newRow("4685 to 5285 high: Tv height kept")
            << QSize(7200, 4995) << 2710.f << 6960.f << 310.f << 6720.f << 3085.f;
        QTest::newRow("Frame1 pushed above the top")
            << QSize(7200, 1800) << -485.f << 6960.f << 3685.f << 6720.f << 3085.f;
    }
    void applied_layout()
    {
        QFETCH(QSize, outer);
        QFETCH(float, frame1Top);
        QFETCH(float, frameWidth);
        QFETCH(float, weapHeight);
        QFETCH(float, tvWidth);
        QFETCH(float, tvHeight);
        Form1 form;
        QVERIFY(show_window(form));
        for (const QSize size : {QSize(7200, 8370), outer}) {
            const QSize wanted = size / kTwipsPerPixel;
            form.resize(form.size() + wanted - outer_pixels(form));
            QTRY_COMPARE(outer_pixels(form), wanted);
        }
        QTRY_COMPARE(control<QWidget>(form, "Frame1")->geometry(),
                     pixels(60, frame1Top, frameWidth, 1155));
        QCOMPARE(control<QWidget>(form, "weap_frame")->geometry(),
                 pixels(60, 2400, frameWidth, weapHeight));
        QCOMPARE(control<QWidget>(form, "Tv")->geometry(), pixels(120, 300, tvWidth, tvHeight));
        QCOMPARE(control<QWidget>(form, "Text2")->geometry(), pixels(120, 660, tvWidth, 315));
        QCOMPARE(control<QWidget>(form, "frame2")->geometry(), pixels(60, 780, frameWidth, 1395));
        QCOMPARE(control<QWidget>(form, "Toolbar1")->geometry(),
                 QRect(0, 0, form.centralWidget()->width(), twips_to_pixels(675)));
    }

    void status_bar()
    {
        Form1 form;
        QVERIFY(show_window(form));
        auto *panel1 = control<QWidget>(form, "Panel1");
        const QList<QLabel *> labels = panel1->findChildren<QLabel *>();
        const auto picture = std::find_if(labels.begin(), labels.end(),
                                          [](QLabel *l) { return !l->pixmap().isNull(); });
        QVERIFY(picture != labels.end());
        QCOMPARE((*picture)->pixmap().size(), QSize(16, 16));
        QVERIFY((*picture)->isVisible());
        QCOMPARE(control<QLabel>(form, "Panel1Text")->text(), "");

        auto *panel2 = control<QLabel>(form, "Panel2");
        QCOMPARE(panel2->width(), twips_to_pixels(1440));
        QTRY_COMPARE(panel2->text(), now_without_seconds(QTime::currentTime()));

        const int width = panel1->width();
        QVERIFY(width >= twips_to_pixels(1440));
        form.resize(form.width() + 100, form.height());
        QTRY_COMPARE(panel1->width(), width + 100);
        QCOMPARE(panel2->width(), twips_to_pixels(1440));
    }

    void closes_without_asking()
    {
        QTemporaryDir dir;
        Form1 form;
        QVERIFY(show_window(form));
        QVERIFY(!open_bytes(form, dir, "H\\a\\1").isEmpty());
        click_node(form, 3);
        QTest::keyClicks(control<QLineEdit>(form, "Text2"), "changed");
        ModalCloser closer;
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QCOMPARE(closer.seen, 0);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
