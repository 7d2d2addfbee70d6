// The whole program in a Wayland session, as far as it can tell: the session
// says Wayland while the program talks X11 to Xvfb, as it would through
// XWayland. Its hot keys come from the fake portal on a private bus and step
// the simulated controller exactly as the X11 keys do.

#include "private_bus.h"
#include "tests/e2e/e2e_session.h"

#include <QTemporaryDir>
#include <QTest>

class TestE2EPortalHotKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void portal_keys_step_manual_width_data();
    void portal_keys_step_manual_width();

private:
    XSession x_;
    PrivateBus bus_;
};

void TestE2EPortalHotKeys::initTestCase()
{
    QString why;
    if (!x_.start(&why) || !bus_.start(&why))
        QSKIP(qPrintable(why));
    // Every program run gets these.
    x_.set_session_variable(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    x_.set_session_variable(QStringLiteral("XDG_SESSION_TYPE"), QStringLiteral("wayland"));
    x_.set_session_variable(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-morvane-test"));
}

void TestE2EPortalHotKeys::portal_keys_step_manual_width_data()
{
    QTest::addColumn<int>("mode");           // as the controller reports it
    QTest::addColumn<QStringList>("keys");   // shortcut ids the portal activates
    QTest::addColumn<QList<int>>("settled"); // the last widths sent

    QTest::newRow("manual, brighter: +17") << 1 << QStringList{"brighter"} << QList<int>{317, 317, 317};
    QTest::newRow("manual, dimmer twice: -34")
        << 1 << QStringList{"dimmer", "dimmer"} << QList<int>{266, 266, 266};
    QTest::newRow("automatic: nothing changes") << 0 << QStringList{"brighter", "dimmer"} << QList<int>{};
}

void TestE2EPortalHotKeys::portal_keys_step_manual_width()
{
    QFETCH(int, mode);
    QFETCH(QStringList, keys);
    QFETCH(QList<int>, settled);

    const std::unique_ptr<ProbeProcess> portal = bus_.start_portal({});
    QVERIFY(portal);
    SimController sim;
    sim.set(QStringLiteral("mode"), QString::number(mode));
    sim.set(QStringLiteral("pwm_width"), QStringLiteral("300"));
    QTemporaryDir runtime;
    AppRun app(x_, sim, runtime.path());
    const qulonglong window = app.launch();
    QVERIFY2(window, app.output());
    QVERIFY(wait_until([&] { return !portal->lines().filter("BindShortcuts").isEmpty(); }, 10000));
    QVERIFY(sim.wait_for_wire([](const Wire &wire) { return wire.replies(cmd_read_state).size() >= 3; }));

    const qint64 pressed = monotonic_ms();
    for (const QString &key : keys)
        portal->process().write("activate " + key.toUtf8() + '\n');
    // Plenty of ticks for the keys to be handled and the width to go out.
    QVERIFY(sim.wait_for_wire(
        [pressed](const Wire &wire) { return wire.since(pressed).replies(cmd_read_state).size() >= 10; }));
    QList<int> sent;
    for (const WireReport &request : sim.wire().since(pressed).requests(cmd_set_pwm_width))
        sent.append(request.pwm_width());
    QCOMPARE(sent.mid(qMax<qsizetype>(0, sent.size() - 3)), settled);

    // Closing the window closes the portal session.
    QVERIFY(x_.close_request(window));
    QVERIFY(app.wait_for_exit(10000));
    QCOMPARE(app.exit_code(), 0);
    const QString session = portal_session(portal->lines());
    QVERIFY(!session.isEmpty());
    QVERIFY(wait_until([&] { return portal->lines().last() == "Close() " + session; }, 5000));
    QVERIFY2(!app.output().contains("hot keys"), app.output());
}

QTEST_MAIN(TestE2EPortalHotKeys)
#include "tst_e2e_portal_hot_keys.moc"
