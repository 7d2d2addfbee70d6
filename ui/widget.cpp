#include "widget.h"

#include "controller_selector.h"
#include "curve_view.h"
#include "curve_window.h"
#include "form_setup.h"
#include "light_time_view.h"
#include "model/coupling_sweep.h"
#include "model/loop_gain.h"
#include "model/outcome_text.h"
#include "model/pwm_percent_text.h"
#include "status_line.h"
#include "ui_widget.h"
#include "unapplied_edits_prompt.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace {

// Read-outs refresh with mostly unchanged values; leave an unchanged text
// alone rather than re-layouting and repainting it (and losing a selection).
void set_text(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

} // namespace

Widget::Widget(ControllerRegistry &registry, QWidget *parent)
    : QWidget(parent)
    , registry_(registry)
    , selector_(new ControllerSelector(this))
    , ui(new Ui::Widget)
    , controller_(&registry.first())
{
    ui->setupUi(this);
    // Above the form, which stays as it is.
    ui->window_layout->insertWidget(0, selector_);
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
    status_line_ = new StatusLine(*controller_, ui->status_label);
    // A draft starts as the form's own values; from here on the controls'
    // handlers keep the shown one and the form the same.
    form_defaults_ = form_values();
    connect_form();
    connect_registry();
    show_curve();
    // Only the groups that need a controller go grey without one: the curve
    // window's button stays, to show the history.
    ui->configuration_frame->setEnabled(true);

    // A logout closes the window without asking, as SIGTERM does: nobody
    // may be there to answer. The write-back still follows.
    session_ending_timer_.setSingleShot(true);
    session_ending_timer_.setInterval(SESSION_ENDING_MS);
    connect(&session_ending_timer_, &QTimer::timeout, this, [this] { set_session_ending(false); });
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this] { set_session_ending(true); });
}

void Widget::set_session_ending(bool ending)
{
    if (ending == session_ending_)
        return;
    session_ending_ = ending;
    if (ending) {
        session_ending_timer_.start();
        qApp->installEventFilter(this);
    } else {
        session_ending_timer_.stop();
        qApp->removeEventFilter(this);
    }
}

bool Widget::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::KeyPress)
        set_session_ending(false);
    return QWidget::eventFilter(watched, event);
}

Widget::~Widget()
{
    delete ui;
}

// The user's editing changes the draft. Switching the regulation mode and
// moving the manual level are not configuration edits: they go to the
// model, whose poll cycle carries them to the controller.
void Widget::connect_form()
{
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        const CurvePoint &point = curve_points_[n - 1];
        connect(point.light, &QSpinBox::valueChanged, this,
                [this, n](int light) { edit_draft([&](ConfigBlock &draft) { draft.set_auto_light(n, unsigned(light)); }); });
        connect(point.slider, &QSlider::valueChanged, this, [this, n, &point](int width) {
            // A load writes the labels itself, from the limited slider values.
            if (!filling_form_)
                show_curve_level(point);
            edit_draft([&](ConfigBlock &draft) { draft.set_auto_pwm(n, unsigned(width)); });
        });
    }
    connect(ui->pwm_step_delay_spinBox, &QSpinBox::valueChanged, this,
            [this](int value) { edit_draft([&](ConfigBlock &draft) { draft.set_pwm_step_delay(unsigned(value)); }); });
    connect(ui->pwm_slide_delay_spinBox, &QSpinBox::valueChanged, this,
            [this](int value) { edit_draft([&](ConfigBlock &draft) { draft.set_pwm_slide_delay(unsigned(value)); }); });
    connect(ui->avrg_light_num_spinBox, &QSpinBox::valueChanged, this,
            [this](int value) { edit_draft([&](ConfigBlock &draft) { draft.set_avrg_light_num(unsigned(value)); }); });
    connect(ui->pwm_smooth_alg_checkBox, &QCheckBox::toggled, this, [this](bool checked) {
        edit_draft([&](ConfigBlock &draft) { draft.set_pwm_smooth_alg(checked); });
        // With linear interpolation the controller does not use the switching delay.
        ui->pwm_step_delay_spinBox->setEnabled(!checked);
        if (!filling_form_)
            show_curve();
    });
    connect(ui->apply_pushButton, &QPushButton::clicked, this, [this] {
        if (may_apply_curve())
            apply(*controller_);
    });
    connect(ui->curve_pushButton, &QPushButton::clicked, curve_window_, &CurveWindow::open);
    connect(curve_window_->view(), &CurveView::point_edited, this, &Widget::edit_curve_point);
    connect(curve_window_, &CurveWindow::apply_requested, ui->apply_pushButton, &QPushButton::click);
    connect(curve_window_, &CurveWindow::proposal_accepted, this, &Widget::take_proposal);
    connect(curve_window_, &CurveWindow::history_wanted, this, &Widget::want_history);
    connect(curve_window_, &CurveWindow::measurement_wanted, this, &Widget::measure_coupling);
    connect(curve_window_, &CurveWindow::measurement_cancelled, this, [this] {
        if (measured_)
            measured_->cancel_coupling();
    });
    history_timer_.setInterval(60 * 1000);
    connect(&history_timer_, &QTimer::timeout, this, &Widget::want_history);

    connect(ui->groupBox_5, &QGroupBox::toggled, this, [this](bool checked) {
        if (filling_form_)
            return;
        controller_->set_manual(checked, ChangeSource::window, [this](const Outcome &outcome) {
            report(outcome);
            // Refused: the box goes back to what the model carries.
            if (!outcome.sent())
                show_status(controller_->status());
        });
    });
    connect(ui->pwm_width_horizontalSlider, &QSlider::valueChanged, this, [this](int level) {
        if (filling_form_)
            return;
        ++levels_on_their_way_;
        controller_->set_manual_level(level, ChangeSource::window, [this](const Outcome &outcome) {
            --levels_on_their_way_;
            report(outcome);
        });
    });
}

