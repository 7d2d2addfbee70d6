#pragma once

#include "operating_trail.h"
#include "protocol/config_block.h"

#include <QBasicTimer>
#include <QPixmap>
#include <QRegion>
#include <QWidget>

#include <array>
#include <optional>

// The light-to-brightness curve as a graph: x the light reading 0..1023, y
// the brightness 0..100 % (PWM width 0..564). The seven points are handles
// joined by straight lines in light order, which is all the program knows of
// the curve; how the controller really answers the light shows in its live
// operating point and the trail that point leaves, fading with age.
//
// A handle is dragged with the mouse, or clicked (or reached with Tab) and
// moved with the arrow keys, Shift for steps of ten. Every move emits
// point_edited; the owner keeps the points and may set them back.
class CurveView : public QWidget
{
    Q_OBJECT

public:
    struct Point
    {
        int light;
        int width;
        bool operator==(const Point &other) const { return light == other.light && width == other.width; }
        bool operator!=(const Point &other) const { return !(*this == other); }
    };
    using Points = std::array<Point, ConfigBlock::CURVE_POINTS>; // point 1 first

    // The trail's ages are read from `clock` (benchmarks fill it quickly).
    explicit CurveView(QWidget *parent = nullptr, OperatingTrail::Clock clock = OperatingTrail::monotonic_ms);

    const Points &points() const { return points_; }
    void set_points(const Points &points);
    // The controller's present state; it also extends the trail.
    void set_operating_point(int light, int width);
    const std::optional<Point> &operating_point() const { return operating_point_; }
    // No controller: the live point goes, its trail fades on.
    void clear_operating_point();
    void set_read_only(bool read_only);
    bool read_only() const { return read_only_; }

    // Where the axes' ranges span, in widget coordinates.
    QRectF plot_area() const { return plot_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void point_edited(int n, int light, int width); // n = 1..7

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    static constexpr int FADE_TICK_MS = 1000; // the trail fades in steps this long

    void redraw_curve(); // after a change of the points or of the handles' look
    void place_plot();
    void paint_axes(QPainter &painter) const;
    void paint_curve(QPainter &painter) const;
    void paint_trail(QPainter &painter, const QRegion &dirty) const;
    void paint_trail_dots(qreal ratio);
    void paint_operating_point(QPainter &painter) const;
    QPointF position_of(int light, int width) const;
    QRegion operating_point_region() const; // the disc and its guides
    QRect newest_dot_area() const;
    int handle_at(const QPointF &position) const; // index, or -1
    void move_handle(int index, int light, int width);
    void update_fade_timer();

    QRectF plot_; // where the axes' ranges span
    Points points_{};
    std::optional<Point> operating_point_;
    OperatingTrail trail_;
    bool read_only_ = false;
    int current_handle_ = -1; // index of the handle the keys move
    int dragged_handle_ = -1;
    QPointF drag_offset_;     // from the mouse to the dragged handle's centre
    QPixmap curve_layer_; // background, axes, line and handles, as last painted
    std::array<QPixmap, 16> trail_dots_; // faded out .. fresh
    QBasicTimer fade_timer_;
    bool seen_ = false; // shown and not minimised
};
