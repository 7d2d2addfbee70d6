#pragma once

#include "model/loop_gain.h"
#include "operating_trail.h"
#include "protocol/config_block.h"

#include <QBasicTimer>
#include <QMetaType>
#include <QPixmap>
#include <QRegion>
#include <QWidget>

#include <array>
#include <optional>
#include <vector>

// The light-to-brightness curve as a graph: x the light reading 0..1023, y
// the brightness 0..100 % (PWM width 0..564). It draws what the controller
// does with the applied settings, by its own rule: steps that hold a point's
// level up to the next threshold, or straight lines with linear
// interpolation. The form's edits, until applied, show apart as a dashed
// curve carrying the seven handles; without edits the handles sit on the
// applied curve. The controller's live operating point and the trail it
// leaves, fading with age, show where it really is.
//
// Under the plot a band shows how much of the time the light spent at each
// level, and dots mark the owner's manual corrections; a proposed curve, when
// there is one, is drawn beside the others in a colour of its own, its points
// squares: nothing like the handles, which it does not move.
//
// With the lamp's coupling known, the edited curve's segments whose loop gain
// makes the lamp hunt or amplify its own light are marked, in one colour for
// "may" and another for "will", with a few words beside them.
//
// A handle is dragged with the mouse, or clicked (or reached with Tab) and
// moved with the keys: left and right by one reading (Shift: ten), up and
// down by 1 % (Page Up/Down or Shift: 10 %), the steps of the form's
// controls. Every move emits point_edited; the owner keeps the points and
// may set them back.
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

    // A manual correction: at this light the owner chose this width.
    using Correction = Point;

    // The form's sliders step by these widths: 1 % and 10 % of full scale.
    static constexpr int LEVEL_STEP = 6;
    static constexpr int LEVEL_PAGE = 56;

    // The trail's ages are read from `clock` (benchmarks fill it quickly).
    explicit CurveView(QWidget *parent = nullptr, OperatingTrail::Clock clock = OperatingTrail::monotonic_ms);

    // The curve points of a configuration block.
    static Points points_of(const ConfigBlock &config);

    // What the controller holds, and the form's points, each with its
    // "Линейная интерполяция" setting. The handles are the edited points.
    void set_applied_curve(const Points &points, bool linear);
    void set_edited_curve(const Points &points, bool linear);
    const Points &points() const { return edited_.points; }
    const Points &applied_points() const { return applied_.points; }

    // The controller's present state; it also extends the trail.
    void set_operating_point(int light, int width);
    const std::optional<Point> &operating_point() const { return operating_point_; }
    // No controller: the live point goes, its trail fades on.
    void clear_operating_point();
    void set_read_only(bool read_only);
    bool read_only() const { return read_only_; }

    // Shares of the time spent at each light level, in bins of equal width
    // from 0 to full scale (any scale: the largest fills the band), over the
    // last `days` days. Empty: no history, the band says so.
    void set_light_shares(const std::vector<double> &shares, int days);
    void set_corrections(const std::vector<Correction> &corrections);
    // A proposed curve drawn beside the others, with the edited curve's
    // interpolation; nullopt takes it away.
    void set_proposal(const std::optional<Points> &proposal);
    const std::optional<Points> &proposal() const { return proposal_; }

    // The lamp's measured coupling (light counts per 1 % of brightness);
    // nullopt: not measured, nothing is marked.
    void set_coupling(std::optional<double> counts_per_percent);
    // The edited curve's segments at MAY_GAIN or more, in light order.
    const std::vector<SegmentGain> &gain_marks() const { return gain_marks_; }
    // What a mark says beside its segment: "может раскачиваться", ...
    static QString gain_mark_text(const SegmentGain &segment);

    // The selected, dragged or hovered point as the view labels it:
    // "6: 512 · 73%"; empty without one.
    QString point_label() const;

    // Where the axes' ranges span, in widget coordinates; the band of time
    // shares lies under the plot, on the same light scale.
    QRectF plot_area() const { return plot_; }
    QRectF band_area() const { return band_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    void point_edited(int n, int light, int width); // n = 1..7
    void gain_marks_changed();

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void timerEvent(QTimerEvent *event) override;

private:
    struct Curve
    {
        Points points{};
        bool linear = false;
        bool operator==(const Curve &other) const { return points == other.points && linear == other.linear; }
    };

    static constexpr int FADE_TICK_MS = 1000; // the trail fades in steps this long

    static ConfigBlock config_of(const Curve &curve);
    void redraw_curve(); // after a change of the points or of the handles' look
    void update_gain_marks(); // after a change of the edited curve or of the coupling
    void paint_gain_marks(QPainter &painter) const;
    void place_plot();
    qreal handle_radius() const;
    void paint_axes(QPainter &painter) const;
    void paint_band(QPainter &painter) const;
    void paint_corrections(QPainter &painter) const;
    void paint_curves(QPainter &painter) const;
    void paint_handles(QPainter &painter, const QColor &color) const;
    void paint_point_label(QPainter &painter) const;
    void paint_trail(QPainter &painter, const QRegion &dirty) const;
    void paint_trail_dots(qreal ratio);
    void paint_operating_point(QPainter &painter) const;
    // The line the controller's rule gives for the points, over the whole light scale.
    QPolygonF response_line(const Curve &curve) const;
    QPointF position_of(int light, int width) const;
    QRectF number_box(int index) const; // where a handle's number goes, clear of the handles
    QRegion operating_point_region() const; // the disc and its guides
    QRect newest_dot_area() const;
    int handle_at(const QPointF &position) const; // index, or -1
    int labelled_handle() const;                  // index, or -1
    void move_handle(int index, int light, int width);
    void update_fade_timer();

    QRectF plot_; // where the axes' ranges span
    QRectF band_; // the time shares, under the plot
    Curve applied_;
    Curve edited_;
    std::optional<Points> proposal_;
    std::optional<double> counts_per_percent_;
    std::vector<SegmentGain> gain_marks_;
    std::vector<double> light_shares_;
    int share_days_ = 0;
    std::vector<Correction> corrections_;
    std::optional<Point> operating_point_;
    OperatingTrail trail_;
    bool read_only_ = false;
    int current_handle_ = -1; // index of the handle the keys move
    int dragged_handle_ = -1;
    int hovered_handle_ = -1;
    QPointF drag_offset_;     // from the mouse to the dragged handle's centre
    QPixmap curve_layer_; // background, axes, band, curves and handles, as last painted
    std::array<QPixmap, 16> trail_dots_; // faded out .. fresh
    QBasicTimer fade_timer_;
    bool seen_ = false; // shown and not minimised
};

Q_DECLARE_METATYPE(CurveView::Points)
