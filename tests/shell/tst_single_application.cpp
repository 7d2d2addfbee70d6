// Single instance: a first start of single_instance_probe listens, later
// starts hand it their message. Each test gets its own runtime directory, so
// it sees only its own lock and socket.

#include "app/shell/single_application.h"
#include "probe_process.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QtEndian>

#include <memory>
#include <vector>

#include <csignal>

#include <sys/stat.h>

namespace {

constexpr int MAX_MESSAGE_BYTES = SingleApplication::MAX_MESSAGE_BYTES;

// The receiver's line for a message.
QString received(const QString &message)
{
    return QStringLiteral("message ") + QString::fromLatin1(QUrl::toPercentEncoding(message));
}

// A frame as the receiver expects it: 4-byte big-endian length, then body.
QByteArray frame(quint32 declared_length, const QByteArray &body)
{
    QByteArray header(4, '\0');
    qToBigEndian(declared_length, header.data());
    return header + body;
}

} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void delivers_message_data();
    void delivers_message();
    void recovers_after_kill();
    void reaches_instance_of_older_build();
    void second_start_gives_up_on_frozen_instance();
    void separate_users_do_not_meet();
    void socket_is_private();
    void survives_hostile_client_data();
    void survives_hostile_client();
    void closes_idle_connection();
    void survives_connection_flood();
    void pushes_out_oldest_idle_connections();

private:
    // Starts the probe in runtime directory dir (this test's by default).
    ProbeProcess &start_probe(const QStringList &arguments = {}, const QString &dir = {});
    // Starts the first instance and waits until it listens.
    ProbeProcess *start_primary(const QString &dir = {});
    // A later start sending message; true when it exited 0 saying "delivered".
    bool send(const QString &message);
    // The first instance's socket, found as the one socket in the directory.
    QString socket_path() const;

    std::unique_ptr<QTemporaryDir> runtime_dir;
    std::vector<std::unique_ptr<ProbeProcess>> probes;
};

