// The curve view: where points land, the controller's steps or lines, editing
// by keys, the point's label, the band of time shares, read-only mode, the
// trail's time window, the window that holds the view (its keys, a proposal);
// and beside the main window on the simulated controller, a dragged handle
// edits the form.

#include "bench.h"
#include "protocol/commands.h"
#include "ui/curve_view.h"
#include "ui/curve_window.h"
#include "ui/light_time_view.h"
#include "ui/operating_trail.h"
#include "ui/widget.h"

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
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

// The row of a column of the plot whose pixel comes closest to a colour.
int closest_row(const QImage &image, const QRectF &plot, int x, const QColor &color)
{
    const auto distance = [&](int y) {
        const QColor pixel = image.pixelColor(x, y);
        return qAbs(pixel.red() - color.red()) + qAbs(pixel.green() - color.green()) + qAbs(pixel.blue() - color.blue());
    };
    int closest = int(plot.top());
    for (int y = int(plot.top()); y <= int(plot.bottom()); ++y)
        if (distance(y) < distance(closest))
            closest = y;
    return closest;
}

} // namespace

class TestCurveView : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void point_lands_in_place_data();
    void point_lands_in_place();
    void draws_what_the_controller_does_data();
    void draws_what_the_controller_does();
    void keys_move_focused_handle_data();
    void keys_move_focused_handle();
    void point_label_names_the_point_data();
    void point_label_names_the_point();
    void band_maps_shares_to_light_data();
    void band_maps_shares_to_light();
    void trail_keeps_its_window_data();
    void trail_keeps_its_window();
    void window_remembers_place_and_follows_parent();
    void window_keys_data();
    void window_keys();
    void proposal_goes_to_whoever_takes_it_data();
    void proposal_goes_to_whoever_takes_it();
    void week_axis_dates_data();
    void week_axis_dates();
    void gain_marks_follow_curve_and_coupling_data();
    void gain_marks_follow_curve_and_coupling();
    void drag_edits_the_form_data();
    void drag_edits_the_form();

private:
    std::unique_ptr<CurveView> view;
};

void TestCurveView::init()
{
    view = std::make_unique<CurveView>();
    view->resize(500, 360);
    view->set_applied_curve(SPREAD, true);
    view->set_edited_curve(SPREAD, true);
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
    view->set_edited_curve(points, true);

    const QPoint centre = plot_position(*view, fraction.x() * LIGHT_FULL_SCALE, fraction.y() * PWM_FULL_SCALE);
    QCOMPARE(view->grab().toImage().pixelColor(centre), view->palette().color(QPalette::Highlight));
    // Nothing of the curve is drawn there without the point.
    points[3] = SPREAD[3];
    view->set_edited_curve(points, true);
    QVERIFY(view->grab().toImage().pixelColor(centre) != view->palette().color(QPalette::Highlight));
}

void TestCurveView::draws_what_the_controller_does_data()
{
    QTest::addColumn<bool>("applied_linear");
    QTest::addColumn<bool>("edited_linear");
    QTest::addColumn<int>("light");
    QTest::addColumn<int>("width"); // where the applied curve crosses that light

    // SPREAD's points 3 and 4: (380, 200) and (600, 330).
    QTest::newRow("steps: the last point reached holds") << false << false << 490 << 200;
    QTest::newRow("lines: between the points") << true << true << 490 << 265;
    QTest::newRow("below the first point: its level") << true << true << 50 << 60;
    QTest::newRow("edited lines: the applied steps stay") << false << true << 490 << 200;
    QTest::newRow("edited steps: the applied line stays") << true << false << 490 << 265;
}

void TestCurveView::draws_what_the_controller_does()
{
    QFETCH(bool, applied_linear);
    QFETCH(bool, edited_linear);
    QFETCH(int, light);
    QFETCH(int, width);
    view->set_applied_curve(SPREAD, applied_linear);
    view->set_edited_curve(SPREAD, edited_linear);

    // Unedited, the applied curve carries the handles' colour; edited, the
    // text's, the edits' dashes the handles'.
    const QColor applied = view->palette().color(applied_linear == edited_linear ? QPalette::Highlight : QPalette::Text);
    const QPoint expected = plot_position(*view, light, width);
    QVERIFY(qAbs(closest_row(view->grab().toImage(), view->plot_area(), expected.x(), applied) - expected.y()) <= 2);
}

