#include "curve_view.h"

#include "model/pwm_percent_text.h"
#include "plot_axes.h"
#include "protocol/commands.h"
#include "protocol/curve_width.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

constexpr qreal HANDLE_RADIUS = 6;
constexpr qreal TRAIL_DOT_RADIUS = 3;
constexpr qreal CORRECTION_RADIUS = 3.5;
constexpr qreal HIT_RADIUS = 10; // a press this close to a handle takes it
constexpr qreal BAND_GAP = 4;    // between the plot and the band
constexpr int LIGHT_MINOR = 100, LIGHT_MAJOR = 200;
// Apart from any palette's highlight, and from each other.
const QColor OPERATING_COLOR(226, 108, 20);
const QColor CORRECTION_COLOR(176, 48, 150);
const QColor PROPOSAL_COLOR(34, 146, 64);
const QColor MAY_GAIN_COLOR(224, 160, 0);
const QColor WILL_GAIN_COLOR(204, 36, 36);
constexpr qreal GAIN_MARK_WIDTH = 9;

} // namespace

CurveView::CurveView(QWidget *parent, OperatingTrail::Clock clock)
    : QWidget(parent), trail_(OperatingTrail::DEFAULT_WINDOW_MS, std::move(clock))
{
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true); // the hovered point's label
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Base);
}

CurveView::Points CurveView::points_of(const ConfigBlock &config)
{
    Points points;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
        points[n - 1] = {int(config.auto_light(n)), int(config.auto_pwm(n))};
    return points;
}

void CurveView::set_applied_curve(const Points &points, bool linear)
{
    const Curve applied{points, linear};
    if (applied == applied_)
        return;
    applied_ = applied;
    redraw_curve();
}

void CurveView::set_edited_curve(const Points &points, bool linear)
{
    const Curve edited{points, linear};
    if (edited == edited_)
        return;
    edited_ = edited;
    update_gain_marks();
    redraw_curve();
}

void CurveView::set_coupling(std::optional<double> counts_per_percent)
{
    if (counts_per_percent == counts_per_percent_)
        return;
    counts_per_percent_ = counts_per_percent;
    update_gain_marks();
    redraw_curve();
}

void CurveView::update_gain_marks()
{
    std::vector<SegmentGain> marks;
    if (counts_per_percent_) {
        for (const SegmentGain &segment : loop_gains(config_of(edited_), *counts_per_percent_)) {
            if (segment.strength == GainStrength::none)
                continue;
            SegmentGain *last = marks.empty() ? nullptr : &marks.back();
            if (last && last->light_to == segment.light_from && last->rising == segment.rising
                && last->strength == segment.strength) {
                last->to_point = segment.to_point;
                last->light_to = segment.light_to;
                if (std::abs(segment.gain) > std::abs(last->gain))
                    last->gain = segment.gain;
            } else {
                marks.push_back(segment);
            }
        }
    }
    const auto same = [](const SegmentGain &a, const SegmentGain &b) {
        return a.from_point == b.from_point && a.to_point == b.to_point && a.light_from == b.light_from
            && a.light_to == b.light_to && a.gain == b.gain && a.strength == b.strength;
    };
    const bool changed = !std::equal(marks.begin(), marks.end(), gain_marks_.begin(), gain_marks_.end(), same);
    gain_marks_ = std::move(marks);
    if (changed)
        emit gain_marks_changed();
}

QString CurveView::gain_mark_text(const SegmentGain &segment)
{
    const bool will = segment.strength == GainStrength::will;
    if (segment.rising)
        return will ? tr("может уйти на полную яркость") : tr("усиливает свой же свет");
    return will ? tr("будет раскачиваться") : tr("может раскачиваться");
}

// Only what moved on screen is repainted: the live point with its guides,
// where it was and where it is, and the trail's newest dot. A reading that
// changes by less than a pixel (a noisy sensor) repaints nothing; older dots
// fade and go with the slow fade step.
void CurveView::set_operating_point(int light, int width)
{
    const QRegion before = operating_point_region() + newest_dot_area();
    trail_.append(light, width);
    operating_point_ = Point{light, width};
    const QRegion after = operating_point_region() + newest_dot_area();
    if (after != before)
        update(before + after);
    update_fade_timer();
}

