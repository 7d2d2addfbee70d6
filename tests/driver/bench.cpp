#include "bench.h"

#include "ui/widget.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>

QByteArray block_bytes(const ConfigBlock &block, int from, int to)
{
    return QByteArray(reinterpret_cast<const char *>(block.bytes.data()) + from, to - from + 1);
}

bool own_enabled(const QWidget *widget)
{
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

Bench::Bench(const ControllerState &controller, View view)
    : view_kind_(view)
{
    sim_.add_decoys(controller.decoys_before);
    device_ = sim_.add_controller(controller.state);
    start();
}

Bench::~Bench() = default;

void Bench::start()
{
    registry_ = std::make_unique<ControllerRegistry>(*front_, ControllerRegistry::Threading::caller);
    QObject::connect(&model(), &Controller::identification_failed, [this](int version_found) {
        failures.append(IdentificationFailure{version_found});
        if (while_failure_reported)
            while_failure_reported();
    });
    if (view_kind_ == View::attached)
        view_ = std::make_unique<Widget>(*registry_);
}

void Bench::check()
{
    std::vector<std::pair<ControllerThread *, QString>> before;
    for (ControllerThread *place : registry_->places())
        before.emplace_back(place, place->identity().path);
    registry_->check_devices();
    for (const auto &[place, path] : before)
        if (!path.isEmpty() && place->identity().path == path)
            place->controller().check_hid_device();
}

void Bench::tick()
{
    failures.clear();
    model().form_update();
}

void Bench::close()
{
    if (!registry_)
        return;
    model().end();
    view_.reset();
    registry_.reset();
}

void Bench::restart()
{
    close();
    start();
}

void Bench::run_on(HidBackend &front)
{
    // The model being replaced never ran, or ends as the program would.
    close();
    front_ = &front;
    start();
}

void Bench::fail(int command, SimFaultKind kind, int times)
{
    sim_.add_fault(device_, SimFault{kind, command, times});
}

void Bench::replace(const ControllerState &other)
{
    unplug();
    device_ = sim_.add_controller(other.state);
}

QList<int> Bench::requests() const
{
    QList<int> codes;
    for (const SimWireRecord &record : sim_.wire()) {
        if (record.direction == SimDirection::out)
            codes.append(record.command());
    }
    return codes;
}

QList<QByteArray> Bench::reports(int command) const
{
    QList<QByteArray> list;
    for (const SimWireRecord &record : sim_.wire()) {
        if (record.direction == SimDirection::out && record.command() == command)
            list.append(QByteArray(reinterpret_cast<const char *>(record.bytes.data()), qsizetype(record.bytes.size())));
    }
    return list;
}

QList<QByteArray> Bench::payloads(int command) const
{
    QList<QByteArray> list;
    for (const QByteArray &report : reports(command))
        list.append(report.mid(2));
    return list;
}

QByteArray Bench::last_reply(int command) const
{
    for (auto it = sim_.wire().rbegin(); it != sim_.wire().rend(); ++it) {
        if (it->direction == SimDirection::in && it->command() == command) {
            const std::vector<unsigned char> payload = it->payload();
            return QByteArray(reinterpret_cast<const char *>(payload.data()), qsizetype(payload.size()));
        }
    }
    return {};
}

// --- The form ---------------------------------------------------------------------

Widget &Bench::view()
{
    if (!view_)
        qFatal("the test drives the model without a view");
    return *view_;
}

// A renamed control would otherwise crash the test far from the cause.
QObject *Bench::find_control(const char *name)
{
    QObject *found = view().findChild<QObject *>(QLatin1String(name));
    if (!found)
        qFatal("the window has no control named %s", name);
    return found;
}

namespace {
QByteArray point_name(int n, const char *role)
{
    return QByteArray("auto_") + QByteArray::number(n) + '_' + role;
}
} // namespace

QSlider *Bench::level(int n) { return control<QSlider>(point_name(n, "verticalSlider").constData()); }
QSpinBox *Bench::threshold(int n) { return control<QSpinBox>(point_name(n, "light_spinBox").constData()); }
QLineEdit *Bench::percent(int n) { return control<QLineEdit>(point_name(n, "lineEdit").constData()); }
QPushButton *Bench::apply() { return control<QPushButton>("apply_pushButton"); }
QGroupBox *Bench::live_group() { return control<QGroupBox>("groupBox_2"); }
QGroupBox *Bench::auto_group() { return control<QGroupBox>("auto_groupBox"); }
QGroupBox *Bench::manual() { return control<QGroupBox>("groupBox_5"); }
QSlider *Bench::manual_slider() { return control<QSlider>("pwm_width_horizontalSlider"); }
QCheckBox *Bench::smoothing() { return control<QCheckBox>("pwm_smooth_alg_checkBox"); }
QSpinBox *Bench::step_delay() { return control<QSpinBox>("pwm_step_delay_spinBox"); }
QSpinBox *Bench::slide_delay() { return control<QSpinBox>("pwm_slide_delay_spinBox"); }
QSpinBox *Bench::samples() { return control<QSpinBox>("avrg_light_num_spinBox"); }
QLineEdit *Bench::light_readout() { return control<QLineEdit>("vAKB_lineEdit"); }
QLineEdit *Bench::brightness_readout() { return control<QLineEdit>("brightness_lineEdit"); }

ConfigBlock Bench::form()
{
    ConfigBlock block;
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        block.set_auto_light(n, unsigned(threshold(n)->value()));
        block.set_auto_pwm(n, unsigned(level(n)->value()));
    }
    block.set_pwm_step_delay(unsigned(step_delay()->value()));
    block.set_pwm_slide_delay(unsigned(slide_delay()->value()));
    block.set_pwm_smooth_alg(smoothing()->isChecked());
    block.set_avrg_light_num(unsigned(samples()->value()));
    return block;
}

void Bench::enter(const ConfigBlock &config)
{
    for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n) {
        threshold(n)->setValue(int(config.auto_light(n)));
        level(n)->setValue(int(config.auto_pwm(n)));
    }
    step_delay()->setValue(int(config.pwm_step_delay()));
    slide_delay()->setValue(int(config.pwm_slide_delay()));
    smoothing()->setChecked(config.pwm_smooth_alg() != 0);
    samples()->setValue(int(config.avrg_light_num()));
}
