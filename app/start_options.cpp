#include "start_options.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

StartOptions parse_start_options(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("StartOptions", "Configures a Morvane USB brightness controller."));
    parser.addHelpOption();
    const QCommandLineOption background(
        QStringLiteral("background"),
        QCoreApplication::translate("StartOptions",
                                    "Start with the window hidden, in the tray (start at login uses it)."));
    parser.addOption(background);
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "morvane-pwm: %s\n", qPrintable(parser.errorText()));
        std::exit(2);
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    return {parser.isSet(background)};
}
