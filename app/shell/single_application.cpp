#include "single_application.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_WIN
#include <QLocalServer>
#include <QLocalSocket>
#else
#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

constexpr int FRAME_HEADER_BYTES = 4;
// The most a connection's bytes are read ahead: one whole frame.
constexpr int FRAME_BYTES = FRAME_HEADER_BYTES + SingleApplication::MAX_MESSAGE_BYTES;
constexpr char ACK = '\x06';
// How long the lock may be waited for: a live holder keeps it for good.
constexpr int LOCK_WAIT_MS = 100;
// Pause between attempts to reach an instance that holds the lock but may
// not listen yet (it takes the lock first).
constexpr int CONNECT_RETRY_MS = 20;
// How long to wait for an instance when the lock file cannot be used.
constexpr int PROBE_TIMEOUT_MS = 500;

// Qt's Wayland windows activate with the token found here, once.
constexpr char ACTIVATION_TOKEN[] = "XDG_ACTIVATION_TOKEN";
// The X11 launch's id; Qt's xcb takes it out of the environment as it
// connects, so it is kept from before.
constexpr char STARTUP_ID[] = "DESKTOP_STARTUP_ID";
const QByteArray startup_id_at_start = qgetenv(STARTUP_ID);

QString short_hash(const QString &text)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Sha256).toHex().left(16));
}

enum class Frame { incomplete, invalid, complete };

// Judges what a connection delivered so far: a complete frame's text goes to `message`.
Frame check_frame(const QByteArray &bytes, QString *message)
{
    if (bytes.size() < FRAME_HEADER_BYTES)
        return Frame::incomplete;
    const quint32 length = qFromBigEndian<quint32>(bytes.constData());
    if (length > quint32(SingleApplication::MAX_MESSAGE_BYTES))
        return Frame::invalid;
    if (bytes.size() < FRAME_HEADER_BYTES + qint64(length))
        return Frame::incomplete;
    // Stateless: a sequence cut off at the end counts as invalid too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    *message = decoder.decode(QByteArrayView(bytes).sliced(FRAME_HEADER_BYTES, length));
    return decoder.hasError() ? Frame::invalid : Frame::complete;
}

} // namespace

SingleApplication::SingleApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    // Two starts of the same executable by the same user are one application.
    const QString identity = QStringLiteral("morvane-pwm-") + short_hash(applicationFilePath());
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
#ifdef Q_OS_WIN
    // Pipe names are machine-wide: the user's name keeps two users apart.
    server_name_ = identity + QLatin1Char('-')
        + short_hash(qEnvironmentVariable("USERDOMAIN") + QLatin1Char('\\')
                     + qEnvironmentVariable("USERNAME"));
#else
    // An absolute path keeps the socket in the user's own directory; a bare
    // name would land in the shared temporary directory.
    server_name_ = dir + QLatin1Char('/') + identity + QStringLiteral(".socket");
#endif

    lock_ = std::make_unique<QLockFile>(dir + QLatin1Char('/') + identity + QStringLiteral(".lock"));
    // Stale only when its holder has died (say by kill -9), however old.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(LOCK_WAIT_MS)) {
        listen();
    } else if (lock_->error() == QLockFile::LockFailedError) {
        running_ = true;
    } else {
        // The lock file cannot be written at all: let the socket decide
        // rather than refuse to start.
        running_ = other_instance_answers();
        if (!running_)
            listen();
    }
}

SingleApplication::~SingleApplication()
{
    // Close the socket (and its connections) while the lock is still held.
#ifdef Q_OS_WIN
    server_.reset();
#else
    qDeleteAll(open_connections_);
    close_server();
#endif
}

bool SingleApplication::isRunning() const
{
    return running_;
}

#ifdef Q_OS_WIN

bool SingleApplication::other_instance_answers() const
{
    QLocalSocket socket;
    socket.connectToServer(server_name_);
    return socket.waitForConnected(PROBE_TIMEOUT_MS);
}

