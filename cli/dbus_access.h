#pragma once

#include "controller_access.h"
#include "controller_proxy.h"

#include <QDBusConnection>

#include <functional>
#include <memory>

// The controller through the running program's D-Bus interface: the program
// owns the controller, the client asks.
class DbusAccess : public ControllerAccess
{
    Q_OBJECT

public:
    // The running program on `bus`, found by reading its properties once;
    // null when no program serves its name there.
    static std::unique_ptr<DbusAccess> find_program(const QDBusConnection &bus);
    ~DbusAccess() override;

    QString route() const override { return QStringLiteral("program"); }
    std::vector<SelectableController> controllers() override;
    void choose(int index) override;
    Answer open() override;
    ControllerStatus status() override { return status_; }
    Answer configuration(ConfigBlock *config) override;
    Answer apply_configuration(const ConfigBlock &config) override;
    Answer set_manual(bool manual) override;
    Answer set_manual_level(int level) override;
    Answer step(int direction) override;
    void watch() override;
    Answer start_coupling() override;
    void cancel_coupling() override;

private slots:
    void properties_changed(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);
    void interfaces_removed(const QDBusObjectPath &path, const QStringList &interfaces);

private:
    DbusAccess(const QDBusConnection &bus, const QString &program);

    ControllerProxy &proxy();
    // Makes a method call, again while the program answers Busy; `writes`:
    // a call left unanswered may have changed the controller.
    Answer call(const std::function<QDBusPendingCall()> &make_call, bool writes);
    // A change of regulation, then the status it led to.
    Answer regulate(const std::function<QDBusPendingCall()> &make_call);
    // The answer of a finished call.
    Answer finished(const QDBusPendingCall &call, bool writes) const;
    Answer refresh();
    // ended() once the program leaves the bus or drops the object spoken to.
    void follow_program();
    Answer read_all(QVariantMap *properties) const;
    // Without a controller object (none present, or an older program
    // without the object manager) the old object says how things stand.
    void read_old_object(bool older_program);
    // Reads the properties (GetAll) of the object spoken to from `destination`.
    QDBusMessage get_all(const QString &destination) const;
    void take(const QVariantMap &properties);
    void take_objects(const QDBusArgument &objects);

    // A controller the program serves, as its object showed it when found.
    struct Served
    {
        QString path;
        QString id;
        QString serial;
        QVariantMap properties;
    };

    QDBusConnection bus_;
    QString program_; // its unique name
    std::vector<Served> served_; // in the order of their ids
    // The object spoken to: the chosen controller's, or the old one that
    // stands for the only controller (an older program has no other).
    QString path_;
    std::unique_ptr<ControllerProxy> proxy_; // made on first use
    ControllerStatus status_;
    QString unanswered_; // why the program did not answer when it was found; empty when it did
};
