// The curve proposed from manual corrections, as one table: the owner's
// curve, the corrections (light -> chosen width) and what must come out.
// Every proposal must pass the checks of a configuration import.

#include "history/curve_fit.h"
#include "model/config_file.h"
#include "protocol/commands.h"
#include "model/loop_gain.h"

#include <QRandomGenerator>
#include <QTest>

namespace {

using Points = QList<QPair<int, int>>; // (light, width) for points 1..7; corrections (light, chosen width)

constexpr qint64 DAY_MS = 24 * 3600 * 1000;

ConfigBlock block_of(const Points &curve)
{
    ConfigBlock config;
    for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point) {
        config.set_auto_light(point, curve[point - 1].first);
        config.set_auto_pwm(point, curve[point - 1].second);
    }
    config.set_avrg_light_num(0); // as a controller may report it: outside what an import takes
    return config;
}

std::vector<CorrectionRow> corrections_of(const Points &chosen)
{
    std::vector<CorrectionRow> rows;
    for (const auto &[light, width] : chosen)
        rows.push_back({qint64(rows.size()) * DAY_MS, QStringLiteral("8d88:00bb:x"), unsigned(light), 0, width, "window"});
    return rows;
}

const Points RISING{{0, 50}, {150, 120}, {300, 200}, {450, 280}, {600, 360}, {800, 450}, {1000, 540}};

} // namespace

class CurveFitTest : public QObject
{
    Q_OBJECT

private slots:
    void propose_data()
    {
        QTest::addColumn<Points>("curve");
        QTest::addColumn<Points>("corrections");
        QTest::addColumn<bool>("time_positions"); // move the points to where the time is spent
        QTest::addColumn<bool>("made");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QList<int>>("changed"); // points 1..7 that must change; the rest must not

        const Points brighter_low{{150, 170}, {160, 175}, {140, 160}, {300, 250}, {310, 255}};
        QTest::newRow("no data") << RISING << Points{} << false << false << "0 of the 5" << QList<int>{};
        QTest::newRow("one band") << RISING << Points{{300, 250}, {305, 260}, {295, 240}, {300, 255}, {302, 250}}
                                  << false << false << "near point 3" << QList<int>{};
        QTest::newRow("two bands") << RISING << brighter_low << false << true
                                   << "5 corrections over 4 days; points 2 and 3 would change" << QList<int>{2, 3};
        QTest::newRow("contradicting corrections cancel")
            << RISING << Points{{300, 100}, {300, 300}, {300, 100}, {300, 300}, {600, 360}, {600, 360}} << false << true
            << "no point would change" << QList<int>{};
        QTest::newRow("a stray correction is outvoted")
            << RISING << Points{{300, 250}, {300, 250}, {300, 250}, {300, 0}, {600, 360}} << false << true
            << "point 3 would change" << QList<int>{3};
        QTest::newRow("extremes") << RISING << Points{{0, 0}, {0, 0}, {0, 0}, {1023, 564}, {1023, 564}, {1023, 564}}
                                  << false << true << "points 1 and 7 would change" << QList<int>{1, 7};
        QTest::newRow("out of range values are clamped")
            << Points{{0, 50}, {150, 120}, {300, 200}, {450, 280}, {600, 360}, {800, 450}, {2000, 900}}
            << Points{{5000, 9000}, {5000, 9000}, {5000, 9000}, {0, -40}, {0, -40}} << false << true << "points 1 and 7"
            << QList<int>{1, 7};
        // The owner dims as the room gets brighter: points without
        // corrections keep that shape, the corrected ones move.
        QTest::newRow("falling curve keeps its shape")
            << Points{{0, 500}, {150, 450}, {300, 400}, {450, 300}, {600, 200}, {800, 100}, {1000, 50}}
            << Points{{0, 560}, {0, 560}, {0, 560}, {1000, 20}, {1000, 20}} << false << true << "points 1 and 7"
            << QList<int>{1, 7};
        QTest::newRow("points follow the time") << RISING << brighter_low << true << true << "points 1, 2, 3, 4, 5, 6 and 7"
                                                << QList<int>{1, 2, 3, 4, 5, 6, 7};
    }

    void propose()
    {
        QFETCH(Points, curve);
        QFETCH(Points, corrections);
        QFETCH(bool, time_positions);
        QFETCH(bool, made);
        QFETCH(QString, says);
        QFETCH(QList<int>, changed);

        // Most of the time spent at light 100..400.
        LightHistogram histogram;
        histogram.seconds.assign(32, 0.0);
        for (int bin = 3; bin <= 12; ++bin)
            histogram.seconds[bin] = 3600;
        histogram.total_seconds = 10 * 3600;
        const ConfigBlock current = block_of(curve);
        const CurveProposal proposal = CurveFit::propose(corrections_of(corrections), histogram, current,
                                                         time_positions ? LightPositions::follow_time : LightPositions::keep);
        QCOMPARE(proposal.made, made);
        QVERIFY2(proposal.explanation.contains(says), qPrintable(proposal.explanation));
        if (!made)
            return;

        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            QVERIFY2(proposal.changed[point - 1] == changed.contains(point), qPrintable(QString::number(point)));
        // Never falling where the owner's curve never falls.
        const bool owner_rises = curve.first().second < curve.last().second;
        for (int point = 2; owner_rises && point <= ConfigBlock::CURVE_POINTS; ++point)
            QVERIFY(proposal.points[point - 1].width >= proposal.points[point - 2].width);
        if (time_positions)
            QVERIFY(proposal.points.front().light >= 96 && proposal.points.back().light <= 416);

        ConfigBlock imported;
        QString error;
        QVERIFY2(config_from_json(config_to_json(proposal.config, supported_controller()), &imported, &error),
                 qPrintable(error));
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            QCOMPARE(imported.auto_pwm(point), proposal.points[point - 1].width);
    }

