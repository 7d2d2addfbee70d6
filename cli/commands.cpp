#include "commands.h"

#include "dbus/bus_names.h"
#include "history/curve_fit.h"
#include "history/history_store.h"
#include "model/config_file.h"
#include "model/pwm_percent_text.h"
#include "protocol/pwm_percent.h"
#include "stop_signals.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

QJsonObject status_json(const ControllerStatus &status, const QString &route)
{
    return {{"route", route},
            {"connected", status.connected},
            {"identified", status.identified},
            {"configuration_loaded", status.config_loaded},
            {"light", int(status.light_reading)},
            {"pwm_width", int(status.pwm_width)},
            {"brightness_percent", pwm_percent(int(status.pwm_width))},
            {"mode", bus_names::regulation_mode_name(status.mode)},
            {"manual_level", int(status.manual_level)},
            {"edits_pending", status.edits_pending}};
}

QString json_line(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// Reads at most one byte more than a document may hold: a huge file is
// refused without reading it whole.
bool read_document(const QString &file_name, QByteArray *document, QString *error)
{
    QFile file(file_name);
    const bool opened = file_name == QLatin1String("-") ? file.open(stdin, QIODevice::ReadOnly)
                                                        : file.open(QIODevice::ReadOnly);
    if (opened)
        *document = file.read(CONFIG_DOCUMENT_MAX_SIZE + 1);
    if (!opened || file.error() != QFileDevice::NoError) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// Writes through a rename, so an interrupted write leaves any earlier file
// whole; "-" is standard output.
bool save_document(const QString &file_name, const QByteArray &document, QTextStream &out, QString *error)
{
    if (file_name == QLatin1String("-")) {
        out << QString::fromUtf8(document);
        return true;
    }
    QSaveFile file(file_name);
    if (file.open(QIODevice::WriteOnly) && file.write(document) == document.size() && file.commit())
        return true;
    *error = file.errorString();
    return false;
}

QString utc_text(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODate);
}

QString mode_name(int mode)
{
    return bus_names::regulation_mode_name(mode == 1 ? RegulationMode::manual : RegulationMode::automatic);
}

} // namespace

CommandRunner::CommandRunner(ControllerAccess &access, QTextStream &out, QTextStream &err)
    : access_(access)
    , out_(out)
    , err_(err)
{
}

Outcome CommandRunner::run(const CommandLine &line)
{
    const QString &command = line.command;
    const QString argument = line.arguments.value(0);
    if (command == QLatin1String("status"))
        return status(line.json);
    if (command == QLatin1String("watch"))
        return watch(line.json);
    if (command == QLatin1String("config import"))
        return import_config(argument, line.dry_run);
    if (command == QLatin1String("history"))
        return history(line);
    if (command == QLatin1String("propose"))
        return propose(line);

    // The rest need a controller before anything else.
    QString error;
    if (const Outcome opened = access_.open(&error); opened != Outcome::done)
        return failed(opened, error);
    if (command == QLatin1String("manual")) {
        const bool on = argument == QLatin1String("on");
        return regulate([&](QString *error) { return access_.set_manual(on, error); });
    }
    if (command == QLatin1String("level")) {
        const int width = parse_level(argument);
        return regulate([&](QString *error) { return access_.set_manual_level(width, error); });
    }
    if (command == QLatin1String("up") || command == QLatin1String("down")) {
        const int direction = command == QLatin1String("up") ? 1 : -1;
        return regulate([&](QString *error) { return access_.step(direction, error); });
    }
    if (command == QLatin1String("config show"))
        return show_config(line.json);
    return export_config(argument);
}

Outcome CommandRunner::status(bool json)
{
    QString error;
    const Outcome opened = access_.open(&error);
    if (opened == Outcome::failed)
        return failed(opened, error);
    const ControllerStatus now = access_.status();
    if (json) {
        out_ << json_line(status_json(now, access_.route())) << '\n';
        return opened;
    }
    if (!now.connected) {
        out_ << tr("controller   not connected") << '\n';
        return opened;
    }
    out_ << tr("controller   connected") << '\n'
        << tr("light        %1").arg(now.light_reading) << '\n'
        << tr("brightness   %1 (width %2)").arg(pwm_percent_text(int(now.pwm_width))).arg(now.pwm_width) << '\n'
        << (now.mode == RegulationMode::manual ? tr("mode         manual (level %1)").arg(now.manual_level)
                                               : tr("mode         automatic"))
        << '\n';
    if (now.edits_pending)
        out_ << tr("window       has edits that are not applied") << '\n';
    return opened;
}

