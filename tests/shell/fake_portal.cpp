// A desktop portal for the hot-key tests, on a test's private session bus.
// Like the real one, a call returns its Request path (the caller's name and
// handle_token) at once and Response follows there. Each call received is
// printed as "Method(signature) details".
//
//   fake_portal [--no-registry] [--no-shortcuts] [--bind-response N] [--bind-none] [--silent]
//
// --no-registry: no host registry (portals before 1.19); --no-shortcuts: no
// GlobalShortcuts (GNOME before 48); --bind-response 1: the user declined;
// --bind-none: BindShortcuts answers done with an empty list, as Plasma
// before 6.1 does (otherwise it lists every shortcut asked for as bound);
// --silent: Response never comes. "ready" once the name is owned; each line
// "activate ID" on stdin emits Activated for the last session.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QSocketNotifier>
#include <QTextStream>

#include <unistd.h>

namespace {

const QString PATH = QStringLiteral("/org/freedesktop/portal/desktop");
const QString GLOBAL_SHORTCUTS = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
QTextStream out(stdout);

// One entry of an a(sa{sv}) shortcut list.
struct Shortcut
{
    QString id;
    QVariantMap properties;
};

QDBusArgument &operator<<(QDBusArgument &argument, const Shortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, Shortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

} // namespace

Q_DECLARE_METATYPE(Shortcut)

namespace {

// "id{TRIGGER, DESCRIPTION} ..." of an a(sa{sv}); the shortcuts themselves in `listed`.
QString shortcuts_text(const QDBusArgument &shortcuts, QList<Shortcut> *listed)
{
    QStringList text;
    shortcuts.beginArray();
    while (!shortcuts.atEnd()) {
        QString id;
        QVariantMap properties;
        shortcuts.beginStructure();
        shortcuts >> id >> properties;
        shortcuts.endStructure();
        text << id + '{' + properties.value("preferred_trigger").toString() + ", "
                    + properties.value("description").toString() + '}';
        listed->append({id, properties});
    }
    shortcuts.endArray();
    return text.join(' ');
}

class FakePortal : public QDBusVirtualObject
{
public:
    QStringList options;
    QString session;

    QString introspect(const QString &) const override { return {}; }

    bool handleMessage(const QDBusMessage &call, const QDBusConnection &bus) override
    {
        const QString method = call.interface() + '.' + call.member();
        const QList<QVariant> args = call.arguments();
        const bool bind = method == GLOBAL_SHORTCUTS + ".BindShortcuts";
        const QVariantMap call_options = qdbus_cast<QVariantMap>(args.value(bind ? 3 : 0));
        const QString caller = call.service().mid(1).replace('.', '_');
        QString details = call.path();
        bool known = method == "org.freedesktop.portal.Session.Close";
        QVariantMap results;
        if (method == "org.freedesktop.host.portal.Registry.Register") {
            known = !options.contains("--no-registry");
            details = args.value(0).toString();
        } else if (method == GLOBAL_SHORTCUTS + ".CreateSession") {
            known = !options.contains("--no-shortcuts");
            session = PATH + "/session/" + caller + '/' + call_options.value("session_handle_token").toString();
            details = "session=" + session;
            results.insert("session_handle", session);
        } else if (bind) {
            known = !options.contains("--no-shortcuts");
            QList<Shortcut> asked;
            details = "session=" + args.value(0).value<QDBusObjectPath>().path() + " parent_window="
                + args.value(2).toString() + ' ' + shortcuts_text(args.value(1).value<QDBusArgument>(), &asked);
            results.insert("shortcuts", QVariant::fromValue(options.contains("--bind-none") ? QList<Shortcut>{} : asked));
        }
        out << call.member() << '(' << call.signature() << ") " << details << Qt::endl;
        if (!known)
            return bus.send(call.createErrorReply(QDBusError::UnknownMethod, "No such method"));
        if (!method.startsWith(GLOBAL_SHORTCUTS))
            return bus.send(call.createReply());
        const QString request = PATH + "/request/" + caller + '/' + call_options.value("handle_token").toString();
        bus.send(call.createReply(QVariant::fromValue(QDBusObjectPath(request))));
        QDBusMessage response = QDBusMessage::createSignal(request, "org.freedesktop.portal.Request", "Response");
        response << (bind ? options.value(options.indexOf("--bind-response") + 1).toUInt() : 0u) << results;
        return options.contains("--silent") || bus.send(response);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    qDBusRegisterMetaType<Shortcut>();
    qDBusRegisterMetaType<QList<Shortcut>>();
    FakePortal portal;
    portal.options = app.arguments();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerVirtualObject(PATH, &portal, QDBusConnection::SubPath)
        || !bus.registerService("org.freedesktop.portal.Desktop"))
        return 1;
    out << "ready" << Qt::endl;

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            app.quit();
            return;
        }
        pending += QByteArray(buffer, int(n));
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1)) {
            QDBusMessage activated = QDBusMessage::createSignal(PATH, GLOBAL_SHORTCUTS, "Activated");
            activated << QVariant::fromValue(QDBusObjectPath(portal.session))
                      << QString(pending.left(end)).section(' ', 1) << qulonglong(0) << QVariantMap();
            bus.send(activated);
        }
    });
    return app.exec();
}
