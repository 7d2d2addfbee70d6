// The curve view: where points land, editing by mouse and keys, read-only
// mode, the trail's time window, and the window that holds the view.

#include "protocol/commands.h"
#include "ui/curve_view.h"
#include "ui/curve_window.h"
#include "ui/operating_trail.h"

#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

using Edit = QList<int>; // n, light, width as point_edited carries them

// Points spread over the plot, far from its corners and its middle.
const CurveView::Points SPREAD{{{100, 60}, {250, 120}, {380, 200}, {600, 330}, {700, 400}, {820, 470}, {950, 520}}};

QPoint plot_position(const CurveView &view, double light, double width)
{
    const QRectF plot = view.plot_area();
    return QPointF(plot.left() + light / LIGHT_FULL_SCALE * plot.width(),
                   plot.bottom() - width / PWM_FULL_SCALE * plot.height())
        .toPoint();
}

} // namespace

class TestCurveView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void point_lands_in_place_data();
    void point_lands_in_place();
    void drag_edits_that_point_data();
    void drag_edits_that_point();
    void keys_move_focused_handle_data();
    void keys_move_focused_handle();
    void trail_keeps_its_window_data();
    void trail_keeps_its_window();
    void window_remembers_place_and_follows_parent();

private:
    std::unique_ptr<CurveView> view;
};

void TestCurveView::init()
{
    view = std::make_unique<CurveView>();
    view->resize(500, 360);
    view->set_points(SPREAD);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
}

void TestCurveView::point_lands_in_place_data()
{
    QTest::addColumn<int>("light");
    QTest::addColumn<int>("width");
    QTest::addColumn<QPointF>("fraction"); // of the plot, from its bottom left

    QTest::newRow("middle: 512, 50 %") << 512 << 282 << QPointF(0.5, 0.5);
    QTest::newRow("origin") << 0 << 0 << QPointF(0, 0);
    QTest::newRow("full scale") << 1023 << 564 << QPointF(1, 1);
    QTest::newRow("beyond the scales: on the edge") << 2000 << 1023 << QPointF(1, 1);
}

void TestCurveView::point_lands_in_place()
{
    QFETCH(int, light);
    QFETCH(int, width);
    QFETCH(QPointF, fraction);
    CurveView::Points points = SPREAD;
    points[3] = {light, width};
    view->set_points(points);

    const QImage image = view->grab().toImage();
    const QRectF plot = view->plot_area();
    const QPoint centre = QPointF(plot.left() + fraction.x() * plot.width(),
                                  plot.bottom() - fraction.y() * plot.height())
                              .toPoint();
    QCOMPARE(image.pixelColor(centre), view->palette().color(QPalette::Highlight));
    // Nothing of the curve is drawn there without the point.
    points[3] = SPREAD[3];
    view->set_points(points);
    QVERIFY(view->grab().toImage().pixelColor(centre) != view->palette().color(QPalette::Highlight));
}

void TestCurveView::drag_edits_that_point_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QPointF>("to"); // light, width
    QTest::addColumn<bool>("read_only");
    QTest::addColumn<QPointF>("expected"); // light, width; (-1, -1) for no edit

    QTest::newRow("point 3 to the middle") << 3 << QPointF(512, 282) << false << QPointF(512, 282);
    QTest::newRow("point 7 past the corner: clamped") << 7 << QPointF(1300, 700) << false << QPointF(1023, 564);
    QTest::newRow("point 1 read-only") << 1 << QPointF(512, 282) << true << QPointF(-1, -1);
}

void TestCurveView::drag_edits_that_point()
{
    QFETCH(int, n);
    QFETCH(QPointF, to);
    QFETCH(bool, read_only);
    QFETCH(QPointF, expected);
    view->set_read_only(read_only);
    QSignalSpy edits(view.get(), &CurveView::point_edited);

    const CurveView::Point from = SPREAD[n - 1];
    QTest::mousePress(view.get(), Qt::LeftButton, {}, plot_position(*view, from.light, from.width));
    QTest::mouseMove(view.get(), plot_position(*view, (from.light + to.x()) / 2, (from.width + to.y()) / 2));
    QTest::mouseMove(view.get(), plot_position(*view, to.x(), to.y()));
    QTest::mouseRelease(view.get(), Qt::LeftButton, {}, plot_position(*view, to.x(), to.y()));

    if (expected.x() < 0) {
        QCOMPARE(edits.count(), 0);
        QCOMPARE(view->points(), SPREAD);
        return;
    }
    QVERIFY(!edits.isEmpty()); // a move already past the edges repeats no edit
    for (const QList<QVariant> &edit : edits)
        QCOMPARE(edit.at(0).toInt(), n);
    // Within one pixel's worth of each scale.
    const QRectF plot = view->plot_area();
    const QList<QVariant> last = edits.last();
    QVERIFY2(qAbs(last.at(1).toInt() - expected.x()) <= LIGHT_FULL_SCALE / plot.width(), qPrintable(last.at(1).toString()));
    QVERIFY2(qAbs(last.at(2).toInt() - expected.y()) <= PWM_FULL_SCALE / plot.height(), qPrintable(last.at(2).toString()));
    QCOMPARE(view->points()[n - 1].light, last.at(1).toInt());
    for (int other = 1; other <= ConfigBlock::CURVE_POINTS; ++other)
        if (other != n)
            QCOMPARE(view->points()[other - 1], SPREAD[other - 1]);
}

