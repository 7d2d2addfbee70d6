// What the window tells the user of the controller, and what closing it does
// with unapplied edits: the status line and read-outs through the
// controller's states, and the close prompt's three answers on the wire.

#include "model/device_lock.h"
#include "protocol/commands.h"
#include "window_bench.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

class TestStatusAndClose : public QObject
{
    Q_OBJECT

private slots:
    void status_line_data();
    void status_line();
    void close_prompt_data();
    void close_prompt();
};

void TestStatusAndClose::status_line_data()
{
    // unplug, replug, deny, held, edit, manual, dbus (an apply over D-Bus), connect, check, tick,
    // retried (the fast retries of a failed open are spent)
    QTest::addColumn<QStringList>("steps");
    // "%1": the controller's device path, "%2": who holds it, "%3": the clock at the last step
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("tip");       // a part of the tool tip
    QTest::addColumn<bool>("readings");     // the read-outs show the live values

    QTest::newRow("absent") << QStringList{"unplug", "connect"}
                            << "Контроллер не найден. Подключите его к USB." << "" << false;
    QTest::newRow("open denied, retrying") << QStringList{"deny", "connect"}
                                           << "Контроллер найден, настройки загружаются…" << "" << false;
    QTest::newRow("open denied")
        << QStringList{"deny", "connect", "retried"}
        << "Контроллер %1 найден, но открыть его не удалось. Установите правило udev 70-morvane-pwm.rules и "
           "переподключите контроллер."
        << "(EACCES)" << false;
    QTest::newRow("identified and loaded") << QStringList{"connect"} << "Контроллер подключен, настройки загружены."
                                           << "" << true;
    QTest::newRow("unplugged") << QStringList{"connect", "unplug", "check", "tick"}
                               << "Контроллер отключен. Когда он снова будет подключен, настройки загрузятся сами."
                               << "" << false;
    QTest::newRow("replugged") << QStringList{"connect", "unplug", "check", "tick", "replug", "connect"}
                               << "Контроллер подключен, настройки загружены." << "" << true;
    QTest::newRow("replugged with unapplied edits")
        << QStringList{"connect", "edit", "unplug", "check", "tick", "replug", "connect"}
        << "Контроллер переподключен: непримененные изменения отброшены, настройки загружены из контроллера." << ""
        << true;
    QTest::newRow("edited, not applied") << QStringList{"connect", "edit"}
                                         << "Контроллер подключен, настройки загружены. Изменения настроек не применены."
                                         << "" << true;
    QTest::newRow("manual regulation") << QStringList{"connect", "manual", "tick"}
                                       << "Контроллер подключен, настройки загружены. Ручная регулировка, уровень 100%."
                                       << "" << true;
    QTest::newRow("changed over D-Bus")
        << QStringList{"connect", "dbus"}
        << "Контроллер подключен, настройки загружены. Настройки изменены в %3 другой программой через D-Bus "
           "(например, morvane-pwmctl)."
        << "" << true;
    QTest::newRow("changed over D-Bus, then reloaded: the controller's own")
        << QStringList{"connect", "dbus", "unplug", "check", "tick", "replug", "connect"}
        << "Контроллер подключен, настройки загружены." << "" << true;
    QTest::newRow("held by another program")
        << QStringList{"held", "connect"}
        << "Контроллер занят другой программой: %2. Он будет открыт, когда она его освободит." << "" << false;
}

void TestStatusAndClose::status_line()
{
    QFETCH(QStringList, steps);
    QFETCH(QString, status);
    QFETCH(QString, tip);
    QFETCH(bool, readings);

    WindowBench bench(ControllerState().light(700).pwm_width(564));
    DeviceLock client_lock = DeviceLock::for_node(QString::fromStdString(bench.sim().path(bench.device())));
    QString clock;
    for (const QString &step : steps) {
        if (step == QLatin1String("unplug"))
            bench.unplug();
        else if (step == QLatin1String("replug"))
            bench.replug();
        else if (step == QLatin1String("deny"))
            bench.sim().deny_open(bench.device());
        else if (step == QLatin1String("held")) {
            bench.model().share_device(true);
            QVERIFY(client_lock.try_lock());
        } else if (step == QLatin1String("edit")) {
            bench.threshold(2)->setValue(333);
        } else if (step == QLatin1String("manual")) {
            bench.control<QGroupBox>("groupBox_5")->setChecked(true);
        } else if (step == QLatin1String("dbus")) {
            ConfigBlock config = bench.link().applied_config();
            config.set_pwm_slide_delay(config.pwm_slide_delay() + 1);
            bench.link().apply(config, ChangeSource::dbus);
            clock = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
        }
        else if (step == QLatin1String("connect"))
            bench.connect();
        else if (step == QLatin1String("check"))
            bench.check();
        else if (step == QLatin1String("retried"))
            QTRY_VERIFY_WITH_TIMEOUT(!bench.model().opening(), 5000);
        else
            bench.tick();
    }
    auto *line = bench.control<QLabel>("status_label");
    QCOMPARE(line->text(), QString(status)
                               .replace(QLatin1String("%1"), QString::fromStdString(bench.sim().path(bench.device())))
                               .replace(QLatin1String("%2"), client_lock.holder())
                               .replace(QLatin1String("%3"), clock));
    QVERIFY2(line->toolTip().contains(tip), qPrintable(line->toolTip()));
    QCOMPARE(bench.light_readout()->text(), readings ? QStringLiteral("700") : QString());
    QCOMPARE(bench.brightness_readout()->text(), readings ? QStringLiteral("100%") : QString());
}

void TestStatusAndClose::close_prompt_data()
{
    QTest::addColumn<bool>("edited");
    QTest::addColumn<int>("answer"); // the button clicked, if the box comes
    QTest::addColumn<bool>("closed");
    QTest::addColumn<QString>("written"); // each command 56: the edits or the loaded bytes

    QTest::newRow("apply: written, then closed") << true << int(QMessageBox::Apply) << true
                                                 << "edits edits"; // Apply, then the write-back
    QTest::newRow("discard: closed as ever") << true << int(QMessageBox::Discard) << true << "loaded";
    QTest::newRow("cancel: the window stays") << true << int(QMessageBox::Cancel) << false << "";
    QTest::newRow("nothing edited: no question") << false << int(QMessageBox::NoButton) << true << "loaded";
}

void TestStatusAndClose::close_prompt()
{
    QFETCH(bool, edited);
    QFETCH(int, answer);
    QFETCH(bool, closed);
    QFETCH(QString, written);

    WindowBench bench;
    bench.connect();
    const QByteArray loaded = config_part(bench.controller_config());
    if (edited)
        bench.threshold(2)->setValue(333);
    const QByteArray edits = config_part(bench.form());
    bench.view().show();
    bench.forget_wire();

    bool asked = false;
    QTimer::singleShot(0, [&] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = true;
            box->button(QMessageBox::StandardButton(answer))->click();
        }
    });
    // Apply closes the window once the controller's answer comes.
    bench.view().close();
    QCOMPARE(asked, edited);
    QTRY_COMPARE(bench.view().isVisible(), !closed);
    if (closed)
        bench.close(); // the write-back as main does it

    QStringList actual;
    for (const QByteArray &payload : bench.payloads(cmd_write_config)) {
        const QByteArray config = payload.mid(5, loaded.size());
        actual << (config == edits && edited ? "edits" : config == loaded ? "loaded" : "other");
    }
    QCOMPARE(actual.join(' '), written);
}

QTEST_MAIN(TestStatusAndClose)
#include "tst_status_and_close.moc"