void TestCurveView::keys_move_focused_handle_data()
{
    QTest::addColumn<int>("clicked");
    QTest::addColumn<int>("tabs");
    QTest::addColumn<int>("key"); // with its modifiers
    QTest::addColumn<bool>("read_only");
    QTest::addColumn<Edit>("expected"); // empty: no edit

    QTest::newRow("right: one brighter reading") << 2 << 0 << int(Qt::Key_Right) << false << Edit{2, 251, 120};
    QTest::newRow("shift+left: ten darker readings") << 2 << 0 << (Qt::ShiftModifier | Qt::Key_Left).toCombined()
                                                     << false << Edit{2, 240, 120};
    QTest::newRow("up: 1 %") << 5 << 0 << int(Qt::Key_Up) << false << Edit{5, 700, 406};
    QTest::newRow("page up: 10 %") << 5 << 0 << int(Qt::Key_PageUp) << false << Edit{5, 700, 456};
    QTest::newRow("shift+down: 10 %") << 5 << 0 << (Qt::ShiftModifier | Qt::Key_Down).toCombined() << false
                                      << Edit{5, 700, 344};
    QTest::newRow("page down: 10 %") << 1 << 0 << int(Qt::Key_PageDown) << false << Edit{1, 100, 4};
    QTest::newRow("tab to the next handle") << 2 << 1 << int(Qt::Key_Up) << false << Edit{3, 380, 206};
    QTest::newRow("read-only") << 2 << 0 << int(Qt::Key_Right) << true << Edit{};
}

void TestCurveView::keys_move_focused_handle()
{
    QFETCH(int, clicked);
    QFETCH(int, tabs);
    QFETCH(int, key);
    QFETCH(bool, read_only);
    QFETCH(Edit, expected);
    const CurveView::Point point = SPREAD[clicked - 1];
    QTest::mouseClick(view.get(), Qt::LeftButton, {}, plot_position(*view, point.light, point.width));
    view->set_read_only(read_only);
    QSignalSpy edits(view.get(), &CurveView::point_edited);

    for (int i = 0; i < tabs; ++i)
        QTest::keyClick(view.get(), Qt::Key_Tab);
    QTest::keyClick(view.get(), Qt::Key(key & ~Qt::KeyboardModifierMask),
                    Qt::KeyboardModifiers(key & Qt::KeyboardModifierMask));

    QCOMPARE(edits.count(), expected.isEmpty() ? 0 : 1);
    if (!expected.isEmpty())
        QCOMPARE((Edit{edits[0][0].toInt(), edits[0][1].toInt(), edits[0][2].toInt()}), expected);
}

void TestCurveView::point_label_names_the_point_data()
{
    QTest::addColumn<int>("clicked"); // 0: none
    QTest::addColumn<int>("hovered"); // 0: the mouse away from the handles
    QTest::addColumn<QString>("label");

    QTest::newRow("focused: the handle the keys move") << 0 << 0 << QStringLiteral("1: 100 · 10%");
    QTest::newRow("hovered") << 0 << 6 << QStringLiteral("6: 820 · 83%");
    QTest::newRow("selected, the mouse gone") << 2 << 0 << QStringLiteral("2: 250 · 21%");
    QTest::newRow("hovered over the selected") << 2 << 4 << QStringLiteral("4: 600 · 58%");
}

void TestCurveView::point_label_names_the_point()
{
    QFETCH(int, clicked);
    QFETCH(int, hovered);
    QFETCH(QString, label);
    const auto at = [this](int n) { return plot_position(*view, SPREAD[n - 1].light, SPREAD[n - 1].width); };
    if (clicked)
        QTest::mouseClick(view.get(), Qt::LeftButton, {}, at(clicked));
    QTest::mouseMove(view.get(), hovered ? at(hovered) : plot_position(*view, 500, 550));
    QCOMPARE(view->point_label(), label);
}

void TestCurveView::band_maps_shares_to_light_data()
{
    QTest::addColumn<std::vector<double>>("shares");
    QTest::addColumn<QList<int>>("filled"); // bins with a bar, of four when there are no shares

    QTest::newRow("the second quarter of the light scale") << std::vector<double>{0, 0.7, 0, 0} << QList<int>{1};
    QTest::newRow("ten bins: the darkest and the brightest")
        << std::vector<double>{3, 0, 0, 0, 0, 0, 0, 0, 0, 1} << QList<int>{0, 9};
    QTest::newRow("no history: no bars") << std::vector<double>{} << QList<int>{};
}

