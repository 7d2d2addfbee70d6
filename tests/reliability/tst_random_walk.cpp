// Seeded random walks through the fuzz target's session: thousands of steps of
// ticks, device checks, edits, Apply, hot keys, unplugs, stray reports and
// faulty replies, with every invariant checked on every step. Fixed seeds, so
// a failure replays exactly.

#include "model_session.h"

#include <QtTest>

#include <random>
#include <vector>

class RandomWalkTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { quiet_debug_output(); }

    void walk_data()
    {
        QTest::addColumn<unsigned>("seed");
        for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u})
            QTest::addRow("seed %u", seed) << seed;
    }

    void walk()
    {
        QFETCH(unsigned, seed);
        // About 3000 steps: a step takes one to five bytes, and each request
        // one more for its fault.
        std::mt19937 random(seed);
        std::vector<uint8_t> input(12000);
        for (uint8_t &byte : input)
            byte = static_cast<uint8_t>(random() & 0xFF);

        const SessionReport report = run_model_session(input.data(), input.size());
        QVERIFY2(report.violation.empty(), report.violation.c_str());

        // The walk must have reached the states the invariants are about,
        // not idled with no controller.
        const CheckerStats &s = report.stats;
        const QByteArray seen = QStringLiteral("%1 steps, %2 connections, %3 identified, %4 loads, "
                                               "%5 complete passes, %6 config writes, %7 identification failures")
                                    .arg(s.steps).arg(s.connections).arg(s.identified).arg(s.loads)
                                    .arg(s.complete_passes).arg(s.config_writes).arg(s.identification_failures)
                                    .toUtf8();
        qInfo("%s", seen.constData());
        QVERIFY2(s.steps >= 2000, seen);
        QVERIFY2(s.identified >= 20, seen);
        QVERIFY2(s.loads >= 20, seen);
        QVERIFY2(s.complete_passes >= 200, seen);
        QVERIFY2(s.config_writes >= 10, seen);
        QVERIFY2(s.identification_failures >= 5, seen);
    }
};

QTEST_MAIN(RandomWalkTest)
#include "tst_random_walk.moc"