void TestCurveView::keys_move_focused_handle_data()
{
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("read_only");
    QTest::addColumn<Edit>("expected"); // empty: no edit

    const int shift = Qt::ShiftModifier;
    QTest::newRow("right: one brighter reading") << 2 << 0 << int(Qt::Key_Right) << 0 << false << Edit{2, 251, 120};
    QTest::newRow("shift+down: ten narrower") << 5 << 0 << int(Qt::Key_Down) << shift << false << Edit{5, 700, 390};
    QTest::newRow("tab to the next handle") << 2 << 1 << int(Qt::Key_Up) << 0 << false << Edit{3, 380, 201};
    QTest::newRow("read-only") << 2 << 0 << int(Qt::Key_Right) << 0 << true << Edit{};
}

void TestCurveView::keys_move_focused_handle()
{
    QFETCH(int, clicked);
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, read_only);
    QFETCH(Edit, expected);
    const CurveView::Point point = SPREAD[clicked - 1];
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, plot_position(*view, point.light, point.width));
    view->set_read_only(read_only);
    QSignalSpy edits(view.get(), &CurveView::point_edited);

    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(view.get(), Qt::Key_Tab);
    QTest::keyClick(view.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));

    QCOMPARE(edits.count(), expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty()) {
        const QList<QVariant> edit = edits.first();
        QCOMPARE((Edit{edit.at(0).toInt(), edit.at(1).toInt(), edit.at(2).toInt()}), expected);
    }
}

void TestCurveView::trail_keeps_its_window_data()
{
    QTest::addColumn<QList<QPoint>>("appends"); // at ms, light (width follows light)
    QTest::addColumn<int>("now");
    QTest::addColumn<QList<int>>("lights");     // of the samples kept, oldest first
    QTest::addColumn<double>("oldest_freshness");

    // A window of 10 s; samples within 500 ms share a slot.
    QTest::newRow("older than the window dropped")
        << QList<QPoint>{{0, 100}, {6000, 200}, {12000, 300}} << 12000 << QList<int>{200, 300} << 0.4;
    QTest::newRow("dropped by time alone") << QList<QPoint>{{0, 100}, {4000, 200}} << 13000 << QList<int>{200} << 0.1;
    QTest::newRow("ticks within the spacing: one slot, the latest")
        << QList<QPoint>{{0, 100}, {50, 101}, {450, 102}, {500, 103}} << 500 << QList<int>{102, 103} << 0.95;
    QTest::newRow("all gone") << QList<QPoint>{{0, 100}} << 10001 << QList<int>{} << 0.0;
}

void TestCurveView::trail_keeps_its_window()
{
    QFETCH(QList<QPoint>, appends);
    QFETCH(int, now);
    QFETCH(QList<int>, lights);
    QFETCH(double, oldest_freshness);
    qint64 clock = 0;
    OperatingTrail trail(10000, [&clock] { return clock; });
    for (const QPoint &append : appends) {
        clock = append.x();
        trail.append(append.y(), append.y() / 2);
    }
    clock = now;
    trail.drop_expired();

    QList<int> kept;
    for (const OperatingTrail::Sample &sample : trail.samples()) {
        kept << sample.light;
        QCOMPARE(sample.width, sample.light / 2);
    }
    QCOMPARE(kept, lights);
    if (!trail.empty())
        QCOMPARE(trail.freshness(trail.samples().front()), oldest_freshness);
}

void TestCurveView::window_remembers_place_and_follows_parent()
{
    QWidget main_window;
    main_window.show();
    auto *curve = new CurveWindow(&main_window);
    curve->open();
    QVERIFY(QTest::qWaitForWindowExposed(curve));
    const QRect place(140, 120, 420, 330);
    curve->setGeometry(place);

    curve->close();
    QVERIFY(!curve->is_open());
    curve->open();
    QCOMPARE(curve->geometry(), place);

    main_window.hide();
    QVERIFY(!curve->isVisible());
    main_window.show();
    QVERIFY(curve->isVisible());
    QCOMPARE(curve->geometry(), place);

    curve->close();
    main_window.hide();
    main_window.show();
    QVERIFY(!curve->isVisible());
}

QTEST_MAIN(TestCurveView)
#include "tst_curve_view.moc"
