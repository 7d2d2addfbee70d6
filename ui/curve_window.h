#pragma once

#include "curve_view.h"
#include "model/coupling_result.h"

#include <QByteArray>
#include <QWidget>

class LightTimeView;
class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTabWidget;

// The curve view in a window of its own, beside the main window (its
// parent): it goes and comes back with it, and ends with it. While the
// program runs it remembers whether the user has it open and where it was.
// A second page shows the light and brightness over time. Enter asks for
// Apply, as in the main window; Escape closes it.
class CurveWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CurveWindow(QWidget *parent);

    CurveView *view() const { return view_; }
    LightTimeView *time_view() const { return time_view_; }
    // The user has it open (it may be hidden along with the main window).
    bool is_open() const { return open_; }

    // A proposed curve, drawn beside the current one, with one line that
    // says where it comes from; "Использовать предложение" hands it on, after
    // asking when it would replace the owner's unapplied edits of the curve.
    void set_proposal(const CurveView::Points &points, const QString &explanation);
    void clear_proposal();
    // Without a controller the window only shows: `note` says what and why,
    // and a proposal cannot be used. Empty: the controller is there.
    void set_read_only_note(const QString &note);
    // The owner's choice for a proposal: the points' light positions move to
    // where the time is spent, or stay where they are.
    bool proposal_follows_time() const;

    // The lamp's coupling measured last for the controller shown (none: not
    // measured): the view marks the segments it makes hunt, a line under it
    // says what to do about each, and one says what was measured when.
    void set_coupling(const std::optional<CouplingResult> &coupling);
    const std::optional<CouplingResult> &coupling() const { return coupling_; }
    // A measurement under way has finished `step` of `steps`.
    void show_measurement_progress(int step, int steps);
    // The measurement ended: measured, its result is the coupling from now
    // on; otherwise the window says why (nothing after a Cancel).
    void finish_measurement(const CouplingResult &result);
    // It did not start: `reason` in the model's words.
    void refuse_measurement(const QString &reason);
    bool measuring() const;

public slots:
    // Shows it where it was last, in front.
    void open();
    // Opens it and asks for a measurement of the lamp's light.
    void start_measurement();

signals:
    // The user opened it, or changed how a proposal places its points: the
    // history it shows is worth reading again.
    void history_wanted();
    void apply_requested();
    // The user took the proposal; it is gone from the window.
    void proposal_accepted(const CurveView::Points &points);
    // "Измерить свет лампы…" and its Cancel.
    void measurement_wanted();
    void measurement_cancelled();

protected:
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void show_where_it_was();
    void show_texts();
    void reserve_text_heights();
    void accept_proposal();
    void show_legend();
    void show_proposal_usable();
    void show_coupling_texts();
    void end_measurement(const QString &note);

    CurveView *view_;
    LightTimeView *time_view_;
    QTabWidget *pages_;
    QLabel *read_only_note_;
    // Made in this order: the row's parts need the row.
    QRadioButton *day_button_;
    QRadioButton *week_button_;
    QWidget *proposal_row_;
    QLabel *proposal_text_;
    QPushButton *proposal_button_;
    QCheckBox *follow_time_;
    QLabel *legend_;
    QWidget *coupling_row_;
    QLabel *coupling_text_;
    QPushButton *measure_button_;
    QProgressBar *measure_progress_;
    QPushButton *cancel_measure_button_;
    QLabel *gain_advice_;
    std::optional<CouplingResult> coupling_;
    QString measurement_note_; // why the last measurement gave no result
    bool worded_ = false; // show_texts() has run
    bool open_ = false;
    QByteArray saved_geometry_;
};
