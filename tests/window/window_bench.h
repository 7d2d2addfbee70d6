#pragma once

// The main window on a simulated controller, driven tick by tick: the two
// timers are stopped, and a test runs the device check, the poll tick and the
// hot keys itself, then looks at the wire and at the form.

#include "app/widget.h"
#include "tools/sim/sim_backend.h"

#include <QByteArray>
#include <QList>
#include <QMessageBox>
#include <QMetaType>
#include <QStringList>

#include <memory>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;

// A controller described as data: what its firmware holds when the test
// begins. Unset fields keep the simulator's factory configuration.
//   Controller().mode(1).pwm_width(300)
//   Controller().point(3, 500, 282).byte(35, 2)
struct Controller
{
    SimState state;

    Controller &version(int value)
    {
        state.version = value;
        return *this;
    }
    Controller &pwm_width(unsigned value)
    {
        state.config.set_pwm_width(value);
        return *this;
    }
    Controller &light(unsigned value)
    {
        state.config.set_light_adc(value);
        return *this;
    }
    Controller &mode(unsigned value)
    {
        state.config.set_regulation_mode(value);
        return *this;
    }
    Controller &point(int n, unsigned light, unsigned level)
    {
        state.config.set_auto_light(n, light);
        state.config.set_auto_pwm(n, level);
        return *this;
    }
    Controller &levels(unsigned level)
    {
        for (int n = 1; n <= ConfigBlock::CURVE_POINTS; ++n)
            state.config.set_auto_pwm(n, level);
        return *this;
    }
    // One raw byte of the ConfigBlock, for values the setters normalise.
    Controller &byte(int at, unsigned char value)
    {
        state.config.bytes[size_t(at)] = value;
        return *this;
    }
};
Q_DECLARE_METATYPE(Controller)

// A message box that a tick showed, as the user saw it.
struct BoxSeen
{
    QString text;
    QString informative;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool has_parent = false;
};

struct TickResult
{
    static constexpr int NO_EXIT = -1000;
    int exit_code = NO_EXIT; // what the tick asked the event loop to end with
    QList<BoxSeen> boxes;
};

// A control's own enabled flag, whatever the state of its parents: Apply
// sits inside the automatic group, which manual regulation disables.
bool own_enabled(const QWidget *widget);

// Bytes [from, to] of a block, for comparisons that print readably.
QByteArray block_bytes(const ConfigBlock &block, int from, int to);
inline QByteArray status_part(const ConfigBlock &block) { return block_bytes(block, 0, 4); }
inline QByteArray config_part(const ConfigBlock &block) { return block_bytes(block, 5, ConfigBlock::SIZE - 1); }

class Bench
{
public:
    // The controller is on the bus but not opened yet; the window is built.
    explicit Bench(const Controller &controller = Controller());

    // --- Driving the window -------------------------------------------------
    void check();     // one run of the device check
    TickResult tick(); // one poll tick, from an event loop; boxes are closed with Ok
    void connect()    // the check that opens the controller and the tick that loads it
    {
        check();
        tick();
    }
    void hot_key(int id);
    void close() { window_.reset(); }
    Widget &window() { return *window_; }

    // --- The controller -----------------------------------------------------
    SimBackend &sim() { return sim_; }
    SimFirmware &firmware() { return sim_.firmware(device_); }
    ConfigBlock &controller_config() { return firmware().state().config; }
    void fail(int command, SimFaultKind kind = SimFaultKind::silent, int times = 1);
    void unplug() { sim_.unplug(device_); }
    void replug() { sim_.replug(device_); }
    // Another controller takes the place of the current one on the bus.
    void replace(const Controller &other);

    // --- The wire, since the last forget_wire() -----------------------------
    void forget_wire() { sim_.clear_logs(); }
    QList<int> requests() const; // command codes written, in order
    QList<QByteArray> reports(int command) const;  // whole output reports of that command
    QList<QByteArray> payloads(int command) const; // their payloads, after the command byte
    QByteArray last_reply(int command) const;      // reply payload of the last such reply

    // --- The form -----------------------------------------------------------
    QSlider *level(int n);
    QSpinBox *threshold(int n);
    QLineEdit *percent(int n);
    QPushButton *apply();
    QWidget *frame();
    QGroupBox *auto_group();
    QGroupBox *manual();
    QSlider *manual_slider();
    QCheckBox *smoothing();
    QSpinBox *step_delay();
    QSpinBox *slide_delay();
    QSpinBox *samples();
    QLineEdit *light_readout();
    QLineEdit *brightness_readout();
    template<class T> T *control(const char *name);

    // The configuration the form shows, in the block's layout (bytes 5..36).
    ConfigBlock form();
    // The user enters every configuration field of `config` into the form.
    void enter(const ConfigBlock &config);

private:
    void stop_timers();
    [[noreturn]] static void no_such_control(const char *name);

    SimBackend sim_; // outlives the window, whose destructor still writes to it
    int device_ = -1;
    std::unique_ptr<Widget> window_;
};

template<class T> T *Bench::control(const char *name)
{
    T *found = window_->findChild<T *>(QLatin1String(name));
    if (!found)
        no_such_control(name);
    return found;
}

// Collects the debug messages written while it lives; other messages go on
// to the handler that was installed before.
class DebugLines
{
public:
    DebugLines();
    ~DebugLines();
    DebugLines(const DebugLines &) = delete;
    DebugLines &operator=(const DebugLines &) = delete;

    QStringList lines;

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message);
    static DebugLines *current;
    static QtMessageHandler previous;
};
