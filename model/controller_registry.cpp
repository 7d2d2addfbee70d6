#include "controller_registry.h"

#include "controller.h"

#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <memory>

std::vector<ControllerIdentity> list_controllers(const HidDevice &scanner, QSet<QString> *twin_serials)
{
    std::vector<ControllerIdentity> listed;
    for (const HidInterface &hid : scanner.scan()) {
        ControllerIdentity identity;
        identity.vendor_id = hid.vendor_id;
        identity.product_id = hid.product_id;
        identity.firmware_version = CONTROLLER_VERSION;
        identity.serial = QString::fromStdString(hid.serial);
        identity.port = QString::fromStdString(hid.port);
        identity.path = QString::fromStdString(hid.path);
        listed.push_back(identity);
    }
    assign_controller_ids(listed, twin_serials);
    std::sort(listed.begin(), listed.end(),
              [](const ControllerIdentity &a, const ControllerIdentity &b) { return a.id < b.id; });
    return listed;
}

ControllerRegistry::ControllerRegistry(HidBackend &backend, Threading threading, QObject *parent)
    : QObject(parent)
    , backend_(backend)
    , threading_(threading)
    , scanner_(backend)
    , twin_serials_(remembered_twin_serials())
{
    scanner_.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    places_.push_back({std::make_unique<ControllerThread>(backend_, threading_), QString(), false, false});

    // Single-shot and re-armed after each check, as the controller's own.
    check_timer_ = new QTimer(this);
    check_timer_->setObjectName(QStringLiteral("registry_check_timer"));
    check_timer_->setSingleShot(true);
    check_timer_->setTimerType(Qt::PreciseTimer);
    check_timer_->setInterval(Controller::DEVICE_CHECK_MS);
    connect(check_timer_, &QTimer::timeout, this, [this] {
        check_devices();
        if (started_ && !closing_)
            check_timer_->start();
    });
}

ControllerRegistry::~ControllerRegistry() = default;

void ControllerRegistry::share_devices(bool shared)
{
    shared_ = shared;
    for (Place &place : places_)
        place.controller->share_device(shared);
}

void ControllerRegistry::start()
{
    watch_devices();
    started_ = true;
    for (Place &place : places_)
        place.controller->start();
}

// The monitor comes before the listing: what happens in between is an
// event still to be taken.
void ControllerRegistry::watch_devices()
{
    monitor_ = backend_.monitor();
    if (!monitor_) {
        check_timer_->start();
        return;
    }
    for (Place &place : places_)
        place.controller->follow_hot_plug(true);
    monitor_notifier_ = new QSocketNotifier(monitor_->fd(), QSocketNotifier::Read, this);
    connect(monitor_notifier_, &QSocketNotifier::activated, this, &ControllerRegistry::take_events);
    check_devices();
}

// Only events about controllers list the bus again: an add or a remove.
// A second add of a controller present changes nothing in that listing;
// bind, unbind and the rest say nothing about presence.
void ControllerRegistry::take_events()
{
    bool list_again = false;
    for (const HidEvent &event : monitor_->receive()) {
        const QString path = QString::fromStdString(event.hid.path);
        const auto held = std::find_if(places_.begin(), places_.end(), [&path](const Place &place) {
            return place.present && place.controller->identity().path == path;
        });
        switch (event.action) {
        case HidEvent::Action::add:
            list_again = list_again
                || (event.hid.vendor_id == CONTROLLER_VENDOR_ID && event.hid.product_id == CONTROLLER_PRODUCT_ID);
            break;
        case HidEvent::Action::remove:
            // A replug may list the node again before this is taken; the
            // handle held died with the device all the same.
            if (held != places_.end()) {
                held->removed = true;
                list_again = true;
            }
            break;
        case HidEvent::Action::change:
            // An open that failed gets another try: the permissions may
            // have been set just now.
            if (held != places_.end()) {
                held->controller->retry_open();
                emit node_changed(held->controller.get());
            }
            break;
        case HidEvent::Action::other:
            break;
        }
    }
    if (list_again)
        check_devices();
}

std::vector<ControllerThread *> ControllerRegistry::present() const
{
    std::vector<ControllerThread *> found;
    for (const Place &place : places_)
        if (place.present)
            found.push_back(place.controller.get());
    std::sort(found.begin(), found.end(),
              [](ControllerThread *a, ControllerThread *b) { return a->identity().id < b->identity().id; });
    return found;
}

