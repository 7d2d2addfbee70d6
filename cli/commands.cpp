#include "commands.h"

#include "dbus/bus_names.h"
#include "history/curve_fit.h"
#include "history/history_store.h"
#include "history/hunting_spells.h"
#include "model/config_file.h"
#include "model/loop_gain.h"
#include "model/outcome_text.h"
#include "model/pwm_percent_text.h"
#include "protocol/pwm_percent.h"
#include "stop_signals.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimer>

#include <cmath>

namespace {

// Said while the controller does not answer: readings are then its last.
QString silence_text(const ControllerStatus &status)
{
    return CommandRunner::tr("the controller has not answered since %1; the readings are the last it gave")
        .arg(status.silent_since.toLocalTime().toString(QStringLiteral("HH:mm:ss")));
}

// The state's word, as status and list show it.
QString state_word(const ControllerStatus &status)
{
    if (!status.connected)
        return CommandRunner::tr("not connected");
    return status.answering ? CommandRunner::tr("connected") : CommandRunner::tr("connected, not answering");
}

QJsonValue text_or_null(const QString &text)
{
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// One shape in every state: the same keys always, null for what is not
// known (the live values without a loaded controller), `error` when the
// status could not be read at all or the controller does not answer.
QJsonObject status_json(const ControllerStatus &status, const QString &route, QString error = QString())
{
    const bool known = status.connected && status.loaded;
    const bool silent = !status.answering;
    if (error.isEmpty() && silent)
        error = silence_text(status);
    const auto known_number = [known](int value) { return known ? QJsonValue(value) : QJsonValue(); };
    return {{"route", route},
            {"controller", text_or_null(status.identity)},
            {"serial", text_or_null(status.serial)},
            {"connected", status.connected},
            {"identified", status.identified},
            {"configuration_loaded", status.loaded},
            {"answering", status.connected ? QJsonValue(status.answering) : QJsonValue()},
            {"silent_since", silent ? QJsonValue(status.silent_since.toString(Qt::ISODate)) : QJsonValue()},
            {"light", known_number(int(status.light))},
            {"pwm_width", known_number(int(status.pwm_width))},
            {"brightness_percent", known_number(pwm_percent(int(status.pwm_width)))},
            {"mode", known ? QJsonValue(bus_names::regulation_mode_name(status.mode)) : QJsonValue()},
            {"manual_level", known_number(status.manual_level)},
            {"edits_pending", status.edits_pending},
            {"holder", text_or_null(status.holder)},
            {"error", text_or_null(error)}};
}

QString json_line(const QJsonObject &object)
{
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

enum class FileUse { read, write };

// What went wrong with a file, in the reader's words; Qt's own (English)
// words follow in parentheses.
QString file_problem(const QFileDevice &file, const QString &file_name, FileUse use)
{
    const QFileInfo info(file_name);
    const QFileInfo folder(info.absolutePath());
    QString what;
    if (file.error() == QFileDevice::ReadError)
        what = CommandRunner::tr("reading it failed");
    else if (file.error() == QFileDevice::WriteError || file.error() == QFileDevice::ResizeError)
        what = CommandRunner::tr("writing it failed (is the disk full?)");
    else if (info.isDir())
        what = CommandRunner::tr("it is a folder");
    else if (use == FileUse::read && !info.exists())
        what = CommandRunner::tr("there is no such file");
    else if (use == FileUse::write && !folder.isDir())
        what = CommandRunner::tr("its folder does not exist");
    else if (use == FileUse::read ? !info.isReadable() : !(info.exists() ? info.isWritable() : folder.isWritable()))
        what = CommandRunner::tr("you have no permission for it");
    else
        what = use == FileUse::read ? CommandRunner::tr("it cannot be read") : CommandRunner::tr("it cannot be written");
    return QStringLiteral("%1 (%2)").arg(what, file.errorString());
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
        *error = file_problem(file, file_name, FileUse::read);
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
    *error = file_problem(file, file_name, FileUse::write);
    return false;
}

QString utc_text(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC).toString(Qt::ISODate);
}

// The history's mode as stored (1: manual), for machines and for people.
RegulationMode stored_mode(int mode)
{
    return mode == 1 ? RegulationMode::manual : RegulationMode::automatic;
}

QString mode_name(int mode)
{
    return bus_names::regulation_mode_name(stored_mode(mode));
}

QString mode_word(int mode)
{
    return stored_mode(mode) == RegulationMode::manual ? CommandRunner::tr("manual") : CommandRunner::tr("automatic");
}

// Who changed the level, as the history stores it ("hot_key"), for people.
QString source_word(const QString &source)
{
    if (source == QLatin1String("window"))
        return CommandRunner::tr("window");
    if (source == QLatin1String("hot_key"))
        return CommandRunner::tr("hot key");
    if (source == QLatin1String("tray"))
        return CommandRunner::tr("tray");
    if (source == QLatin1String("dbus"))
        return CommandRunner::tr("D-Bus");
    if (source == QLatin1String("client"))
        return CommandRunner::tr("morvane-pwmctl");
    return source;
}

} // namespace

CommandRunner::CommandRunner(ControllerAccess &access, QTextStream &out, QTextStream &err)
    : access_(access)
    , out_(out)
    , err_(err)
{
}

ExitCode CommandRunner::run(const CommandLine &line)
{
    const CommandEntry &entry = *find_command(line.command);
    // Chosen before anything is done: with several present, nothing is done
    // to any until the choice is clear.
    if (reaches(line) == Reaches::one_controller) {
        const ControllerChoice choice = choose_controller(access_.controllers(), line.device);
        if (choice.kind == ControllerChoice::Kind::chosen)
            access_.choose(choice.index);
        // With none present the command goes on, and says so as it always did.
        else if (choice.kind != ControllerChoice::Kind::nothing_present)
            return unclear(choice, line.device, Reaches::one_controller);
    }
    return (this->*entry.handler)(line);
}

ExitCode CommandRunner::unclear(const ControllerChoice &choice, const QString &selector, Reaches among)
{
    out_.flush();
    err_ << "morvane-pwmctl: ";
    if (choice.kind == ControllerChoice::Kind::several) {
        const QString ids = choice.candidates.join(QStringLiteral(", "));
        err_ << (selector.isEmpty() ? tr("several controllers are connected (%1); choose one with --device").arg(ids)
                                    : tr("%1 names several controllers (%2); choose one of them").arg(selector, ids))
             << Qt::endl;
        return ExitCode::usage;
    }
    err_ << (among == Reaches::history ? tr("no controller in the history matches %1").arg(selector)
                                       : tr("no controller matches %1; 'morvane-pwmctl list' shows them").arg(selector))
         << Qt::endl;
    return ExitCode::no_controller;
}

// Each is opened in turn: directly, one at a time, each under its own lock.
ExitCode CommandRunner::list(const CommandLine &line)
{
    const std::vector<SelectableController> present = access_.controllers();
    std::vector<int> listed;
    if (line.device.isEmpty()) {
        for (int index = 0; index < int(present.size()); ++index)
            listed.push_back(index);
    } else if (const ControllerChoice choice = choose_controller(present, line.device);
               choice.kind == ControllerChoice::Kind::chosen) {
        listed.push_back(choice.index);
    } else {
        return unclear(choice, line.device, Reaches::every_controller);
    }
    if (present.empty()) {
        // Why none is listed: none is connected, or the way in failed.
        const Answer opened = access_.open();
        if (line.json)
            out_ << "[]\n";
        return failed(opened.ok() ? Answer::of(Outcome::refused(Refusal::not_connected)) : opened);
    }

    int id_width = 0;
    int serial_width = 1;
    for (const SelectableController &controller : present) {
        id_width = std::max(id_width, int(controller.id.size()));
        serial_width = std::max(serial_width, int(controller.serial.size()));
    }
    ExitCode code = ExitCode::done;
    QJsonArray objects;
    for (int index : listed) {
        access_.choose(index);
        const Answer opened = access_.open();
        const bool unreadable = exit_code(opened) == ExitCode::failed;
        if (unreadable)
            code = ExitCode::failed;
        const ControllerStatus now = access_.status();
        const SelectableController &controller = present[size_t(index)];
        if (line.json) {
            QJsonObject object = status_json(now, access_.route(), unreadable ? words(opened) : QString());
            // Named as listed, whatever the way in could tell.
            object.insert(QStringLiteral("controller"), controller.id);
            object.insert(QStringLiteral("serial"), text_or_null(controller.serial));
            objects.append(object);
        } else {
            out_ << QStringLiteral("%1  %2  %3  %4\n")
                        .arg(index + 1)
                        .arg(controller.id, -id_width)
                        .arg(controller.serial.isEmpty() ? QStringLiteral("-") : controller.serial, -serial_width)
                        .arg(unreadable ? words(opened) : state_word(now));
        }
    }
    if (line.json)
        out_ << QString::fromUtf8(QJsonDocument(objects).toJson(QJsonDocument::Compact)) << '\n';
    return code;
}

QString CommandRunner::words(const Answer &answer)
{
    return answer.problem.isEmpty() ? outcome_text(answer.outcome, answer.holder) : answer.problem;
}

ExitCode CommandRunner::exit_code(const Answer &answer)
{
    if (answer.ok())
        return ExitCode::done;
    return answer.problem.isEmpty() && answer.outcome == Outcome::refused(Refusal::not_connected)
        ? ExitCode::no_controller
        : ExitCode::failed;
}

// Without a controller the status is still shown (exit 3); when it cannot be
// read at all, JSON still gets its object, with the reason.
ExitCode CommandRunner::status(const CommandLine &line)
{
    const bool json = line.json;
    const Answer opened = access_.open();
    const ExitCode code = exit_code(opened);
    if (code == ExitCode::failed) {
        if (json)
            out_ << json_line(status_json(access_.status(), access_.route(), words(opened))) << '\n';
        return failed(opened);
    }
    const ControllerStatus now = access_.status();
    const bool silent = !now.answering;
    if (json)
        out_ << json_line(status_json(now, access_.route())) << '\n';
    else if (!now.connected)
        out_ << tr("controller   %1").arg(state_word(now)) << '\n';
    else
        print_status(now);
    return silent ? failed(Answer::failure(silence_text(now))) : code;
}

void CommandRunner::print_status(const ControllerStatus &now)
{
    out_ << tr("controller   %1").arg(state_word(now)) << '\n'
        << tr("light        %1").arg(now.light) << '\n'
        << tr("brightness   %1 (width %2)").arg(pwm_percent_text(int(now.pwm_width))).arg(now.pwm_width) << '\n'
        << (now.mode == RegulationMode::manual ? tr("mode         manual (level %1)").arg(now.manual_level)
                                               : tr("mode         automatic"))
        << '\n';
    if (now.edits_pending)
        out_ << tr("window       has edits that are not applied") << '\n';
}

// At most one line a slot: a change within the slot after a line is printed
// when the slot ends, as it then stands.
ExitCode CommandRunner::watch(const CommandLine &line)
{
    const bool json = line.json;
    const int interval_ms = line.interval_ms;
    if (const Answer opened = access_.open(); exit_code(opened) == ExitCode::failed)
        return failed(opened);

    QEventLoop loop;
    ExitCode code = ExitCode::done;
    StopSignals stop_signals;
    connect(&stop_signals, &StopSignals::received, &loop, &QEventLoop::quit);
    connect(&access_, &ControllerAccess::ended, &loop, [&](const QString &reason) {
        code = failed(Answer::failure(reason));
        loop.quit();
    });
    QString shown;
    QElapsedTimer since_printed;
    QTimer next_slot;
    next_slot.setSingleShot(true);
    const auto print_change = [&] {
        const QString text = status_line(json);
        if (text == shown)
            return;
        if (since_printed.isValid() && since_printed.elapsed() < interval_ms) {
            if (!next_slot.isActive())
                next_slot.start(int(interval_ms - since_printed.elapsed()));
            return;
        }
        shown = text;
        since_printed.start();
        const QDateTime now = QDateTime::currentDateTime();
        if (json) {
            QJsonObject object = status_json(access_.status(), access_.route());
            // With its offset from UTC, so that a log read elsewhere keeps its meaning.
            object.insert(QStringLiteral("time"), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODateWithMs));
            out_ << json_line(object) << Qt::endl;
        } else {
            out_ << now.toString(QStringLiteral("HH:mm:ss")) << "  " << text << Qt::endl;
        }
    };
    connect(&next_slot, &QTimer::timeout, &loop, print_change);
    connect(&access_, &ControllerAccess::status_changed, &loop, print_change);
    print_change();
    access_.watch();
    print_change(); // what changed while the watch was being set up
    loop.exec();
    return code;
}

