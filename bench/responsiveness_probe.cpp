// How soon the running program's GUI thread answers, seen from outside:
// for SECONDS seconds, one D-Bus Get of a property every 10 ms, each sent
// without waiting for the ones before. The program serves its properties on
// the GUI thread, so a Get that arrives while that thread is stalled waits
// for the stall to end: the longest wait is the worst stall (to within the
// 10 ms between Gets, plus one round trip), and the distribution of the
// waits is what any client of the interface sees.
//
// Usage: responsiveness_probe SECONDS
// Prints "sent N", "answered N", "p50_ms X", "p99_ms X", "max_ms X".
// Exit status 1 when a Get went unanswered or failed.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int INTERVAL_MS = 10;
// Longer than any stall the program could have (a failed tick and an
// exchange of its own), so a late answer is measured, not dropped.
constexpr int CALL_TIMEOUT_MS = 30000;

double percentile(std::vector<double> sorted, double share)
{
    if (sorted.empty())
        return -1;
    std::sort(sorted.begin(), sorted.end());
    const size_t at = std::min(sorted.size() - 1, size_t(share * double(sorted.size())));
    return sorted[at];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "responsiveness_probe: no session bus\n");
        return 1;
    }

    QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("io.github.morvane.pwm"),
                                                      QStringLiteral("/io/github/morvane/pwm"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QStringLiteral("io.github.morvane.pwm.Controller") << QStringLiteral("LightReading");

    QElapsedTimer clock;
    clock.start();
    std::vector<double> waits;
    int sent = 0;
    int failed = 0;
    int outstanding = 0;
    bool sending = true;

    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(INTERVAL_MS);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (clock.elapsed() >= qint64(seconds) * 1000) {
            ticker.stop();
            sending = false;
            if (outstanding == 0)
                app.quit();
            return;
        }
        const qint64 at_ns = clock.nsecsElapsed();
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(get, CALL_TIMEOUT_MS), &app);
        ++sent;
        ++outstanding;
        QObject::connect(watcher, &QDBusPendingCallWatcher::finished, [&, at_ns](QDBusPendingCallWatcher *call) {
            if (call->isError())
                ++failed;
            else
                waits.push_back(double(clock.nsecsElapsed() - at_ns) / 1e6);
            call->deleteLater();
            if (--outstanding == 0 && !sending)
                app.quit();
        });
    });
    ticker.start();
    app.exec();

    std::printf("sent %d\nanswered %zu\n", sent, waits.size());
    std::printf("p50_ms %.2f\np99_ms %.2f\nmax_ms %.2f\n", percentile(waits, 0.5), percentile(waits, 0.99),
                waits.empty() ? -1.0 : *std::max_element(waits.begin(), waits.end()));
    return failed == 0 && !waits.empty() ? 0 : 1;
}
