#pragma once

#include "bus_names.h"
#include "bus_watches.h"
#include "controller_service.h"

#include <QDBusConnection>
#include <QObject>

#include <map>
#include <memory>

class ObjectManagerAdaptor;

// Every controller on the session bus: each present one has its own object
// at bus_names::controller_path(id); the old object at OBJECT_PATH serves
// the only one and is the object manager that lists them and announces each
// coming and going (a renamed controller goes and comes back under its new
// path).
class ControllerObjects : public QObject
{
    Q_OBJECT

public:
    explicit ControllerObjects(ControllerRegistry &registry, QObject *parent = nullptr);
    ~ControllerObjects() override;

    // Serves every object on `bus` under SERVICE_NAME. Returns false, with
    // the reason in *error and nothing left registered, when the bus is not
    // there or another process holds the name.
    bool publish(QDBusConnection bus, QString *error);

    // GetManagedObjects: each controller's object with its properties.
    bus_names::ManagedObjects managed_objects() const;

signals:
    // A StepUp or StepDown on any of the objects was refused (see
    // ControllerService::step_refused).
    void step_refused(Refusal refusal);

private:
    void add(ControllerThread *controller);
    void remove(ControllerThread *controller);
    void unregister_all();
    // The service's signals that concern the program, not its controller.
    void relay(ControllerService &service);

    BusWatches watches_;
    ControllerService root_;
    ObjectManagerAdaptor *manager_; // owned by root_, whose path it serves
    std::map<ControllerThread *, std::unique_ptr<ControllerService>> services_;
    QDBusConnection bus_;
};