Outcome CommandRunner::watch(bool json)
{
    QString error;
    const Outcome opened = access_.open(&error);
    if (opened == Outcome::failed)
        return failed(opened, error);

    QEventLoop loop;
    Outcome outcome = Outcome::done;
    StopSignals stop_signals;
    connect(&stop_signals, &StopSignals::received, &loop, &QEventLoop::quit);
    connect(&access_, &ControllerAccess::ended, &loop, [&](const QString &reason) {
        outcome = failed(Outcome::failed, reason);
        loop.quit();
    });
    QString shown = status_line(json);
    const auto print = [&] {
        const QDateTime now = QDateTime::currentDateTime();
        if (json) {
            QJsonObject line = status_json(access_.status(), access_.route());
            line.insert(QStringLiteral("time"), now.toString(Qt::ISODateWithMs));
            out_ << json_line(line) << Qt::endl;
        } else {
            out_ << now.toString(QStringLiteral("HH:mm:ss")) << "  " << shown << Qt::endl;
        }
    };
    const auto print_change = [&] {
        const QString line = status_line(json);
        if (line != shown) {
            shown = line;
            print();
        }
    };
    connect(&access_, &ControllerAccess::status_changed, &loop, print_change);
    print();
    access_.watch();
    print_change(); // what changed while the watch was being set up
    loop.exec();
    return outcome;
}

Outcome CommandRunner::regulate(const std::function<Outcome(QString *error)> &change)
{
    QString error;
    if (const Outcome outcome = change(&error); outcome != Outcome::done)
        return failed(outcome, error);
    print_level();
    return Outcome::done;
}

Outcome CommandRunner::show_config(bool json)
{
    ConfigBlock config;
    QString error;
    if (const Outcome outcome = access_.configuration(&config, &error); outcome != Outcome::done)
        return failed(outcome, error);
    if (json) {
        out_ << QString::fromUtf8(config_to_json(config, supported_controller()));
        return Outcome::done;
    }
    const auto row = [this](const QString &label, const auto &value_of) {
        out_ << label.leftJustified(12);
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            out_ << value_of(point).rightJustified(6);
        out_ << '\n';
    };
    row(tr("point"), [](int point) { return QString::number(point); });
    row(tr("light"), [&config](int point) { return QString::number(config.auto_light(point)); });
    row(tr("pwm width"), [&config](int point) { return QString::number(config.auto_pwm(point)); });
    row(tr("brightness"), [&config](int point) { return pwm_percent_text(int(config.auto_pwm(point))); });
    out_ << tr("step delay             %1").arg(config.pwm_step_delay()) << '\n'
        << tr("slide delay            %1").arg(config.pwm_slide_delay()) << '\n'
        << tr("linear interpolation   %1").arg(config.pwm_smooth_alg() ? tr("yes") : tr("no")) << '\n'
        << tr("light samples          %1").arg(config.avrg_light_num()) << '\n';
    return Outcome::done;
}

Outcome CommandRunner::export_config(const QString &file_name)
{
    ConfigBlock config;
    QString error;
    if (const Outcome outcome = access_.configuration(&config, &error); outcome != Outcome::done)
        return failed(outcome, error);
    if (!save_document(file_name, config_to_json(config, supported_controller()), out_, &error))
        return failed(Outcome::failed, tr("cannot write %1: %2").arg(file_name, error));
    if (file_name != QLatin1String("-"))
        out_ << tr("Saved the configuration to %1.").arg(file_name) << '\n';
    return Outcome::done;
}