std::vector<ControllerThread *> ControllerRegistry::places() const
{
    std::vector<ControllerThread *> all;
    for (const Place &place : places_)
        all.push_back(place.controller.get());
    return all;
}

void ControllerRegistry::wire_each(std::function<void(ControllerThread &)> wire)
{
    for (Place &place : places_)
        wire(*place.controller);
    wirings_.push_back(std::move(wire));
}

ControllerThread *ControllerRegistry::find(const QString &id) const
{
    for (const Place &place : places_)
        if (place.present && place.controller->identity().id == id)
            return place.controller.get();
    return nullptr;
}

ControllerThread *ControllerRegistry::only() const
{
    const std::vector<ControllerThread *> now = present();
    if (now.size() > 1)
        return nullptr;
    return now.empty() ? places_.front().controller.get() : now.front();
}

// Each interface listed is matched to the place that has its node and id;
// a node whose controller changed (another serial or port behind the same
// node) is opened anew; a place whose node went is let go.
void ControllerRegistry::check_devices()
{
    if (closing_)
        return;
    const QSet<QString> twins_before = twin_serials_;
    std::vector<ControllerIdentity> listed = list_controllers(scanner_, &twin_serials_);
    if (twin_serials_ != twins_before)
        remember_twin_serials(twin_serials_);

    bool changed = false;
    for (size_t index = places_.size(); index-- > 0;) {
        Place &place = places_[index];
        if (!place.present)
            continue;
        const ControllerIdentity &held = place.controller->identity();
        const auto same = std::find_if(listed.begin(), listed.end(), [&held](const ControllerIdentity &now) {
            return now.path == held.path && now.serial == held.serial && now.port == held.port;
        });
        if (same == listed.end() || place.removed) {
            let_go(index);
            changed = true;
            continue;
        }
        if (same->id != held.id) {
            place.last_id = same->id;
            place.controller->reopen(*same);
            emit controller_renamed(place.controller.get());
        }
        listed.erase(same);
    }
    for (const ControllerIdentity &identity : listed) {
        Place &place = take_place(identity);
        place.present = true;
        place.last_id = identity.id;
        place.controller->reopen(identity);
        emit controller_added(place.controller.get());
        changed = true;
    }
    if (changed)
        emit present_changed();
}

// A controller that comes back takes the place it had; otherwise the first
// place when free, otherwise a new one.
ControllerRegistry::Place &ControllerRegistry::take_place(const ControllerIdentity &identity)
{
    for (Place &place : places_)
        if (!place.present && place.last_id == identity.id)
            return place;
    if (!places_.front().present)
        return places_.front();
    places_.push_back({std::make_unique<ControllerThread>(backend_, threading_), QString(), false, false});
    ControllerThread &added = *places_.back().controller;
    for (const auto &wire : wirings_)
        wire(added);
    added.share_device(shared_);
    if (monitor_)
        added.follow_hot_plug(true);
    if (started_)
        added.start();
    return places_.back();
}

void ControllerRegistry::let_go(size_t index)
{
    Place &place = places_[index];
    place.present = false;
    place.removed = false;
    ControllerThread *controller = place.controller.get();
    emit controller_removed(controller);
    if (index == 0) {
        controller->release([] {});
        return;
    }
    // Deleted once the actions it still had are answered.
    leaving_.push_back(std::move(place.controller));
    places_.erase(places_.begin() + std::ptrdiff_t(index));
    // Not deleted from within its own call: in an event of the registry's.
    controller->release([this, controller] {
        QMetaObject::invokeMethod(this, [this, controller] {
            leaving_.erase(std::remove_if(leaving_.begin(), leaving_.end(),
                                          [controller](const auto &gone) { return gone.get() == controller; }),
                           leaving_.end());
        }, Qt::QueuedConnection);
    });
}

void ControllerRegistry::end(std::function<void()> ended)
{
    if (closing_)
        return;
    closing_ = true;
    check_timer_->stop();
    if (monitor_notifier_)
        monitor_notifier_->setEnabled(false);
    const auto left = std::make_shared<size_t>(places_.size());
    for (Place &place : places_)
        place.controller->end([left, ended](const Outcome &) {
            if (--*left == 0 && ended)
                ended();
        });
}
