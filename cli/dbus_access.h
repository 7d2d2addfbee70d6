#pragma once

#include "controller_access.h"
#include "controller_proxy.h"

#include <QDBusConnection>

#include <functional>

// The controller through the running program's D-Bus interface: the program
// owns the controller, the client asks.
class DbusAccess : public ControllerAccess
{
    Q_OBJECT

public:
    static const QString SERVICE;
    static const QString PATH;

    // The unique name of the program serving its interface on `bus`, or
    // empty when none does.
    static QString program_on(const QDBusConnection &bus);

    DbusAccess(const QDBusConnection &bus, const QString &program);

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
    // Makes a method call, again while the program answers Busy.
    Outcome call(const std::function<QDBusPendingCall()> &make_call, QString *error);
    // The outcome of a finished call; refreshes the status after a success.
    Outcome finished(QDBusPendingCall call, QString *error);
    Outcome refresh(QString *error);
    void take(const QVariantMap &properties);

    QDBusConnection bus_;
    QString program_; // its unique name
    ControllerProxy proxy_;
    ControllerStatus status_;
};
