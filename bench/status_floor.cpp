// Baseline for `morvane-pwmctl status` through the running program: the
// least a Qt client on the session bus must do. Starts QtCore, connects to
// the bus, reads the program's properties with one GetAll and exits. Exit
// status 0 when the program answered.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QDBusMessage get_all = QDBusMessage::createMethodCall(QStringLiteral("io.github.morvane.pwm"),
                                                          QStringLiteral("/io/github/morvane/pwm"),
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("GetAll"));
    get_all << QStringLiteral("io.github.morvane.pwm.Controller");
    return QDBusConnection::sessionBus().call(get_all).type() == QDBusMessage::ReplyMessage ? 0 : 1;
}
