#include "start_options.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>
#include <cstdlib>

namespace {

// The help is written here, not by QCommandLineParser: its framing ("Usage:",
// "Options:", "Displays help...") would stay English under any locale.
struct Option
{
    const char *names;
    const char *meaning;
};

const Option OPTIONS[] = {
    {"--background",
     QT_TRANSLATE_NOOP("StartOptions", "Start with the window hidden, in the tray (start at login uses it).")},
    {"-h, --help", QT_TRANSLATE_NOOP("StartOptions", "Show this help and exit.")},
    {"-v, --version", QT_TRANSLATE_NOOP("StartOptions", "Show the version and exit.")},
};

QString translated(const char *text)
{
    return QCoreApplication::translate("StartOptions", text);
}

QString help_text()
{
    QString text = QCoreApplication::translate("StartOptions",
                                               "Usage: morvane-pwm [OPTION]\n\n"
                                               "Configures a Morvane USB brightness controller.\n\n"
                                               "Options:\n");
    for (const Option &option : OPTIONS)
        text += QStringLiteral("  %1  %2\n").arg(QLatin1String(option.names), -14).arg(translated(option.meaning));
    return text;
}

} // namespace

StartOptions parse_start_options(const QCoreApplication &app)
{
    StartOptions options;
    for (const QString &argument : app.arguments().mid(1)) {
        if (argument == QLatin1String("--background")) {
            options.background = true;
        } else if (argument == QLatin1String("-h") || argument == QLatin1String("--help")) {
            std::fputs(qPrintable(help_text()), stdout);
            std::exit(0);
        } else if (argument == QLatin1String("-v") || argument == QLatin1String("--version")) {
            std::fputs("morvane-pwm " MORVANE_VERSION "\n", stdout);
            std::exit(0);
        } else {
            std::fprintf(stderr, "morvane-pwm: %s\n%s\n",
                         qPrintable(QCoreApplication::translate("StartOptions", "unknown option %1").arg(argument)),
                         qPrintable(QCoreApplication::translate("StartOptions",
                                                                "Run 'morvane-pwm --help' for the options.")));
            std::exit(2);
        }
    }
    return options;
}