ExitCode CommandRunner::manual(const CommandLine &line)
{
    const bool on = line.arguments.first() == QLatin1String("on");
    return regulate([&] { return access_.set_manual(on); });
}

ExitCode CommandRunner::level(const CommandLine &line)
{
    const int width = parse_level(line.arguments.first());
    return regulate([&] { return access_.set_manual_level(width); });
}

ExitCode CommandRunner::up(const CommandLine &)
{
    return regulate([&] { return access_.step(1); });
}

ExitCode CommandRunner::down(const CommandLine &)
{
    return regulate([&] { return access_.step(-1); });
}

ExitCode CommandRunner::regulate(const std::function<Answer()> &change)
{
    if (const Answer opened = access_.open(); !opened.ok())
        return failed(opened);
    if (const Answer answer = change(); !answer.ok())
        return failed(answer);
    print_level();
    return ExitCode::done;
}

Answer CommandRunner::read_configuration(ConfigBlock *config)
{
    if (const Answer opened = access_.open(); !opened.ok())
        return opened;
    return access_.configuration(config);
}

ExitCode CommandRunner::show_config(const CommandLine &line)
{
    ConfigBlock config;
    if (const Answer answer = read_configuration(&config); !answer.ok())
        return failed(answer);
    if (line.json) {
        out_ << QString::fromUtf8(config_to_json(config, supported_controller()));
        return ExitCode::done;
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
    return ExitCode::done;
}

ExitCode CommandRunner::export_config(const CommandLine &line)
{
    const QString &file_name = line.arguments.first();
    ConfigBlock config;
    if (const Answer answer = read_configuration(&config); !answer.ok())
        return failed(answer);
    QString error;
    if (!save_document(file_name, config_to_json(config, supported_controller()), out_, &error))
        return failed(Answer::failure(tr("cannot write %1: %2").arg(file_name, error)));
    if (file_name != QLatin1String("-"))
        out_ << tr("Saved the configuration to %1.").arg(file_name) << '\n';
    return ExitCode::done;
}

// The change list is printed only for what is written or would be: every
// check that could refuse comes first.
ExitCode CommandRunner::import_config(const CommandLine &line)
{
    const QString &file_name = line.arguments.first();
    const bool dry_run = line.dry_run;
    // The whole file is checked before the controller is even opened.
    QByteArray document;
    QString error;
    ConfigBlock checked;
    if (!read_document(file_name, &document, &error))
        return failed(Answer::failure(tr("cannot read %1: %2").arg(file_name, error)));
    if (!config_from_json(document, &checked, &error))
        return failed(Answer::failure(tr("%1: %2; nothing was written").arg(file_name, error)));

    ConfigBlock current;
    if (const Answer opened = access_.open(); !opened.ok())
        return failed(opened);
    if (const Answer answer = access_.configuration(&current); !answer.ok())
        return failed(answer);
    // The model's rule for the write, known before it is asked (a dry run never asks).
    if (const Refusal why = replacement_refusal(access_.status().edits_pending, ChangeSource::client);
        why != Refusal::none)
        return failed(Answer::of(Outcome::refused(why)));
    // Only bytes 5..36 are compared and written, and the document set them all.
    const QStringList changes = config_differences(current, checked);
    if (changes.isEmpty()) {
        out_ << (dry_run ? tr("The controller already holds this configuration; nothing would be written.")
                         : tr("The controller already holds this configuration; nothing was written."))
             << '\n';
        return ExitCode::done;
    }
    warn_about_loop_gain(checked, access_.status().identity);
    out_ << (dry_run ? tr("Would change:") : tr("Changing:")) << '\n';
    for (const QString &change : changes)
        out_ << "  " << change << '\n';
    if (dry_run)
        return ExitCode::done;
    out_.flush();
    if (const Answer answer = access_.apply_configuration(checked); !answer.ok())
        return failed(answer);
    out_ << tr("Written.") << '\n';
    return ExitCode::done;
}

void CommandRunner::warn_about_loop_gain(const ConfigBlock &config, const QString &identity)
{
    if (identity.isEmpty())
        return;
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    const std::optional<double> coupling = store.is_open() ? measured_coupling(store.last_coupling(identity)) : std::nullopt;
    const std::optional<SegmentGain> strongest = coupling ? strongest_segment(config, *coupling) : std::nullopt;
    if (!strongest || strongest->strength != GainStrength::will)
        return;
    const QString effect = strongest->rising ? tr("the brightness may run away to full") : tr("the brightness will hunt");
    err_ << "morvane-pwmctl: "
         << tr("warning: between points %1 and %2 the lamp's own light comes back with a loop gain of %3, so %4; "
               "flatten that segment, or raise the averaging or the switching delay")
                .arg(strongest->from_point)
                .arg(strongest->to_point)
                .arg(std::abs(strongest->gain), 0, 'f', 1)
                .arg(effect)
         << Qt::endl;
}

ExitCode CommandRunner::history(const CommandLine &line)
{
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    if (!store.is_open())
        return failed(Answer::failure(store.problem()));
    QString identity; // every controller's, unless --device names one
    if (const ExitCode chosen = choose_recorded(store, line.device, &identity); chosen != ExitCode::done)
        return chosen;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const qint64 from = now - qint64(line.days) * 24 * 3600;
    const auto hours = store.periods(identity, from, now + 1, 3600);
    const auto corrections = store.corrections(identity, from * 1000, (now + 1) * 1000);

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
        QJsonArray spell_list;
        for (const QString &id : identity.isEmpty() ? store.controller_ids() : QStringList{identity})
            for (const HuntingSpell &spell : recorded_hunting(store, id, from, now + 1))
                spell_list.append(QJsonObject{{"start", utc_text(spell.start * 1000)},
                                              {"end", utc_text(spell.end * 1000)},
                                              {"controller", id},
                                              {"reversals", spell.reversals}});
        out_ << json_line({{"days", line.days}, {"hours", hour_list}, {"corrections", correction_list},
                           {"hunting", spell_list}})
             << '\n';
        return ExitCode::done;
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
        return ExitCode::done;
    }
    if (hours.empty() && corrections.empty()) {
        out_ << tr("Nothing recorded in the last %n day(s).", nullptr, line.days) << '\n';
        return ExitCode::done;
    }
    // The mode's column is as wide as its longest word in the reader's language.
    const int mode_width = int(std::max(mode_word(0).size(), mode_word(1).size()));
    out_ << tr("hour (local)       light min  mean   max  brightness") << "  " << tr("mode").leftJustified(mode_width)
         << ' ' << tr("connected") << '\n';
    for (const MinuteRow &hour : hours)
        out_ << QStringLiteral("%1  %2 %3 %4  %5  %6 %7\n")
                    .arg(QDateTime::fromSecsSinceEpoch(hour.minute_start).toString(QStringLiteral("yyyy-MM-dd HH:mm")), -17)
                    .arg(hour.light_min, 9)
                    .arg(qRound(hour.light_mean), 5)
                    .arg(hour.light_max, 5)
                    .arg(pwm_percent_text(qRound(hour.width_mean)), 10)
                    .arg(mode_word(hour.mode), -mode_width)
                    .arg(tr("%1 min").arg(qRound(hour.seconds_connected / 60), 3));
    if (!corrections.empty())
        out_ << '\n' << tr("manual change (local)  light  from  to     by") << '\n';
    for (const CorrectionRow &row : corrections)
        out_ << QStringLiteral("%1  %2  %3  %4  %5\n")
                    .arg(QDateTime::fromMSecsSinceEpoch(row.time_ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), -21)
                    .arg(row.light, 5)
                    .arg(pwm_percent_text(row.level_before), 4)
                    .arg(pwm_percent_text(row.level_after), -5)
                    .arg(source_word(row.source));
    return ExitCode::done;
}

