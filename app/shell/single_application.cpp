#include "single_application.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QThread>
#include <QTimer>
#include <QtEndian>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int FRAME_HEADER_BYTES = 4;
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
    server_.reset();
}

bool SingleApplication::isRunning() const
{
    return running_;
}

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
        if (open_connections_.size() >= MAX_OPEN_CONNECTIONS)
            drop(open_connections_.first());
        open_connections_.append(socket);
        // Never buffer more than one whole frame.
        socket->setReadBufferSize(FRAME_HEADER_BYTES + MAX_MESSAGE_BYTES);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read_frame(socket); });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket] {
            open_connections_.removeOne(socket);
            socket->deleteLater();
        });
        QTimer::singleShot(CONNECTION_TIMEOUT_MS, socket, [this, socket] { drop(socket); });
        // The frame may have arrived with the connection.
        read_frame(socket);
    }
}

void SingleApplication::read_frame(QLocalSocket *socket)
{
    // A connection whose frame was taken (or that was dropped) is done.
    if (!open_connections_.contains(socket) || socket->bytesAvailable() < FRAME_HEADER_BYTES)
        return;
    const QByteArray header = socket->peek(FRAME_HEADER_BYTES);
    const quint32 length = qFromBigEndian<quint32>(header.constData());
    if (length > quint32(MAX_MESSAGE_BYTES)) {
        drop(socket);
        return;
    }
    if (socket->bytesAvailable() < FRAME_HEADER_BYTES + qint64(length))
        return;
    socket->skip(FRAME_HEADER_BYTES);
    const QByteArray body = socket->read(length);
    // Stateless: a sequence cut off at the end counts as invalid too.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString message = decoder.decode(body);
    if (decoder.hasError()) {
        drop(socket);
        return;
    }
    open_connections_.removeOne(socket);
    socket->putChar(ACK);
    socket->disconnectFromServer();
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

void SingleApplication::drop(QLocalSocket *socket)
{
    open_connections_.removeOne(socket);
    socket->abort();
    socket->deleteLater();
}

bool SingleApplication::sendMessage(const QString &message, int timeoutMs)
{
    const QByteArray body = message.toUtf8();
    if (!running_ || body.size() > MAX_MESSAGE_BYTES)
        return false;
    const QDeadlineTimer deadline(std::max(timeoutMs, 0));
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

    QByteArray frame(FRAME_HEADER_BYTES, '\0');
    qToBigEndian<quint32>(quint32(body.size()), frame.data());
    frame += body;
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