ConfigBlock Widget::form_values() const
{
    ConfigBlock values;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        values.set_auto_light(n, unsigned(curve_points_[n - 1].light->value()));
        values.set_auto_pwm(n, unsigned(curve_points_[n - 1].slider->value()));
    }
    values.set_pwm_step_delay(unsigned(ui->pwm_step_delay_spinBox->value()));
    values.set_pwm_slide_delay(unsigned(ui->pwm_slide_delay_spinBox->value()));
    values.set_avrg_light_num(unsigned(ui->avrg_light_num_spinBox->value()));
    values.set_pwm_smooth_alg(ui->pwm_smooth_alg_checkBox->isChecked());
    return values;
}

// Every controller's loads reach its draft, shown or not; only the shown
// one's status reaches the form.
void Widget::connect_registry()
{
    for (ControllerThread *controller : registry_.places())
        take_in(*controller);
    connect(&registry_, &ControllerRegistry::controller_added, this, [this](ControllerThread *controller) {
        take_in(*controller);
        list_controllers();
    });
    connect(&registry_, &ControllerRegistry::controller_removed, this, &Widget::let_go);
    connect(&registry_, &ControllerRegistry::controller_renamed, this, &Widget::list_controllers);
    connect(&registry_, &ControllerRegistry::present_changed, this, &Widget::list_controllers);
    connect(selector_, &ControllerSelector::chosen, this,
            [this](ControllerThread *controller) { show_controller(*controller); });
    connect(controller_, &ControllerThread::status_changed, this, &Widget::show_status);
    show_status(controller_->status());
    list_controllers();
}

void Widget::take_in(ControllerThread &controller)
{
    const auto [place, added] = drafts_.try_emplace(&controller);
    if (!added)
        return;
    place->second.config = controller.status().loaded ? controller.applied_config() : form_defaults_;
    connect(&controller, &ControllerThread::configuration_loaded, this,
            [this, loaded_by = &controller](const ConfigBlock &config) { take_load(loaded_by, config); });
    connect(&controller, &ControllerThread::coupling_progress, this, [this, from = &controller](int step, int steps) {
        if (from == measured_)
            curve_window_->show_measurement_progress(step, steps);
    });
    // A result measured by anyone (D-Bus, morvane-pwmctl through the
    // program) is the shown controller's coupling from now on.
    connect(&controller, &ControllerThread::coupling_finished, this,
            [this, from = &controller](const CouplingResult &result) {
                if (from == measured_) {
                    measured_ = nullptr;
                    curve_window_->finish_measurement(result);
                }
                if (from == controller_ && result.measured()) {
                    curve_window_->set_coupling(result);
                    if (curve_window_->is_open())
                        want_history(); // the proposal keeps within it
                }
            });
}

