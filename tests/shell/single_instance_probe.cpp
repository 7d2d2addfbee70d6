// A program built on SingleApplication, driven by tst_single_application.
//
//   single_instance_probe [message [timeout_ms]]
//
// The first start prints "primary", then one line "message <text>" per
// message received (text percent-encoded, so any text fits on one line).
// A later start sends the message ("Rise up!" by default) with the time-out
// (5000 ms by default), prints "delivered" or "not delivered" and exits 0,
// as the tool does.

#include "app/shell/single_application.h"

#include <QTextStream>
#include <QUrl>

int main(int argc, char **argv)
{
    SingleApplication app(argc, argv);
    QTextStream out(stdout);
    if (app.isRunning()) {
        const QStringList args = app.arguments();
        const QString message = args.size() > 1 ? args.at(1) : QStringLiteral("Rise up!");
        const int timeout_ms = args.size() > 2 ? args.at(2).toInt() : 5000;
        out << (app.sendMessage(message, timeout_ms) ? "delivered" : "not delivered") << Qt::endl;
        return 0;
    }
    QObject::connect(&app, &SingleApplication::messageReceived, [&out](const QString &message) {
        out << "message " << QUrl::toPercentEncoding(message) << Qt::endl;
    });
    out << "primary" << Qt::endl;
    return app.exec();
}
