#pragma once

#include "history/history_summary.h"
#include "model/controller_registry.h"

#include "curve_view.h"

#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <map>

class ControllerSelector;
class CurveWindow;
class StatusLine;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace Ui {
class Widget;
}

// The program's main window: a view of one controller at a time through
// its ControllerThread, the registry's first unless the user picks another
// (the selector shows while several are present). Each controller has its
// own draft ConfigBlock of unapplied configuration; the shown one's is what
// the form's controls and the curve window both show and edit. A load
// replaces a controller's draft, Apply hands the shown one to the model and
// settles when the answer comes. The manual-regulation controls go to the
// model as they change. Nothing here waits for a controller.
class Widget : public QWidget
{
    Q_OBJECT

public:
    // What a second start sends to the running instance to bring its window up.
    static constexpr char WAKE_UP_MESSAGE[] = "Rise up!";

    explicit Widget(ControllerRegistry &registry, QWidget *parent = nullptr);
    ~Widget() override;

    void bring_to_front();
    // The controller the window shows now.
    ControllerThread &shown() const { return *controller_; }
    // Binds the form, the read-outs, the status line and the curve window to
    // `controller`, with the draft the window keeps for it.
    void show_controller(ControllerThread &controller);
    StatusLine *status_line() const { return status_line_; }
    // The owner asked (from the hunting notice) to measure how much of its
    // lamp's light reaches the sensor of controller `identity`: the window
    // comes up showing it, with its curve window, and the measurement starts.
    void measure_coupling_of(const QString &identity);

public slots:
    // A message from a second start: the wake-up message brings the window up.
    void message_arrived(const QString &message);
    // The shown controller's history in the curve window: the band, the
    // corrections, the time view and the proposal, if any.
    void show_history(const HistorySummary &summary);
    // The coupling measured last for controller `identity`, as the history
    // keeps it (answering coupling_wanted).
    void show_coupling(const QString &identity, const std::optional<CouplingResult> &coupling);

signals:
    // The window closed for good (nothing unapplied, or the user chose so):
    // the program ends. Said once per close, where the close is decided.
    void closed_for_good();
    // The curve window wants the shown controller's history read again
    // (opened, a minute on, another placement of a proposal's points,
    // another controller shown, an Apply confirmed); without a controller
    // `applied` is empty: the history's last configuration stands in.
    void history_wanted(const std::optional<ConfigBlock> &applied, LightPositions positions);
    // Apply asks before writing a curve the lamp's light would make hunt, so
    // the shown controller's coupling is wanted once its configuration is
    // loaded, whether the curve window was ever opened or not.
    void coupling_wanted(const QString &identity);

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

    // One controller's side of the window: its unapplied configuration and
    // where its Apply stands, kept while another controller is shown.
    struct Draft
    {
        ConfigBlock config;
        // Not applied (the window's own word; the model is told for other clients).
        bool pending = false;
        // An Apply is on its way, with this block; whether the user edited
        // the draft since: those edits stay unapplied on top of the confirmed block.
        bool writing = false;
        ConfigBlock writing_config;
        bool edited_while_writing = false;
        // A reload replaced unapplied edits: the status line says so once the controller is live.
        bool dropped = false;
    };

    void connect_form();
    void connect_registry();
    // The window keeps a draft for `controller` and takes its loads.
    void take_in(ControllerThread &controller);
    // A controller went: the window forgets it, and shows another if it was shown.
    void let_go(ControllerThread *controller);
    void list_controllers();
    Draft &shown_draft() { return drafts_[controller_]; }
    // The form's controls as a block (bytes 5..36).
    ConfigBlock form_values() const;
    // The controller loaded its configuration (a start, a replug, a confirmed Apply).
    void take_load(ControllerThread *controller, const ConfigBlock &config);
    // Sets the controls from `config`; their handlers keep the shown draft.
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
    // Without a controller the curve window shows the history's last
    // configuration, read-only, and says so.
    void show_last_known(const std::optional<StoredConfiguration> &stored);
    // The controller's draft as a block: bytes 5..36 as the window keeps
    // them (for the shown one, as the form shows them, disabled controls
    // too), bytes 0..4 as the controller last reported them.
    ConfigBlock form_config(ControllerThread &controller) const;
    // Hands the controller's draft to the model; a close waiting for the
    // answer goes on after it.
    void apply(ControllerThread &controller);
    // Whether the window may close now: false while a write is on its way
    // (asked again once it is answered) or when the user chose to stay.
    // The question covers every controller's unapplied edits at once.
    bool may_close();
    // A close that waited for a write: decided again now.
    void close_again();
    void set_session_ending(bool ending);
    void want_history();
    // A proposal taken in the curve window becomes unapplied edits.
    void take_proposal(const CurveView::Points &points);
    // Whether the controller's draft holds edits not yet applied.
    void set_pending(ControllerThread &controller, bool pending);
    // Apply and the cursor say where the shown controller's Apply stands.
    void show_apply_state();
    // A refused or unconfirmed action is said in the status line.
    void report(const Outcome &outcome);
    // The curve window asked to measure the shown controller's lamp light.
    void measure_coupling();
    // Apply from the window's button: a curve that the lamp's measured
    // light would make hunt or run away is applied only if the user says so.
    bool may_apply_curve();

    ControllerRegistry &registry_;
    ControllerSelector *selector_; // made before the form: first in the Tab chain
    Ui::Widget *ui;
    ControllerThread *controller_; // shown
    // Every controller the window knows: the first place and those present.
    std::map<ControllerThread *, Draft> drafts_;
    // What the form holds before any load: a new controller's draft until its own.
    ConfigBlock form_defaults_;
    StatusLine *status_line_;
    // Set while the controls are set from a load or from the status: their
    // change signals are then not the user's.
    bool filling_form_ = false;
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
    // The shown controller was live at the last status: the curve window
    // shows the form's draft, not the history's last configuration.
    bool curve_live_ = true; // until the first status says otherwise
    CurveWindow *curve_window_;
    // The controller whose lamp the curve window measures; none while it measures none.
    ControllerThread *measured_ = nullptr;
};
