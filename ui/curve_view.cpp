#include "curve_view.h"

#include "protocol/commands.h"

#include <QFocusEvent>
#include <QResizeEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <utility>

namespace {

constexpr qreal HANDLE_RADIUS = 6;
constexpr qreal TRAIL_DOT_RADIUS = 2.5;
constexpr qreal HIT_RADIUS = 10; // a press this close to a handle takes it
constexpr qreal TICK = 4;
constexpr int LIGHT_MINOR = 100, LIGHT_MAJOR = 200;
constexpr int PERCENT_MINOR = 10, PERCENT_MAJOR = 20;
const QColor OPERATING_COLOR(226, 108, 20); // apart from any palette's highlight

} // namespace

CurveView::CurveView(QWidget *parent, OperatingTrail::Clock clock)
    : QWidget(parent), trail(OperatingTrail::DEFAULT_WINDOW_MS, std::move(clock))
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

void CurveView::set_operating_point(int light, int width)
{
    trail.append(light, width);
    const Point point{light, width};
    if (operating_point != point) {
        operating_point = point;
        update();
    }
    update_fade_timer();
}

void CurveView::clear_operating_point()
{
    if (!operating_point)
        return;
    operating_point.reset();
    update();
}

void CurveView::set_read_only(bool read_only)
{
    if (read_only == read_only_)
        return;
    read_only_ = read_only;
    dragged_handle = -1;
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
    plot = QRectF(rect()).adjusted(left, top, -right, -bottom);
}

// Values beyond the axes (a reading above 1023, a width above 564) sit on
// the plot's edge.
QPointF CurveView::position_of(int light, int width) const
{
    const qreal x = std::clamp(qreal(light) / LIGHT_FULL_SCALE, 0.0, 1.0);
    const qreal y = std::clamp(qreal(width) / PWM_FULL_SCALE, 0.0, 1.0);
    return {plot.left() + x * plot.width(), plot.bottom() - y * plot.height()};
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
    curve_layer = QPixmap();
    update();
}

void CurveView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        place_plot();
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange
        || event->type() == QEvent::StyleChange)
        curve_layer = QPixmap();
    QWidget::changeEvent(event);
}

void CurveView::resizeEvent(QResizeEvent *event)
{
    place_plot();
    QWidget::resizeEvent(event);
}

