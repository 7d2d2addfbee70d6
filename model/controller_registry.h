#pragma once

#include "controller_identity.h"
#include "controller_thread.h"
#include "device/hid_device.h"

#include <QObject>
#include <QSet>

#include <functional>
#include <memory>
#include <vector>

class QSocketNotifier;
class QTimer;

// The controllers on the bus now, each with its id, in the order of their
// ids (the order people number them in). Opens nothing. A serial seen twice
// is remembered in *twin_serials.
std::vector<ControllerIdentity> list_controllers(const HidDevice &scanner, QSet<QString> *twin_serials);

// Every controller present, found from udev's hidraw events where udev runs
// (a listing at the start, then one per event about a controller), else by
// a device check every 500 ms (the device check of old, now for all of
// them): each gets its own Controller
// behind a ControllerThread, and the registry says when one comes and goes.
//
// The first ControllerThread is there from the start, with or without a
// device, and is never removed: with one controller (or none) the program
// behaves as it always did, the window and the old D-Bus object bound to
// it. A controller that goes away is let go; the first one's place waits
// for the next controller, the others' are removed.
class ControllerRegistry : public QObject
{
    Q_OBJECT

public:
    using Threading = ControllerThread::Threading;

    ControllerRegistry(HidBackend &backend, Threading threading, QObject *parent = nullptr);
    ~ControllerRegistry() override; // ends the workers; writes nothing

    // Every Controller shares its device through its node's lock.
    void share_devices(bool shared);
    // Starts finding controllers and every controller's poll cycle.
    void start();
    // Starts finding controllers (start() does): under udev a listing now
    // and one per event about a controller; else the 500 ms device check.
    void watch_devices();
    bool follows_udev() const { return monitor_ != nullptr; }
    // One device check (tests and the direct client drive it by hand).
    void check_devices();

    // The first place, always there.
    ControllerThread &first() { return *places_.front().controller; }
    // Controllers with a device, in the order of their ids: the order people
    // number them in ("list").
    std::vector<ControllerThread *> present() const;
    // The present controller with this id, or nullptr.
    ControllerThread *find(const QString &id) const;
    // The one controller an action without a choice goes to: the only one
    // present, or the first place when none is; nullptr when several are.
    ControllerThread *only() const;
    // Every place, present or not (ending, tests).
    std::vector<ControllerThread *> places() const;
    // Calls `wire` for every place there is and for each made later, on this
    // thread before the place is first announced: what every controller is
    // connected to (the history, the notices) is wired once each.
    void wire_each(std::function<void(ControllerThread &)> wire);

    // The program ends: every controller ends as ControllerThread::end does;
    // `ended` runs once all of them have answered.
    void end(std::function<void()> ended);
    bool closing() const { return closing_; }

signals:
    // A controller came (its ControllerThread has its identity already).
    void controller_added(ControllerThread *controller);
    // A controller went; a place other than the first is deleted after this.
    void controller_removed(ControllerThread *controller);
    // A present controller's id changed (its serial turned out to have a twin).
    void controller_renamed(ControllerThread *controller);
    // Once after every device check that changed who is present.
    void present_changed();
    // udev says the node of a present controller changed (its permissions
    // were set, say); an open that failed has been tried again.
    void node_changed(ControllerThread *controller);

private:
    struct Place
    {
        std::unique_ptr<ControllerThread> controller;
        QString last_id; // who it was last, for a controller that comes back
        bool present = false;
        bool removed = false; // udev said its node went: let go even if listed again
    };
    Place &take_place(const ControllerIdentity &identity);
    void let_go(size_t index);
    void take_events();

    HidBackend &backend_;
    Threading threading_;
    HidDevice scanner_; // lists interfaces; never opens one
    std::vector<Place> places_;
    std::vector<std::unique_ptr<ControllerThread>> leaving_; // let go, answering what waited
    std::vector<std::function<void(ControllerThread &)>> wirings_;
    QSet<QString> twin_serials_;
    bool shared_ = false;
    bool started_ = false;
    bool closing_ = false;
    QTimer *check_timer_ = nullptr;
    std::unique_ptr<HidMonitor> monitor_; // nullptr: no udev, the timer checks
    QSocketNotifier *monitor_notifier_ = nullptr;
};