Outcome CommandRunner::import_config(const QString &file_name, bool dry_run)
{
    // The whole file is checked before the controller is even opened.
    QByteArray document;
    QString error;
    ConfigBlock checked;
    if (!read_document(file_name, &document, &error))
        return failed(Outcome::failed, tr("cannot read %1: %2").arg(file_name, error));
    if (!config_from_json(document, &checked, &error))
        return failed(Outcome::failed, tr("%1: %2; nothing was written").arg(file_name, error));

    ConfigBlock current;
    if (const Outcome opened = access_.open(&error); opened != Outcome::done)
        return failed(opened, error);
    if (const Outcome outcome = access_.configuration(&current, &error); outcome != Outcome::done)
        return failed(outcome, error);
    // Only bytes 5..36 are compared and written, and the document set them all.
    const QStringList changes = config_differences(current, checked);
    if (changes.isEmpty()) {
        out_ << (dry_run ? tr("The controller already holds this configuration; nothing would be written.")
                         : tr("The controller already holds this configuration; nothing was written."))
             << '\n';
        return Outcome::done;
    }
    out_ << (dry_run ? tr("Would change:") : tr("Changing:")) << '\n';
    for (const QString &change : changes)
        out_ << "  " << change << '\n';
    if (dry_run)
        return Outcome::done;
    out_.flush();
    if (const Outcome outcome = access_.apply_configuration(checked, &error); outcome != Outcome::done)
        return failed(outcome, error);
    out_ << tr("Written.") << '\n';
    return Outcome::done;
}

Outcome CommandRunner::history(const CommandLine &line)
{
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    if (!store.is_open())
        return failed(Outcome::failed, store.problem());
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 from = now - qint64(line.days) * 24 * 3600;
    const auto hours = store.periods(QString(), from, now + 1, 3600);
    const auto corrections = store.corrections(QString(), from * 1000, (now + 1) * 1000);

    if (line.json) {
        QJsonArray hour_list;
        for (const MinuteRow &hour : hours)
            hour_list.append(QJsonObject{{"start", utc_text(hour.minute_start * 1000)},
                                         {"controller", hour.identity},
                                         {"light_min", int(hour.light_min)},
                                         {"light_mean", qRound(hour.light_mean)},
                                         {"light_max", int(hour.light_max)},
                                         {"pwm_width_mean", qRound(hour.width_mean)},
                                         {"mode", mode_name(hour.mode)},
                                         {"seconds_connected", qRound(hour.seconds_connected)}});
        QJsonArray correction_list;
        for (const CorrectionRow &row : corrections)
            correction_list.append(QJsonObject{{"time", utc_text(row.time_ms)},
                                               {"controller", row.identity},
                                               {"light", int(row.light)},
                                               {"level_before", row.level_before},
                                               {"level_after", row.level_after},
                                               {"source", row.source}});
        out_ << json_line({{"days", line.days}, {"hours", hour_list}, {"corrections", correction_list}}) << '\n';
        return Outcome::done;
    }
    if (line.csv) {
        // One table: an hour's row leaves the correction's columns empty and the other way round.
        out_ << "record,time,controller,light_min,light_mean,light_max,pwm_width_mean,mode,seconds_connected,"
                "light,level_before,level_after,source\n";
        for (const MinuteRow &hour : hours)
            out_ << QStringLiteral("hour,%1,%2,%3,%4,%5,%6,%7,%8,,,,\n")
                        .arg(utc_text(hour.minute_start * 1000), hour.identity)
                        .arg(hour.light_min)
                        .arg(qRound(hour.light_mean))
                        .arg(hour.light_max)
                        .arg(qRound(hour.width_mean))
                        .arg(mode_name(hour.mode))
                        .arg(qRound(hour.seconds_connected));
        for (const CorrectionRow &row : corrections)
            out_ << QStringLiteral("correction,%1,%2,,,,,,,%3,%4,%5,%6\n")
                        .arg(utc_text(row.time_ms), row.identity)
                        .arg(row.light)
                        .arg(row.level_before)
                        .arg(row.level_after)
                        .arg(row.source);
        return Outcome::done;
    }
    if (hours.empty() && corrections.empty()) {
        out_ << tr("Nothing recorded in the last %n day(s).", nullptr, line.days) << '\n';
        return Outcome::done;
    }
    out_ << tr("hour (local)       light min  mean   max  brightness  mode       connected") << '\n';
    for (const MinuteRow &hour : hours)
        out_ << QStringLiteral("%1  %2 %3 %4  %5  %6 %7 min\n")
                    .arg(QDateTime::fromSecsSinceEpoch(hour.minute_start).toString(QStringLiteral("yyyy-MM-dd HH:mm")), -17)
                    .arg(hour.light_min, 9)
                    .arg(qRound(hour.light_mean), 5)
                    .arg(hour.light_max, 5)
                    .arg(pwm_percent_text(qRound(hour.width_mean)), 10)
                    .arg(mode_name(hour.mode), -10)
                    .arg(qRound(hour.seconds_connected / 60), 3);
    if (!corrections.empty())
        out_ << '\n' << tr("manual change (local)  light  from  to     by") << '\n';
    for (const CorrectionRow &row : corrections)
        out_ << QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(QDateTime::fromMSecsSinceEpoch(row.time_ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), -21)
                    .arg(row.light, 5)
                    .arg(pwm_percent_text(row.level_before), 4)
                    .arg(pwm_percent_text(row.level_after), -5)
                    .arg(row.source);
    return Outcome::done;
}

