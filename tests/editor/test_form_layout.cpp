#include "editor/form_layout.h"

#include <QtTest>

using Sizes = QList<QSizeF>;

namespace
{

const QSizeF kFirst(7200, 8370);

// Sizes applied in turn to a fresh layout; every other field must keep its starting value.
void row(const char *name, const Sizes &sizes, float top, float frames, float weapHeight,
         float tvWidth, float tvHeight)
{
    FormLayout l;
    l.frame1Top = top;
    l.weapFrameWidth = l.frame1Width = l.frame2Width = frames;
    l.weapFrameHeight = weapHeight;
    l.tvWidth = l.text2Width = tvWidth;
    l.tvHeight = tvHeight;
    QTest::newRow(name) << sizes << l;
}

} // namespace

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void fits_the_window_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<FormLayout>("expected");
        row("7200 x 8370 from a fresh layout", {kFirst}, 6085, 6960, 3685, 6720, 3085);
    }
    void fits_the_window() { check(); }

    // A negative width or height is not set and later steps read the old one; a top is set.
    void failed_step_keeps_the_old_value_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<FormLayout>("expected");
        row("below 4685 high: weap_frame keeps its height", {kFirst, {7200, 4000}}, 1715, 6960,
            3685, 6720, 3085);
        row("4685 to 5285 high: Tv keeps its height", {kFirst, {7200, 5000}}, 2715, 6960, 315, 6720,
            3085);
        row("negative Frame1 top applied", {kFirst, {7200, 1000}}, -1285, 6960, 3685, 6720, 3085);
    }
    void failed_step_keeps_the_old_value() { check(); }

private:
    void check()
    {
        QFETCH(Sizes, sizes);
        QFETCH(FormLayout, expected);
        FormLayout layout;
        for (const QSizeF &size : sizes)
            layout = form_resize(layout, float(size.width()), float(size.height()));
        QVERIFY(layout == expected);
    }
};

QTEST_GUILESS_MAIN(TestFormLayout)
#include "test_form_layout.moc"
