#pragma once

#include <QList>
#include <QRectF>
#include <QString>

class QPainter;
class QPalette;

// The curve view and the time view draw their scales alike, so that the same
// value sits at the same kind of mark in both.
struct AxisTick
{
    qreal at;      // coordinate along the axis, in widget coordinates
    QString label; // empty: a minor tick, without a grid line
};

// Ticks, labels and dotted grid lines across the plot at the labelled ticks,
// along the plot's left, right or bottom edge, and the edge's line itself.
void paint_axis(QPainter &painter, const QPalette &palette, const QRectF &plot, Qt::Edge edge,
                const QList<AxisTick> &ticks);

// The brightness scale, 0..100 % on the plot's height: the y axis of both views.
QList<AxisTick> level_ticks(const QRectF &plot);

constexpr qreal AXIS_TICK = 4; // length of a labelled tick
