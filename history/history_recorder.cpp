#include "history_recorder.h"

#include "history_store.h"
#include "history_writer.h"
#include "model/thread_handoff.h"

#include <QDateTime>

#include <cmath>

namespace {

constexpr qint64 MINUTE_MS = 60 * 1000;

QString source_name(ChangeSource source)
{
    switch (source) {
    case ChangeSource::window:
        return QStringLiteral("window");
    case ChangeSource::hot_key:
        return QStringLiteral("hot_key");
    case ChangeSource::tray:
        return QStringLiteral("tray");
    case ChangeSource::dbus:
        return QStringLiteral("dbus");
    case ChangeSource::client:
        return QStringLiteral("client");
    }
    return QString();
}

} // namespace

HistoryRecorder::Settings HistoryRecorder::Settings::from_environment()
{
    Settings settings;
    settings.path = HistoryStore::default_path();
    bool ok = false;
    const int minute_ms = qEnvironmentVariableIntValue("MORVANE_PWM_HISTORY_MINUTE_MS", &ok);
    if (ok && minute_ms > 0)
        settings.minute_ms = minute_ms;
    return settings;
}

HistoryRecorder::HistoryRecorder(const Settings &settings, QObject *parent)
    : QObject(parent)
    , time_scale_(double(MINUTE_MS) / std::max(settings.minute_ms, 1))
    , origin_ms_(QDateTime::currentMSecsSinceEpoch())
    // A compressed clock starts a day back: clients read the days up to
    // now, and it would otherwise record into the future from the start.
    , history_origin_ms_(origin_ms_ - (settings.minute_ms < MINUTE_MS ? 24 * 60 * MINUTE_MS : 0))
    , writer_(new HistoryWriter(settings.path))
    // The writer's child: it moves to the history's thread with it.
    , writer_jobs_(new ThreadHandOff(writer_))
    , own_jobs_(new ThreadHandOff(this))
{
    writer_->moveToThread(&thread_);
    connect(writer_, &HistoryWriter::failed, this, [this](const QString &text) {
        enabled_ = false;
        minute_timer_.stop();
        emit problem(text);
    });
    connect(writer_, &HistoryWriter::notice, this, &HistoryRecorder::problem);
    connect(writer_, &HistoryWriter::hunting_seen, this, &HistoryRecorder::hunting_seen);
    qRegisterMetaType<HistorySummary>();
    connect(writer_, &HistoryWriter::summary_ready, this, &HistoryRecorder::summary_ready);
    connect(writer_, &HistoryWriter::coupling_read, this, &HistoryRecorder::coupling_read);
    thread_.setObjectName(QStringLiteral("history"));
    // Runs first once the thread runs: every batch waits behind it.
    writer_jobs_->post([writer = writer_, now = now_ms()] { writer->open(now); });

    minute_timer_.setSingleShot(true);
    connect(&minute_timer_, &QTimer::timeout, this, &HistoryRecorder::end_minute);
    schedule_minute_end();
}

void HistoryRecorder::request_summary(const std::optional<ConfigBlock> &current, LightPositions positions,
                                      const QString &of)
{
    const QString identity = of.isEmpty() ? identity_ : of;
    if (!enabled_ || (identity.isEmpty() && current))
        return;
    writer_jobs_->post([writer = writer_, identity, current, positions, now = now_ms()] {
        writer->summarise(identity, current, positions, now);
    });
}

void HistoryRecorder::request_coupling(const QString &identity)
{
    if (enabled_ && !identity.isEmpty())
        writer_jobs_->post([writer = writer_, identity] { writer->read_coupling(identity); });
}

void HistoryRecorder::start()
{
    if (!thread_.isRunning())
        thread_.start(QThread::LowPriority);
}

HistoryRecorder::~HistoryRecorder()
{
    // Never started, what was recorded is still written.
    start();
    minute_timer_.stop();
    if (enabled_)
        send(take_minutes(true));
    // Queued after every batch sent, so it runs once they are written.
    writer_jobs_->post_and_wait([writer = writer_] {
        writer->close();
        delete writer;
    });
    thread_.quit();
    thread_.wait();
}

HistoryRecorder::Stream &HistoryRecorder::stream(quintptr key)
{
    return streams_.try_emplace(key, Stream{MinuteAccumulator(history_origin_ms_), QString(), std::nullopt, {}})
        .first->second;
}

