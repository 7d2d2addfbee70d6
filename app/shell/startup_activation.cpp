#include "startup_activation.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QWidget>

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include "x11_connection.h"

namespace {

void send_to_root(xcb_connection_t *connection, xcb_window_t root, const xcb_client_message_event_t &event)
{
    xcb_send_event(connection, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT
                       | XCB_EVENT_MASK_PROPERTY_CHANGE,
                   reinterpret_cast<const char *>(&event));
}

// The end of a launch, as the startup notification protocol has it: the
// text in 20-byte pieces, the first marked as the beginning.
void end_launch(xcb_connection_t *connection, xcb_window_t root, xcb_window_t window, const QByteArray &id)
{
    const QByteArray text = QByteArrayLiteral("remove: ID=") + id + '\0';
    const xcb_atom_t begin = x11_atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = x11_atom(connection, "_NET_STARTUP_INFO");
    for (int at = 0; at < text.size(); at += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = window;
        event.type = at == 0 ? begin : more;
        std::memcpy(event.data.data8, text.constData() + at, size_t(qMin(20, int(text.size()) - at)));
        send_to_root(connection, root, event);
    }
}

} // namespace

void activate_for_startup(QWidget &window, const QString &startup_id)
{
    xcb_connection_t *connection = x11_connection();
    if (!connection)
        return;
    const xcb_window_t id = xcb_window_t(window.winId());
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    const QByteArray startup = startup_id.toUtf8();
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, x11_atom(connection, "_NET_STARTUP_ID"),
                        x11_atom(connection, "UTF8_STRING"), 8, uint32_t(startup.size()), startup.constData());
    const QRegularExpressionMatch time = QRegularExpression(QStringLiteral("_TIME(\\d+)$")).match(startup_id);
    if (time.hasMatch()) {
        xcb_client_message_event_t activate{};
        activate.response_type = XCB_CLIENT_MESSAGE;
        activate.format = 32;
        activate.window = id;
        activate.type = x11_atom(connection, "_NET_ACTIVE_WINDOW");
        activate.data.data32[0] = 1; // from an application
        activate.data.data32[1] = time.captured(1).toUInt();
        send_to_root(connection, root, activate);
    }
    end_launch(connection, root, id, startup);
    xcb_flush(connection);
}

#else

void activate_for_startup(QWidget &, const QString &) {}

#endif
