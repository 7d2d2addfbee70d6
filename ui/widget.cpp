#include "widget.h"

#include "curve_view.h"
#include "curve_window.h"
#include "form_setup.h"
#include "model/pwm_percent_text.h"
#include "status_line.h"
#include "ui_widget.h"
#include "unapplied_edits_prompt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QSessionManager>

namespace {

// Read-outs refresh with mostly unchanged values; leave an unchanged text
// alone rather than re-layouting and repainting it (and losing a selection).
void set_text(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

Widget::Widget(Controller &controller, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Widget)
    , controller_(controller)
{
    ui->setupUi(this);
    finish_form_setup(*ui, this);
    curve_window_ = new CurveWindow(this);
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    curve_points_ = {{
        {ui->auto_1_verticalSlider, ui->auto_1_light_spinBox, ui->auto_1_lineEdit},
        {ui->auto_2_verticalSlider, ui->auto_2_light_spinBox, ui->auto_2_lineEdit},
        {ui->auto_3_verticalSlider, ui->auto_3_light_spinBox, ui->auto_3_lineEdit},
        {ui->auto_4_verticalSlider, ui->auto_4_light_spinBox, ui->auto_4_lineEdit},
        {ui->auto_5_verticalSlider, ui->auto_5_light_spinBox, ui->auto_5_lineEdit},
        {ui->auto_6_verticalSlider, ui->auto_6_light_spinBox, ui->auto_6_lineEdit},
        {ui->auto_7_verticalSlider, ui->auto_7_light_spinBox, ui->auto_7_lineEdit},
    }};
    connect_form();
    connect_model();
    show_curve();
    new StatusLine(controller_, ui->status_label);

    // A logout asks about unapplied edits now, if the session manager lets
    // the program interact, and the window then closes without asking again.
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager &manager) {
        if (controller_.edits_pending() && manager.allowsInteraction()) {
            const UnappliedEditsAnswer answer = ask_about_unapplied_edits(this);
            manager.release();
            if (answer == UnappliedEditsAnswer::cancel) {
                manager.cancel();
                return;
            }
            if (answer == UnappliedEditsAnswer::apply)
                apply();
        }
        session_ending_ = true;
    });
}

Widget::~Widget()
{
    delete ui;
}

// The user's editing. Switching the regulation mode and moving the manual
// level are not configuration edits: they go to the model, whose poll cycle
// carries them to the controller.
void Widget::connect_form()
{
    for (const CurvePoint &point : curve_points_) {
        connect(point.light, &QSpinBox::valueChanged, this, &Widget::mark_config_dirty);
        // A load shows the whole curve once, when the form is filled.
        const auto curve_edited = [this] {
            if (!filling_form_)
                show_curve();
        };
        connect(point.light, &QSpinBox::valueChanged, this, curve_edited);
        connect(point.slider, &QSlider::valueChanged, this, curve_edited);
        connect(point.slider, &QSlider::valueChanged, this, [this, &point] {
            // A load writes the labels itself, from the limited slider values.
            if (filling_form_)
                return;
            show_curve_level(point);
            set_apply_enabled(true);
        });
    }
    for (QSpinBox *box : {ui->pwm_step_delay_spinBox, ui->pwm_slide_delay_spinBox, ui->avrg_light_num_spinBox})
        connect(box, &QSpinBox::valueChanged, this, &Widget::mark_config_dirty);
    connect(ui->pwm_smooth_alg_checkBox, &QCheckBox::toggled, this, [this](bool checked) {
        mark_config_dirty();
        // With linear interpolation the controller does not use the switching delay.
        ui->pwm_step_delay_spinBox->setEnabled(!checked);
        if (!filling_form_)
            show_curve();
    });
    connect(ui->apply_pushButton, &QPushButton::clicked, this, &Widget::apply);
    connect(ui->curve_pushButton, &QPushButton::clicked, curve_window_, &CurveWindow::open);
    connect(curve_window_->view(), &CurveView::point_edited, this, &Widget::edit_curve_point);
    connect(curve_window_, &CurveWindow::apply_requested, ui->apply_pushButton, &QPushButton::click);

    connect(ui->groupBox_5, &QGroupBox::toggled, &controller_, [this](bool checked) {
        controller_.set_wanted_mode(checked ? RegulationMode::manual : RegulationMode::automatic);
    });
    connect(ui->pwm_width_horizontalSlider, &QSlider::valueChanged, &controller_, &Controller::set_manual_level);
}

void Widget::connect_model()
{
    connect(&controller_, &Controller::configuration_loaded, this, &Widget::fill_form);
    connect(&controller_, &Controller::status_changed, this, &Widget::show_status);
    connect(&controller_, &Controller::connected_changed, this, &Widget::show_status);
    connect(&controller_, &Controller::wanted_mode_changed, this, &Widget::show_wanted_mode);
    connect(&controller_, &Controller::manual_level_changed, ui->pwm_width_horizontalSlider, &QSlider::setValue);
    connect(&controller_, &Controller::live_changed, ui->configuration_frame, &QWidget::setEnabled);
    connect(&controller_, &Controller::status_changed, this, &Widget::show_operating_point);
    connect(&controller_, &Controller::live_changed, this, &Widget::show_operating_point);
    connect(&controller_, &Controller::live_changed, this, &Widget::show_curve_editable);
    // The curve's button stays in its place without a controller, so the
    // layout does not jump when one comes or goes.
    connect(&controller_, &Controller::live_changed, ui->curve_pushButton, &QWidget::setEnabled);
    show_wanted_mode(controller_.wanted_mode());
    ui->pwm_width_horizontalSlider->setValue(controller_.manual_level());
    ui->configuration_frame->setEnabled(controller_.live());
    ui->curve_pushButton->setEnabled(controller_.live());
    show_curve_editable();
}