void TestCurveView::band_maps_shares_to_light()
{
    QFETCH(std::vector<double>, shares);
    QFETCH(QList<int>, filled);
    view->set_light_shares(shares, 30);
    const QImage image = view->grab().toImage();
    const QRectF band = view->band_area();
    const int bins = shares.empty() ? 4 : int(shares.size());
    for (int bin = 0; bin < bins; ++bin) {
        const QPoint bar_foot(int(band.left() + (bin + 0.5) * band.width() / bins), int(band.bottom()) - 2);
        QCOMPARE(image.pixel(bar_foot) == view->palette().color(QPalette::Dark).rgb(), filled.contains(bin));
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
    const QRect place(140, 120, 700, 560);
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

void TestCurveView::window_keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("applies");
    QTest::addColumn<bool>("open");

    QTest::newRow("Enter applies") << int(Qt::Key_Return) << 1 << true;
    QTest::newRow("keypad Enter applies") << int(Qt::Key_Enter) << 1 << true;
    QTest::newRow("Escape closes") << int(Qt::Key_Escape) << 0 << false;
}

void TestCurveView::window_keys()
{
    QFETCH(int, key);
    QFETCH(int, applies);
    QFETCH(bool, open);
    QWidget main_window;
    main_window.show();
    auto *curve = new CurveWindow(&main_window);
    QSignalSpy apply(curve, &CurveWindow::apply_requested);
    curve->open();
    QVERIFY(QTest::qWaitForWindowActive(curve));
    curve->view()->setFocus();

    QTest::keyClick(curve->view(), Qt::Key(key));
    QCOMPARE(apply.count(), applies);
    QCOMPARE(curve->isVisible(), open);
    QCOMPARE(curve->is_open(), open);
}

void TestCurveView::proposal_goes_to_whoever_takes_it_data()
{
    QTest::addColumn<bool>("edited");  // the form's curve differs from the applied one
    QTest::addColumn<bool>("applied"); // the controller holds the proposal already
    QTest::addColumn<bool>("read_only"); // no controller
    QTest::addColumn<int>("answer");   // to the question; NoButton: none may come
    QTest::addColumn<bool>("taken");

    QTest::newRow("no edits: taken at once") << false << false << false << int(QMessageBox::NoButton) << true;
    QTest::newRow("unapplied edits: replaced") << true << false << false << int(QMessageBox::Yes) << true;
    QTest::newRow("unapplied edits: kept") << true << false << false << int(QMessageBox::No) << false;
    QTest::newRow("applied already") << false << true << false << int(QMessageBox::NoButton) << false;
    QTest::newRow("no controller") << false << false << true << int(QMessageBox::NoButton) << false;
}

void TestCurveView::proposal_goes_to_whoever_takes_it()
{
    QFETCH(bool, edited);
    QFETCH(bool, applied);
    QFETCH(bool, read_only);
    QFETCH(int, answer);
    QFETCH(bool, taken);
    QWidget main_window;
    auto *curve = new CurveWindow(&main_window);
    QSignalSpy accepted(curve, &CurveWindow::proposal_accepted);
    CurveView::Points proposal = SPREAD, form = SPREAD;
    proposal[2].width = 260;
    form[0].width = edited ? 10 : form[0].width;
    curve->view()->set_applied_curve(applied ? proposal : SPREAD, true);
    curve->view()->set_edited_curve(form, true);
    curve->set_read_only_note(read_only ? QStringLiteral("no controller") : QString());
    const QString explanation = QStringLiteral("12 corrections over 9 days; point 3 would change");
    curve->set_proposal(proposal, explanation);
    curve->open();
    QVERIFY(QTest::qWaitForWindowExposed(curve));
    const QList<QLabel *> labels = curve->findChildren<QLabel *>();
    const auto shown = [&](const QString &text) {
        return std::any_of(labels.begin(), labels.end(),
                           [&](const QLabel *label) { return label->isVisible() && label->text().contains(text); });
    };
    const QString key = QStringLiteral("Зеленая линия с квадратами");
    QVERIFY(shown(explanation) && shown(key));
    QCOMPARE(shown(QStringLiteral("no controller")), read_only);

    bool asked = false;
    QTimer::singleShot(0, curve, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()); (asked = box))
            box->button(answer == QMessageBox::NoButton ? QMessageBox::No : QMessageBox::StandardButton(answer))->click();
    });
    QTest::mouseClick(curve->findChild<QPushButton *>(), Qt::LeftButton);
    QTest::qWait(0);
    QCOMPARE(asked, answer != QMessageBox::NoButton);
    QCOMPARE(accepted.count(), taken ? 1 : 0);
    QCOMPARE(curve->view()->proposal().has_value(), !taken);
    QCOMPARE(shown(key), !taken);
    QCOMPARE(curve->view()->points(), form); // the form's own until the owner takes it

    // The legend and the proposal belong to the curve's page.
    curve->findChild<QTabWidget *>()->setCurrentIndex(1);
    QVERIFY(!shown(QStringLiteral("Сплошная линия")) && !shown(explanation));
}

