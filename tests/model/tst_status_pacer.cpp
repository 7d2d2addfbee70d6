// What people read of a drifting light: the readings a few times a second,
// the last always; every other change at once.

#include "model/status_pacer.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// "live 500", or "silent 500" (no longer answering), at a light of 500.
ControllerStatus status_of(const QString &words)
{
    ControllerStatus status;
    status.connected = status.live = true;
    status.answering = words.startsWith("live");
    status.light = status.pwm_width = status.brightness_width = words.section(' ', 1).toUInt();
    return status;
}

QStringList shown(const QSignalSpy &spy)
{
    QStringList words;
    for (const QList<QVariant> &emitted : spy) {
        const auto status = emitted[0].value<ControllerStatus>();
        words << QString(status.answering ? "live %1" : "silent %1").arg(status.light);
    }
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
            << 50 << QStringList{"live 500", "live 501", "live 502"} << QStringList{"live 500"}
            << QStringList{"live 500", "live 502"};
        QTest::newRow("a state change goes through the pause, held readings give way")
            << 50 << QStringList{"live 500", "live 501", "silent 502"} << QStringList{"live 500", "silent 502"}
            << QStringList{"live 500", "silent 502"};
        QTest::newRow("readings after a state change wait for its pause")
            << 50 << QStringList{"live 500", "silent 500", "silent 510", "silent 520"}
            << QStringList{"live 500", "silent 500"} << QStringList{"live 500", "silent 500", "silent 520"};
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
