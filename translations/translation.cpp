#include "translation.h"

#include <QCoreApplication>
#include <QTranslator>

namespace {

class SharedWordsTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;

    QString translate(const char *context, const char *source, const char *disambiguation, int n) const override
    {
        const bool shared = qstrcmp(context, "Outcome") == 0 || qstrcmp(context, "CurveFit") == 0;
        return shared ? QTranslator::translate(context, source, disambiguation, n) : QString();
    }
};

} // namespace

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

void install_shared_window_words(QCoreApplication &app)
{
    auto *translator = new SharedWordsTranslator(&app);
    if (translator->load(QStringLiteral(":/i18n/morvane-pwm_ru")))
        QCoreApplication::installTranslator(translator);
    else
        delete translator;
}