void TestCurveView::week_axis_dates_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("label"); // 8 December
    QTest::newRow("en_US: month first") << "en_US" << "12/8";
    QTest::newRow("ru_RU") << "ru_RU" << "08.12";
    QTest::newRow("sv_SE: the year led") << "sv_SE" << "12-08";
}

void TestCurveView::week_axis_dates()
{
    QFETCH(QString, locale);
    QFETCH(QString, label);
    QCOMPARE(LightTimeView::day_label(QDate(2026, 12, 8), QLocale(locale)), label);
}

// SPREAD rises by 0.07 to 0.12 % per light count: segment 4-5 is the steepest.
void TestCurveView::gain_marks_follow_curve_and_coupling_data()
{
    QTest::addColumn<double>("k"); // 0: not measured
    QTest::addColumn<QList<Edit>>("edits"); // one after another
    QTest::addColumn<QStringList>("marks");
    QTest::addColumn<double>("strongest"); // the largest |gain| the lines under the plot name

    const QString amplifies = QStringLiteral("усиливает свой же свет");
    QTest::newRow("not measured") << 0.0 << QList<Edit>{} << QStringList{} << 0.0;
    QTest::newRow("weak coupling") << 2.0 << QList<Edit>{} << QStringList{} << 0.0;
    QTest::newRow("the steepest amplifies") << 4.5 << QList<Edit>{} << QStringList{"4-5 " + amplifies} << 0.6;
    QTest::newRow("alike neighbours are one mark")
        << 9.0 << QList<Edit>{} << QStringList{"1-4 " + amplifies, "4-5 может уйти на полную яркость", "5-7 " + amplifies}
        << 1.1;
    // Point 5 down to 190, then 200: 4-5 falls 1.3 widths per count, 5-6
    // climbs 2.25; the second move changes the gains alone.
    QTest::newRow("a dip hunts on one side, runs away on the other")
        << 4.5 << QList<Edit>{{5, 700, 190}, {5, 700, 200}}
        << QStringList{"4-5 будет раскачиваться", "5-6 может уйти на полную яркость"} << 1.8;
}

void TestCurveView::gain_marks_follow_curve_and_coupling()
{
    QFETCH(double, k);
    QFETCH(QList<Edit>, edits);
    QFETCH(QStringList, marks);
    QFETCH(double, strongest);

    QWidget main_window;
    auto *curve = new CurveWindow(&main_window);
    curve->view()->set_edited_curve(SPREAD, true);
    CouplingResult coupling;
    coupling.counts_per_percent = k;
    curve->set_coupling(k > 0 ? std::optional(coupling) : std::nullopt);
    curve->open();
    CurveView::Points points = SPREAD;
    for (const Edit &edit : edits) {
        points[edit[0] - 1] = {edit[1], edit[2]};
        curve->view()->set_edited_curve(points, true);
    }

    QStringList seen;
    for (const SegmentGain &mark : curve->view()->gain_marks())
        seen << QStringLiteral("%1-%2 %3").arg(mark.from_point).arg(mark.to_point).arg(CurveView::gain_mark_text(mark));
    QCOMPARE(seen, marks);
    // One line under the plot for each mark, with the gain as it is now.
    const QList<QLabel *> labels = curve->findChildren<QLabel *>();
    const auto advice = std::find_if(labels.begin(), labels.end(),
                                     [](const QLabel *label) { return label->text().startsWith("Точки"); });
    QCOMPARE(advice != labels.end() && (*advice)->isVisible(), !marks.isEmpty());
    if (!marks.isEmpty()) {
        QCOMPARE((*advice)->text().count('\n') + 1, marks.size());
        QVERIFY2((*advice)->text().contains(QLocale().toString(strongest, 'f', 1)), qPrintable((*advice)->text()));
    }
}

