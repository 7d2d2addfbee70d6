#pragma once

#include <QString>
#include <QtGlobal>

// The user's choices from the tray menu, kept across runs in QSettings
// under the app id (~/.config/io.github.morvane.pwm/preferences.conf).
// Whether the program starts at login is not kept here: the autostart entry
// itself says it.
struct Preferences
{
    bool keep_running = false; // closing the window leaves the program in the tray
    bool on_screen_level = true;

    // What was saved; the defaults for anything missing or unreadable (a
    // damaged file included).
    static Preferences load();
    // False, saying why, when the file cannot be written.
    bool save(QString *why) const;
};

// When the notice that a lamp's light seems to reach its sensor was last
// shown (UTC, ms since the epoch; 0: never), kept beside the preferences so
// that a restart does not show it again the same day.
qint64 hunting_notice_shown_ms();
void remember_hunting_notice(qint64 at_ms);
