// The time from a click on "Кривая…" to the curve window painted with a
// synthetic year's history (history_bench year's database): the summary read
// from the store (in the program on the history's thread, here on this one,
// the same sum of work), the band, dots, time view and proposal set, and
// the first paint. The window on the simulated controller, offscreen.
// Prints "open_ms <median of ten opens>", or fails when the history did
// not reach the window.
//
//   curve_open_bench DATABASE

#include "bench.h"
#include "history/history_store.h"
#include "history/history_summary.h"
#include "ui/curve_window.h"
#include "ui/widget.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const HistoryStore store(QString::fromLocal8Bit(argv[1]), HistoryStore::Access::read_only);

    Bench bench(ControllerState(), Bench::View::attached);
    bench.connect();
    Widget &window = bench.view();
    window.show();
    bool proposal_shown = false;
    QObject::connect(&window, &Widget::history_wanted, [&](const std::optional<ConfigBlock> &config, LightPositions positions) {
        const HistorySummary summary =
            summarise_history(store, QString(), config, positions, QDateTime::currentMSecsSinceEpoch());
        proposal_shown = summary.histogram.total_seconds > 0 && summary.proposal.made;
        window.show_history(summary);
    });
    auto *curve_button = window.findChild<QPushButton *>(QStringLiteral("curve_pushButton"));
    auto *curve_window = window.findChild<CurveWindow *>();
    QApplication::processEvents();

    std::vector<double> opens;
    QElapsedTimer timer;
    for (int i = 0; i < 10; ++i) {
        curve_window->hide();
        QApplication::processEvents();
        timer.start();
        curve_button->click();
        QApplication::processEvents(); // the show, the layout and the paint
        opens.push_back(timer.nsecsElapsed() / 1e6);
        if (!proposal_shown || !curve_window->isVisible()) {
            std::fprintf(stderr, "curve_open_bench: no history or no window\n");
            return 1;
        }
    }
    std::sort(opens.begin(), opens.end());
    std::printf("open_ms %.2f\n", opens[opens.size() / 2]);
    return 0;
}