Outcome CommandRunner::propose(const CommandLine &line)
{
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    if (!store.is_open())
        return failed(Outcome::failed, store.problem());
    const auto current = store.latest_configuration();
    if (!current)
        return failed(Outcome::failed, tr("no configuration recorded yet: run morvane-pwm with the controller once"));
    const qint64 now_ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 histogram_days = 30;
    const CurveProposal proposal = CurveFit::propose(
        store.corrections(current->identity, 0, now_ms + 1),
        store.light_histogram(current->identity, now_ms / 1000 - histogram_days * 24 * 3600), current->config,
        line.positions_time ? LightPositions::follow_time : LightPositions::keep);
    if (!proposal.made)
        return failed(Outcome::failed, tr("no proposal: %1").arg(proposal.explanation));

    QString error;
    if (!line.output.isEmpty()
        && !save_document(line.output, config_to_json(proposal.config, supported_controller()), out_, &error))
        return failed(Outcome::failed, tr("cannot write %1: %2").arg(line.output, error));
    if (line.output == QLatin1String("-"))
        return Outcome::done;
    if (line.json) {
        QJsonArray points;
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            points.append(QJsonObject{{"point", point},
                                      {"light", int(proposal.points[point - 1].light)},
                                      {"pwm_width", int(proposal.points[point - 1].width)},
                                      {"current_light", int(current->config.auto_light(point))},
                                      {"current_pwm_width", int(current->config.auto_pwm(point))},
                                      {"changed", proposal.changed[point - 1]}});
        out_ << json_line({{"controller", current->identity}, {"explanation", proposal.explanation}, {"points", points}})
             << '\n';
        return Outcome::done;
    }
    out_ << proposal.explanation << '\n';
    const auto row = [this](const QString &label, const auto &value_of) {
        out_ << label.leftJustified(12);
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            out_ << value_of(point).rightJustified(7);
        out_ << '\n';
    };
    const auto marked = [&proposal](int point, const QString &text) {
        return proposal.changed[point - 1] ? QLatin1Char('*') + text : text;
    };
    row(tr("point"), [](int point) { return QString::number(point); });
    row(tr("light now"), [&](int point) { return QString::number(current->config.auto_light(point)); });
    row(tr("proposed"), [&](int point) { return marked(point, QString::number(proposal.points[point - 1].light)); });
    row(tr("level now"), [&](int point) { return pwm_percent_text(int(current->config.auto_pwm(point))); });
    row(tr("proposed"), [&](int point) { return marked(point, pwm_percent_text(int(proposal.points[point - 1].width))); });
    if (!line.output.isEmpty())
        out_ << tr("Saved the proposal to %1; 'morvane-pwmctl config import %1' writes it to the controller.")
                    .arg(line.output)
             << '\n';
    return Outcome::done;
}

Outcome CommandRunner::failed(Outcome outcome, const QString &error)
{
    out_.flush();
    err_ << "morvane-pwmctl: " << error << Qt::endl;
    return outcome;
}

void CommandRunner::print_level()
{
    const ControllerStatus now = access_.status();
    if (now.mode == RegulationMode::manual)
        out_ << tr("manual, level %1 (width %2)").arg(pwm_percent_text(int(now.manual_level))).arg(now.manual_level);
    else
        out_ << tr("automatic");
    out_ << '\n';
}

QString CommandRunner::status_line(bool json) const
{
    const ControllerStatus now = access_.status();
    if (json)
        return json_line(status_json(now, access_.route()));
    if (!now.connected)
        return tr("no controller");
    return tr("light %1  brightness %2 (width %3)  %4")
        .arg(now.light_reading)
        .arg(pwm_percent_text(int(now.pwm_width)))
        .arg(now.pwm_width)
        .arg(now.mode == RegulationMode::manual ? tr("manual %1").arg(now.manual_level) : tr("automatic"));
}