    // Random owners' curves (rising, or anything), corrections anywhere or
    // around a wanted line, time spent and couplings: once a proposal is applied, the
    // same history proposes nothing more.
    void applied_proposal_is_settled()
    {
        const quint32 seed = qEnvironmentVariableIsSet("CURVE_FIT_SEED") ? quint32(qEnvironmentVariableIntValue("CURVE_FIT_SEED"))
                                                                         : QRandomGenerator::global()->generate();
        QRandomGenerator random(seed);
        const auto pairs = [&](int count, int spread, int slope) {
            Points made;
            for (const int base = random.bounded(PWM_FULL_SCALE); made.size() < count;) {
                const int light = random.bounded(LIGHT_FULL_SCALE + 1);
                made.append({light, base + slope * light / 3 + random.bounded(spread) - spread / 2});
            }
            return made;
        };
        int made = 0;
        for (int run = 0; run < 2000; ++run) {
            Points curve = pairs(ConfigBlock::CURVE_POINTS, PWM_FULL_SCALE, 0);
            if (random.bounded(3) > 0) // rising
                std::sort(curve.begin(), curve.end(), [](const auto &a, const auto &b) { return a.second < b.second; });
            const auto chosen = corrections_of(pairs(5 + random.bounded(60), 1 + random.bounded(PWM_FULL_SCALE), random.bounded(-1, 2)));
            LightHistogram histogram;
            histogram.seconds.assign(32, 0.0);
            for (double &seconds : histogram.seconds)
                histogram.total_seconds += seconds = random.bounded(4) ? 0 : random.bounded(3600);
            const auto positions = random.bounded(2) ? LightPositions::follow_time : LightPositions::keep;
            const auto k = random.bounded(2) ? std::optional(random.bounded(20.0) - 10.0) : std::nullopt; // a coupling
            const CurveProposal first = CurveFit::propose(chosen, histogram, block_of(curve), positions, k);
            const CurveProposal again = CurveFit::propose(chosen, histogram, first.config, positions, k);
            made += first.made;
            QVERIFY2(!first.made || std::none_of(again.changed.begin(), again.changed.end(), [](bool c) { return c; }),
                     qPrintable(QStringLiteral("CURVE_FIT_SEED=%1, run %2: %3").arg(seed).arg(run).arg(again.explanation)));
        }
        QVERIFY2(made > 1000, qPrintable(QString::number(made)));
    }

    // With the lamp's coupling measured, no proposed segment reaches half a
    // loop gain, whatever the corrections ask; below that it is the
    // proposal without the coupling.
    void limited_by_the_gain_data()
    {
        QTest::addColumn<Points>("curve");
        QTest::addColumn<double>("k");
        QTest::addColumn<bool>("limited");

        QTest::newRow("gentle coupling") << RISING << 1.0 << false;
        QTest::newRow("strong coupling, rising") << RISING << 8.0 << true;
        QTest::newRow("strong coupling, falling")
            << Points{{0, 500}, {150, 450}, {300, 400}, {450, 300}, {600, 200}, {800, 100}, {1000, 50}} << 8.0 << true;
        QTest::newRow("coupling reads darker") << RISING << -8.0 << true;
    }

    void limited_by_the_gain()
    {
        QFETCH(Points, curve);
        QFETCH(double, k);
        QFETCH(bool, limited);

        const auto corrections = corrections_of({{150, 250}, {160, 255}, {140, 240}, {600, 300}, {610, 310}});
        const ConfigBlock current = block_of(curve);
        const CurveProposal free = CurveFit::propose(corrections, {}, current, LightPositions::keep);
        const CurveProposal proposal = CurveFit::propose(corrections, {}, current, LightPositions::keep, k);
        QVERIFY(proposal.made);
        QVERIFY2(proposal.explanation.contains("slopes limited") == limited, qPrintable(proposal.explanation));
        QVERIFY(qAbs(strongest_segment(proposal.config, k)->gain) < MAY_GAIN);
        QCOMPARE(proposal.config.bytes == free.config.bytes, !limited);
        const bool owner_rises = curve.first().second < curve.last().second;
        for (int point = 2; owner_rises && point <= ConfigBlock::CURVE_POINTS; ++point)
            QVERIFY(proposal.points[point - 1].width >= proposal.points[point - 2].width);
    }
};

QTEST_GUILESS_MAIN(CurveFitTest)
#include "tst_curve_fit.moc"
