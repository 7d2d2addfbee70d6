#include "commands.h"

#include "dbus/bus_names.h"
#include "model/config_file.h"
#include "model/pwm_percent_text.h"
#include "protocol/pwm_percent.h"
#include "stop_signals.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFile>
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
    const QByteArray document = config_to_json(config, supported_controller());
    if (file_name == QLatin1String("-")) {
        out_ << QString::fromUtf8(document);
        return Outcome::done;
    }
    // Through a rename: an interrupted export leaves any earlier file whole.
    QSaveFile file(file_name);
    if (!file.open(QIODevice::WriteOnly) || file.write(document) != document.size() || !file.commit())
        return failed(Outcome::failed, tr("cannot write %1: %2").arg(file_name, file.errorString()));
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