// The axes and the curve change only with an edit or a resize, the live
// point and its trail with every status change: the first are kept as a
// picture, so that a status change costs a copy of it and a few hundred dots.
void CurveView::paintEvent(QPaintEvent *)
{
    const qreal ratio = devicePixelRatioF();
    if (curve_layer.size() != size() * ratio) {
        paint_trail_dots(ratio);
        curve_layer = QPixmap(size() * ratio);
        curve_layer.setDevicePixelRatio(ratio);
        QPainter layer(&curve_layer);
        layer.fillRect(rect(), palette().base());
        layer.setRenderHint(QPainter::Antialiasing);
        paint_axes(layer);
        paint_curve(layer);
    }
    QPainter painter(this);
    painter.drawPixmap(0, 0, curve_layer);
    painter.setRenderHint(QPainter::Antialiasing);
    paint_trail(painter);
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
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
            painter.setPen(axis_pen);
        }
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + (major ? TICK : TICK / 2)));
        if (major) {
            const QString text = QString::number(light);
            const qreal half = metrics.horizontalAdvance(text) / 2;
            painter.drawText(QPointF(x - half, plot.bottom() + TICK + metrics.ascent() + 2), text);
        }
    }
    for (int percent = 0; percent <= 100; percent += PERCENT_MINOR) {
        const qreal y = position_of(0, percent * PWM_FULL_SCALE / 100).y();
        const bool major = percent % PERCENT_MAJOR == 0;
        if (major && percent > 0) {
            painter.setPen(QPen(grid, 0, Qt::DotLine));
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            painter.setPen(axis_pen);
        }
        painter.drawLine(QPointF(plot.left() - (major ? TICK : TICK / 2), y), QPointF(plot.left(), y));
        if (major) {
            const QString text = QString::number(percent);
            painter.drawText(QPointF(plot.left() - TICK - 3 - metrics.horizontalAdvance(text),
                                     y + metrics.ascent() / 2 - 1),
                             text);
        }
    }
    painter.drawLine(plot.bottomLeft(), plot.bottomRight());
    painter.drawLine(plot.bottomLeft(), plot.topLeft());

    const QString light_title = tr("Освещенность, отсчеты датчика");
    painter.drawText(QPointF(plot.right() - metrics.horizontalAdvance(light_title),
                             plot.bottom() + TICK + metrics.height() + metrics.ascent() + 4),
                     light_title);
    painter.drawText(QPointF(plot.left() - metrics.horizontalAdvance(QStringLiteral("100")) - TICK - 3,
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
        if (index == current_handle && hasFocus() && !read_only_) {
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
void CurveView::paint_trail(QPainter &painter) const
{
    const QPointF corner(TRAIL_DOT_RADIUS + 1, TRAIL_DOT_RADIUS + 1);
    const int last_step = int(trail_dots.size()) - 1;
    for (const OperatingTrail::Sample &sample : trail.samples()) {
        const int step = qRound(trail.freshness(sample) * last_step);
        painter.drawPixmap((position_of(sample.light, sample.width) - corner).toPoint(), trail_dots[step]);
    }
}

void CurveView::paint_trail_dots(qreal ratio)
{
    const int side = int(2 * (TRAIL_DOT_RADIUS + 1));
    for (std::size_t step = 0; step < trail_dots.size(); ++step) {
        QPixmap &dot = trail_dots[step];
        dot = QPixmap(QSize(side, side) * ratio);
        dot.setDevicePixelRatio(ratio);
        dot.fill(Qt::transparent);
        QPainter painter(&dot);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        QColor color = OPERATING_COLOR;
        color.setAlphaF(float(0.9 * step / (trail_dots.size() - 1)));
        painter.setBrush(color);
        painter.drawEllipse(QPointF(side / 2.0, side / 2.0), TRAIL_DOT_RADIUS, TRAIL_DOT_RADIUS);
    }
}

// A filled disc in its own colour, with dotted guides down to both axes.
void CurveView::paint_operating_point(QPainter &painter) const
{
    if (!operating_point)
        return;
    const QPointF centre = position_of(operating_point->light, operating_point->width);
    painter.setPen(QPen(OPERATING_COLOR, 1, Qt::DotLine));
    painter.drawLine(centre, QPointF(centre.x(), plot.bottom()));
    painter.drawLine(centre, QPointF(plot.left(), centre.y()));
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
    dragged_handle = current_handle = index;
    drag_offset = position_of(points_[index].light, points_[index].width) - event->position();
    redraw_curve();
}

// The handle keeps its place under the mouse, wherever on it the press was.
void CurveView::mouseMoveEvent(QMouseEvent *event)
{
    if (dragged_handle < 0) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF centre = event->position() + drag_offset;
    move_handle(dragged_handle, qRound((centre.x() - plot.left()) / plot.width() * LIGHT_FULL_SCALE),
                qRound((plot.bottom() - centre.y()) / plot.height() * PWM_FULL_SCALE));
}

void CurveView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        dragged_handle = -1;
    QWidget::mouseReleaseEvent(event);
}

void CurveView::keyPressEvent(QKeyEvent *event)
{
    if (read_only_ || current_handle < 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    const int step = event->modifiers() & Qt::ShiftModifier ? 10 : 1;
    const Point point = points_[current_handle];
    switch (event->key()) {
    case Qt::Key_Left: move_handle(current_handle, point.light - step, point.width); break;
    case Qt::Key_Right: move_handle(current_handle, point.light + step, point.width); break;
    case Qt::Key_Up: move_handle(current_handle, point.light, point.width + step); break;
    case Qt::Key_Down: move_handle(current_handle, point.light, point.width - step); break;
    default: QWidget::keyPressEvent(event); return;
    }
}

void CurveView::focusInEvent(QFocusEvent *event)
{
    if (event->reason() == Qt::TabFocusReason)
        current_handle = 0;
    else if (event->reason() == Qt::BacktabFocusReason)
        current_handle = int(points_.size()) - 1;
    else if (current_handle < 0)
        current_handle = 0;
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
    const int following = current_handle + (next ? 1 : -1);
    if (hasFocus() && !read_only_ && following >= 0 && following < int(points_.size())) {
        current_handle = following;
        redraw_curve();
        return true;
    }
    return QWidget::focusNextPrevChild(next);
}

void CurveView::showEvent(QShowEvent *event)
{
    seen = true;
    update_fade_timer();
    QWidget::showEvent(event);
}

void CurveView::hideEvent(QHideEvent *event)
{
    seen = false;
    update_fade_timer();
    QWidget::hideEvent(event);
}

// The trail fades while nothing else changes: a slow repaint while there is
// a trail to fade and the view is seen, none otherwise.
void CurveView::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != fade_timer.timerId()) {
        QWidget::timerEvent(event);
        return;
    }
    trail.drop_expired();
    update();
    update_fade_timer();
}

void CurveView::update_fade_timer()
{
    if (seen && !trail.empty()) {
        if (!fade_timer.isActive())
            fade_timer.start(FADE_TICK_MS, Qt::CoarseTimer, this);
    } else {
        fade_timer.stop();
    }
}
