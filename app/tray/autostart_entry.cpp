#include "autostart_entry.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// One argument of an Exec key: quoted when it holds a reserved character,
// with the escapes inside quotes; then, the key being a string, every
// backslash doubled; and % written %% so that it is no field code.
QString exec_argument(const QString &argument)
{
    static const QString RESERVED = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString text = argument;
    const bool quote = std::any_of(text.cbegin(), text.cend(),
                                   [](QChar c) { return RESERVED.contains(c); });
    if (quote) {
        QString quoted;
        for (QChar c : std::as_const(text)) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
                || c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        text = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    text.replace(QLatin1Char('%'), QLatin1String("%%"));
    return text;
}

} // namespace

namespace autostart_entry {

QString path()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1String("/autostart/io.github.morvane.pwm.desktop");
}

bool exists()
{
    return QFile::exists(path());
}

QByteArray contents(const QString &program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Morvane PWM\n"
                          "Name[ru]=Morvane PWM\n"
                          "Comment=Brightness controller in the tray, with hot keys\n"
                          "Comment[ru]=Контроллер яркости в области уведомлений, с горячими клавишами\n"
                          "Icon=io.github.morvane.pwm\n"
                          "Exec=%1 --background\n"
                          "Terminal=false\n")
        .arg(exec_argument(program))
        .toUtf8();
}

bool write(const QString &program, QString *why)
{
    const QString file_path = path();
    QDir().mkpath(QFileInfo(file_path).path());
    QSaveFile file(file_path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents(program)) < 0 || !file.commit()) {
        *why = QCoreApplication::translate("TrayShell", "it cannot be written (%1)").arg(file.errorString());
        return false;
    }
    return true;
}

bool remove(QString *why)
{
    QFile file(path());
    if (!file.exists() || file.remove())
        return true;
    *why = QCoreApplication::translate("TrayShell", "it cannot be removed (%1)").arg(file.errorString());
    return false;
}

} // namespace autostart_entry