void CurveView::clear_operating_point()
{
    if (!operating_point_)
        return;
    const QRegion before = operating_point_region();
    operating_point_.reset();
    update(before);
}

QRegion CurveView::operating_point_region() const
{
    if (!operating_point_)
        return {};
    const QPoint centre = position_of(operating_point_->light, operating_point_->width).toPoint();
    const int radius = int(HANDLE_RADIUS) + 3;
    const QRect plot = plot_.toAlignedRect();
    return QRegion(centre.x() - radius, centre.y() - radius, 2 * radius + 1, 2 * radius + 1)
        + QRegion(centre.x() - 1, centre.y(), 3, plot.bottom() - centre.y() + 1)
        + QRegion(plot.left(), centre.y() - 1, centre.x() - plot.left() + 1, 3);
}

QRect CurveView::newest_dot_area() const
{
    if (trail_.empty())
        return {};
    const OperatingTrail::Sample &newest = trail_.samples().back();
    const int radius = int(TRAIL_DOT_RADIUS) + 2;
    const QPoint centre = position_of(newest.light, newest.width).toPoint();
    return {centre.x() - radius, centre.y() - radius, 2 * radius + 1, 2 * radius + 1};
}

void CurveView::set_read_only(bool read_only)
{
    if (read_only == read_only_)
        return;
    read_only_ = read_only;
    dragged_handle_ = -1;
    unsetCursor();
    redraw_curve();
}

void CurveView::set_light_shares(const std::vector<double> &shares, int days)
{
    light_shares_ = shares;
    share_days_ = days;
    redraw_curve();
}

void CurveView::set_corrections(const std::vector<Correction> &corrections)
{
    corrections_ = corrections;
    redraw_curve();
}

void CurveView::set_proposal(const std::optional<Points> &proposal)
{
    proposal_ = proposal;
    redraw_curve();
}

int CurveView::labelled_handle() const
{
    if (dragged_handle_ >= 0)
        return dragged_handle_;
    if (hovered_handle_ >= 0)
        return hovered_handle_;
    return hasFocus() && !read_only_ ? current_handle_ : -1;
}

QString CurveView::point_label() const
{
    const int index = labelled_handle();
    if (index < 0)
        return {};
    const Point &point = edited_.points[index];
    return QStringLiteral("%1: %2 · %3").arg(index + 1).arg(point.light).arg(pwm_percent_text(point.width));
}

// Room around the plot for the tick labels, the two axis titles and the
// point's label on the top line, and under it for the band.
void CurveView::place_plot()
{
    const QFontMetricsF metrics(font());
    const qreal left = metrics.horizontalAdvance(QStringLiteral("100")) + AXIS_TICK + 8;
    const qreal top = metrics.height() + 10;
    const qreal right = metrics.horizontalAdvance(QStringLiteral("1000")) / 2 + 8;
    const qreal band = 2 * metrics.height();
    const qreal bottom = 2 * metrics.height() + AXIS_TICK + 8;
    plot_ = QRectF(rect()).adjusted(left, top, -right, -(bottom + band + BAND_GAP));
    band_ = QRectF(plot_.left(), plot_.bottom() + BAND_GAP, plot_.width(), band);
}

// Values beyond the axes (a reading above 1023, a width above 564) sit on
// the plot's edge.
QPointF CurveView::position_of(int light, int width) const
{
    const qreal x = std::clamp(qreal(light) / LIGHT_FULL_SCALE, 0.0, 1.0);
    const qreal y = std::clamp(qreal(width) / PWM_FULL_SCALE, 0.0, 1.0);
    return {plot_.left() + x * plot_.width(), plot_.bottom() - y * plot_.height()};
}

QSize CurveView::sizeHint() const
{
    return minimumSizeHint().expandedTo({560, 420});
}