void HistoryRecorder::record_status(const ControllerStatus &status, quintptr key)
{
    if (!enabled_)
        return;
    Stream &recorded = stream(key);
    if (!status.identity.isEmpty()) {
        identity_ = status.identity;
        recorded.identity = status.identity;
    }
    // A sweep's levels are not the room's nor the owner's: left out.
    const bool reporting = status.connected && status.live && !status.measuring;
    recorded.last = {status.identity, reporting, status.light, status.pwm_width,
                     status.mode == RegulationMode::manual ? 1 : 0, status.brightness_reversals};
    if (!asleep_since_)
        recorded.minutes.set(now_ms(), recorded.last);
}

void HistoryRecorder::record_manual_change(const ManualChange &change)
{
    if (!enabled_)
        return;
    const qint64 time_ms = change.time.isValid() ? history_time(change.time.toMSecsSinceEpoch()) : now_ms();
    pending_.corrections.push_back({time_ms, change.identity.isEmpty() ? identity_ : change.identity, change.light,
                                    change.level_before, change.level_after, source_name(change.source)});
}

void HistoryRecorder::record_configuration(const ConfigBlock &config, quintptr key)
{
    stream(key).configuration = config;
}

void HistoryRecorder::record_coupling(const QString &identity, const CouplingResult &result)
{
    if (!enabled_ || !result.measured() || identity.isEmpty())
        return;
    pending_.couplings.push_back({identity, result});
    send(take_minutes(false));
}

void HistoryRecorder::record_present_controllers(const QStringList &ids)
{
    if (enabled_ && ids.size() == 1)
        writer_jobs_->post([writer = writer_, id = ids.front()] { writer->adopt_legacy_identity(id); });
}

void HistoryRecorder::prepare_for_sleep(std::function<void()> written)
{
    const qint64 now = now_ms();
    asleep_since_ = now;
    if (!enabled_) {
        written();
        return;
    }
    for (auto &[key, recorded] : streams_)
        recorded.minutes.set(now, LightSample());
    pending_.sleeps.push_back({now, 0});
    send(take_minutes(true));
    // A sleep before the first frame: the store opens now, or the answer
    // the inhibitor waits for would never come.
    start();
    // Queued after the batch, so it runs once that is written.
    writer_jobs_->post([own_jobs = own_jobs_, written = std::move(written)] { own_jobs->post(written); });
}

void HistoryRecorder::woke()
{
    if (!asleep_since_)
        return;
    const qint64 now = now_ms();
    pending_.sleeps.push_back({*asleep_since_, now});
    asleep_since_.reset();
    for (auto &[key, recorded] : streams_)
        recorded.minutes.set(now, recorded.last);
}

qint64 HistoryRecorder::now_ms() const
{
    return history_time(QDateTime::currentMSecsSinceEpoch());
}

qint64 HistoryRecorder::history_time(qint64 real_ms) const
{
    return history_origin_ms_ + qint64(std::llround(double(real_ms - origin_ms_) * time_scale_));
}

void HistoryRecorder::end_minute()
{
    send(take_minutes(false));
    schedule_minute_end();
}

std::vector<MinuteRow> HistoryRecorder::take_minutes(bool all)
{
    const qint64 now = now_ms();
    std::vector<MinuteRow> rows;
    for (auto &[key, recorded] : streams_) {
        std::vector<MinuteRow> taken = all ? recorded.minutes.take_all(now) : recorded.minutes.take_ended(now);
        rows.insert(rows.end(), taken.begin(), taken.end());
    }
    return rows;
}

void HistoryRecorder::send(std::vector<MinuteRow> minutes)
{
    const qint64 now = now_ms();
    // Stored under the controller it came from, once that is known.
    for (auto &[key, recorded] : streams_)
        if (recorded.configuration && !recorded.identity.isEmpty()) {
            pending_.configurations.push_back({recorded.identity, now, *recorded.configuration});
            recorded.configuration.reset();
        }
    pending_.minutes = std::move(minutes);
    if (!pending_.empty())
        writer_jobs_->post([writer = writer_, batch = std::move(pending_), now] {
            writer->write(batch, now);
        });
    pending_ = {};
}

void HistoryRecorder::schedule_minute_end()
{
    const qint64 now = now_ms();
    const qint64 next_minute = (now / MINUTE_MS + 1) * MINUTE_MS;
    // A timer that fires early finds no minute ended and comes back here.
    minute_timer_.start(std::max<qint64>(1, std::ceil(double(next_minute - now) / time_scale_)));
}

#include "moc_history_recorder.cpp"
