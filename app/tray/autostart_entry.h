#pragma once

#include <QByteArray>
#include <QString>

// Start at login: the desktop entry in $XDG_CONFIG_HOME/autostart that
// desktops following the XDG autostart rules run as the session starts. It
// starts the program in the background (--background).
namespace autostart_entry {

// $XDG_CONFIG_HOME/autostart/io.github.morvane.pwm.desktop
QString path();
bool exists();
// The entry's text for this program file.
QByteArray contents(const QString &program);
// False, saying why, when the entry cannot be written or removed.
bool write(const QString &program, QString *why);
bool remove(QString *why);

} // namespace autostart_entry
