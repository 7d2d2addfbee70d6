// The cost of one repaint of the curve view, on the offscreen platform, the
// view shown at its usual size.
//
// Scenarios:
//   repaint.curve        the whole view (QWidget::repaint): the seven points
//                        and the live operating point
//   repaint.curve_trail  the same with a full trail: three minutes of poll
//                        ticks with the light moving, the longest it gets
//   repaint.point_moved  a poll tick's status change with the light moving:
//                        set_operating_point and the repaint of what moved,
//                        the full trail behind it
//   base.line_edit       one repaint of a read-out QLineEdit, as a poll tick
//                        with a new reading causes
//
// Under callgrind (--instr-atstart=no --collect-atstart=no) only the repaints
// are collected, and each scenario ends with a dump named
// "<scenario>/<calls>". Without valgrind it prints "<scenario> <µs>" lines:
// the median time per repaint of five rounds.

#include "protocol/commands.h"
#include "ui/curve_view.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>

#include <valgrind/callgrind.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int CALLS = 200;
constexpr int ROUNDS = 5;

template <class Act>
void measure(const char *scenario, Act act)
{
    for (int i = 0; i < 5; ++i) // warm-up: glyph caches, first allocations
        act();
    if (RUNNING_ON_VALGRIND) {
        CALLGRIND_TOGGLE_COLLECT;
        for (int i = 0; i < CALLS; ++i)
            act();
        CALLGRIND_TOGGLE_COLLECT;
        const std::string dump = std::string(scenario) + "/" + std::to_string(CALLS);
        CALLGRIND_DUMP_STATS_AT(dump.c_str());
        return;
    }
    std::vector<double> per_call;
    for (int round = 0; round < ROUNDS; ++round) {
        QElapsedTimer timer;
        timer.start();
        for (int i = 0; i < CALLS; ++i)
            act();
        per_call.push_back(double(timer.nsecsElapsed()) / 1000 / CALLS);
    }
    std::nth_element(per_call.begin(), per_call.begin() + ROUNDS / 2, per_call.end());
    std::printf("%s %.1f\n", scenario, per_call[ROUNDS / 2]);
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    qint64 now_ms = 0;
    CurveView view(nullptr, [&now_ms] { return now_ms; });
    view.resize(view.sizeHint());
    const CurveView::Points points{{{0, 40}, {100, 80}, {250, 160}, {400, 260}, {600, 380}, {800, 480}, {1023, 564}}};
    view.set_applied_curve(points, true);
    view.set_edited_curve(points, true);
    view.set_operating_point(500, 300);
    view.show();
    QCoreApplication::processEvents();

    CALLGRIND_START_INSTRUMENTATION;
    measure("repaint.curve", [&] { view.repaint(); });

    // The simulated light's drift: a sine over 20 s, sampled every poll tick.
    int tick = 0;
    const auto next_tick = [&] {
        now_ms += 50;
        const int light = 500 + int(400 * std::sin(++tick * 0.05 * 2 * M_PI / 20));
        view.set_operating_point(light, 60 + light * 45 / 100);
    };
    while (tick < 3 * 60 * 1000 / 50)
        next_tick();
    measure("repaint.curve_trail", [&] { view.repaint(); });
    measure("repaint.point_moved", [&] {
        next_tick();
        QCoreApplication::processEvents();
    });

    QLineEdit read_out(QStringLiteral("512"));
    read_out.resize(50, 22);
    read_out.show();
    QCoreApplication::processEvents();
    measure("base.line_edit", [&] { read_out.repaint(); });
    CALLGRIND_STOP_INSTRUMENTATION;
    return 0;
}
