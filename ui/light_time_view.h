#pragma once

#include <QDate>
#include <QLocale>
#include <QWidget>

#include <functional>
#include <vector>

// Light and brightness over the last day or week, on the curve view's
// scales: the brightness 0..100 % on the left, the light reading 0..1023 on
// the right. A pause in the samples (the program not running) is a gap in
// the lines, not a line across it.
class LightTimeView : public QWidget
{
    Q_OBJECT

public:
    struct Sample
    {
        qint64 at_ms; // since the epoch
        int light;
        int width;
    };
    enum class Span { day, week };
    // The present time, in milliseconds since the epoch; tests pass their own.
    using Clock = std::function<qint64()>;

    // Samples further apart than this leave a gap: the history keeps one a minute.
    static constexpr qint64 GAP_MS = 5 * 60 * 1000;

    explicit LightTimeView(QWidget *parent = nullptr, Clock clock = current_ms);

    // Oldest first; those older than the span are left out of the picture.
    void set_samples(const std::vector<Sample> &samples);
    void set_span(Span span);
    Span span() const { return span_; }

    QRectF plot_area() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    static qint64 current_ms();
    // A day on the week's axis: the locale's short date without the year.
    static QString day_label(const QDate &date, const QLocale &locale);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qint64 span_ms() const;
    void paint_time_axis(QPainter &painter, const QRectF &plot, qint64 start_ms, qint64 end_ms) const;
    void paint_lines(QPainter &painter, const QRectF &plot, qint64 start_ms, qint64 end_ms) const;

    Clock clock_;
    std::vector<Sample> samples_;
    Span span_ = Span::day;
};
