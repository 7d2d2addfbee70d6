#pragma once

#include "model/controller.h"

#include <QWidget>

#include <array>

class CurveWindow;
class QLineEdit;
class QSlider;
class QSpinBox;

namespace Ui {
class Widget;
}

// The program's main window: the view of a Controller. It fills the form
// when the controller's configuration is loaded, shows the live read-outs,
// hands the manual-regulation controls to the model as they change, and
// Apply hands the form's configuration to the model. Its curve window shows
// the form's seven points and edits them as the form's controls do.
class Widget : public QWidget
{
    Q_OBJECT

public:
    // What a second start sends to the running instance to bring its window up.
    static constexpr char WAKE_UP_MESSAGE[] = "Rise up!";

    explicit Widget(Controller &controller, QWidget *parent = nullptr);
    ~Widget() override;

    void bring_to_front();
    // The form as a configuration: bytes 5..36 from the controls (disabled
    // ones too), bytes 0..4 as the controller last reported them.
    ConfigBlock form_config() const;

public slots:
    // A message from a second start: the wake-up message brings the window up.
    void message_arrived(const QString &message);

protected:
    void changeEvent(QEvent *event) override;
    // Unapplied edits make the close ask: apply, discard or stay.
    void closeEvent(QCloseEvent *event) override;

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
    void fill_form();
    void show_status();
    void show_wanted_mode(RegulationMode mode);
    void mark_config_dirty();
    void show_curve_level(const CurvePoint &point);
    // The curve window shows the form's points and the controller's state;
    // its handles edit the form.
    void show_curve();
    void edit_curve_point(int n, int light, int width);
    void show_curve_editable();
    void show_operating_point();
    void apply();
    void set_apply_enabled(bool enabled);

    Ui::Widget *ui;
    Controller &controller_;
    // Set while fill_form writes a loaded configuration into the controls:
    // their change signals are then not the user's edits.
    bool filling_form_ = false;
    // The desktop session is ending: the close asks nothing, so a logout
    // never waits on a box nobody may see.
    bool session_ending_ = false;
    std::array<CurvePoint, ConfigBlock::CURVE_POINTS> curve_points_{};
    CurveWindow *curve_window_;
};
