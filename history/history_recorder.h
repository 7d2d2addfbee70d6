#pragma once

#include "history_summary.h"

#include "history_rows.h"
#include "minute_accumulator.h"
#include "model/controller_status.h"
#include "model/manual_change.h"
#include "protocol/config_block.h"

#include <QObject>
#include <QThread>
#include <QTimer>

#include <functional>
#include <map>
#include <optional>

class HistoryWriter;
class ThreadHandOff;

// Records what the controller does into the history, fed on the GUI thread
// with the model's values. It batches a minute at a time and hands each
// batch to a thread of its own, which writes it in one transaction: the GUI
// thread and the controller's thread never touch the database, and a crash
// loses at most the minute under way.
//
// Several controllers are recorded side by side, each through a stream of
// its own (any number that tells their ControllerThreads apart): a stream's
// status holds until that stream's next one.
//
// Wiring (main), per controller:
//   connect(&controller_thread, &ControllerThread::status_changed, &recorder,
//           [&](const ControllerStatus &status) { recorder.record_status(status, stream); });
//   connect(&controller_thread, &ControllerThread::manual_change, &recorder, &HistoryRecorder::record_manual_change);
//   ... configuration_loaded -> recorder.record_configuration(config, stream);
//   ... coupling_finished -> recorder.record_coupling(controller_thread.identity().id, result);
//   recorder.record_present_controllers(ids); // at start and whenever the controllers present change
//   recorder.start(); // once the window has drawn its first frame
//   connect(&recorder, &HistoryRecorder::problem, ...); // one line on stderr and in the status line
//   connect(&recorder, &HistoryRecorder::hunting_seen, ...); // the notice that offers a measurement
class HistoryRecorder : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        QString path;           // the database; HistoryStore::default_path() for the program
        int minute_ms = 60'000; // real milliseconds per recorded minute: tests compress time

        // The program's settings: the default path, and the length of a minute
        // from MORVANE_PWM_HISTORY_MINUTE_MS when set. That variable is for
        // tests only: it makes the history's clock run faster than real time,
        // from a day back.
        static Settings from_environment();
    };

    // Records from here on; the database is opened by start().
    explicit HistoryRecorder(const Settings &settings, QObject *parent = nullptr);
    // Writes what has been counted so far, the minute under way among it,
    // and waits for the writer to finish.
    ~HistoryRecorder() override;

    // Opens the database and writes, on the history's thread, what has been
    // recorded so far and what follows (the program: after its first frame).
    void start();

    // False once the store failed: nothing more is recorded.
    bool enabled() const { return enabled_; }

    // The model's announcements, on this object's thread (connected directly:
    // the model's signals reach the GUI thread already). While nobody looks
    // the readings come at most every Controller::QUIET_READINGS_MS, each
    // counted until the next: a minute's mean is then that of some 12
    // evenly spaced samples of a light that drifts over minutes, late by at
    // most one pace (a ramp's mean by half its rise over 5 s). Connection
    // and mode are never paced, and minutes end on this object's own timer,
    // the last status counting on through them: a minute without a new
    // status keeps its rows and its connected seconds.
    void record_status(const ControllerStatus &status, quintptr stream = 0);
    void record_manual_change(const ManualChange &change);
    void record_configuration(const ConfigBlock &config, quintptr stream = 0);
    // A coupling measured on the controller `identity`, written at once
    // (a client may ask for it next); a sweep without a result is not kept.
    void record_coupling(const QString &identity, const CouplingResult &result);

    // The system is about to sleep: what was counted so far (the minute
    // under way among it) is written with the sleep's start, and `written`
    // runs on this thread once it is stored. Nothing is counted while the
    // system sleeps.
    void prepare_for_sleep(std::function<void()> written);
    // The system woke: the sleep's end is recorded (corrections around it
    // never reach a proposal) and each controller's last status counts again.
    void woke();

    // Reads what the curve window shows of the controller `identity` (the
    // one last recorded when empty), on the history's thread; answered with
    // summary_ready (nothing while history is off). The minute under way is
    // not in it yet. Without `current` (no controller) the store's last
    // configuration stands in, of the controller recorded last when none was
    // seen in this run.
    void request_summary(const std::optional<ConfigBlock> &current, LightPositions positions,
                         const QString &identity = {});

    // The coupling measured last for `identity`; answered with coupling_read.
    void request_coupling(const QString &identity);

public slots:
    // The stable identities of the controllers present, at start and on
    // every change (from another thread through a queued connection). With
    // exactly one, rows recorded under the old path-based identities become
    // its own (once per database, on the history's thread); with several,
    // that waits until only one is.
    void record_present_controllers(const QStringList &ids);

signals:
    void summary_ready(const HistorySummary &summary);
    void coupling_read(const QString &identity, const std::optional<CouplingResult> &coupling);
    // One sentence for stderr and the status line: history is off (enabled()
    // says so), or a damaged database was moved aside.
    void problem(const QString &text);
    // The minutes just written close a hunting spell (hunting_spells) of the
    // controller `identity` within its last HUNTING_WINDOW_SECONDS: its
    // lamp's light seems to reach its sensor. Once a minute while it lasts.
    void hunting_seen(const QString &identity);

private:
    // The history's clock: real time, or faster under a compressed minute.
    qint64 now_ms() const;
    qint64 history_time(qint64 real_ms) const;
    void end_minute();
    void send(std::vector<MinuteRow> minutes);
    void schedule_minute_end();

    double time_scale_;
    qint64 origin_ms_;         // real time at the start
    qint64 history_origin_ms_; // the history's time then
    // One controller's recording.
    struct Stream
    {
        MinuteAccumulator minutes;
        QString identity; // of its last status that named one
        std::optional<ConfigBlock> configuration; // loaded, not yet stored
        LightSample last; // counted again after a sleep
    };
    Stream &stream(quintptr key);
    std::vector<MinuteRow> take_minutes(bool all);

    QString identity_; // the controller of the last status
    std::map<quintptr, Stream> streams_;
    HistoryBatch pending_;
    std::optional<qint64> asleep_since_; // history time
    bool enabled_ = true;
    QTimer minute_timer_;
    QThread thread_;
    HistoryWriter *writer_;
    ThreadHandOff *writer_jobs_; // runs jobs on the history's thread
    ThreadHandOff *own_jobs_;    // runs jobs on this object's thread
};
