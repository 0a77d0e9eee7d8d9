#include "about/form2.h"
#include "editor/form_layout.h"
#include "ui/twips.h"
#include "window_driver.h"

#include <QtTest>
#include <QtWidgets>

using Sizes = QList<QSizeF>;

namespace
{

const QSizeF kFirst(7200, 8370);

// Sizes applied in turn to a fresh layout, as outer sizes or as client areas; every other field
// must keep its starting value.
void row(const char *name, const Sizes &sizes, float top, float frames, float weapHeight,
         float tvWidth, float tvHeight, bool client = false)
{
    FormLayout l;
    l.frame1Top = top;
    l.weapFrameWidth = l.frame1Width = l.frame2Width = frames;
    l.weapFrameHeight = weapHeight;
    l.tvWidth = l.text2Width = tvWidth;
    l.tvHeight = tvHeight;
    QTest::newRow(name) << sizes << client << l;
}

void columns()
{
    QTest::addColumn<Sizes>("sizes");
    QTest::addColumn<bool>("client");
    QTest::addColumn<FormLayout>("expected");
}

// Whatever of a window's texts a user would see cut short: a text control smaller than its
// text needs, or reaching out of its container.
void find_cramped(const QWidget &window, QStringList &found)
{
    for (const QWidget *w : window.findChildren<QWidget *>()) {
        const bool text =
            qobject_cast<const QLabel *>(w) || qobject_cast<const QAbstractButton *>(w);
        // The open path may be longer than any window; its panel shows the whole in a tip.
        if (!text || !w->isVisible() || w->sizePolicy().horizontalPolicy() == QSizePolicy::Ignored)
            continue;
        const QSize need = w->sizeHint();
        if (need.boundedTo(w->size()) != need || !w->parentWidget()->rect().contains(w->geometry()))
            found << QString("%1 %2x%3 needs %4x%5")
                         .arg(w->objectName() + w->property("text").toString())
                         .arg(w->width())
                         .arg(w->height())
                         .arg(need.width())
                         .arg(need.height());
    }
    for (const QGroupBox *frame : window.findChildren<QGroupBox *>()) {
        QStyleOptionGroupBox option;
        option.initFrom(frame);
        option.text = frame->title();
        option.subControls = QStyle::SC_GroupBoxLabel;
        const QRect title = frame->style()->subControlRect(QStyle::CC_GroupBox, &option,
                                                           QStyle::SC_GroupBoxLabel, frame);
        if (!frame->rect().contains(title))
            found << frame->objectName() + " title";
        const QList<QWidget *> inside = frame->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        for (const QWidget *a : inside) {
            if (a->geometry().top() <= title.bottom())
                found << a->objectName() + " under the title of " + frame->objectName();
            // A box that stands in another's place (the long value box in Text2's) is hidden
            // while the other shows.
            for (const QWidget *b : inside)
                if (a < b && !a->isHidden() && !b->isHidden() &&
                    a->geometry().intersects(b->geometry()))
                    found << a->objectName() + " overlaps " + b->objectName();
        }
    }
}

} // namespace

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void fits_the_window_data()
    {
        columns();
        row("7200 x 8370 from a fresh layout", {kFirst}, 6085, 6960, 3685, 6720, 3085);
        row("client area 7080 x 7650 with the frame's allowance", {{7080, 7650}}, 6085, 6960, 3685,
            6720, 3085, true);
    }
    void fits_the_window() { check(); }

    // A negative width or height is not set and later steps read the old one; a top is set.
    void failed_step_keeps_the_old_value_data()
    {
        columns();
        row("below 4685 high: weap_frame keeps its height", {kFirst, {7200, 4000}}, 1715, 6960,
            3685, 6720, 3085);
        row("4685 to 5285 high: Tv keeps its height", {kFirst, {7200, 5000}}, 2715, 6960, 315, 6720,
            3085);
        row("negative Frame1 top applied", {kFirst, {7200, 1000}}, -1285, 6960, 3685, 6720, 3085);
    }
    void failed_step_keeps_the_old_value() { check(); }

    // A larger desktop font scales both windows with it: every text whole, nothing in a frame on
    // top of anything else, and the first window as large as its scaled client area.
    void room_for_every_text_data()
    {
        QTest::addColumn<double>("points");
        QTest::addColumn<double>("scale");
        QTest::newRow("1.5 times the usual font") << 13.5 << 1.5;
        QTest::newRow("15 point, as many users with low vision choose") << 15.0 << 1.7;
        QTest::newRow("twice the usual font") << 18.0 << 2.0;
    }
    void room_for_every_text()
    {
        QFETCH(double, points);
        QFETCH(double, scale);
        const QFont usual = QApplication::font();
        QFont larger = usual;
        larger.setPointSizeF(points);
        QApplication::setFont(larger);
        const auto restore = qScopeGuard([&usual] { QApplication::setFont(usual); });
        QCOMPARE(std::round(font_scale() * 10) / 10, scale);
        Form1 form;
        QVERIFY(window_driver::show_window(form));
        QCOMPARE(form.centralWidget()->height() + form.statusBar()->height(),
                 twips_to_pixels(7650));
        QStringList found;
        find_cramped(form, found);
        QTimer::singleShot(0, [&found] {
            QWidget *about = QApplication::activeModalWidget();
            find_cramped(*about, found);
            about->close();
        });
        form.findChild<QAction *>("mnuAbout")->trigger();
        QCOMPARE(found.join(u'\n'), QString());
    }

private:
    void check()
    {
        QFETCH(Sizes, sizes);
        QFETCH(bool, client);
        QFETCH(FormLayout, expected);
        FormLayout layout;
        for (const QSizeF &size : sizes)
            layout = (client ? form_resize_client : form_resize)(layout, float(size.width()),
                                                                 float(size.height()));
        QVERIFY(layout == expected);
    }
};

QTEST_MAIN(TestFormLayout)
#include "test_form_layout.moc"
