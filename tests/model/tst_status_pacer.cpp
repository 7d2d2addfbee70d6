// What people read of a drifting light: the readings a few times a second,
// the last always; every other change at once.

#include "model/status_pacer.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// "live 500", "silent 500" (stopped answering), "manual 500", "gone".
ControllerStatus status_of(const QString &words)
{
    ControllerStatus status;
    const QString state = words.section(' ', 0, 0);
    status.connected = status.live = state != "gone";
    status.answering = state != "silent";
    status.wanted_mode = state == "manual" ? RegulationMode::manual : RegulationMode::automatic;
    status.light = status.pwm_width = status.brightness_width = words.section(' ', 1).toUInt();
    return status;
}

QString words_of(const ControllerStatus &status)
{
    if (!status.connected)
        return QStringLiteral("gone");
    const QString state = !status.answering                          ? QStringLiteral("silent")
        : status.wanted_mode == RegulationMode::manual ? QStringLiteral("manual")
                                                       : QStringLiteral("live");
    return state + ' ' + QString::number(status.light);
}

QStringList shown(const QSignalSpy &spy)
{
    QStringList words;
    for (const QList<QVariant> &emitted : spy)
        words << words_of(emitted[0].value<ControllerStatus>());
    return words;
}

} // namespace

class TestStatusPacer : public QObject
{
    Q_OBJECT

private slots:
    void paces_readings_data()
    {
        QTest::addColumn<int>("readings_ms");
        QTest::addColumn<QStringList>("statuses"); // taken one after the other
        QTest::addColumn<QStringList>("at_once");  // shown while they are taken
        QTest::addColumn<QStringList>("in_all");   // shown once the pause is over

        QTest::newRow("a burst of readings: the first, then the last")
            << 50 << QStringList{"live 500", "live 501", "live 502", "live 503"} << QStringList{"live 500"}
            << QStringList{"live 500", "live 503"};
        QTest::newRow("a state change goes through the pause, with its readings")
            << 50 << QStringList{"live 500", "live 501", "silent 502"} << QStringList{"live 500", "silent 502"}
            << QStringList{"live 500", "silent 502"};
        QTest::newRow("readings after a state change wait for its pause")
            << 50 << QStringList{"live 500", "manual 500", "manual 510", "manual 520"}
            << QStringList{"live 500", "manual 500"} << QStringList{"live 500", "manual 500", "manual 520"};
        QTest::newRow("held readings give way to the state change after them")
            << 50 << QStringList{"live 500", "live 510", "gone"} << QStringList{"live 500", "gone"}
            << QStringList{"live 500", "gone"};
        QTest::newRow("unpaced: every status") << 0 << QStringList{"live 500", "live 501"}
                                               << QStringList{"live 500", "live 501"}
                                               << QStringList{"live 500", "live 501"};
    }

    void paces_readings()
    {
        QFETCH(int, readings_ms);
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, at_once);
        QFETCH(QStringList, in_all);
        StatusPacer pacer(readings_ms);
        QSignalSpy spy(&pacer, &StatusPacer::paced);
        for (const QString &status : statuses)
            pacer.take(status_of(status));
        QCOMPARE(shown(spy), at_once);
        QTRY_COMPARE(shown(spy), in_all);
        // Nothing is shown twice, and nothing after the last.
        QTest::qWait(3 * readings_ms);
        QCOMPARE(shown(spy), in_all);
    }
};

QTEST_GUILESS_MAIN(TestStatusPacer)
#include "tst_status_pacer.moc"