void TestCurveView::drag_edits_the_form_data()
{
    QTest::addColumn<ControllerState>("controller");
    QTest::addColumn<bool>("unplugged");
    QTest::addColumn<bool>("editable");

    QTest::newRow("automatic regulation") << ControllerState().light(300).pwm_width(200) << false << true;
    QTest::newRow("manual regulation: read-only") << ControllerState().mode(1) << false << false;
    QTest::newRow("unplugged: read-only, no live point") << ControllerState() << true << false;
}

void TestCurveView::drag_edits_the_form()
{
    QFETCH(ControllerState, controller);
    QFETCH(bool, unplugged);
    QFETCH(bool, editable);
    Bench bench(controller, Bench::View::attached);
    bench.connect();
    bench.tick();
    bench.view().show();
    QTest::mouseClick(bench.control<QPushButton>("curve_pushButton"), Qt::LeftButton);
    auto *curve = bench.view().findChild<CurveWindow *>();
    QVERIFY(curve);
    QVERIFY(QTest::qWaitForWindowExposed(curve));
    CurveView *curve_view = curve->view();
    // The history is read again on each load and once the controller goes:
    // then from the configuration it last loaded, shown read-only.
    std::vector<std::optional<ConfigBlock>> asked;
    QObject::connect(&bench.view(), &Widget::history_wanted,
                     [&](const std::optional<ConfigBlock> &applied, LightPositions) { asked.push_back(applied); });
    if (unplugged) {
        bench.unplug();
        bench.check();
        bench.tick();
        QVERIFY(bench.control<QPushButton>("curve_pushButton")->isEnabled());
        QVERIFY(!asked.empty() && !asked.back());
    }

    // The keys step a level as the form's sliders do.
    QCOMPARE(bench.level(1)->singleStep(), CurveView::LEVEL_STEP);
    QCOMPARE(bench.level(1)->pageStep(), CurveView::LEVEL_PAGE);
    // The handles are the form's points; the live point is the controller's.
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
        QCOMPARE(curve_view->points()[n - 1], (CurveView::Point{bench.threshold(n)->value(), bench.level(n)->value()}));
    const CurveView::Point reported{int(bench.model().light_reading()), int(bench.model().pwm_width())};
    QCOMPARE(curve_view->operating_point(), unplugged ? std::nullopt : std::optional(reported));

    ConfigBlock expected = bench.form();
    const CurveView::Point from = curve_view->points()[2];
    QTest::mousePress(curve_view, Qt::LeftButton, {}, plot_position(*curve_view, from.light, from.width));
    QTest::mouseMove(curve_view, plot_position(*curve_view, 512, 282));
    QTest::mouseRelease(curve_view, Qt::LeftButton, {}, plot_position(*curve_view, 512, 282));

    // Point 3 alone moves, to the middle within a pixel's worth of each scale.
    const QRectF plot = curve_view->plot_area();
    if (editable) {
        QVERIFY(qAbs(bench.threshold(3)->value() - 512) <= LIGHT_FULL_SCALE / plot.width());
        QVERIFY(qAbs(bench.level(3)->value() - 282) <= PWM_FULL_SCALE / plot.height());
        expected.set_auto_light(3, unsigned(bench.threshold(3)->value()));
        expected.set_auto_pwm(3, unsigned(bench.level(3)->value()));
    }
    QCOMPARE(config_part(bench.form()), config_part(expected));
    QCOMPARE(own_enabled(bench.apply()), editable);
    if (editable) {
        bench.apply()->click();
        QVERIFY(!asked.empty() && asked.back() && asked.back()->auto_light(3) == unsigned(bench.threshold(3)->value()));
    }

    // The form's edits move the handles.
    bench.threshold(5)->setValue(640);
    QCOMPARE(curve_view->points()[4].light, 640);
    if (unplugged) {
        HistorySummary summary;
        summary.last_configuration = StoredConfiguration{QStringLiteral("8d88:00bb:x"), 0, ConfigBlock()};
        bench.view().show_history(summary);
        QCOMPARE(curve_view->points(), CurveView::points_of(ConfigBlock()));
    }
}

QTEST_MAIN(TestCurveView)
#include "tst_curve_view.moc"
