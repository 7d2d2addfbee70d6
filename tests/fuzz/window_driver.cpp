#include "window_driver.h"

#include "app/widget.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QEventLoop>
#include <QGroupBox>
#include <QMessageBox>
#include <QSpinBox>

#include <limits>

namespace {

constexpr int NO_EXIT = std::numeric_limits<int>::min();

// After QCoreApplication::exit() every event loop that starts returns at once
// until the application's loop has run again; a throw-away loop tells.
bool exit_requested()
{
    QEventLoop probe;
    QTimer::singleShot(0, &probe, [&probe] { probe.exit(0); });
    return probe.exec() != 0;
}

template<typename T>
T *child(QWidget *window, const QString &name)
{
    return window ? window->findChild<T *>(name) : nullptr;
}

} // namespace

int run_in_event_loop(const std::function<void()> &action)
{
    QTimer::singleShot(0, qApp, [&action] {
        action();
        if (!exit_requested())
            QCoreApplication::exit(NO_EXIT);
    });
    const int code = QCoreApplication::exec();
    return code == NO_EXIT ? -1 : code;
}

WindowDriver::WindowDriver(InvariantChecker &checker)
    : checker_(checker)
{
    // Only modal boxes run event loops between ticks, and only the
    // identification error box is modal: close it once it is up.
    box_closer_.setInterval(0);
    QObject::connect(&box_closer_, &QTimer::timeout, [this] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        checker_.error_box(box->text(), box->informativeText());
        if (while_box_open)
            while_box_open();
        box->done(QMessageBox::Ok);
    });
}

WindowDriver::~WindowDriver() = default;

void WindowDriver::open_window()
{
    close_window();
    window_ = std::make_unique<Widget>(checker_);
    stop_timers();
    checker_.watch(window_.get());
}

void WindowDriver::close_window()
{
    if (!window_)
        return;
    checker_.begin(Step::close);
    window_.reset();
    checker_.end();
    checker_.watch(nullptr);
}

void WindowDriver::stop_timers()
{
    for (const char *name : {"poll_timer", "check_timer"}) {
        if (auto *timer = window_->findChild<QTimer *>(QLatin1String(name)))
            timer->stop();
    }
}

int WindowDriver::tick()
{
    checker_.begin(Step::tick);
    box_closer_.start();
    const int code = run_in_event_loop(
        [this] { QMetaObject::invokeMethod(window_.get(), "form_update"); });
    box_closer_.stop();
    stop_timers();
    checker_.end(code);
    return code;
}

void WindowDriver::run_device_check()
{
    QMetaObject::invokeMethod(window_.get(), "check_hid_device");
    stop_timers();
}

void WindowDriver::check()
{
    checker_.begin(Step::check);
    run_device_check();
    checker_.end();
}

void WindowDriver::click_apply()
{
    checker_.begin(Step::apply);
    // click() does nothing on a disabled button, as for the user.
    if (auto *apply = child<QAbstractButton>(window_.get(), QStringLiteral("apply_pushButton")))
        apply->click();
    stop_timers();
    checker_.end();
}

template<typename Action>
void WindowDriver::edit(Action action)
{
    checker_.begin(Step::edit);
    action();
    stop_timers();
    checker_.end();
}

void WindowDriver::toggle_manual()
{
    edit([this] {
        auto *group = child<QGroupBox>(window_.get(), QStringLiteral("groupBox_5"));
        if (group && group->isEnabled())
            group->setChecked(!group->isChecked());
    });
}

void WindowDriver::set_manual_level(int level)
{
    edit([this, level] {
        auto *slider = child<QAbstractSlider>(window_.get(), QStringLiteral("pwm_width_horizontalSlider"));
        if (slider && slider->isEnabled())
            slider->setValue(level);
    });
}

void WindowDriver::set_curve_point(int point, int level, int light)
{
    edit([this, point, level, light] {
        const QString prefix = QStringLiteral("auto_%1_").arg(point);
        auto *slider = child<QAbstractSlider>(window_.get(), prefix + QStringLiteral("verticalSlider"));
        if (slider && slider->isEnabled())
            slider->setValue(level);
        auto *spin = child<QSpinBox>(window_.get(), prefix + QStringLiteral("light_spinBox"));
        if (spin && spin->isEnabled())
            spin->setValue(light);
    });
}

void WindowDriver::set_setting(int field, int value)
{
    static const char *const spins[] = {"pwm_step_delay_spinBox", "pwm_slide_delay_spinBox",
                                        "avrg_light_num_spinBox"};
    edit([this, field, value] {
        if (field < 3) {
            auto *spin = child<QSpinBox>(window_.get(), QLatin1String(spins[field]));
            if (spin && spin->isEnabled())
                spin->setValue(value);
            return;
        }
        auto *box = child<QAbstractButton>(window_.get(), QStringLiteral("pwm_smooth_alg_checkBox"));
        if (box && box->isEnabled())
            box->setChecked(!box->isChecked());
    });
}

void WindowDriver::hot_key(int id)
{
    checker_.begin(Step::hot_key, id);
    QMetaObject::invokeMethod(window_.get(), "hot_key_pressed", Q_ARG(int, id));
    stop_timers();
    checker_.end();
}
