#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

// Installs on `app` the translation for the first of the locale's user
// interface languages (LANGUAGE's list included) that has one: English or
// Russian. The window's texts are written in Russian, the terminal's in
// English; each catalogue translates the other half. The C locale (C, POSIX
// or no locale set) keeps both as written, as does a locale none of whose
// languages has a catalogue. Returns the installed language's code ("en"), or
// an empty string when the texts stay as written.
QString install_translation(QCoreApplication &app, const QLocale &locale = QLocale::system());

// The program's window is written in Russian, but the words it shares with
// the terminal (what became of an action, context "Outcome"; a proposed
// curve's explanation, "CurveFit") are written in
// English. Where install_translation() installed nothing, this makes the
// window speak one language: the Russian catalogue answers for those shared
// words only.
void install_shared_window_words(QCoreApplication &app);

// A terminal text (written in English) in the window's language, for the few
// the window shows as well: where install_shared_window_words() made the
// window Russian while the terminal stays English, the Russian catalogue
// answers; elsewhere the installed translation does.
QString window_words(const char *context, const char *source);