void Widget::measure_coupling()
{
    if (measured_)
        return;
    measured_ = controller_;
    curve_window_->show_measurement_progress(0, CouplingSweep::STEPS);
    controller_->start_coupling([this, target = controller_](const Outcome &outcome) {
        if (outcome.ok() || target != measured_)
            return;
        measured_ = nullptr;
        curve_window_->refuse_measurement(outcome_text(outcome, target->status().holder));
    });
}

bool Widget::may_apply_curve()
{
    const std::optional<CouplingResult> &coupling = curve_window_->coupling();
    const std::optional<SegmentGain> strongest =
        coupling ? strongest_segment(shown_draft().config, coupling->counts_per_percent) : std::nullopt;
    if (!strongest || strongest->strength != GainStrength::will)
        return true;
    QMessageBox box(this);
    box.setIcon(QMessageBox::Warning);
    box.setWindowTitle(windowTitle());
    box.setText(tr("Свет лампы доходит до датчика: между точками %1 и %2 кривая %3 (усиление %4).")
                    .arg(strongest->from_point)
                    .arg(strongest->to_point)
                    .arg(CurveView::gain_mark_text(*strongest), QLocale().toString(std::abs(strongest->gain), 'f', 1)));
    box.setInformativeText(tr("Сделайте участок положе, увеличьте усреднение или задержку переключения. Применить "
                              "все равно?"));
    box.setStandardButtons(QMessageBox::Apply | QMessageBox::Cancel);
    // Qt's own button texts would stay English under the Russian source.
    box.button(QMessageBox::Apply)->setText(tr("&Применить"));
    box.button(QMessageBox::Cancel)->setText(tr("&Отмена"));
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Apply;
}

void Widget::let_go(ControllerThread *controller)
{
    if (controller == measured_) {
        measured_ = nullptr;
        CouplingResult gone;
        gone.error = CouplingSweep::UNPLUGGED;
        curve_window_->finish_measurement(gone);
    }
    if (controller == controller_) {
        const std::vector<ControllerThread *> present = registry_.present();
        show_controller(present.empty() ? registry_.first() : *present.front());
    }
    // The first place stays, and its draft with it: the next controller
    // there loads into it, as a replug always did.
    if (controller != &registry_.first()) {
        disconnect(controller, nullptr, this, nullptr);
        drafts_.erase(controller);
    }
    list_controllers();
}

void Widget::list_controllers()
{
    const bool had_row = !selector_->isHidden();
    selector_->list(registry_.present(), controller_);
    const bool has_row = !selector_->isHidden();
    // The selector's row adds to the window's height rather than taking it from the form.
    if (has_row != had_row) {
        const int row = selector_->sizeHint().height() + ui->window_layout->spacing();
        resize(width(), height() + (has_row ? row : -row));
    }
}

// The draft left behind stays as it is, unapplied edits and all (the model
// goes on refusing other clients for that controller).
void Widget::show_controller(ControllerThread &controller)
{
    if (&controller == controller_)
        return;
    take_in(controller);
    disconnect(controller_, &ControllerThread::status_changed, this, &Widget::show_status);
    controller_ = &controller;
    connect(controller_, &ControllerThread::status_changed, this, &Widget::show_status);
    status_line_->follow(controller);
    const ConfigBlock draft = shown_draft().config;
    fill_form(draft);
    if (shown_draft().writing)
        status_line_->show_note(tr("Настройки записываются в контроллер…"));
    show_apply_state();
    show_status(controller.status());
    curve_window_->clear_proposal();
    curve_window_->set_coupling(std::nullopt); // the history brings the new one's
    if (curve_window_->is_open())
        want_history();
    list_controllers();
}

void Widget::bring_to_front()
{
    showNormal();
    activateWindow();
    raise();
}