// The plot keeps room for seven handles with their numbers one above the
// other, and for the light scale's labels side by side, at any font and scale.
QSize CurveView::minimumSizeHint() const
{
    const QFontMetricsF metrics(font());
    const qreal label = metrics.horizontalAdvance(QStringLiteral("1000"));
    const qreal line = metrics.height();
    const QSizeF margins(label * 1.5 + metrics.horizontalAdvance(QStringLiteral("100")) + AXIS_TICK + 16,
                         5 * line + AXIS_TICK + 18 + BAND_GAP);
    return (QSizeF(9 * label, 12 * line) + margins).toSize();
}

void CurveView::redraw_curve()
{
    curve_layer_ = QPixmap();
    update();
}

void CurveView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        place_plot();
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange
        || event->type() == QEvent::StyleChange || event->type() == QEvent::LanguageChange)
        redraw_curve();
    QWidget::changeEvent(event);
}

void CurveView::resizeEvent(QResizeEvent *event)
{
    place_plot();
    QWidget::resizeEvent(event);
}

// The axes and the curves change only with an edit or a resize, the live
// point and its trail with every status change: the first are kept as a
// picture, so that a status change costs a copy of the part of it that the
// point left and the dots there.
void CurveView::paintEvent(QPaintEvent *event)
{
    const qreal ratio = devicePixelRatioF();
    // The dots depend on the screen's pixel ratio alone.
    if (trail_dots_.front().isNull() || trail_dots_.front().devicePixelRatio() != ratio)
        paint_trail_dots(ratio);
    if (curve_layer_.size() != size() * ratio) {
        curve_layer_ = QPixmap(size() * ratio);
        curve_layer_.setDevicePixelRatio(ratio);
        QPainter layer(&curve_layer_);
        layer.fillRect(rect(), palette().base());
        layer.setRenderHint(QPainter::Antialiasing);
        paint_band(layer);
        paint_axes(layer);
        paint_corrections(layer);
        paint_gain_marks(layer);
        paint_curves(layer);
        paint_point_label(layer);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, curve_layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    paint_trail(painter, event->region());
    paint_operating_point(painter);
}

// The light scale runs under the band, its grid lines through band and plot.
void CurveView::paint_axes(QPainter &painter) const
{
    QList<AxisTick> light_ticks;
    for (int light = 0; light <= LIGHT_FULL_SCALE; light += LIGHT_MINOR)
        light_ticks.append({position_of(light, 0).x(), light % LIGHT_MAJOR == 0 ? QString::number(light) : QString()});
    paint_axis(painter, palette(), plot_.united(band_), Qt::BottomEdge, light_ticks);
    paint_axis(painter, palette(), plot_, Qt::LeftEdge, level_ticks(plot_));
    painter.drawLine(plot_.bottomLeft(), plot_.bottomRight());

    const QFontMetricsF metrics(font());
    const QString light_title = tr("Освещенность, отсчеты датчика");
    painter.drawText(QPointF(plot_.right() - metrics.horizontalAdvance(light_title),
                             band_.bottom() + AXIS_TICK + metrics.height() + metrics.ascent() + 4),
                     light_title);
    painter.drawText(QPointF(plot_.left() - metrics.horizontalAdvance(QStringLiteral("100")) - AXIS_TICK - 3,
                             metrics.ascent() + 2),
                     tr("Яркость, %"));
}

// One bar per bin, the busiest bin filling the band's height.
void CurveView::paint_band(QPainter &painter) const
{
    painter.fillRect(band_, palette().alternateBase());
    const QFontMetricsF metrics(font());
    const double busiest = light_shares_.empty() ? 0 : *std::max_element(light_shares_.begin(), light_shares_.end());
    if (busiest <= 0) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(band_, Qt::AlignCenter, tr("Истории освещенности пока нет"));
        return;
    }
    const qreal bin_width = band_.width() / qreal(light_shares_.size());
    for (std::size_t bin = 0; bin < light_shares_.size(); ++bin) {
        const qreal height = std::max(0.0, light_shares_[bin] / busiest) * band_.height();
        painter.fillRect(QRectF(band_.left() + bin * bin_width, band_.bottom() - height, bin_width, height),
                         palette().color(QPalette::Dark));
    }
    // The key, on the light scale's title line.
    const qreal baseline = band_.bottom() + AXIS_TICK + metrics.height() + metrics.ascent() + 4;
    const qreal swatch = metrics.ascent() * 0.8;
    painter.fillRect(QRectF(plot_.left(), baseline - swatch, swatch, swatch), palette().color(QPalette::Dark));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(plot_.left() + swatch + 4, baseline), tr("доля времени за %1 дн.").arg(share_days_));
}

