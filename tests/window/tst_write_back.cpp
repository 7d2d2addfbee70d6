// The write-back when the window closes: one command 56 with the last
// status and the configuration as last loaded or applied, and none unless
// those bytes came from this very connection.

#include "protocol/commands.h"
#include "window_bench.h"

#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTest>

namespace {

// What happens between building the window and closing it.
enum class Step {
    connect,            // the check that opens the controller, the tick that loads it
    tick,
    live_state_changes, // the controller's reading and width change, not read yet
    edit,               // the user changes curve point 4 and the slide delay
    apply,
    apply_write_fails,  // Apply, and its command 56 gets no answer
    fail_identify,      // the next identify gets no answer
    fail_load,          // the next read of the block gets no answer
    unplug,             // unplugged, and the check notices
    replug,             // plugged in again, and the check opens it
    replace,            // another controller instead, opened by one check
                        // while the form still shows the first one
};
using Script = QList<Step>;

// What the close should write: nothing, or the configuration as loaded or
// as the edit step left it after Apply.
enum class Written { nothing, loaded, applied };

const unsigned EDITED_LIGHT = 777;
const unsigned EDITED_LEVEL = 444;
const unsigned EDITED_SLIDE_DELAY = 99;

ConfigBlock edited(ConfigBlock config)
{
    config.set_auto_light(4, EDITED_LIGHT);
    config.set_auto_pwm(4, EDITED_LEVEL);
    config.set_pwm_slide_delay(EDITED_SLIDE_DELAY);
    return config;
}

void run(Bench &bench, Step step)
{
    switch (step) {
    case Step::connect:
        bench.connect();
        break;
    case Step::tick:
        bench.tick();
        break;
    case Step::live_state_changes:
        bench.controller_config().set_light_adc(1000);
        bench.controller_config().set_pwm_width(500);
        break;
    case Step::edit:
        bench.threshold(4)->setValue(int(EDITED_LIGHT));
        bench.level(4)->setValue(int(EDITED_LEVEL));
        bench.slide_delay()->setValue(int(EDITED_SLIDE_DELAY));
        break;
    case Step::apply_write_fails:
        bench.fail(cmd_write_config);
        [[fallthrough]];
    case Step::apply:
        bench.apply()->click();
        break;
    case Step::fail_identify:
        bench.fail(cmd_identify);
        break;
    case Step::fail_load:
        bench.fail(cmd_read_state);
        break;
    case Step::unplug:
        bench.unplug();
        bench.check();
        break;
    case Step::replug:
        bench.replug();
        bench.check();
        break;
    case Step::replace:
        bench.replace(Controller().point(4, 1, 2));
        bench.check();
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Script)
Q_DECLARE_METATYPE(Written)

class TestWriteBack : public QObject
{
    Q_OBJECT

private slots:
    void close_data();
    void close();
};

void TestWriteBack::close_data()
{
    QTest::addColumn<Controller>("controller");
    QTest::addColumn<Script>("script");
    QTest::addColumn<Written>("written");

    const Controller plain = Controller().light(300).pwm_width(200);
    using S = Step;
    QTest::newRow("loaded") << plain << Script{S::connect} << Written::loaded;
    QTest::newRow("loaded, in manual regulation") << Controller().mode(1) << Script{S::connect, S::tick}
                                                  << Written::loaded;
    QTest::newRow("state changed since the last read")
        << plain << Script{S::connect, S::tick, S::live_state_changes} << Written::loaded;
    QTest::newRow("edited, not applied") << plain << Script{S::connect, S::edit} << Written::loaded;
    QTest::newRow("applied") << plain << Script{S::connect, S::edit, S::apply} << Written::applied;
    QTest::newRow("applied, write failed") << plain << Script{S::connect, S::edit, S::apply_write_fails}
                                           << Written::applied;
    QTest::newRow("load retried") << plain << Script{S::fail_load, S::connect, S::tick} << Written::loaded;
    QTest::newRow("replaced, reload failed, then applied")
        << plain << Script{S::connect, S::replace, S::fail_load, S::tick, S::edit, S::apply} << Written::applied;
    QTest::newRow("replugged and reloaded")
        << plain << Script{S::connect, S::edit, S::unplug, S::replug, S::tick} << Written::loaded;

    QTest::newRow("no controller") << plain << Script{S::tick} << Written::nothing;
    QTest::newRow("opened, not identified yet") << plain << Script{S::tick, S::replug} << Written::nothing;
    QTest::newRow("unplugged") << plain << Script{S::connect, S::unplug} << Written::nothing;
    QTest::newRow("wrong version") << Controller().version(2) << Script{S::connect, S::tick} << Written::nothing;
    QTest::newRow("silent identify") << plain << Script{S::fail_identify, S::connect} << Written::nothing;
    QTest::newRow("load failed") << plain << Script{S::fail_load, S::connect} << Written::nothing;
    QTest::newRow("replugged, reload failed")
        << plain << Script{S::connect, S::unplug, S::fail_load, S::replug, S::tick} << Written::nothing;
    QTest::newRow("replugged, no tick yet") << plain << Script{S::connect, S::unplug, S::replug} << Written::nothing;
    QTest::newRow("replaced, no tick yet") << plain << Script{S::connect, S::replace} << Written::nothing;
    QTest::newRow("replaced after Apply") << plain << Script{S::connect, S::edit, S::apply, S::replace}
                                          << Written::nothing;
    QTest::newRow("applied before the replacement was identified, reload failed")
        << plain << Script{S::connect, S::edit, S::replace, S::apply, S::fail_load, S::tick} << Written::nothing;
    QTest::newRow("applied while unplugged")
        << plain << Script{S::connect, S::edit, S::unplug, S::apply, S::replug} << Written::nothing;
    QTest::newRow("applied while unplugged, then reloaded")
        << plain << Script{S::connect, S::edit, S::unplug, S::apply, S::replug, S::tick} << Written::loaded;
}

void TestWriteBack::close()
{
    QFETCH(Controller, controller);
    QFETCH(Script, script);
    QFETCH(Written, written);

    Bench bench(controller);
    for (Step step : script)
        run(bench, step);
    // The status bytes go back as the last successful read reported them.
    const QByteArray last_status = bench.last_reply(cmd_read_state).left(5);
    bench.forget_wire();
    bench.close();

    const QList<QByteArray> sent = bench.payloads(cmd_write_config);
    if (written == Written::nothing) {
        QVERIFY(sent.isEmpty());
        return;
    }
    QCOMPARE(sent.size(), 1);
    const ConfigBlock &loaded = controller.state.config;
    QCOMPARE(sent[0].left(5), last_status);
    QCOMPARE(sent[0].mid(5, 32), config_part(written == Written::applied ? edited(loaded) : loaded));
}

QTEST_MAIN(TestWriteBack)
#include "tst_write_back.moc"
