#include "controller_identity.h"

#include <QHash>
#include <QSettings>

void assign_controller_ids(std::vector<ControllerIdentity> &present, QSet<QString> *twin_serials)
{
    QHash<QString, int> serial_count;
    for (const ControllerIdentity &controller : present)
        if (!controller.serial.isEmpty())
            ++serial_count[controller.serial];
    for (ControllerIdentity &controller : present) {
        if (!controller.serial.isEmpty() && serial_count.value(controller.serial) > 1)
            twin_serials->insert(controller.serial);
        const bool twin = twin_serials->contains(controller.serial);
        if (!controller.serial.isEmpty() && !twin)
            controller.id = QStringLiteral("sn:") + controller.serial;
        else if (!controller.serial.isEmpty() && !controller.port.isEmpty())
            controller.id = QStringLiteral("sn:%1@%2").arg(controller.serial, controller.port);
        else if (!controller.port.isEmpty())
            controller.id = QStringLiteral("usb:") + controller.port;
        else
            controller.id = QStringLiteral("path:") + controller.path;
    }
}

QString escaped_name(const QString &text)
{
    QString name;
    for (const char byte : text.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            name += QLatin1Char(char(c));
        else
            name += QStringLiteral("_%1").arg(c, 2, 16, QLatin1Char('0'));
    }
    return name;
}

namespace {
QSettings controller_settings()
{
    return QSettings(QStringLiteral("io.github.morvane.pwm"), QStringLiteral("controllers"));
}
} // namespace

QSet<QString> remembered_twin_serials()
{
    const QStringList serials = controller_settings().value(QStringLiteral("twin_serials")).toStringList();
    return QSet<QString>(serials.begin(), serials.end());
}

void remember_twin_serials(const QSet<QString> &serials)
{
    QStringList sorted(serials.begin(), serials.end());
    sorted.sort();
    controller_settings().setValue(QStringLiteral("twin_serials"), sorted);
}