void CurveView::paint_corrections(QPainter &painter) const
{
    painter.setPen(QPen(palette().color(QPalette::Base), 1));
    painter.setBrush(CORRECTION_COLOR);
    for (const Correction &correction : corrections_)
        painter.drawEllipse(position_of(correction.light, correction.width), CORRECTION_RADIUS, CORRECTION_RADIUS);
}

// Vertices at every threshold, just before and at it: a step shows as a
// vertical rise, a line as a line, whatever the points' order.
ConfigBlock CurveView::config_of(const Curve &curve)
{
    ConfigBlock config;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        config.set_auto_light(n, unsigned(curve.points[n - 1].light));
        config.set_auto_pwm(n, unsigned(curve.points[n - 1].width));
    }
    config.set_pwm_smooth_alg(curve.linear);
    return config;
}

QPolygonF CurveView::response_line(const Curve &curve) const
{
    const ConfigBlock config = config_of(curve);
    std::vector<int> thresholds{0, LIGHT_FULL_SCALE};
    for (const Point &point : curve.points)
        thresholds.push_back(std::clamp(point.light, 0, LIGHT_FULL_SCALE));
    std::sort(thresholds.begin(), thresholds.end());
    thresholds.erase(std::unique(thresholds.begin(), thresholds.end()), thresholds.end());

    const auto at = [&](int light) { return position_of(light, int(curve_width(config, unsigned(light)))); };
    QPolygonF line;
    for (std::size_t i = 0; i < thresholds.size(); ++i) {
        line << at(thresholds[i]);
        if (i + 1 < thresholds.size() && thresholds[i + 1] - 1 > thresholds[i])
            line << at(thresholds[i + 1] - 1);
    }
    return line;
}

