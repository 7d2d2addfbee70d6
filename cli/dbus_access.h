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
    Outcome open(QString *error) override;
    ControllerStatus status() override { return status_; }
    Outcome configuration(ConfigBlock *config, QString *error) override;
    Outcome apply_configuration(const ConfigBlock &config, QString *error) override;
    Outcome set_manual(bool manual, QString *error) override;
    Outcome set_manual_level(int level, QString *error) override;
    Outcome step(int direction, QString *error) override;
    void watch() override;

private slots:
    void properties_changed(const QString &interface, const QVariantMap &changed, const QStringList &invalidated);

private:
    DbusAccess(const QDBusConnection &bus, const QString &program);

    ControllerProxy &proxy();
    // Makes a method call, again while the program answers Busy.
    Outcome call(const std::function<QDBusPendingCall()> &make_call, QString *error);
    // A call, then the status it led to.
    Outcome regulate(const std::function<QDBusPendingCall()> &make_call, QString *error);
    // The outcome of a finished call.
    Outcome finished(const QDBusPendingCall &call, QString *error);
    Outcome refresh(QString *error);
    // Reads the properties (GetAll) from `destination`.
    static QDBusMessage get_all(const QString &destination);
    void take(const QVariantMap &properties);

    QDBusConnection bus_;
    QString program_; // its unique name
    std::unique_ptr<ControllerProxy> proxy_; // made on first use
    ControllerStatus status_;
    QString unanswered_; // why the program did not answer when it was found; empty when it did
};
