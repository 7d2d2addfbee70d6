#include "preferences.h"

#include <QFile>
#include <QSettings>

namespace {

const QString KEEP_RUNNING = QStringLiteral("keep_running");
const QString ON_SCREEN_LEVEL = QStringLiteral("on_screen_level");
const QString HUNTING_NOTICE = QStringLiteral("hunting_notice_shown_ms");

QSettings settings()
{
    return QSettings(QStringLiteral("io.github.morvane.pwm"), QStringLiteral("preferences"));
}

// QSettings writes booleans as "true" and "false"; anything else was not
// written by us and counts as missing.
bool read_flag(const QSettings &file, const QString &key, bool fallback)
{
    const QString text = file.value(key).toString();
    if (text == QLatin1String("true"))
        return true;
    if (text == QLatin1String("false"))
        return false;
    return fallback;
}

} // namespace

Preferences Preferences::load()
{
    const QSettings file = settings();
    Preferences preferences;
    if (file.status() != QSettings::NoError)
        return preferences;
    preferences.keep_running = read_flag(file, KEEP_RUNNING, preferences.keep_running);
    preferences.on_screen_level = read_flag(file, ON_SCREEN_LEVEL, preferences.on_screen_level);
    return preferences;
}

bool Preferences::save(QString *why) const
{
    QSettings file = settings();
    // QSettings leaves a file it could not parse alone; its content is lost
    // to us anyway, and these are the user's current choices.
    if (file.status() == QSettings::FormatError)
        QFile::remove(file.fileName());
    QSettings fresh = settings();
    fresh.setValue(KEEP_RUNNING, keep_running);
    fresh.setValue(ON_SCREEN_LEVEL, on_screen_level);
    fresh.sync();
    if (fresh.status() != QSettings::NoError) {
        *why = fresh.fileName();
        return false;
    }
    return true;
}

qint64 hunting_notice_shown_ms()
{
    bool number = false;
    const qint64 at_ms = settings().value(HUNTING_NOTICE).toLongLong(&number);
    return number ? at_ms : 0;
}

void remember_hunting_notice(qint64 at_ms)
{
    QSettings file = settings();
    file.setValue(HUNTING_NOTICE, at_ms);
}
