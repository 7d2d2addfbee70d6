#include "curve_view.h"

#include "protocol/commands.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace {

constexpr qreal HANDLE_RADIUS = 6;
constexpr qreal TRAIL_DOT_RADIUS = 3;
constexpr qreal HIT_RADIUS = 10; // a press this close to a handle takes it
constexpr qreal TICK = 4;
constexpr int LIGHT_MINOR = 100, LIGHT_MAJOR = 200;
constexpr int PERCENT_MINOR = 10, PERCENT_MAJOR = 20;
const QColor OPERATING_COLOR(226, 108, 20); // apart from any palette's highlight

} // namespace

CurveView::CurveView(QWidget *parent, OperatingTrail::Clock clock)
    : QWidget(parent), trail_(OperatingTrail::DEFAULT_WINDOW_MS, std::move(clock))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setBackgroundRole(QPalette::Base);
}

void CurveView::set_points(const Points &points)
{
    if (points == points_)
        return;
    points_ = points;
    redraw_curve();
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
    redraw_curve();
}

// Room around the plot for the tick labels and the two axis titles.
void CurveView::place_plot()
{
    const QFontMetricsF metrics(font());
    const qreal left = metrics.horizontalAdvance(QStringLiteral("100")) + TICK + 8;
    const qreal top = metrics.height() + 10;
    const qreal right = metrics.horizontalAdvance(QStringLiteral("1000")) / 2 + 8;
    const qreal bottom = 2 * metrics.height() + TICK + 8;
    plot_ = QRectF(rect()).adjusted(left, top, -right, -bottom);
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
    return {560, 380};
}

QSize CurveView::minimumSizeHint() const
{
    return {300, 200};
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

// The axes and the curve change only with an edit or a resize, the live
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
        paint_axes(layer);
        paint_curve(layer);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, curve_layer_);
    painter.setRenderHint(QPainter::Antialiasing);
    paint_trail(painter, event->region());
    paint_operating_point(painter);
}

void CurveView::paint_axes(QPainter &painter) const
{
    const QFontMetricsF metrics(font());
    const QColor grid = palette().color(QPalette::Mid);
    const QPen axis_pen(palette().color(QPalette::Text), 1);
    painter.setPen(axis_pen);

    for (int light = 0; light <= LIGHT_FULL_SCALE; light += LIGHT_MINOR) {
        const qreal x = position_of(light, 0).x();
        const bool major = light % LIGHT_MAJOR == 0;
        if (major && light > 0) {
            painter.setPen(QPen(grid, 0, Qt::DotLine));
            painter.drawLine(QPointF(x, plot_.top()), QPointF(x, plot_.bottom()));
            painter.setPen(axis_pen);
        }
        painter.drawLine(QPointF(x, plot_.bottom()), QPointF(x, plot_.bottom() + (major ? TICK : TICK / 2)));
        if (major) {
            const QString text = QString::number(light);
            const qreal half = metrics.horizontalAdvance(text) / 2;
            painter.drawText(QPointF(x - half, plot_.bottom() + TICK + metrics.ascent() + 2), text);
        }
    }
    for (int percent = 0; percent <= 100; percent += PERCENT_MINOR) {
        const qreal y = position_of(0, percent * PWM_FULL_SCALE / 100).y();
        const bool major = percent % PERCENT_MAJOR == 0;
        if (major && percent > 0) {
            painter.setPen(QPen(grid, 0, Qt::DotLine));
            painter.drawLine(QPointF(plot_.left(), y), QPointF(plot_.right(), y));
            painter.setPen(axis_pen);
        }
        painter.drawLine(QPointF(plot_.left() - (major ? TICK : TICK / 2), y), QPointF(plot_.left(), y));
        if (major) {
            const QString text = QString::number(percent);
            painter.drawText(QPointF(plot_.left() - TICK - 3 - metrics.horizontalAdvance(text),
                                     y + metrics.ascent() / 2 - 1),
                             text);
        }
    }
    painter.drawLine(plot_.bottomLeft(), plot_.bottomRight());
    painter.drawLine(plot_.bottomLeft(), plot_.topLeft());

    const QString light_title = tr("Освещенность, отсчеты датчика");
    painter.drawText(QPointF(plot_.right() - metrics.horizontalAdvance(light_title),
                             plot_.bottom() + TICK + metrics.height() + metrics.ascent() + 4),
                     light_title);
    painter.drawText(QPointF(plot_.left() - metrics.horizontalAdvance(QStringLiteral("100")) - TICK - 3,
                             metrics.ascent() + 2),
                     tr("Яркость, %"));
}

