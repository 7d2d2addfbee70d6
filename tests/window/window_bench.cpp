#include "window_bench.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTimer>

bool own_enabled(const QWidget *widget)
{
    return !widget->testAttribute(Qt::WA_ForceDisabled);
}

QByteArray block_bytes(const ConfigBlock &block, int from, int to)
{
    return QByteArray(reinterpret_cast<const char *>(block.bytes.data()) + from, to - from + 1);
}

Bench::Bench(const Controller &controller)
    : device_(sim_.add_controller(controller.state))
    , window_(std::make_unique<Widget>(sim_))
{
    stop_timers();
}

void Bench::stop_timers()
{
    for (const char *name : {"poll_timer", "check_timer"})
        control<QTimer>(name)->stop();
}

void Bench::check()
{
    QMetaObject::invokeMethod(window_.get(), "check_hid_device");
    stop_timers();
}

// The tick runs inside a local event loop, as the application's loop runs
// it, so that its message box gets a nested loop and QCoreApplication::exit
// has a loop to end: exit() asks every running loop to end, so a loop that no
// longer runs once the tick has returned was told to end with the tick's code.
TickResult Bench::tick()
{
    TickResult result;
    QTimer closer;
    closer.setInterval(0);
    QObject::connect(&closer, &QTimer::timeout, [&result] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        QAbstractButton *default_button = box->defaultButton();
        result.boxes.append({box->text(), box->informativeText(), box->standardButtons(),
                             default_button ? box->standardButton(default_button) : QMessageBox::NoButton,
                             box->windowTitle(), box->icon(), box->parent() != nullptr});
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    });
    closer.start();

    QEventLoop loop;
    QTimer::singleShot(0, &loop, [&] {
        QMetaObject::invokeMethod(window_.get(), "form_update");
        if (loop.isRunning())
            loop.exit(TickResult::NO_EXIT);
    });
    result.exit_code = loop.exec();
    closer.stop();
    stop_timers();

    if (result.exit_code != TickResult::NO_EXIT) {
        // exit() also marks the thread as quitting, which would end every
        // later local loop (message boxes included) at once; a run of the
        // application's own loop clears that mark.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        QCoreApplication::exec();
    }
    return result;
}

void Bench::hot_key(int id)
{
    QMetaObject::invokeMethod(window_.get(), "hot_key_pressed", Q_ARG(int, id));
}

void Bench::fail(int command, SimFaultKind kind, int times)
{
    sim_.add_fault(device_, SimFault{kind, command, times});
}

void Bench::replace(const Controller &other)
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

// A renamed control would otherwise crash the test far from the cause.
void Bench::no_such_control(const char *name)
{
    qFatal("the window has no control named %s", name);
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
QWidget *Bench::frame() { return control<QWidget>("configuration_frame"); }
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

DebugLines *DebugLines::current = nullptr;
QtMessageHandler DebugLines::previous = nullptr;

DebugLines::DebugLines()
{
    current = this;
    previous = qInstallMessageHandler(handle);
}

DebugLines::~DebugLines()
{
    qInstallMessageHandler(previous);
    current = nullptr;
}

void DebugLines::handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtDebugMsg && current)
        current->lines.append(message);
    else if (previous)
        previous(type, context, message);
}