void SingleApplication::listen()
{
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left here belongs to a dead instance.
    QLocalServer::removeServer(server_name_);
    if (!server_->listen(server_name_)) {
        qWarning("Cannot listen on %s (%s): a second start will not reach this window",
                 qUtf8Printable(server_name_), qUtf8Printable(server_->errorString()));
        return;
    }
    connect(server_.get(), &QLocalServer::newConnection, this,
            &SingleApplication::accept_connections);
}

void SingleApplication::accept_connections()
{
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        // Never buffer more than one whole frame.
        socket->setReadBufferSize(FRAME_BYTES);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_frame(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            open_connections_.removeOne(socket);
            socket->deleteLater();
        });
        take(socket);
    }
}

void SingleApplication::drop(QLocalSocket *socket)
{
    open_connections_.removeOne(socket);
    socket->abort();
    socket->deleteLater();
}

bool SingleApplication::deliver(const QByteArray &frame, const QDeadlineTimer &deadline) const
{
    const auto remaining = [&deadline] { return int(deadline.remainingTime()); };
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(server_name_);
        if (socket.waitForConnected(remaining()))
            break;
        if (deadline.hasExpired())
            return false;
        socket.abort();
        QThread::msleep(std::min(CONNECT_RETRY_MS, remaining()));
    }
    socket.write(frame);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(remaining()))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(remaining()))
            return false;
    }
    char reply = 0;
    return socket.getChar(&reply) && reply == ACK;
}

#else

namespace {

// Kept from blocking, from the programs this one starts, and from SIGPIPE.
void set_socket_flags(int fd)
{
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
#ifdef SO_NOSIGPIPE
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_NOSIGPIPE, &on, sizeof on);
#endif
}

#ifdef MSG_NOSIGNAL
constexpr int SEND_FLAGS = MSG_NOSIGNAL;
#else
constexpr int SEND_FLAGS = 0;
#endif

// Room for `path` with its terminating zero; false when it does not fit.
bool to_address(const QByteArray &path, sockaddr_un *address)
{
    *address = {};
    address->sun_family = AF_UNIX;
    if (size_t(path.size()) + 1 > sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, path.constData(), size_t(path.size()) + 1);
    return true;
}

// Listens at `path` for the user alone. The socket is made under a name of
// its own in a fresh directory beside it and renamed into place once it
// listens as only the user may use it: at `path` it never has wider access,
// nor does anyone find it there before it listens. -1 with errno on failure.
int listen_privately(const QByteArray &path)
{
    QByteArray directory = path + ".XXXXXX";
    if (!::mkdtemp(directory.data()))
        return -1;
    const QByteArray made = directory + "/s";
    sockaddr_un address;
    int fd = -1;
    if (to_address(path, &address) && to_address(made, &address)) {
        fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd >= 0) {
            set_socket_flags(fd);
            // The backlog as a QLocalServer's, which listened here before.
            if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0
                || ::listen(fd, 50) != 0 || ::chmod(made.constData(), S_IRWXU) != 0
                || ::rename(made.constData(), path.constData()) != 0) {
                const int error = errno;
                ::close(fd);
                fd = -1;
                errno = error;
            }
        }
    } else {
        errno = ENAMETOOLONG;
    }
    const int error = errno;
    ::unlink(made.constData());
    ::rmdir(directory.constData());
    errno = error;
    return fd;
}

// Waits for `events` on `fd` until the deadline; false when it passed.
bool wait_for(int fd, short events, const QDeadlineTimer &deadline)
{
    for (;;) {
        pollfd poll_fd{fd, events, 0};
        const int ready = ::poll(&poll_fd, 1, int(deadline.remainingTime()));
        if (ready > 0)
            return true;
        if (ready == 0 || errno != EINTR)
            return false;
    }
}

// A connection to the listener at `path`, or -1: an instance that does not
// listen (yet) refuses at once; one whose queue is full may take it later.
int connect_to(const QByteArray &path, const QDeadlineTimer &deadline)
{
    sockaddr_un address;
    if (!to_address(path, &address))
        return -1;
    for (;;) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (fd < 0)
            return -1;
        set_socket_flags(fd);
        if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0)
            return fd;
        const int error = errno;
        ::close(fd);
        if ((error != EAGAIN && error != EINTR) || deadline.hasExpired())
            return -1;
        QThread::msleep(std::min<qint64>(CONNECT_RETRY_MS, deadline.remainingTime()));
    }
}

