#include "controller_objects.h"

#include <QDBusAbstractAdaptor>

// org.freedesktop.DBus.ObjectManager on the old object (Qt 6.4 has none of
// its own): the list comes from ControllerObjects, the signals are emitted
// by it and relayed by Qt like any adaptor's.
class ObjectManagerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.DBus.ObjectManager")
    Q_CLASSINFO("D-Bus Introspection",
                "  <interface name=\"org.freedesktop.DBus.ObjectManager\">\n"
                "    <method name=\"GetManagedObjects\">\n"
                "      <arg name=\"objects\" type=\"a{oa{sa{sv}}}\" direction=\"out\"/>\n"
                "    </method>\n"
                "    <signal name=\"InterfacesAdded\">\n"
                "      <arg name=\"object\" type=\"o\"/>\n"
                "      <arg name=\"interfaces\" type=\"a{sa{sv}}\"/>\n"
                "    </signal>\n"
                "    <signal name=\"InterfacesRemoved\">\n"
                "      <arg name=\"object\" type=\"o\"/>\n"
                "      <arg name=\"interfaces\" type=\"as\"/>\n"
                "    </signal>\n"
                "  </interface>\n")

public:
    ObjectManagerAdaptor(ControllerService &root, const ControllerObjects &objects)
        : QDBusAbstractAdaptor(&root)
        , objects_(objects)
    {
    }

public slots:
    bus_names::ManagedObjects GetManagedObjects() { return objects_.managed_objects(); }

signals:
    void InterfacesAdded(const QDBusObjectPath &object, const bus_names::InterfaceProperties &interfaces);
    void InterfacesRemoved(const QDBusObjectPath &object, const QStringList &interfaces);

private:
    const ControllerObjects &objects_;
};

ControllerObjects::ControllerObjects(ControllerRegistry &registry, QObject *parent)
    : QObject(parent)
    , watches_(registry.cadence())
    , root_(registry)
    , bus_(QString())
{
    bus_names::register_types();
    manager_ = new ObjectManagerAdaptor(root_, *this);
    relay(root_);

    for (ControllerThread *present : registry.present())
        add(present);
    connect(&registry, &ControllerRegistry::controller_added, this, &ControllerObjects::add);
    connect(&registry, &ControllerRegistry::controller_removed, this, &ControllerObjects::remove);
    connect(&registry, &ControllerRegistry::controller_renamed, this, [this](ControllerThread *controller) {
        remove(controller);
        add(controller);
    });
}

ControllerObjects::~ControllerObjects() = default;

bool ControllerObjects::publish(QDBusConnection bus, QString *error)
{
    if (!bus.isConnected()) {
        *error = bus.lastError().message();
        return false;
    }
    if (!root_.register_on(bus)) {
        *error = QStringLiteral("the object %1 is already registered").arg(root_.path());
        return false;
    }
    for (const auto &[controller, service] : services_)
        service->register_on(bus);
    if (!bus.registerService(QLatin1String(bus_names::SERVICE_NAME))) {
        *error = QStringLiteral("another process holds the name %1").arg(QLatin1String(bus_names::SERVICE_NAME));
        unregister_all();
        return false;
    }
    bus_ = bus;
    watches_.set_bus(bus);
    return true;
}

void ControllerObjects::relay(ControllerService &service)
{
    connect(&service, &ControllerService::step_refused, this, &ControllerObjects::step_refused);
    connect(&service, &ControllerService::watch_asked, &watches_, &BusWatches::watch);
    connect(&service, &ControllerService::unwatch_asked, &watches_, &BusWatches::unwatch);
}

bus_names::ManagedObjects ControllerObjects::managed_objects() const
{
    bus_names::ManagedObjects objects;
    for (const auto &[controller, service] : services_)
        objects.insert(QDBusObjectPath(service->path()),
                       {{QLatin1String(bus_names::INTERFACE_NAME), service->property_values()}});
    return objects;
}

void ControllerObjects::add(ControllerThread *controller)
{
    auto service = std::make_unique<ControllerService>(*controller, bus_names::controller_path(controller->identity().id));
    relay(*service);
    ControllerService &added = *service;
    services_[controller] = std::move(service);
    // Ids are unique among those present and escaping keeps them apart, so
    // the path is free.
    if (bus_.isConnected() && added.register_on(bus_))
        emit manager_->InterfacesAdded(QDBusObjectPath(added.path()),
                                       {{QLatin1String(bus_names::INTERFACE_NAME), added.property_values()}});
}

// In the registry's signal, before a controller other than the first is
// deleted: nothing here points to it afterwards.
void ControllerObjects::remove(ControllerThread *controller)
{
    const auto found = services_.find(controller);
    if (found == services_.end())
        return;
    const std::unique_ptr<ControllerService> gone = std::move(found->second);
    services_.erase(found);
    if (!bus_.isConnected())
        return;
    gone->unregister();
    emit manager_->InterfacesRemoved(QDBusObjectPath(gone->path()), {QLatin1String(bus_names::INTERFACE_NAME)});
}

void ControllerObjects::unregister_all()
{
    for (const auto &[controller, service] : services_)
        service->unregister();
    root_.unregister();
}

#include "controller_objects.moc"
