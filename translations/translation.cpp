#include "translation.h"

#include <QCoreApplication>
#include <QTranslator>

QString install_translation(QCoreApplication &app, const QLocale &locale)
{
    for (const QString &name : locale.uiLanguages()) {
        const QLocale::Language language = QLocale(name).language();
        if (language == QLocale::C)
            return {};
        const QString code = QLocale::languageToCode(language);
        auto *translator = new QTranslator(&app);
        if (translator->load(QStringLiteral(":/i18n/morvane-pwm_") + code)) {
            QCoreApplication::installTranslator(translator);
            return code;
        }
        delete translator;
    }
    return {};
}
