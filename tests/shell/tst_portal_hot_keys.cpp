// Hot keys through the desktop portal, in this process: GlobalHotKeys in a
// session that says Wayland, against the fake portal on a private bus.

#include "app/hotkeys/global_hot_keys.h"
#include "private_bus.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QStringList warnings;
QtMessageHandler test_handler = nullptr;

void record_warning(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg)
        warnings << message;
    test_handler(type, context, message);
}

} // namespace

class TestPortalHotKeys : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void portal_hot_keys_data();
    void portal_hot_keys();

private:
    PrivateBus bus_;
};

void TestPortalHotKeys::initTestCase()
{
    QString why;
    if (!bus_.start(&why))
        QSKIP(qPrintable(why));
    // Before the first use of the session bus, which this process keeps.
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
    qputenv("XDG_SESSION_TYPE", "wayland");
    qputenv("MORVANE_PORTAL_TIMEOUT_MS", "2000");
    test_handler = qInstallMessageHandler(record_warning);
}

void TestPortalHotKeys::portal_hot_keys_data()
{
    QTest::addColumn<QStringList>("portal"); // fake_portal's options; "absent": none runs
    QTest::addColumn<QString>("why");        // the reason on stderr; empty: the keys work

    QTest::newRow("bound") << QStringList{} << "";
    QTest::newRow("bound without the host registry (portal before 1.19)")
        << QStringList{"--no-registry"} << "";
    QTest::newRow("no portal") << QStringList{"absent"}
                               << "no desktop portal (xdg-desktop-portal) is running";
    QTest::newRow("portal without GlobalShortcuts")
        << QStringList{"--no-shortcuts"} << "this desktop's portal has no global shortcuts";
    QTest::newRow("user declined") << QStringList{"--bind-response", "1"}
                                   << "they were declined in the desktop's dialog";
    QTest::newRow("portal answers done but binds nothing (Plasma 5.27, 6.0)")
        << QStringList{"--bind-none"}
        << "the desktop portal bound no keys (KDE Plasma binds them this way only from 6.1 on)";
    QTest::newRow("portal never answers") << QStringList{"--silent"}
                                          << "the desktop portal did not answer within 2 s";
}

// The keys are bound in one call and the portal's activations arrive as the
// ids; otherwise one line says why and what to do instead. Either way the
// event loop never stalls and the keys go away without waiting.
void TestPortalHotKeys::portal_hot_keys()
{
    QFETCH(QStringList, portal);
    QFETCH(QString, why);
    std::unique_ptr<ProbeProcess> fake;
    if (portal != QStringList{"absent"}) {
        fake = bus_.start_portal(portal);
        QVERIFY(fake);
    }
    warnings.clear();
    auto hot_keys = std::make_unique<GlobalHotKeys>(nullptr);
    QSignalSpy activated(hot_keys.get(), &GlobalHotKeys::activated);
    QVERIFY(hot_keys->register_hot_key(101, 'P'));
    QVERIFY(hot_keys->register_hot_key(102, 'M'));

    QSignalSpy missing(hot_keys.get(), &GlobalHotKeys::went_missing);
    if (!why.isEmpty()) {
        QTRY_COMPARE(missing.size(), 1);
        QCOMPARE(missing[0][0].toString(), "No system-wide hot keys: " + why + ". Bind "
                 "\"morvane-pwmctl up\" and \"morvane-pwmctl down\" to keys in the desktop's keyboard "
                 "settings instead.");
        QVERIFY(hot_keys->missing());
        return;
    }
    QTRY_COMPARE(fake->lines().filter("BindShortcuts").size(), 1);
    const QString session = portal_session(fake->lines());
    // The same token every start, so that the desktop keeps one component and the user's keys.
    QVERIFY2(session.endsWith("/morvane_pwm"), qPrintable(session));
    QCOMPARE(fake->lines().mid(1),
             (QStringList{"Register(sa{sv}) io.github.morvane.pwm", "CreateSession(a{sv}) session=" + session,
                          "BindShortcuts(oa(sa{sv})sa{sv}) session=" + session + " parent_window= "
                          "brighter{CTRL+ALT+P, Ярче (ручная регулировка)} "
                          "dimmer{CTRL+ALT+M, Темнее (ручная регулировка)}"}));
    // A shortcut that is not ours is no key press.
    fake->process().write("activate other\nactivate brighter\nactivate dimmer\nactivate dimmer\n");
    QTRY_COMPARE(activated.size(), 3);
    QCOMPARE((QList<int>{activated[0][0].toInt(), activated[1][0].toInt(), activated[2][0].toInt()}),
             (QList<int>{101, 102, 102}));
    QVERIFY2(warnings.isEmpty(), qPrintable(warnings.join('\n')));
    QVERIFY(missing.isEmpty());
    hot_keys.reset();
    QTRY_COMPARE(fake->lines().last(), "Close() " + session);
}

QTEST_MAIN(TestPortalHotKeys)
#include "tst_portal_hot_keys.moc"
