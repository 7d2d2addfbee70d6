#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;

// Installs on `app` the translation for the first of the locale's user
// interface languages (LANGUAGE's list included) that has one. Russian, the
// source language, and the C locale (C, POSIX or no locale set) come first
// when listed: their texts stay as written. Returns the installed language's
// code ("en"), or an empty string when the source texts stay.
QString install_translation(QCoreApplication &app, const QLocale &locale = QLocale::system());