void TestSingleApplication::init()
{
    runtime_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(runtime_dir->isValid());
    QVERIFY(QFile::setPermissions(runtime_dir->path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
}

void TestSingleApplication::cleanup()
{
    probes.clear();
    runtime_dir.reset();
}

ProbeProcess &TestSingleApplication::start_probe(const QStringList &arguments, const QString &dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", dir.isEmpty() ? runtime_dir->path() : dir);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    probes.push_back(std::make_unique<ProbeProcess>(PROBE_PATH, arguments, env));
    return *probes.back();
}

ProbeProcess *TestSingleApplication::start_primary(const QString &dir)
{
    ProbeProcess &primary = start_probe({}, dir);
    return primary.wait_for_line("primary") ? &primary : nullptr;
}

bool TestSingleApplication::send(const QString &message)
{
    ProbeProcess &second = start_probe({message});
    return second.wait_for_exit() && second.process().exitCode() == 0
        && second.lines() == QStringList{"delivered"};
}

QString TestSingleApplication::socket_path() const
{
    const QDir dir(runtime_dir->path());
    for (const QString &name : dir.entryList(QDir::System | QDir::Files | QDir::Hidden)) {
        struct stat st;
        const QString path = dir.filePath(name);
        if (::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISSOCK(st.st_mode))
            return path;
    }
    return {};
}

void TestSingleApplication::delivers_message_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("delivered");
    QTest::addColumn<QString>("arrives"); // what the window gets; empty: as sent

    // Deciding what a message means is the window's job: every text within
    // the size limit arrives as sent, but for an activation token.
    QTest::newRow("wake-up text") << "Rise up!" << true << QString();
    QTest::newRow("other letter case") << "rise up!" << true << QString();
    QTest::newRow("trailing blank") << "Rise up! " << true << QString();
    QTest::newRow("leading blank") << " Rise up!" << true << QString();
    QTest::newRow("empty") << "" << true << QString();
    QTest::newRow("non-ASCII") << "Подъём!" << true << QString();
    QTest::newRow("largest accepted") << QString(MAX_MESSAGE_BYTES, 'x') << true << QString();
    QTest::newRow("one byte too long") << QString(MAX_MESSAGE_BYTES + 1, 'x') << false << QString();
    // A later start's activation token is for the window's activation, not a word to it.
    QTest::newRow("wake-up with a token") << "Rise up!\nXDG_ACTIVATION_TOKEN=kwin-4711" << true << "Rise up!";
    QTest::newRow("wake-up with both") << "Rise up!\nXDG_ACTIVATION_TOKEN=a=b\nDESKTOP_STARTUP_ID=x_TIME5" << true
                                       << "Rise up!";
    QTest::newRow("a second line that is no token") << "Rise up!\nup" << true << QString();
    // The limit counts UTF-8 bytes, not characters.
    QTest::newRow("too long in bytes") << QString(MAX_MESSAGE_BYTES / 2 + 1, QChar(0x436)) << false << QString();
}

void TestSingleApplication::delivers_message()
{
    QFETCH(QString, message);
    QFETCH(bool, delivered);
    QFETCH(QString, arrives);

    ProbeProcess *primary = start_primary();
    QVERIFY(primary);
    ProbeProcess &second = start_probe({message});
    QVERIFY(second.wait_for_exit());
    QCOMPARE(second.process().exitCode(), 0);
    QCOMPARE(second.lines(), QStringList{delivered ? "delivered" : "not delivered"});

    // A message that follows shows that nothing else arrived before it.
    QVERIFY(send("next"));
    QVERIFY(primary->wait_for_line(received("next")));
    QStringList expected{"primary"};
    if (delivered)
        expected << received(arrives.isEmpty() ? message : arrives);
    QCOMPARE(primary->lines(), expected << received("next"));
}

void TestSingleApplication::recovers_after_kill()
{
    ProbeProcess *first = start_primary();
    QVERIFY(first);
    first->process().kill();
    QVERIFY(first->process().waitForFinished(ProbeProcess::WAIT_MS));
    // The dead instance left its socket behind.
    QVERIFY(!socket_path().isEmpty());

    ProbeProcess *next = start_primary();
    QVERIFY2(next, "the start after a killed instance must become the first instance");
    QVERIFY(send("Rise up!"));
    QVERIFY(next->wait_for_line(received("Rise up!")));
}

void TestSingleApplication::reaches_instance_of_older_build()
{
    // An instance from before an update in place: the lock held, Qt's local
    // server on the same socket.
    ProbeProcess *dead = start_primary();
    QVERIFY(dead);
    dead->process().kill();
    QVERIFY(dead->process().waitForFinished(ProbeProcess::WAIT_MS));
    const QString path = socket_path();
    QLockFile lock(path.left(path.lastIndexOf('.')) + ".lock");
    lock.setStaleLockTime(0);
    QVERIFY(lock.tryLock(0));
    QLocalServer older;
    older.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    QVERIFY(older.listen(path));

    ProbeProcess &newer = start_probe({"Rise up!"});
    QVERIFY(older.waitForNewConnection(ProbeProcess::WAIT_MS));
    QLocalSocket *connection = older.nextPendingConnection();
    const QByteArray expected = frame(8, "Rise up!");
    while (connection->bytesAvailable() < expected.size())
        QVERIFY(connection->waitForReadyRead(ProbeProcess::WAIT_MS));
    QCOMPARE(connection->readAll(), expected);
    connection->putChar('\x06');
    QVERIFY(connection->waitForBytesWritten(ProbeProcess::WAIT_MS));
    QVERIFY(newer.wait_for_exit());
    QCOMPARE(newer.lines(), QStringList{"delivered"});
}

void TestSingleApplication::second_start_gives_up_on_frozen_instance()
{
    ProbeProcess *primary = start_primary();
    QVERIFY(primary);
    // Stopped, it still holds the lock and its socket still accepts
    // connections, but nobody answers.
    const qint64 pid = primary->process().processId();
    QCOMPARE(::kill(pid, SIGSTOP), 0);
    ProbeProcess &second = start_probe({"Rise up!", "300"});
    const bool second_ended = second.wait_for_exit();
    ::kill(pid, SIGCONT);
    QVERIFY(second_ended);
    QCOMPARE(second.process().exitCode(), 0);
    QCOMPARE(second.lines(), QStringList{"not delivered"});

    // Woken up, the first instance serves the next start.
    QVERIFY(send("again"));
    QVERIFY(primary->wait_for_line(received("again")));
}

void TestSingleApplication::separate_users_do_not_meet()
{
    ProbeProcess *mine = start_primary();
    QVERIFY(mine);
    // Another user has another runtime directory; starting later, that
    // user's instance must neither count as ours nor take over our socket.
    QTemporaryDir other_user_dir;
    QVERIFY(QFile::setPermissions(other_user_dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    ProbeProcess *other = start_primary(other_user_dir.path());
    QVERIFY2(other, "another user's instance must not count as running");

    QVERIFY(send("Rise up!"));
    QVERIFY(mine->wait_for_line(received("Rise up!")));
    QCOMPARE(other->lines(), QStringList{"primary"});
}

void TestSingleApplication::socket_is_private()
{
    QVERIFY(start_primary());
    const QString path = socket_path();
    QVERIFY2(!path.isEmpty(), "the socket belongs in the user's runtime directory");
    struct stat st;
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0077, mode_t(0));
}

void TestSingleApplication::survives_hostile_client_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("dropped_at_once"); // else it waits for the time-out

    const QByteArray mebibyte(1 << 20, 'x');
    QTest::newRow("connects and sends nothing") << QByteArray() << false;
    QTest::newRow("half a length") << QByteArray(2, '\0') << false;
    QTest::newRow("body cut short") << frame(10, "Rise") << false;
    QTest::newRow("declares and sends 1 MiB") << frame(1 << 20, mebibyte) << true;
    QTest::newRow("declares one byte too many") << frame(MAX_MESSAGE_BYTES + 1, {}) << true;
    QTest::newRow("1 MiB of junk") << QByteArray(1 << 20, '\xab') << true;
    QTest::newRow("invalid UTF-8") << frame(4, "\xff\xfe\xfd\xfc") << true;
    QTest::newRow("UTF-8 cut off") << frame(2, "a\xd0") << true;
    QTest::newRow("overlong UTF-8") << frame(2, "\xc0\xaf") << true;
    QTest::newRow("UTF-8 surrogate") << frame(3, "\xed\xa0\x80") << true;
}

void TestSingleApplication::survives_hostile_client()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, dropped_at_once);

    ProbeProcess *primary = start_primary();
    QVERIFY(primary);
    QLocalSocket hostile;
    hostile.connectToServer(socket_path());
    QVERIFY(hostile.waitForConnected(ProbeProcess::WAIT_MS));
    hostile.write(bytes);
    hostile.flush();

    // A good message gets through while the bad connection may still be open.
    QVERIFY(send("Rise up!"));
    QVERIFY(primary->wait_for_line(received("Rise up!")));
    QCOMPARE(primary->lines(), (QStringList{"primary", received("Rise up!")}));

    // Bad input is refused: closed unacknowledged.
    if (dropped_at_once) {
        QTRY_COMPARE_WITH_TIMEOUT(hostile.state(), QLocalSocket::UnconnectedState,
                                  ProbeProcess::WAIT_MS);
        QVERIFY(hostile.readAll().isEmpty());
    }
}

