#pragma once

#include "controller_access.h"
#include "model/controller.h"
#include "model/device_lock.h"

// The controller opened by the client itself, when the program is not
// running: takes the device lock, opens, identifies and loads, does its one
// job. Writes only what the job asks for; nothing is written back on exit.
class DirectAccess : public ControllerAccess
{
    Q_OBJECT

public:
    DirectAccess(HidBackend &backend, const QString &lock_path);

    QString route() const override { return QStringLiteral("direct"); }
    Outcome open(QString *error) override;
    ControllerStatus status() override;
    Outcome configuration(ConfigBlock *config, QString *error) override;
    Outcome apply_configuration(const ConfigBlock &config, QString *error) override;
    Outcome set_manual(bool manual, QString *error) override;
    Outcome set_manual_level(int level, QString *error) override;
    Outcome step(int direction, QString *error) override;
    void watch() override;

private:
    static QString identification_text(int version_found);
    Outcome still_there(QString *error);
    Outcome manual_only(QString *error);
    Outcome send_regulation(QString *error);

    DeviceLock lock_;
    Controller controller_;
    QString identification_error_;
};
