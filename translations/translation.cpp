#include "translation.h"

#include <QCoreApplication>
#include <QPointer>
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

// The Russian catalogue as a whole, where the window is Russian and the terminal is not.
QPointer<QTranslator> window_catalogue;

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
    if (translator->load(QStringLiteral(":/i18n/morvane-pwm_ru"))) {
        QCoreApplication::installTranslator(translator);
        window_catalogue = translator;
    } else {
        delete translator;
    }
}

QString window_words(const char *context, const char *source)
{
    if (window_catalogue) {
        // The catalogue itself, past the filter that keeps the terminal English.
        const QString words = window_catalogue->QTranslator::translate(context, source);
        if (!words.isEmpty())
            return words;
    }
    return QCoreApplication::translate(context, source);
}