bool write_all(int fd, const QByteArray &bytes, const QDeadlineTimer &deadline)
{
    qsizetype written = 0;
    while (written < bytes.size()) {
        const ssize_t sent = ::send(fd, bytes.constData() + written, size_t(bytes.size() - written), SEND_FLAGS);
        if (sent > 0)
            written += sent;
        else if (errno == EINTR || (errno == EAGAIN && wait_for(fd, POLLOUT, deadline)))
            continue;
        else
            return false;
    }
    return true;
}

// The one byte of the answer; 0 when none came before the deadline.
char read_answer(int fd, const QDeadlineTimer &deadline)
{
    for (;;) {
        char answer = 0;
        const ssize_t got = ::recv(fd, &answer, 1, 0);
        if (got == 1)
            return answer;
        if (got == 0 || (errno != EINTR && !(errno == EAGAIN && wait_for(fd, POLLIN, deadline))))
            return 0;
    }
}

} // namespace

// A later start's connection: what it delivered, up to one whole frame.
class SingleApplication::Connection : public QObject
{
public:
    Connection(int fd, QObject *parent)
        : QObject(parent)
        , fd_(fd)
        , readable_(fd, QSocketNotifier::Read)
    {
    }
    ~Connection() override { close(); }

    QSocketNotifier &readable() { return readable_; }

    // Everything received so far, having read what has arrived since.
    const QByteArray &received()
    {
        while (fd_ >= 0 && !ended_ && bytes_.size() < FRAME_BYTES) {
            char chunk[FRAME_BYTES];
            const ssize_t got = ::recv(fd_, chunk, size_t(FRAME_BYTES - bytes_.size()), 0);
            if (got > 0)
                bytes_.append(chunk, got);
            else if (got < 0 && errno == EINTR)
                continue;
            else {
                ended_ = got == 0 || errno != EAGAIN;
                break;
            }
        }
        return bytes_;
    }
    // The other end has closed, or the connection failed.
    bool ended() const { return ended_; }

    void answer(char byte) { ::send(fd_, &byte, 1, SEND_FLAGS); }