ExitCode CommandRunner::choose_recorded(const HistoryStore &store, const QString &selector, QString *identity)
{
    if (selector.isEmpty())
        return ExitCode::done;
    const QStringList recorded = store.controller_ids();
    const ControllerChoice choice = choose_controller(selectable_ids(recorded), selector);
    if (choice.kind != ControllerChoice::Kind::chosen)
        return unclear(choice, selector, Reaches::history);
    *identity = recorded.at(choice.index);
    return ExitCode::done;
}

ExitCode CommandRunner::propose(const CommandLine &line)
{
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    if (!store.is_open() && !QFileInfo::exists(HistoryStore::default_path()))
        return failed(Answer::failure(tr("%1; a proposal follows once it holds %2 manual changes of the level "
                                         "(hot keys, tray, window or morvane-pwmctl)")
                                          .arg(store.problem())
                                          .arg(CurveFit::MIN_CORRECTIONS)));
    if (!store.is_open())
        return failed(Answer::failure(store.problem()));
    QString identity; // the controller recorded last, unless --device names one
    if (const ExitCode chosen = choose_recorded(store, line.device, &identity); chosen != ExitCode::done)
        return chosen;
    const auto current = store.latest_configuration(identity);
    if (!current)
        return failed(Answer::failure(tr("no configuration recorded yet: run morvane-pwm with the controller once")));
    const qint64 now_ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 histogram_days = 30;
    const CurveProposal proposal = CurveFit::propose(
        store.corrections_to_learn_from(current->identity, now_ms + 1),
        store.light_histogram(current->identity, now_ms / 1000 - histogram_days * 24 * 3600), current->config,
        line.positions_time ? LightPositions::follow_time : LightPositions::keep,
        measured_coupling(store.last_coupling(current->identity)));
    if (!proposal.made)
        return failed(Answer::failure(tr("no proposal: %1").arg(proposal.explanation)));

    QString error;
    if (!line.output.isEmpty()
        && !save_document(line.output, config_to_json(proposal.config, supported_controller()), out_, &error))
        return failed(Answer::failure(tr("cannot write %1: %2").arg(line.output, error)));
    if (line.output == QLatin1String("-"))
        return ExitCode::done;
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
        return ExitCode::done;
    }
    out_ << proposal.explanation << '\n';
    const auto row = [this](const QString &label, const auto &value_of) {
        out_ << label.leftJustified(12);
        for (int point = 1; point <= ConfigBlock::CURVE_POINTS; ++point)
            out_ << value_of(point).rightJustified(7);
        out_ << '\n';
    };
    // A star marks each proposed value that differs from the present one.
    const auto marked = [](unsigned now, unsigned proposed, const QString &text) {
        return proposed != now ? QLatin1Char('*') + text : text;
    };
    row(tr("point"), [](int point) { return QString::number(point); });
    row(tr("light now"), [&](int point) { return QString::number(current->config.auto_light(point)); });
    row(tr("proposed"), [&](int point) {
        const unsigned light = proposal.points[point - 1].light;
        return marked(current->config.auto_light(point), light, QString::number(light));
    });
    row(tr("level now"), [&](int point) { return pwm_percent_text(int(current->config.auto_pwm(point))); });
    row(tr("proposed"), [&](int point) {
        const unsigned width = proposal.points[point - 1].width;
        return marked(current->config.auto_pwm(point), width, pwm_percent_text(int(width)));
    });
    if (!line.output.isEmpty())
        out_ << tr("Saved the proposal to %1; 'morvane-pwmctl config import %1' writes it to the controller.")
                    .arg(line.output)
             << '\n';
    return ExitCode::done;
}

