#include "editor/form_layout.h"

#include <QtTest>

#include <limits>

using Sizes = QList<QSizeF>;

namespace
{

// The sizes the window was given, one after the other, from the design state.
FormLayout laid_out(const Sizes &sizes)
{
    FormLayout layout;
    for (const QSizeF &size : sizes)
        layout = form_resize(layout, float(size.width()), float(size.height()));
    return layout;
}

// Only the eight quantities the layout sets; everything else must keep its design value.
FormLayout expected(float frame1Top, float weapFrameWidth, float weapFrameHeight, float tvWidth,
                    float tvHeight, float frame1Width, float text2Width, float frame2Width)
{
    FormLayout layout;
    layout.frame1Top = frame1Top;
    layout.weapFrameWidth = weapFrameWidth;
    layout.weapFrameHeight = weapFrameHeight;
    layout.tvWidth = tvWidth;
    layout.tvHeight = tvHeight;
    layout.frame1Width = frame1Width;
    layout.text2Width = text2Width;
    layout.frame2Width = frame2Width;
    return layout;
}

QString described(const FormLayout &l)
{
    const auto n = [](float v) { return QString::number(double(v), 'g', 9); };
    return QStringLiteral("status bar height %1, Frame1 top %2 %3 x %4, weap_frame %5 %6 %7 x %8, "
                          "Tv %9 ")
               .arg(n(l.statusBarHeight), n(l.frame1Top), n(l.frame1Width), n(l.frame1Height),
                    n(l.weapFrameLeft), n(l.weapFrameTop), n(l.weapFrameWidth),
                    n(l.weapFrameHeight), n(l.tvLeft)) +
           QStringLiteral("%1 %2 x %3, Text2 width %4, frame2 width %5")
               .arg(n(l.tvTop), n(l.tvWidth), n(l.tvHeight), n(l.text2Width), n(l.frame2Width));
}

} // namespace

class TestFormLayout : public QObject
{
    Q_OBJECT

private slots:
    void fits_the_window_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<FormLayout>("layout");
        const FormLayout example = expected(6085, 6960, 3685, 6720, 3085, 6960, 6720, 6960);
        QTest::newRow("design example 7200 x 8370") << Sizes{{7200, 8370}} << example;
        QTest::newRow("1000 shorter moves Frame1 up, shortens the tree")
            << Sizes{{7200, 7370}} << expected(5085, 6960, 2685, 6720, 2085, 6960, 6720, 6960);
        QTest::newRow("1500 wider widens frames, tree and value box")
            << Sizes{{8700, 8370}} << expected(6085, 8460, 3685, 8220, 3085, 8460, 8220, 8460);
        QTest::newRow("height exactly 4685 gives weap_frame no height, Tv keeps its own")
            << Sizes{{7200, 4685}} << expected(2400, 6960, 0, 6720, 4155, 6960, 6720, 6960);
        QTest::newRow("height exactly 5285 gives Tv no height")
            << Sizes{{7200, 5285}} << expected(3000, 6960, 600, 6720, 0, 6960, 6720, 6960);
        QTest::newRow("width exactly 240 gives the frames no width, Tv and Text2 keep theirs")
            << Sizes{{240, 8370}} << expected(6085, 0, 3685, 7635, 3085, 0, 7635, 0);
        QTest::newRow("restore after minimize lays out as before")
            << Sizes{{7200, 8370}, {2400, 540}, {7200, 8370}} << example;
    }
    void fits_the_window()
    {
        QFETCH(Sizes, sizes);
        QFETCH(FormLayout, layout);
        QCOMPARE(described(laid_out(sizes)), described(layout));
    }

    // A step whose size comes out negative or not finite sets nothing; later steps read the
    // old value.
    void keeps_what_a_failed_step_would_set_data()
    {
        QTest::addColumn<Sizes>("sizes");
        QTest::addColumn<FormLayout>("layout");
        const float inf = std::numeric_limits<float>::infinity();
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("below 4685 high: Tv height from the design weap_frame height")
            << Sizes{{6000, 4000}} << expected(1715, 5760, 7155, 5520, 6555, 5760, 5520, 5760);
        QTest::newRow("below 4685 high: weap_frame keeps the height it had")
            << Sizes{{7200, 8370}, {6000, 4000}}
            << expected(1715, 5760, 3685, 5520, 3085, 5760, 5520, 5760);
        QTest::newRow("4685 to 5285 high: Tv keeps its height")
            << Sizes{{7200, 8370}, {7200, 5000}}
            << expected(2715, 6960, 315, 6720, 3085, 6960, 6720, 6960);
        QTest::newRow("negative Frame1 top is applied")
            << Sizes{{7200, 8370}, {7200, 1000}}
            << expected(-1285, 6960, 3685, 6720, 3085, 6960, 6720, 6960);
        QTest::newRow("narrower than the frames: widths from the kept weap_frame width")
            << Sizes{{200, 8370}} << expected(6085, 7875, 3685, 7635, 3085, 7875, 7635, 7875);
        QTest::newRow("narrower than the tree: Tv and Text2 keep their widths")
            << Sizes{{400, 8370}} << expected(6085, 160, 3685, 7635, 3085, 160, 7635, 160);
        QTest::newRow("minimized keeps the heights it had")
            << Sizes{{7200, 8370}, {2400, 540}}
            << expected(-1745, 2160, 3685, 1920, 3085, 2160, 1920, 2160);
        QTest::newRow("zero size")
            << Sizes{{0, 0}} << expected(-2285, 7875, 7155, 7635, 6555, 7875, 7635, 7875);
        QTest::newRow("infinite width and height")
            << Sizes{{7200, 8370}, {inf, inf}}
            << expected(6085, 6960, 3685, 6720, 3085, 6960, 6720, 6960);
        QTest::newRow("minus infinite height")
            << Sizes{{7200, 8370}, {7200, -inf}}
            << expected(6085, 6960, 3685, 6720, 3085, 6960, 6720, 6960);
        QTest::newRow("NaN height: weap_frame from the design Frame1 top")
            << Sizes{{7200, nan}} << expected(9660, 6960, 7260, 6720, 6660, 6960, 6720, 6960);
        QTest::newRow("NaN width") << Sizes{{7200, 8370}, {nan, 8370}}
                                   << expected(6085, 6960, 3685, 6720, 3085, 6960, 6720, 6960);
    }
    void keeps_what_a_failed_step_would_set()
    {
        QFETCH(Sizes, sizes);
        QFETCH(FormLayout, layout);
        QCOMPARE(described(laid_out(sizes)), described(layout));
    }
};

QTEST_GUILESS_MAIN(TestFormLayout)
#include "test_form_layout.moc"