    void close()
    {
        readable_.setEnabled(false);
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
    QSocketNotifier readable_;
    QByteArray bytes_;
    bool ended_ = false;
};

bool SingleApplication::other_instance_answers() const
{
    const int fd = connect_to(QFile::encodeName(server_name_), QDeadlineTimer(PROBE_TIMEOUT_MS));
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

void SingleApplication::listen()
{
    const QByteArray path = QFile::encodeName(server_name_);
    // We hold the lock, so a socket file left here belongs to a dead instance.
    ::unlink(path.constData());
    listening_fd_ = listen_privately(path);
    if (listening_fd_ < 0) {
        qWarning("Cannot listen on %s (%s): a second start will not reach this window",
                 qUtf8Printable(server_name_), std::strerror(errno));
        return;
    }
    listening_ = new QSocketNotifier(listening_fd_, QSocketNotifier::Read, this);
    connect(listening_, &QSocketNotifier::activated, this, &SingleApplication::accept_connections);
}

void SingleApplication::accept_connections()
{
    for (;;) {
        const int fd = ::accept(listening_fd_, nullptr, nullptr);
        if (fd < 0) {
            // Out of descriptors, say: no longer listening beats a busy loop.
            if (errno != EAGAIN && errno != EINTR && errno != ECONNABORTED)
                close_server();
            if (errno != EINTR)
                return;
            continue;
        }
        set_socket_flags(fd);
        auto *connection = new Connection(fd, this);
        connect(&connection->readable(), &QSocketNotifier::activated, this,
                [this, connection] { read_frame(connection); });
        take(connection);
    }
}

void SingleApplication::drop(Connection *connection)
{
    open_connections_.removeOne(connection);
    connection->close();
    connection->deleteLater();
}

void SingleApplication::close_server()
{
    if (listening_fd_ < 0)
        return;
    // It may be the one calling.
    listening_->setEnabled(false);
    listening_->deleteLater();
    ::close(listening_fd_);
    listening_fd_ = -1;
    ::unlink(QFile::encodeName(server_name_).constData());
}

bool SingleApplication::deliver(const QByteArray &frame, const QDeadlineTimer &deadline) const
{
    const QByteArray path = QFile::encodeName(server_name_);
    int fd;
    while ((fd = connect_to(path, deadline)) < 0) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(std::min<qint64>(CONNECT_RETRY_MS, deadline.remainingTime()));
    }
    const bool acknowledged = write_all(fd, frame, deadline) && read_answer(fd, deadline) == ACK;
    ::close(fd);
    return acknowledged;
}

#endif

void SingleApplication::take(Connection *connection)
{
    if (open_connections_.size() >= MAX_OPEN_CONNECTIONS)
        drop(open_connections_.first());
    open_connections_.append(connection);
    QTimer::singleShot(CONNECTION_TIMEOUT_MS, connection, [this, connection] { drop(connection); });
    // The frame may have arrived with the connection.
    read_frame(connection);
}

void SingleApplication::read_frame(Connection *connection)
{
    // A connection whose frame was taken (or that was dropped) is done.
    if (!open_connections_.contains(connection))
        return;
    QString message;
#ifdef Q_OS_WIN
    const Frame frame = check_frame(connection->peek(FRAME_BYTES), &message);
#else
    const Frame frame = check_frame(connection->received(), &message);
    // Gone before its frame was complete.
    if (frame == Frame::incomplete && connection->ended()) {
        drop(connection);
        return;
    }
#endif
    if (frame == Frame::incomplete)
        return;
    if (frame == Frame::invalid) {
        drop(connection);
        return;
    }
    open_connections_.removeOne(connection);
#ifdef Q_OS_WIN
    connection->putChar(ACK);
    connection->disconnectFromServer();
#else
    connection->answer(ACK);
    connection->close();
    connection->deleteLater();
#endif
    hand_on(message);
}

// A wake-up's lines after the first are the later start's activation
// tokens; a message with any other second line is handed on as it came.
void SingleApplication::hand_on(const QString &message)
{
    QStringList lines = message.split(QLatin1Char('\n'));
    QString activation_token;
    QString startup_id;
    for (const QString &line : lines.mid(1)) {
        const QString name = line.section(QLatin1Char('='), 0, 0);
        QString *token = name == QLatin1String(ACTIVATION_TOKEN) ? &activation_token
            : name == QLatin1String(STARTUP_ID)                  ? &startup_id
                                                                 : nullptr;
        if (!token) {
            emit messageReceived(message);
            return;
        }
        *token = line.section(QLatin1Char('='), 1);
    }
    if (!activation_token.isEmpty())
        qputenv(ACTIVATION_TOKEN, activation_token.toUtf8());
    emit messageReceived(lines.first());
    if (!startup_id.isEmpty())
        emit startup_id_received(startup_id);
}

bool SingleApplication::wake_up(const QString &message, int timeoutMs)
{
    const QString token = qEnvironmentVariable(ACTIVATION_TOKEN);
    const bool wayland = platformName().startsWith(QLatin1String("wayland"));
    if (wayland && token.isEmpty())
        std::fprintf(stderr, "%s\n",
                     qPrintable(tr("morvane-pwm: already running; this desktop gave no activation token, so "
                                   "its window may stay behind the others or minimised")));
    QString sent = message;
    if (!token.isEmpty())
        sent += QLatin1Char('\n') + QLatin1String(ACTIVATION_TOKEN) + QLatin1Char('=') + token;
    if (!wayland && !startup_id_at_start.isEmpty())
        sent += QLatin1Char('\n') + QLatin1String(STARTUP_ID) + QLatin1Char('=')
            + QString::fromUtf8(startup_id_at_start);
    return sendMessage(sent, timeoutMs);
}

bool SingleApplication::sendMessage(const QString &message, int timeoutMs)
{
    const QByteArray body = message.toUtf8();
    if (!running_ || body.size() > MAX_MESSAGE_BYTES)
        return false;
    QByteArray frame(FRAME_HEADER_BYTES, '\0');
    qToBigEndian<quint32>(quint32(body.size()), frame.data());
    return deliver(frame + body, QDeadlineTimer(std::max(timeoutMs, 0)));
}