// Steps on stderr as they settle; Ctrl+C or SIGTERM cancels, and the
// command still waits for the mode and level to be back before it ends.
ExitCode CommandRunner::coupling(const CommandLine &line)
{
    if (line.last)
        return last_coupling(line);
    if (const Answer opened = access_.open(); !opened.ok())
        return failed(opened);

    QEventLoop loop;
    ExitCode code = ExitCode::done;
    StopSignals stop_signals;
    connect(&stop_signals, &StopSignals::received, &loop, [this] { access_.cancel_coupling(); });
    connect(&access_, &ControllerAccess::ended, &loop, [&](const QString &reason) {
        code = failed(Answer::failure(reason));
        loop.quit();
    });
    connect(&access_, &ControllerAccess::coupling_progress, &loop, [this](int step, int steps) {
        err_ << tr("%1 of %2 steps measured").arg(step).arg(steps) << Qt::endl;
    });
    connect(&access_, &ControllerAccess::coupling_finished, &loop,
            [&](const CouplingResult &result, const QString &not_kept) {
                code = result.measured() ? print_coupling(result, line.json)
                                         : failed(Answer::failure(coupling_error_text(result.error)));
                // Measured all the same: a warning, not a failure.
                if (!not_kept.isEmpty())
                    err_ << "morvane-pwmctl: " << tr("the result was not kept in the history: %1").arg(not_kept)
                         << Qt::endl;
                loop.quit();
            });
    if (const Answer started = access_.start_coupling(); !started.ok())
        return failed(started);
    loop.exec();
    return code;
}