void Widget::bring_to_front()
{
    showNormal();
    activateWindow();
    raise();
}

void Widget::message_arrived(const QString &message)
{
    if (message == QLatin1String(WAKE_UP_MESSAGE))
        bring_to_front();
}

void Widget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

// Apply closes only once the controller confirmed the write: edits it did
// not take stay in the window, marked unapplied.
void Widget::closeEvent(QCloseEvent *event)
{
    if (!controller_.edits_pending() || session_ending_) {
        event->accept();
        return;
    }
    switch (ask_about_unapplied_edits(this)) {
    case UnappliedEditsAnswer::apply:
        apply();
        event->setAccepted(!controller_.edits_pending());
        break;
    case UnappliedEditsAnswer::discard:
        event->accept();
        break;
    case UnappliedEditsAnswer::cancel:
        event->ignore();
        break;
    }
}

// Setting a control runs its change handler at once; filling_form_ tells the
// handlers that this is a load, not the user's editing.
void Widget::fill_form()
{
    const ConfigBlock &config = controller_.stored_config();
    filling_form_ = true;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const CurvePoint &point = curve_points_[n - 1];
        point.slider->setValue(int(config.auto_pwm(n)));
        point.light->setValue(int(config.auto_light(n)));
        // The label shows the level as the slider holds it, after its own limit.
        show_curve_level(point);
    }
    ui->pwm_step_delay_spinBox->setValue(int(config.pwm_step_delay()));
    ui->pwm_slide_delay_spinBox->setValue(int(config.pwm_slide_delay()));
    ui->avrg_light_num_spinBox->setValue(int(config.avrg_light_num()));
    ui->pwm_smooth_alg_checkBox->setChecked(config.pwm_smooth_alg() != 0);
    set_apply_enabled(false);
    filling_form_ = false;
    show_curve();
}

// Without a controller the read-outs are empty, not the last values seen.
void Widget::show_status()
{
    const bool connected = controller_.connected();
    set_text(ui->vAKB_lineEdit, connected ? QString::number(controller_.light_reading()) : QString());
    set_text(ui->brightness_lineEdit, connected ? pwm_percent_text(controller_.brightness_width()) : QString());
}

void Widget::show_wanted_mode(RegulationMode mode)
{
    const bool manual = mode == RegulationMode::manual;
    ui->groupBox_5->setChecked(manual);
    ui->auto_groupBox->setEnabled(!manual);
    show_curve_editable();
}

void Widget::mark_config_dirty()
{
    if (!filling_form_)
        set_apply_enabled(true);
}

void Widget::show_curve_level(const CurvePoint &point)
{
    point.label->setText(pwm_percent_text(point.slider->value()));
}

// The applied curve is the model's, the edited one the form's.
void Widget::show_curve()
{
    CurveView::Points points;
    for (std::size_t i = 0; i < points.size(); ++i)
        points[i] = {curve_points_[i].light->value(), curve_points_[i].slider->value()};
    curve_window_->view()->set_edited_curve(points, ui->pwm_smooth_alg_checkBox->isChecked());
    const ConfigBlock &applied = controller_.stored_config();
    curve_window_->view()->set_applied_curve(CurveView::points_of(applied), applied.pwm_smooth_alg() != 0);
}

// A handle moved: the point's controls take the values, and their handlers
// mark the edit as for any other.
void Widget::edit_curve_point(int n, int light, int width)
{
    const CurvePoint &point = curve_points_[n - 1];
    point.light->setValue(light);
    point.slider->setValue(width);
}

// The handles can be moved exactly while the curve's controls in the form can.
void Widget::show_curve_editable()
{
    curve_window_->view()->set_read_only(!controller_.live() || controller_.wanted_mode() == RegulationMode::manual);
}

// What the controller reports it drives at the light it reports.
void Widget::show_operating_point()
{
    if (controller_.live())
        curve_window_->view()->set_operating_point(int(controller_.light_reading()), int(controller_.pwm_width()));
    else
        curve_window_->view()->clear_operating_point();
}

ConfigBlock Widget::form_config() const
{
    ConfigBlock config = controller_.stored_config();
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const CurvePoint &point = curve_points_[n - 1];
        config.set_auto_light(n, unsigned(point.light->value()));
        config.set_auto_pwm(n, unsigned(point.slider->value()));
    }
    config.set_pwm_step_delay(unsigned(ui->pwm_step_delay_spinBox->value()));
    config.set_pwm_slide_delay(unsigned(ui->pwm_slide_delay_spinBox->value()));
    config.set_avrg_light_num(unsigned(ui->avrg_light_num_spinBox->value()));
    config.set_pwm_smooth_alg(ui->pwm_smooth_alg_checkBox->isChecked());
    return config;
}

// A write that was not sent (no controller identified on this connection)
// or not confirmed leaves the edits marked as unapplied, so the user sees it
// did not go through and can press again.
void Widget::apply()
{
    const bool written = controller_.apply_config(form_config()) == Controller::ApplyResult::written;
    set_apply_enabled(!written);
}

// The Apply button shows whether the form holds edits not yet applied; the
// model tells other clients.
void Widget::set_apply_enabled(bool enabled)
{
    ui->apply_pushButton->setEnabled(enabled);
    controller_.set_edits_pending(enabled);
}
