#pragma once

// The program's model on a simulated controller, driven step by step: the
// model's timers never run, and a test (or the fuzz session, or the tick
// benchmark) runs the device check and the poll tick itself, then looks at
// the wire, at the model and, where a view is attached, at the form.

#include "controller_state.h"
#include "model/controller.h"
#include "model/controller_registry.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QSpinBox;
class QWidget;
class Widget;

// One identification_failed signal: the version found, -1 when the
// controller did not answer.
struct IdentificationFailure
{
    int version_found = 0;
};

// Bytes [from, to] of a block, for comparisons that print readably.
QByteArray block_bytes(const ConfigBlock &block, int from, int to);
inline QByteArray status_part(const ConfigBlock &block) { return block_bytes(block, 0, 4); }
inline QByteArray config_part(const ConfigBlock &block) { return block_bytes(block, 5, ConfigBlock::SIZE - 1); }

// A control's own enabled flag, whatever the state of its parents: Apply
// sits inside the automatic group, which manual regulation disables.
bool own_enabled(const QWidget *widget);

class Bench
{
public:
    enum class View { none, attached };

    // The controller is on the bus but not opened yet; the program has started.
    explicit Bench(const ControllerState &controller = ControllerState(), View view = View::none);
    ~Bench();

    Bench(const Bench &) = delete;
    Bench &operator=(const Bench &) = delete;

    // --- The program ----------------------------------------------------------
    Controller &model() { return link().controller(); }
    // The model as the views and the D-Bus service reach it (on this thread).
    ControllerThread &link() { return registry_->first(); }
    ControllerRegistry &registry() { return *registry_; }
    bool running() const { return registry_ != nullptr; }
    // One device check: the registry's, then each controller's own (which
    // a controller just found had already).
    void check();
    void tick();
    void connect() // the check that opens the controller and the tick that loads it
    {
        check();
        tick();
    }
    // The program ends as main ends it: the write-back, then the model and
    // its view go away.
    void close();
    // The program starts again (after close(), or closing it first).
    void restart();
    // The program starts again on another HID layer in front of the bus
    // (fault injection, checks); restarts stay on it.
    void run_on(HidBackend &front);

    // Identification failures the model reported during the last tick.
    QList<IdentificationFailure> failures;
    // Runs inside each identification_failed signal, as the error box's own
    // event loop runs the device check while the box is open.
    std::function<void()> while_failure_reported;

    // --- The controller -------------------------------------------------------
    SimBackend &sim() { return sim_; }
    int device() const { return device_; }
    SimFirmware &firmware() { return sim_.firmware(device_); }
    ConfigBlock &controller_config() { return firmware().state().config; }
    void fail(int command, SimFaultKind kind = SimFaultKind::silent, int times = 1);
    void unplug() { sim_.unplug(device_); }
    void replug() { sim_.replug(device_); }
    // Another controller takes the place of the current one on the bus.
    void replace(const ControllerState &other);

    // --- The wire, since the last forget_wire() -------------------------------
    void forget_wire() { sim_.clear_logs(); }
    QList<int> requests() const; // command codes written, in order
    QList<QByteArray> reports(int command) const;  // whole output reports of that command
    QList<QByteArray> payloads(int command) const; // their payloads, after the command byte
    QByteArray last_reply(int command) const;      // reply payload of the last such reply

    // --- The form (View::attached only) ---------------------------------------
    Widget &view();
    QSlider *level(int n);
    QSpinBox *threshold(int n);
    QLineEdit *percent(int n);
    QPushButton *apply();
    // The read-outs' group: greyed, as every control that needs a controller, without a live one.
    QGroupBox *live_group();
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
    void start();
    QObject *find_control(const char *name);

    SimBackend sim_; // outlives the model, whose HidDevice still holds a handle
    HidBackend *front_ = &sim_;
    int device_ = -1;
    View view_kind_;
    std::unique_ptr<ControllerRegistry> registry_;
    std::unique_ptr<Widget> view_;
};

template<class T> T *Bench::control(const char *name)
{
    return static_cast<T *>(find_control(name));
}