ExitCode CommandRunner::last_coupling(const CommandLine &line)
{
    const HistoryStore store(HistoryStore::default_path(), HistoryStore::Access::read_only);
    if (!store.is_open())
        return failed(Answer::failure(store.problem()));
    QString identity; // the controller recorded last that has one, unless --device names one
    if (const ExitCode chosen = choose_recorded(store, line.device, &identity); chosen != ExitCode::done)
        return chosen;
    for (const QString &candidate : identity.isEmpty() ? store.controller_ids() : QStringList{identity})
        if (const std::optional<CouplingResult> kept = store.last_coupling(candidate)) {
            if (!line.json)
                out_ << tr("controller   %1").arg(candidate) << '\n'
                     << tr("measured     %1")
                            .arg(QDateTime::fromMSecsSinceEpoch(kept->measured_at_ms)
                                     .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                     << '\n';
            return print_coupling(*kept, line.json);
        }
    return failed(Answer::failure(tr("no coupling measured yet; 'morvane-pwmctl coupling' measures it")));
}

ExitCode CommandRunner::print_coupling(const CouplingResult &result, bool json)
{
    if (json) {
        out_ << QString::fromUtf8(coupling_json(result)) << '\n';
    } else {
        out_ << tr("k            %1 light counts per 1% of brightness")
                    .arg(QString::number(result.counts_per_percent, 'f', 2))
             << '\n'
             << (result.r_squared ? tr("R²           %1").arg(QString::number(*result.r_squared, 'f', 3))
                                  : tr("R²           none: the readings did not change"))
             << '\n'
             << tr("light at 0%  %1 before, %2 after").arg(result.ambient_start).arg(result.ambient_end) << '\n'
             << '\n'
             << tr("brightness  light") << '\n';
        for (const CouplingPoint &point : result.points)
            out_ << QStringLiteral("%1%  %2\n").arg(point.percent, 9).arg(point.reading, 5);
    }
    return result.stable ? ExitCode::done : failed(Answer::failure(tr("the room's light changed; measure again")));
}

ExitCode CommandRunner::failed(const Answer &answer)
{
    out_.flush();
    err_ << "morvane-pwmctl: " << words(answer) << Qt::endl;
    return exit_code(answer);
}

void CommandRunner::print_level()
{
    const ControllerStatus now = access_.status();
    if (now.mode == RegulationMode::manual)
        out_ << tr("manual, level %1 (width %2)").arg(pwm_percent_text(now.manual_level)).arg(now.manual_level);
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
    const QString readings = tr("light %1  brightness %2 (width %3)  %4")
                                 .arg(now.light)
                                 .arg(pwm_percent_text(int(now.pwm_width)))
                                 .arg(now.pwm_width)
                                 .arg(now.mode == RegulationMode::manual ? tr("manual %1").arg(now.manual_level)
                                                                         : tr("automatic"));
    return now.answering ? readings : readings + QStringLiteral("  ") + silence_text(now);
}