void Widget::measure_coupling_of(const QString &identity)
{
    for (ControllerThread *present : registry_.present())
        if (present->identity().id == identity && present != controller_)
            show_controller(*present);
    bring_to_front();
    curve_window_->start_measurement();
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

// The window closes only once nothing the user typed would be lost without
// asking: an Apply on its way is answered first, and an unconfirmed Apply
// leaves the edits in the window, marked unapplied, and asks again.
void Widget::closeEvent(QCloseEvent *event)
{
    if (!may_close()) {
        event->ignore();
        return;
    }
    event->accept();
    emit closed_for_good();
}

bool Widget::may_close()
{
    std::vector<ControllerThread *> pending;
    for (const auto &[controller, draft] : drafts_) {
        if (draft.writing) {
            close_when_written_ = true;
            return false;
        }
        if (draft.pending)
            pending.push_back(controller);
    }
    if (pending.empty() || session_ending_)
        return true;
    switch (ask_about_unapplied_edits(this)) {
    case UnappliedEditsAnswer::apply:
        // Set first: the answers may come at once.
        close_when_written_ = true;
        for (ControllerThread *controller : pending)
            apply(*controller);
        return false;
    case UnappliedEditsAnswer::discard:
        return true;
    case UnappliedEditsAnswer::cancel:
        break;
    }
    return false;
}

// Not through close(): whoever asked for the close (Quit, the tray) has
// had their say, and hiding to the tray is no answer to it now.
void Widget::close_again()
{
    if (!may_close())
        return;
    hide();
    emit closed_for_good();
}

void Widget::take_load(ControllerThread *controller, const ConfigBlock &config)
{
    // A confirmed Apply (or a load) is what the next proposal starts from.
    if (controller == controller_ && curve_window_->is_open())
        want_history();
    else if (controller == controller_ && !curve_window_->coupling())
        emit coupling_wanted(controller->identity().id);
    Draft &draft = drafts_[controller];
    // The Apply on its way is confirmed: edits made meanwhile stay on top
    // of it, unapplied.
    const bool confirmed = draft.writing
        && std::equal(config.bytes.begin() + ConfigBlock::STATUS_SIZE, config.bytes.end(),
                      draft.writing_config.bytes.begin() + ConfigBlock::STATUS_SIZE);
    if (confirmed && draft.edited_while_writing) {
        if (controller == controller_)
            show_curve();
        return;
    }
    // A reload (after a replug) while edits were unapplied drops them, as
    // it always has; the status line says so.
    draft.dropped = draft.pending && !draft.writing;
    draft.config = config;
    if (controller == controller_)
        fill_form(config);
    set_pending(*controller, false);
}

// Setting a control runs its change handler at once; filling_form_ tells the
// handlers that this is not the user's editing. The shown draft is then
// what the controls hold, after their own limits.
void Widget::fill_form(const ConfigBlock &config)
{
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
    filling_form_ = false;
    // A control that already held its limit sent no change.
    shown_draft().config = form_values();
    show_curve();
}

void Widget::edit_draft(const std::function<void(ConfigBlock &)> &edit)
{
    Draft &draft = shown_draft();
    edit(draft.config);
    if (filling_form_)
        return;
    draft.edited_while_writing = draft.writing;
    show_curve();
    set_pending(*controller_, true);
}

// Without a controller the read-outs are empty, not the last values seen.
void Widget::show_status(const ControllerStatus &status)
{
    // Said once the reload is complete, so that the line's state change does not take it back.
    if (shown_draft().dropped && status.live) {
        shown_draft().dropped = false;
        status_line_->show_note(tr("Контроллер переподключен: непримененные изменения отброшены, настройки "
                                   "загружены из контроллера."));
    }
    set_text(ui->vAKB_lineEdit, status.connected ? QString::number(status.light) : QString());
    set_text(ui->brightness_lineEdit, status.connected ? pwm_percent_text(status.brightness_width) : QString());
    // A silent controller's readings stay, greyed, saying how old they are.
    const QString stale = status.answering
        ? QString()
        : tr("Контроллер не отвечает с %1: это последнее показание.")
              .arg(status.silent_since.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
    for (QLineEdit *read_out : {ui->vAKB_lineEdit, ui->brightness_lineEdit}) {
        if (read_out->toolTip() == stale)
            continue;
        // A tip on screen would go on saying it after the controller answered.
        if (QToolTip::isVisible() && QToolTip::text() == read_out->toolTip())
            QToolTip::hideText();
        read_out->setEnabled(status.answering);
        read_out->setToolTip(stale);
    }

    const bool manual = status.wanted_mode == RegulationMode::manual;
    filling_form_ = true;
    ui->groupBox_5->setChecked(manual);
    // The user's own moves are not set back by answers to earlier ones.
    if (levels_on_their_way_ == 0 && !ui->pwm_width_horizontalSlider->isSliderDown())
        ui->pwm_width_horizontalSlider->setValue(status.manual_level);
    filling_form_ = false;
    // Disabled rather than hidden without a controller, so that nothing
    // around it moves; the curve window opens still, to show the history.
    ui->auto_groupBox->setEnabled(status.live && !manual);
    ui->groupBox_2->setEnabled(status.live);
    ui->groupBox_5->setEnabled(status.live);
    show_curve_editable(status);
    if (status.live != curve_live_) {
        curve_live_ = status.live;
        if (curve_live_) {
            curve_window_->set_read_only_note(QString());
            show_curve();
        } else {
            show_last_known(std::nullopt); // until the history says more
        }
        if (curve_window_->is_open())
            want_history();
    }
    // What the controller reports it drives at the light it reports.
    if (status.live)
        curve_window_->view()->set_operating_point(int(status.light), int(status.pwm_width));
    else
        curve_window_->view()->clear_operating_point();
}

void Widget::show_curve_level(const CurvePoint &point)
{
    point.label->setText(pwm_percent_text(point.slider->value()));
}

// The applied curve is the model's, the edited one the form's.
void Widget::show_curve()
{
    const ConfigBlock &draft = shown_draft().config;
    CurveView::Points points;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
        points[size_t(n - 1)] = {int(draft.auto_light(n)), int(draft.auto_pwm(n))};
    curve_window_->view()->set_edited_curve(points, draft.pwm_smooth_alg() != 0);
    const ConfigBlock &applied = controller_->applied_config();
    curve_window_->view()->set_applied_curve(CurveView::points_of(applied), applied.pwm_smooth_alg() != 0);
}

// A handle moved: the point's controls take the values, and their handlers
// edit the draft as for any other edit.
void Widget::edit_curve_point(int n, int light, int width)
{
    const CurvePoint &point = curve_points_[n - 1];
    point.light->setValue(light);
    point.slider->setValue(width);
}

// The handles can be moved exactly while the curve's controls in the form can.
void Widget::show_curve_editable(const ControllerStatus &status)
{
    curve_window_->view()->set_read_only(!status.live || status.wanted_mode == RegulationMode::manual);
}

ConfigBlock Widget::form_config(ControllerThread &controller) const
{
    ConfigBlock config = drafts_.at(&controller).config;
    std::copy_n(controller.applied_config().bytes.begin(), ConfigBlock::STATUS_SIZE, config.bytes.begin());
    const ControllerStatus &status = controller.status();
    if (!status.connected)
        return config;
    // Bytes 0..4 as last reported; the model sends its own copy anyway.
    config.set_pwm_width(status.pwm_width);
    config.set_light_adc(status.light);
    config.set_regulation_mode(unsigned(status.mode));
    return config;
}

// A write that was refused or not confirmed leaves the edits marked as
// unapplied, so the user sees it did not go through and can press again.
void Widget::apply(ControllerThread &controller)
{
    Draft &draft = drafts_.at(&controller);
    if (draft.writing)
        return;
    draft.writing = true;
    draft.writing_config = form_config(controller);
    draft.edited_while_writing = false;
    if (&controller == controller_)
        status_line_->show_note(tr("Настройки записываются в контроллер…"));
    show_apply_state();
    controller.apply(draft.writing_config, ChangeSource::window, [this, target = &controller](const Outcome &outcome) {
        // A controller that went meanwhile went with its draft.
        if (const auto place = drafts_.find(target); place != drafts_.end()) {
            Draft &written = place->second;
            written.writing = false;
            const bool pending = !outcome.ok() || written.edited_while_writing;
            written.edited_while_writing = false;
            if (target == controller_)
                status_line_->show_note(QString());
            set_pending(*target, pending);
            if (target == controller_)
                report(outcome);
        }
        // Decided from the event loop: this answer may come while the
        // close that waits for it is still under way.
        if (close_when_written_) {
            close_when_written_ = false;
            QMetaObject::invokeMethod(this, &Widget::close_again, Qt::QueuedConnection);
        }
    });
}

// Apply shows whether the form holds edits not yet applied; the model
// tells other clients.
void Widget::set_pending(ControllerThread &controller, bool pending)
{
    drafts_.at(&controller).pending = pending;
    controller.set_edits_pending(pending);
    if (&controller == controller_)
        show_apply_state();
}

void Widget::show_apply_state()
{
    const Draft &draft = shown_draft();
    ui->apply_pushButton->setEnabled(draft.pending && !draft.writing);
    if (draft.writing)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

void Widget::want_history()
{
    if (curve_window_->is_open())
        history_timer_.start();
    else
        history_timer_.stop();
    emit history_wanted(curve_live_ ? std::optional(controller_->applied_config()) : std::nullopt,
                        curve_window_->proposal_follows_time() ? LightPositions::follow_time : LightPositions::keep);
}

void Widget::show_coupling(const QString &identity, const std::optional<CouplingResult> &coupling)
{
    const std::optional<CouplingResult> &held = curve_window_->coupling();
    // Without a controller the history's last one is shown.
    const QString &shown_id = controller_->identity().id;
    if ((shown_id.isEmpty() || identity == shown_id) && coupling
        && (!held || coupling->measured_at_ms >= held->measured_at_ms))
        curve_window_->set_coupling(coupling);
}

void Widget::show_history(const HistorySummary &summary)
{
    // Asked for before the user picked another controller.
    const QString &shown_id = controller_->identity().id;
    if (!shown_id.isEmpty() && !summary.identity.isEmpty() && summary.identity != shown_id)
        return;
    CurveView *view = curve_window_->view();
    std::vector<double> shares;
    if (summary.histogram.total_seconds > 0)
        for (int bin = 0; bin < summary.histogram.bins(); ++bin)
            shares.push_back(summary.histogram.share(bin));
    view->set_light_shares(shares, HistorySummary::BAND_DAYS);
    std::vector<CurveView::Correction> corrections;
    for (const CorrectionRow &row : summary.corrections)
        corrections.push_back({int(row.light), row.level_after});
    view->set_corrections(corrections);
    std::vector<LightTimeView::Sample> samples;
    for (const MinuteRow &row : summary.samples)
        samples.push_back({row.minute_start * 1000, qRound(row.light_mean), qRound(row.width_mean)});
    curve_window_->time_view()->set_samples(samples);
    std::vector<LightTimeView::Spell> spells;
    for (const HuntingSpell &spell : summary.hunting)
        spells.push_back({spell.start * 1000, spell.end * 1000, spell.reversals});
    curve_window_->time_view()->set_hunting(spells);
    // A summary asked for while the controller was there says nothing of this.
    if (!curve_live_ && summary.last_configuration)
        show_last_known(summary.last_configuration);
    // A result just measured may not be in the store yet.
    show_coupling(summary.identity, summary.coupling);
    if (!summary.proposal.made) {
        curve_window_->clear_proposal();
        return;
    }
    CurveView::Points points;
    for (size_t i = 0; i < points.size(); ++i)
        points[i] = {int(summary.proposal.points[i].light), int(summary.proposal.points[i].width)};
    curve_window_->set_proposal(points, summary.proposal.explanation);
}

void Widget::show_last_known(const std::optional<StoredConfiguration> &stored)
{
    if (!stored) {
        curve_window_->set_read_only_note(tr("Контроллер не подключен, и его настроек в истории нет: показана только "
                                             "история."));
        return;
    }
    const CurveView::Points points = CurveView::points_of(stored->config);
    const bool linear = stored->config.pwm_smooth_alg() != 0;
    curve_window_->view()->set_applied_curve(points, linear);
    curve_window_->view()->set_edited_curve(points, linear);
    const QDateTime loaded = QDateTime::fromMSecsSinceEpoch(stored->time_ms);
    curve_window_->set_read_only_note(
        tr("Контроллер не подключен: кривая — последняя загруженная из него (%1). Здесь ее можно только посмотреть; "
           "применить изменения и использовать предложение можно, когда контроллер подключен.")
            .arg(locale().toString(loaded, QLocale::ShortFormat)));
}

// Only Apply writes it: a proposal never reaches the controller by itself.
void Widget::take_proposal(const CurveView::Points &points)
{
    for (size_t i = 0; i < points.size(); ++i)
        edit_curve_point(int(i) + 1, points[i].light, points[i].width);
}

void Widget::report(const Outcome &outcome)
{
    status_line_->report(outcome);
}