// The line joins the points in light order, whatever their numbers; the
// handles carry their numbers, as the form's columns do.
void CurveView::paint_curve(QPainter &painter) const
{
    std::array<int, ConfigBlock::CURVE_POINTS> by_light{};
    std::iota(by_light.begin(), by_light.end(), 0);
    std::stable_sort(by_light.begin(), by_light.end(),
                     [this](int a, int b) { return points_[a].light < points_[b].light; });
    QPolygonF line;
    for (int index : by_light)
        line << position_of(points_[index].light, points_[index].width);

    const QPalette::ColorGroup group = read_only_ ? QPalette::Disabled : QPalette::Active;
    const QColor handle_color = read_only_ ? palette().color(group, QPalette::Text)
                                           : palette().color(group, QPalette::Highlight);
    painter.setPen(QPen(handle_color, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolyline(line);

    const QFontMetricsF metrics(font());
    for (int index = 0; index < int(points_.size()); ++index) {
        const QPointF centre = position_of(points_[index].light, points_[index].width);
        painter.setPen(QPen(palette().color(QPalette::Base), 1.5));
        painter.setBrush(handle_color);
        painter.drawEllipse(centre, HANDLE_RADIUS, HANDLE_RADIUS);
        if (index == current_handle_ && hasFocus() && !read_only_) {
            painter.setPen(QPen(handle_color, 1.5));
            painter.setBrush(Qt::NoBrush);
            painter.drawEllipse(centre, HANDLE_RADIUS + 4, HANDLE_RADIUS + 4);
        }
        painter.setPen(palette().color(group, QPalette::Text));
        painter.drawText(centre + QPointF(HANDLE_RADIUS + 2, -HANDLE_RADIUS - 2), QString::number(index + 1));
    }
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
    for (int index = 0; index < int(points_.size()); ++index) {
        const QPointF offset = position_of(points_[index].light, points_[index].width) - position;
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
    if (point == points_[index])
        return;
    points_[index] = point;
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
    drag_offset_ = position_of(points_[index].light, points_[index].width) - event->position();
    redraw_curve();
}

// The handle keeps its place under the mouse, wherever on it the press was.
void CurveView::mouseMoveEvent(QMouseEvent *event)
{
    if (dragged_handle_ < 0) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF centre = event->position() + drag_offset_;
    move_handle(dragged_handle_, qRound((centre.x() - plot_.left()) / plot_.width() * LIGHT_FULL_SCALE),
                qRound((plot_.bottom() - centre.y()) / plot_.height() * PWM_FULL_SCALE));
}

void CurveView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragged_handle_ = -1;
    QWidget::mouseReleaseEvent(event);
}

void CurveView::keyPressEvent(QKeyEvent *event)
{
    if (read_only_ || current_handle_ < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    const Point point = points_[current_handle_];
    switch (event->key()) {
    case Qt::Key_Left: move_handle(current_handle_, point.light - step, point.width); break;
    case Qt::Key_Right: move_handle(current_handle_, point.light + step, point.width); break;
    case Qt::Key_Up: move_handle(current_handle_, point.light, point.width + step); break;
    case Qt::Key_Down: move_handle(current_handle_, point.light, point.width - step); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void CurveView::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason)
        current_handle_ = 0;
    else if (event->reason() == Qt::BacktabFocusReason)
        current_handle_ = int(points_.size()) - 1;
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
    if (hasFocus() && !read_only_ && following >= 0 && following < int(points_.size())) {
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
