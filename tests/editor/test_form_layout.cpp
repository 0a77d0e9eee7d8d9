#include "editor/form_layout.h"

#include <QtTest>

#include <limits>

using Sizes = QList<QSizeF>;
using Fields = QList<float>;

namespace
{

// Every field, so that one the layout must not touch shows up when it moves.
Fields fields(const FormLayout &l)
{
    return {l.statusBarHeight, l.frame1Top,      l.frame1Width,     l.frame1Height, l.weapFrameLeft,
            l.weapFrameTop,    l.weapFrameWidth, l.weapFrameHeight, l.tvLeft,       l.tvTop,
            l.tvWidth,         l.tvHeight,       l.text2Width,      l.frame2Width};
}

// The window given each size in turn, from the design state. Expected: Frame1 top, the frames'
// width, weap_frame height, and the width and height shared by Tv and (width only) Text2.
void row(const char *name, const Sizes &sizes, float top, float frames, float weapHeight,
         float tvWidth, float tvHeight)
{
    FormLayout l;
    l.frame1Top = top;
    l.weapFrameWidth = l.frame1Width = l.frame2Width = frames;
    l.weapFrameHeight = weapHeight;
    l.tvWidth = l.text2Width = tvWidth;
    l.tvHeight = tvHeight;
    QTest::newRow(name) << sizes << fields(l);
}

} // namespace

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void fits_the_window_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<Fields>("expected");
        row("design example 7200 x 8370", {{7200, 8370}}, 6085, 6960, 3685, 6720, 3085);
        row("4685 high: weap_frame height 0", {{7200, 4685}}, 2400, 6960, 0, 6720, 4155);
        row("240 wide: frame widths 0", {{240, 8370}}, 6085, 0, 3685, 7635, 3085);
    }
    void fits_the_window() { check(); }

    // A width or height that would come out negative or not finite is not set, and the steps
    // after it read the old value; a negative top is applied.
    void failed_step_keeps_the_old_value_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<Fields>("expected");
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const QSizeF example(7200, 8370);
        row("4685 to 5285 high: Tv keeps the height it had", {example, {7200, 5000}}, 2715, 6960,
            315, 6720, 3085);
        row("negative Frame1 top applied, weap_frame keeps its height", {example, {7200, 1000}},
            -1285, 6960, 3685, 6720, 3085);
        row("narrower than the frames: widths from the design width", {{200, 8370}}, 6085, 7875,
            3685, 7635, 3085);
        row("narrower than the tree: Tv and Text2 keep their widths", {{400, 8370}}, 6085, 160,
            3685, 7635, 3085);
        row("infinite size", {example, {inf, inf}}, 6085, 6960, 3685, 6720, 3085);
        row("NaN height: weap_frame from the design Frame1 top", {{7200, nan}}, 9660, 6960, 7260,
            6720, 6660);
    }
    void failed_step_keeps_the_old_value() { check(); }

private:
    void check()
    {
        QFETCH(Sizes, sizes);
        QFETCH(Fields, expected);
        FormLayout layout;
        for (const QSizeF &size : sizes)
            layout = form_resize(layout, float(size.width()), float(size.height()));
        QCOMPARE(fields(layout), expected);
    }
};

QTEST_GUILESS_MAIN(TestFormLayout)
#include "test_form_layout.moc"
