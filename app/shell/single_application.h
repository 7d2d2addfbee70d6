#pragma once

#include <QApplication>
#include <QList>
#include <QString>

#include <memory>

class QDeadlineTimer;
class QLockFile;
#ifdef Q_OS_WIN
class QLocalServer;
class QLocalSocket;
#else
class QSocketNotifier;
#endif

// The application object that keeps the tool to one instance per executable
// and user. The first start holds a lock file and listens on a local socket
// (both in the user's runtime directory); a later start finds the lock taken
// and hands its message to the first through the socket.
//
// On the socket, a message is one frame: a 4-byte big-endian length, then
// that many bytes of UTF-8. A wake-up may carry, on lines after its first,
// what its starter handed the later start for bringing a window forward: the
// Wayland activation token ("XDG_ACTIVATION_TOKEN=...") or the X11 startup id
// ("DESKTOP_STARTUP_ID=..."). The receiver keeps the token for the window's
// next activation, hands on the first line alone, and then the startup id;
// a plain one-line message from an older start still works. The receiver answers a frame it accepted with one
// acknowledgement byte and closes the connection. Anything else (oversized,
// invalid UTF-8, incomplete for too long) is dropped with the connection.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    // Largest message body accepted, in bytes.
    static constexpr int MAX_MESSAGE_BYTES = 4096;
    // How long a connection may take to deliver its frame.
    static constexpr int CONNECTION_TIMEOUT_MS = 2000;
    // Connections served at once; a newer one pushes out the oldest.
    static constexpr int MAX_OPEN_CONNECTIONS = 16;

    SingleApplication(int &argc, char **argv);
    ~SingleApplication() override;

    // Another instance already runs (this one holds neither lock nor socket).
    bool isRunning() const;
    // Sends one message to the running instance and waits, at most
    // timeoutMs in all, for it to be acknowledged. False when there is no
    // other instance, the message is too long, or it was not acknowledged.
    bool sendMessage(const QString &message, int timeoutMs);
    // Sends `message` with this start's activation token or startup id, and says on
    // stderr when the running window cannot be brought to the front from
    // here (on Wayland without a token). False as sendMessage().
    bool wake_up(const QString &message, int timeoutMs);

signals:
    // A complete, valid message from a later start; on the GUI thread.
    void messageReceived(const QString &message);
    // The X11 startup id a wake-up carried, after its message.
    void startup_id_received(const QString &startup_id);

private:
#ifdef Q_OS_WIN
    using Connection = QLocalSocket;
#else
    // On Unix a plain socket: QtNetwork would cost start-up for one socket.
    class Connection;
#endif
    bool other_instance_answers() const;
    // Hands `frame` to the running instance; true once it acknowledged it.
    bool deliver(const QByteArray &frame, const QDeadlineTimer &deadline) const;
    void listen();
    void accept_connections();
    void take(Connection *connection);
    void read_frame(Connection *connection);
    void hand_on(const QString &message);
    void drop(Connection *connection);

    QString server_name_;
    std::unique_ptr<QLockFile> lock_;
    bool running_ = false;
    // Declared after the lock: the socket goes away before the lock is freed.
#ifdef Q_OS_WIN
    std::unique_ptr<QLocalServer> server_;
#else
    void close_server();
    int listening_fd_ = -1;
    QSocketNotifier *listening_ = nullptr;
#endif
    QList<Connection *> open_connections_;
};
