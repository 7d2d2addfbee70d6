#include "light_time_view.h"

#include "plot_axes.h"
#include "protocol/commands.h"

#include <QDateTime>
#include <QPainter>
#include <QRegularExpression>

#include <algorithm>
#include <utility>

namespace {

constexpr qint64 HOUR_MS = 60 * 60 * 1000;
constexpr int LIGHT_MINOR = 100, LIGHT_MAJOR = 200;

} // namespace

LightTimeView::LightTimeView(QWidget *parent, Clock clock) : QWidget(parent), clock_(std::move(clock))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

qint64 LightTimeView::current_ms()
{
    return QDateTime::currentMSecsSinceEpoch();
}

void LightTimeView::set_samples(const std::vector<Sample> &samples)
{
    samples_ = samples;
    update();
}

void LightTimeView::set_span(Span span)
{
    if (span == span_)
        return;
    span_ = span;
    update();
}

qint64 LightTimeView::span_ms() const
{
    return (span_ == Span::day ? 24 : 7 * 24) * HOUR_MS;
}

// The same room as the curve view's at the left and bottom; the light's
// labels on the right.
QRectF LightTimeView::plot_area() const
{
    const QFontMetricsF metrics(font());
    const qreal left = metrics.horizontalAdvance(QStringLiteral("100")) + AXIS_TICK + 8;
    const qreal right = metrics.horizontalAdvance(QStringLiteral("1000")) + AXIS_TICK + 8;
    return QRectF(rect()).adjusted(left, metrics.height() + 10, -right, -(2 * metrics.height() + AXIS_TICK + 8));
}

QSize LightTimeView::sizeHint() const
{
    return minimumSizeHint().expandedTo({560, 380});
}

QSize LightTimeView::minimumSizeHint() const
{
    const QFontMetricsF metrics(font());
    return QSizeF(14 * metrics.horizontalAdvance(QStringLiteral("00:00")), 15 * metrics.height()).toSize();
}

void LightTimeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF plot = plot_area();
    const qint64 end_ms = clock_();
    const qint64 start_ms = end_ms - span_ms();

    paint_axis(painter, palette(), plot, Qt::LeftEdge, level_ticks(plot));
    QList<AxisTick> light_ticks;
    for (int light = 0; light <= LIGHT_FULL_SCALE; light += LIGHT_MINOR)
        light_ticks.append({plot.bottom() - qreal(light) / LIGHT_FULL_SCALE * plot.height(),
                            light % LIGHT_MAJOR == 0 ? QString::number(light) : QString()});
    paint_axis(painter, palette(), plot, Qt::RightEdge, light_ticks);
    paint_time_axis(painter, plot, start_ms, end_ms);

    // Each scale's title in its line's colour.
    const QFontMetricsF metrics(font());
    painter.setPen(palette().color(QPalette::Highlight));
    painter.drawText(QPointF(plot.left() - metrics.horizontalAdvance(QStringLiteral("100")) - AXIS_TICK - 3,
                             metrics.ascent() + 2),
                     tr("Яркость, %"));
    const QString light_title = tr("Освещенность");
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(QPointF(width() - metrics.horizontalAdvance(light_title) - 4, metrics.ascent() + 2), light_title);

    const bool any = std::any_of(samples_.begin(), samples_.end(),
                                 [&](const Sample &sample) { return sample.at_ms >= start_ms && sample.at_ms <= end_ms; });
    if (!any) {
        painter.setPen(palette().color(QPalette::PlaceholderText));
        painter.drawText(plot, Qt::AlignCenter, tr("За это время истории нет"));
        return;
    }
    paint_lines(painter, plot, start_ms, end_ms);
}

// Local time: a tick each hour, labelled every three, over a day; a tick
// every six hours, labelled at midnight with the date, over a week.
void LightTimeView::paint_time_axis(QPainter &painter, const QRectF &plot, qint64 start_ms, qint64 end_ms) const
{
    const bool day = span_ == Span::day;
    const int tick_hours = day ? 1 : 6;
    QDateTime tick = QDateTime::fromMSecsSinceEpoch(start_ms);
    tick.setTime(QTime(tick.time().hour() / tick_hours * tick_hours, 0));
    QList<AxisTick> ticks;
    for (; tick.toMSecsSinceEpoch() <= end_ms; tick = tick.addSecs(tick_hours * 3600)) {
        const qint64 at_ms = tick.toMSecsSinceEpoch();
        if (at_ms < start_ms)
            continue;
        const int hour = tick.time().hour();
        QString label;
        if (day && hour % 3 == 0)
            label = tick.toString(QStringLiteral("HH:mm"));
        else if (!day && hour == 0)
            label = day_label(tick.date(), locale());
        ticks.append({plot.left() + qreal(at_ms - start_ms) / (end_ms - start_ms) * plot.width(), label});
    }
    paint_axis(painter, palette(), plot, Qt::BottomEdge, ticks);
}

// The year and the separator that joins it to the day and month go: before
// it, or after it where it leads ("yyyy-MM-dd").
QString LightTimeView::day_label(const QDate &date, const QLocale &locale)
{
    static const QRegularExpression year(QStringLiteral("^y+[^dM]*|[^dM]*y+"));
    return locale.toString(date, locale.dateFormat(QLocale::ShortFormat).remove(year));
}

void LightTimeView::paint_lines(QPainter &painter, const QRectF &plot, qint64 start_ms, qint64 end_ms) const
{
    const auto x_of = [&](qint64 at_ms) { return plot.left() + qreal(at_ms - start_ms) / (end_ms - start_ms) * plot.width(); };
    const auto y_of = [&](int value, int full_scale) {
        return plot.bottom() - std::clamp(qreal(value) / full_scale, 0.0, 1.0) * plot.height();
    };
    QPolygonF light, level;
    const Sample *previous = nullptr;
    const auto flush = [&] {
        painter.setPen(QPen(palette().color(QPalette::Text), 1));
        painter.drawPolyline(light);
        painter.setPen(QPen(palette().color(QPalette::Highlight), 2));
        painter.drawPolyline(level);
        light.clear();
        level.clear();
    };
    for (const Sample &sample : samples_) {
        if (sample.at_ms < start_ms || sample.at_ms > end_ms)
            continue;
        if (previous && sample.at_ms - previous->at_ms > GAP_MS)
            flush();
        light << QPointF(x_of(sample.at_ms), y_of(sample.light, LIGHT_FULL_SCALE));
        level << QPointF(x_of(sample.at_ms), y_of(sample.width, PWM_FULL_SCALE));
        previous = &sample;
    }
    flush();
}
