#include "plot_axes.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPalette>

namespace {

constexpr int PERCENT_MINOR = 10, PERCENT_MAJOR = 20;

} // namespace

void paint_axis(QPainter &painter, const QPalette &palette, const QRectF &plot, Qt::Edge edge,
                const QList<AxisTick> &ticks)
{
    const QFontMetricsF metrics(painter.font());
    const QPen axis_pen(palette.color(QPalette::Text), 1);
    const QPen grid_pen(palette.color(QPalette::Mid), 0, Qt::DotLine);
    const bool vertical = edge != Qt::BottomEdge;
    const qreal outward = edge == Qt::LeftEdge ? -1 : 1;
    const qreal base = edge == Qt::LeftEdge ? plot.left() : edge == Qt::RightEdge ? plot.right() : plot.bottom();

    for (const AxisTick &tick : ticks) {
        const bool major = !tick.label.isEmpty();
        const qreal length = major ? AXIS_TICK : AXIS_TICK / 2;
        const QPointF on_axis = vertical ? QPointF(base, tick.at) : QPointF(tick.at, base);
        const QPointF off_axis = vertical ? QPointF(base + outward * length, tick.at) : QPointF(tick.at, base + length);
        painter.setPen(axis_pen);
        painter.drawLine(on_axis, off_axis);
        if (!major)
            continue;
        const qreal text_width = metrics.horizontalAdvance(tick.label);
        if (vertical) {
            const qreal x = edge == Qt::LeftEdge ? base - AXIS_TICK - 3 - text_width : base + AXIS_TICK + 3;
            painter.drawText(QPointF(x, tick.at + metrics.ascent() / 2 - 1), tick.label);
        } else {
            painter.drawText(QPointF(tick.at - text_width / 2, base + AXIS_TICK + metrics.ascent() + 2), tick.label);
        }
        // No grid line over the plot's own frame.
        const bool on_frame = vertical ? qAbs(tick.at - plot.bottom()) < 1 || qAbs(tick.at - plot.top()) < 1
                                       : qAbs(tick.at - plot.left()) < 1 || qAbs(tick.at - plot.right()) < 1;
        if (on_frame)
            continue;
        painter.setPen(grid_pen);
        if (vertical)
            painter.drawLine(QPointF(plot.left(), tick.at), QPointF(plot.right(), tick.at));
        else
            painter.drawLine(QPointF(tick.at, plot.top()), QPointF(tick.at, plot.bottom()));
    }
    painter.setPen(axis_pen);
    if (vertical)
        painter.drawLine(QPointF(base, plot.top()), QPointF(base, plot.bottom()));
    else
        painter.drawLine(plot.bottomLeft(), plot.bottomRight());
}

QList<AxisTick> level_ticks(const QRectF &plot)
{
    QList<AxisTick> ticks;
    for (int percent = 0; percent <= 100; percent += PERCENT_MINOR)
        ticks.append({plot.bottom() - percent / 100.0 * plot.height(),
                      percent % PERCENT_MAJOR == 0 ? QString::number(percent) : QString()});
    return ticks;
}