void TestSingleApplication::closes_idle_connection()
{
    QVERIFY(start_primary());
    QLocalSocket idle;
    idle.connectToServer(socket_path());
    QVERIFY(idle.waitForConnected(ProbeProcess::WAIT_MS));
    idle.write(frame(10, "Rise"));
    // Closed by the receiver's time-out (2 s), not left open for good.
    QTRY_COMPARE_WITH_TIMEOUT(idle.state(), QLocalSocket::UnconnectedState,
                              ProbeProcess::WAIT_MS);
    QVERIFY(idle.readAll().isEmpty());
}

void TestSingleApplication::survives_connection_flood()
{
    ProbeProcess *primary = start_primary();
    QVERIFY(primary);
    const QString path = socket_path();
    for (int i = 0; i < 1000; ++i) {
        QLocalSocket client;
        client.connectToServer(path);
        QVERIFY(client.waitForConnected(ProbeProcess::WAIT_MS));
        client.abort();
    }
    QVERIFY(send("Rise up!"));
    QVERIFY(primary->wait_for_line(received("Rise up!")));
}

void TestSingleApplication::pushes_out_oldest_idle_connections()
{
    ProbeProcess *primary = start_primary();
    QVERIFY(primary);
    // Far more idle connections than are served at once, all held open.
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < 100; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(socket_path());
        QVERIFY(idle.back()->waitForConnected(ProbeProcess::WAIT_MS));
    }
    QVERIFY(send("Rise up!"));
    QVERIFY(primary->wait_for_line(received("Rise up!")));
    // Accepting the good one made room by closing the oldest idle ones; that
    // happened before it was read, so the closes are already there to see.
    const int pushed_out = int(idle.size()) - SingleApplication::MAX_OPEN_CONNECTIONS;
    for (int i = 0; i < pushed_out; ++i) {
        QLocalSocket &socket = *idle[i];
        QVERIFY2(socket.state() == QLocalSocket::UnconnectedState
                     || socket.waitForDisconnected(0),
                 qPrintable(QString("idle connection %1 still open").arg(i)));
    }
}

QTEST_GUILESS_MAIN(TestSingleApplication)
#include "tst_single_application.moc"
