#pragma once

#include "history/history_summary.h"
#include "model/controller_thread.h"

#include "curve_view.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>

class CurveWindow;
class StatusLine;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace Ui {
class Widget;
}

// The program's main window: a view of the controller through
// ControllerThread. The unapplied configuration is one draft ConfigBlock
// that the form's controls and the curve window both show and edit; a load
// replaces it, Apply hands it to the model and settles when the answer
// comes. The manual-regulation controls go to the model as they change.
// Nothing here waits for the controller.
class Widget : public QWidget
{
    Q_OBJECT

public:
    // What a second start sends to the running instance to bring its window up.
    static constexpr char WAKE_UP_MESSAGE[] = "Rise up!";

    explicit Widget(ControllerThread &controller, QWidget *parent = nullptr);
    ~Widget() override;

    void bring_to_front();
    // The draft: bytes 5..36 as the form shows them (disabled controls
    // too), bytes 0..4 as the controller last reported them.
    ConfigBlock form_config() const;
    // An Apply is on its way to the controller.
    bool writing() const { return writing_; }
    StatusLine *status_line() const { return status_line_; }

public slots:
    // A message from a second start: the wake-up message brings the window up.
    void message_arrived(const QString &message);
    // The history in the curve window: the band, the corrections, the time
    // view and the proposal, if any.
    void show_history(const HistorySummary &summary);

signals:
    // The window closed for good (nothing unapplied, or the user chose so):
    // the program ends. Said once per close, where the close is decided.
    void closed_for_good();
    // The curve window wants the history read again (opened, a minute on,
    // another placement of a proposal's points).
    void history_wanted(const ConfigBlock &applied, LightPositions positions);

protected:
    void changeEvent(QEvent *event) override;
    // Unapplied edits make the close ask: apply, discard or stay.
    void closeEvent(QCloseEvent *event) override;
    // While a logout's no-question close holds, the user's next input ends it.
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The three controls of one curve point, N = 1..7.
    struct CurvePoint
    {
        QSlider *slider;
        QSpinBox *light;
        QLineEdit *label;
    };

    void connect_form();
    void connect_model();
    void fill_form(const ConfigBlock &config);
    // The user changed the draft through a control.
    void edit_draft(const std::function<void(ConfigBlock &)> &edit);
    void show_status(const ControllerStatus &status);
    void show_curve_level(const CurvePoint &point);
    // The curve window shows the draft and the controller's state; its
    // handles edit the draft through the point's controls.
    void show_curve();
    void edit_curve_point(int n, int light, int width);
    void show_curve_editable(const ControllerStatus &status);
    // Hands the draft to the model; a close waiting for the answer goes on after it.
    void apply();
    // Whether the window may close now: false while a write is on its way
    // (asked again once it is answered) or when the user chose to stay.
    bool may_close();
    // A close that waited for a write: decided again now.
    void close_again();
    void set_session_ending(bool ending);
    void want_history();
    // A proposal taken in the curve window becomes unapplied edits.
    void take_proposal(const CurveView::Points &points);
    void set_apply_enabled(bool enabled);
    // A refused or unconfirmed action is said in the status line.
    void report(const Outcome &outcome);

    Ui::Widget *ui;
    ControllerThread &controller_;
    ConfigBlock draft_;
    StatusLine *status_line_;
    // Set while the controls are set from a load or from the status: their
    // change signals are then not the user's.
    bool filling_form_ = false;
    bool writing_ = false;
    // A reload replaced unapplied edits: the status line says so once the controller is live.
    bool edits_dropped_ = false;
    // The window's edits are not applied (the window's own word; the
    // model is told for other clients).
    bool edits_pending_ = false;
    // The block on its way to the controller, and whether the user edited
    // the form since: those edits stay unapplied on top of the confirmed block.
    ConfigBlock writing_config_;
    bool edited_while_writing_ = false;
    // The user closed the window while an Apply was on its way: ask again
    // once it is answered.
    bool close_when_written_ = false;
    // Level changes on their way: the slider is not set back meanwhile.
    int levels_on_their_way_ = 0;
    // While the curve window is open its history is read again each minute.
    QTimer history_timer_;
    // The desktop session is ending: the close asks nothing, so a logout
    // never waits on a box nobody may see. A logout can be cancelled with
    // no word to us: this holds until the user acts again, or for
    // SESSION_ENDING_MS.
    bool session_ending_ = false;
    QTimer session_ending_timer_;
    static constexpr int SESSION_ENDING_MS = 60 * 1000;
    std::array<CurvePoint, ConfigBlock::CURVE_POINTS> curve_points_{};
    CurveWindow *curve_window_;
};