// A wide translucent band under the edited curve's segment, as the
// controller drives it there, and its words above the segment's middle.
void CurveView::paint_gain_marks(QPainter &painter) const
{
    if (gain_marks_.empty())
        return;
    const QPolygonF line = response_line(edited_);
    const QFontMetricsF metrics(font());
    for (const SegmentGain &segment : gain_marks_) {
        QColor color = segment.strength == GainStrength::will ? WILL_GAIN_COLOR : MAY_GAIN_COLOR;
        const qreal from = position_of(int(segment.light_from), 0).x();
        const qreal to = position_of(int(segment.light_to), 0).x();
        QPolygonF band;
        for (const QPointF &vertex : line)
            if (vertex.x() >= from && vertex.x() <= to)
                band << vertex;
        color.setAlphaF(0.45f);
        painter.setPen(QPen(color, GAIN_MARK_WIDTH, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(band);

        color.setAlphaF(1);
        const QString text = gain_mark_text(segment);
        // Above the band's middle, on the side the curve leaves free: up and
        // to the left of a rising curve, up and to the right of a falling one.
        const qreal middle_x = (band.first().x() + band.last().x()) / 2;
        qreal middle_y = band.first().y();
        for (int i = 1; i < band.size(); ++i) {
            if (band[i].x() >= middle_x) {
                const qreal run = band[i].x() - band[i - 1].x();
                const qreal t = run > 0 ? (middle_x - band[i - 1].x()) / run : 1;
                middle_y = band[i - 1].y() + t * (band[i].y() - band[i - 1].y());
                break;
            }
        }
        const QSizeF size(metrics.horizontalAdvance(text), metrics.height());
        const qreal gap = GAIN_MARK_WIDTH / 2 + 2;
        const auto placed = [&](qreal side, qreal up) {
            const QPointF corner(side > 0 ? middle_x + gap : middle_x - gap - size.width(),
                                 up > 0 ? middle_y - gap - size.height() : middle_y + gap);
            return QRectF(QPointF(std::clamp(corner.x(), plot_.left(), std::max(plot_.left(), plot_.right() - size.width())),
                                  std::clamp(corner.y(), plot_.top(), std::max(plot_.top(), plot_.bottom() - size.height()))),
                          size);
        };
        // The free side first; then the other side of the band, where a
        // point's number would otherwise be written over.
        const qreal free_side = segment.rising ? -1 : 1;
        const std::array<QRectF, 2> choices{{placed(free_side, 1), placed(-free_side, -1)}};
        const auto clear = [this](const QRectF &box) {
            for (int index = 0; index < ConfigBlock::CURVE_POINTS; ++index)
                if (box.intersects(number_box(index)))
                    return false;
            return true;
        };
        const QRectF box = clear(choices[1]) && !clear(choices[0]) ? choices[1] : choices[0];
        painter.setPen(color.darker(130));
        painter.drawText(box, Qt::AlignCenter, text);
    }
}

// The applied curve solid; the edited one, while it differs, dashed in the
// handles' colour; the proposal a wide, pale line in its own colour under
// them, with small squares.
void CurveView::paint_curves(QPainter &painter) const
{
    const QPalette::ColorGroup group = read_only_ ? QPalette::Disabled : QPalette::Active;
    const QColor handle_color = read_only_ ? palette().color(group, QPalette::Text)
                                           : palette().color(group, QPalette::Highlight);
    painter.setBrush(Qt::NoBrush);
    if (proposal_) {
        QColor pale = PROPOSAL_COLOR;
        pale.setAlphaF(0.45f);
        painter.setPen(QPen(pale, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(response_line({*proposal_, edited_.linear}));
        painter.setPen(QPen(palette().color(QPalette::Base), 1));
        painter.setBrush(PROPOSAL_COLOR);
        const qreal side = HANDLE_RADIUS + 1;
        for (const Point &point : *proposal_)
            painter.drawRect(QRectF(position_of(point.light, point.width) - QPointF(side / 2, side / 2), QSizeF(side, side)));
        painter.setBrush(Qt::NoBrush);
    }
    if (edited_ == applied_) {
        painter.setPen(QPen(handle_color, 2));
        painter.drawPolyline(response_line(applied_));
    } else {
        painter.setPen(QPen(palette().color(QPalette::Text), 2));
        painter.drawPolyline(response_line(applied_));
        painter.setPen(QPen(handle_color, 2, Qt::DashLine));
        painter.drawPolyline(response_line(edited_));
    }
    paint_handles(painter, handle_color);
}

// The handles carry their numbers, as the form's columns do.
void CurveView::paint_handles(QPainter &painter, const QColor &color) const
{
    const QPalette::ColorGroup group = read_only_ ? QPalette::Disabled : QPalette::Active;
    for (int index = 0; index < int(edited_.points.size()); ++index) {
        const QPointF centre = position_of(edited_.points[index].light, edited_.points[index].width);
        painter.setPen(QPen(palette().color(QPalette::Base), 1.5));
        painter.setBrush(color);
        painter.drawEllipse(centre, HANDLE_RADIUS, HANDLE_RADIUS);
        if (index == labelled_handle() && !read_only_) {
            painter.setPen(QPen(color, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, HANDLE_RADIUS + 4, HANDLE_RADIUS + 4);
        }
        painter.setPen(palette().color(group, QPalette::Text));
        painter.drawText(number_box(index), Qt::AlignCenter, QString::number(index + 1));
    }
}

// Beside the handle, in the first corner that covers no handle and stays
// under the view's top line; up and to the right when every corner is taken.
QRectF CurveView::number_box(int index) const
{
    const QFontMetricsF metrics(font());
    const QSizeF size(metrics.horizontalAdvance(QString::number(index + 1)) + 2, metrics.height());
    const QPointF centre = position_of(edited_.points[index].light, edited_.points[index].width);
    const qreal reach = HANDLE_RADIUS + 1;
    const QRectF below_top_line = QRectF(rect()).adjusted(0, metrics.height() + 4, 0, 0); // the point's label there
    const std::array<QPointF, 4> corners{{{reach, -reach - size.height()},
                                          {-reach - size.width(), -reach - size.height()},
                                          {reach, reach},
                                          {-reach - size.width(), reach}}};
    for (const QPointF &corner : corners) {
        const QRectF box(centre + corner, size);
        const bool covers_a_handle = std::any_of(edited_.points.begin(), edited_.points.end(), [&](const Point &point) {
            const QPointF other = position_of(point.light, point.width);
            return box.intersects(QRectF(other - QPointF(reach, reach), QSizeF(2 * reach, 2 * reach)));
        });
        if (!covers_a_handle && below_top_line.contains(box))
            return box;
    }
    return QRectF(centre + corners[0], size);
}

void CurveView::paint_point_label(QPainter &painter) const
{
    const QString label = point_label();
    if (label.isEmpty())
        return;
    const QFontMetricsF metrics(font());
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(plot_.right() - metrics.horizontalAdvance(label), metrics.ascent() + 2), label);
}

// Dots, not lines: an antialiased wide line costs some fifty times as much,
// and the spacing of the dots shows how fast the point moved. Each dot is a
// copy of one of a few small pictures, one for each step of fading.
void CurveView::paint_trail(QPainter &painter, const QRegion &dirty) const
{
    const QPointF corner(TRAIL_DOT_RADIUS + 1, TRAIL_DOT_RADIUS + 1);
    const int last_step = int(trail_dots_.size()) - 1;
    for (const OperatingTrail::Sample &sample : trail_.samples()) {
        const QPoint at = (position_of(sample.light, sample.width) - corner).toPoint();
        if (!dirty.intersects(QRect(at, trail_dots_[0].deviceIndependentSize().toSize())))
            continue;
        const int step = qRound(trail_.freshness(sample) * last_step);
        painter.drawPixmap(at, trail_dots_[step]);
    }
}

void CurveView::paint_trail_dots(qreal ratio)
{
    const int side = int(2 * (TRAIL_DOT_RADIUS + 1));
    for (std::size_t step = 0; step < trail_dots_.size(); ++step) {
        QPixmap &dot = trail_dots_[step];
        dot = QPixmap(QSize(side, side) * ratio);
        dot.setDevicePixelRatio(ratio);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        QColor color = OPERATING_COLOR;
        color.setAlphaF(float(0.9 * step / (trail_dots_.size() - 1)));
        painter.setBrush(color);
        painter.drawEllipse(QPointF(side / 2.0, side / 2.0), TRAIL_DOT_RADIUS, TRAIL_DOT_RADIUS);
    }
}

// A filled disc in its own colour, with dotted guides down to both axes.
void CurveView::paint_operating_point(QPainter &painter) const
{
    if (!operating_point_)
        return;
    const QPointF centre = position_of(operating_point_->light, operating_point_->width);
    painter.setPen(QPen(OPERATING_COLOR, 1, Qt::DotLine));
    painter.drawLine(centre, QPointF(centre.x(), plot_.bottom()));
    painter.drawLine(centre, QPointF(plot_.left(), centre.y()));
    painter.setPen(QPen(palette().color(QPalette::Text), 1.5));
    painter.setBrush(OPERATING_COLOR);
    painter.drawEllipse(centre, HANDLE_RADIUS + 1, HANDLE_RADIUS + 1);
}

int CurveView::handle_at(const QPointF &position) const
{
    int nearest = -1;
    qreal nearest_distance = HIT_RADIUS;
    for (int index = 0; index < int(edited_.points.size()); ++index) {
        const QPointF offset = position_of(edited_.points[index].light, edited_.points[index].width) - position;
        const qreal distance = std::hypot(offset.x(), offset.y());
        if (distance <= nearest_distance) {
            nearest = index;
            nearest_distance = distance;
        }
    }
    return nearest;
}

void CurveView::move_handle(int index, int light, int width)
{
    const Point point{std::clamp(light, 0, LIGHT_FULL_SCALE), std::clamp(width, 0, PWM_FULL_SCALE)};
    if (point == edited_.points[index])
        return;
    edited_.points[index] = point;
    update_gain_marks();
    redraw_curve();
    emit point_edited(index + 1, point.light, point.width);
}

void CurveView::mousePressEvent(QMouseEvent *event)
{
    const int index = event->button() == Qt::LeftButton && !read_only_ ? handle_at(event->position()) : -1;
    if (index < 0) {
        QWidget::mousePressEvent(event);
        return;
    }
    dragged_handle_ = current_handle_ = index;
    drag_offset_ = position_of(edited_.points[index].light, edited_.points[index].width) - event->position();
    redraw_curve();
}

// The handle keeps its place under the mouse, wherever on it the press was.
// Without a button held, the point under the mouse gets the label.
void CurveView::mouseMoveEvent(QMouseEvent *event)
{
    if (dragged_handle_ < 0) {
        const int hovered = handle_at(event->position());
        if (hovered != hovered_handle_) {
            hovered_handle_ = hovered;
            if (hovered >= 0 && !read_only_)
                setCursor(Qt::OpenHandCursor);
            else
                unsetCursor();
            redraw_curve();
        }
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF centre = event->position() + drag_offset_;
    move_handle(dragged_handle_, qRound((centre.x() - plot_.left()) / plot_.width() * LIGHT_FULL_SCALE),
                qRound((plot_.bottom() - centre.y()) / plot_.height() * PWM_FULL_SCALE));
}

void CurveView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && dragged_handle_ >= 0) {
        dragged_handle_ = -1;
        redraw_curve();
    }
    QWidget::mouseReleaseEvent(event);
}

void CurveView::leaveEvent(QEvent *event)
{
    if (hovered_handle_ >= 0) {
        hovered_handle_ = -1;
        unsetCursor();
        redraw_curve();
    }
    QWidget::leaveEvent(event);
}

void CurveView::keyPressEvent(QKeyEvent *event)
{
    if (read_only_ || current_handle_ < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const bool coarse = event->modifiers() & Qt::ShiftModifier;
    const int light_step = coarse ? 10 : 1;
    const int level_step = coarse ? LEVEL_PAGE : LEVEL_STEP;
    const Point point = edited_.points[current_handle_];
    switch (event->key()) {
    case Qt::Key_Left: move_handle(current_handle_, point.light - light_step, point.width); break;
    case Qt::Key_Right: move_handle(current_handle_, point.light + light_step, point.width); break;
    case Qt::Key_Up: move_handle(current_handle_, point.light, point.width + level_step); break;
    case Qt::Key_Down: move_handle(current_handle_, point.light, point.width - level_step); break;
    case Qt::Key_PageUp: move_handle(current_handle_, point.light, point.width + LEVEL_PAGE); break;
    case Qt::Key_PageDown: move_handle(current_handle_, point.light, point.width - LEVEL_PAGE); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void CurveView::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason)
        current_handle_ = 0;
    else if (event->reason() == Qt::BacktabFocusReason)
        current_handle_ = int(edited_.points.size()) - 1;
    else if (current_handle_ < 0)
        current_handle_ = 0;
    redraw_curve();
    QWidget::focusInEvent(event);
}

void CurveView::focusOutEvent(QFocusEvent *event)
{
    redraw_curve();
    QWidget::focusOutEvent(event);
}

// Tab walks through the seven handles before it leaves the view.
bool CurveView::focusNextPrevChild(bool next)
{
    const int following = current_handle_ + (next ? 1 : -1);
    if (hasFocus() && !read_only_ && following >= 0 && following < int(edited_.points.size())) {
        current_handle_ = following;
        redraw_curve();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void CurveView::showEvent(QShowEvent *event)
{
    seen_ = true;
    update_fade_timer();
    QWidget::showEvent(event);
}

void CurveView::hideEvent(QHideEvent *event)
{
    seen_ = false;
    update_fade_timer();
    QWidget::hideEvent(event);
}

// The trail fades while nothing else changes: a slow repaint while there is
// a trail to fade and the view is seen, none otherwise.
void CurveView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != fade_timer_.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    trail_.drop_expired();
    update();
    update_fade_timer();
}

void CurveView::update_fade_timer()
{
    if (seen_ && !trail_.empty()) {
        if (!fade_timer_.isActive())
            fade_timer_.start(FADE_TICK_MS, Qt::CoarseTimer, this);
    } else {
        fade_timer_.stop();
    }
}
