#include "global_hot_keys.h"

#include "global_hot_keys_platform.h"
#include "translations/translation.h"

#include <QCoreApplication>

#include <cstdio>

GlobalHotKeys::GlobalHotKeys(QWidget *window, QObject *parent)
    : QObject(parent)
{
    // Presses and losses arrive inside native event or D-Bus handling; the
    // receivers run afterwards, from the event loop.
    grabber_ = create_hot_key_grabber(
        window,
        [this](int id) {
            QMetaObject::invokeMethod(this, [this, id] { emit activated(id); }, Qt::QueuedConnection);
        },
        [this](const char *why, const QString &detail) {
            report({QT_TR_NOOP("no system-wide hot keys: %1. Bind \"morvane-pwmctl up\" and "
                               "\"morvane-pwmctl down\" to keys in the desktop's keyboard settings instead."),
                    why, detail});
        });
    if (!grabber_) {
        QMetaObject::invokeMethod(this, [this] {
            report({QT_TR_NOOP("no system-wide hot keys on this display server; set the "
                               "brightness in the window or from the tray icon instead"),
                    nullptr, QString()});
        }, Qt::QueuedConnection);
    }
}

GlobalHotKeys::~GlobalHotKeys() = default;

bool GlobalHotKeys::register_hot_key(int id, char key)
{
    if (!grabber_ || key < 'A' || key > 'Z' || ids_.contains(id) || keys_.contains(key))
        return false;
    if (!grabber_->grab(id, key)) {
        if (held_.isEmpty())
            QMetaObject::invokeMethod(this, &GlobalHotKeys::report_held_keys, Qt::QueuedConnection);
        held_.append(key);
        return false;
    }
    ids_.append(id);
    keys_.append(key);
    return true;
}

// On X11 a grab fails when another program holds the combination; the keys
// of one start are named in one line.
void GlobalHotKeys::report_held_keys()
{
    QStringList names;
    for (char key : std::as_const(held_))
        names << QStringLiteral("Ctrl+Alt+") + QLatin1Char(key);
    report({QT_TR_NOOP("hot keys held by another program: %1. Free them there, or bind "
                       "\"morvane-pwmctl up\" and \"morvane-pwmctl down\" to other keys in the desktop's "
                       "keyboard settings"),
            nullptr, names.join(QLatin1String(", "))});
}

void GlobalHotKeys::report(const Loss &loss)
{
    if (!notice_.isEmpty())
        return;
    // Under the C locale the terminal speaks English while the window speaks Russian.
    const auto words = [&loss](const std::function<QString(const char *)> &translate) {
        if (!loss.why)
            return loss.detail.isEmpty() ? translate(loss.notice) : translate(loss.notice).arg(loss.detail);
        const QString why = loss.detail.isEmpty() ? translate(loss.why) : translate(loss.why).arg(loss.detail);
        return translate(loss.notice).arg(why);
    };
    const QString line = QStringLiteral("morvane-pwm: ")
        + words([](const char *text) { return QCoreApplication::translate("GlobalHotKeys", text); });
    // In the window the notice is a sentence among others.
    notice_ = words([](const char *text) { return window_words("GlobalHotKeys", text); });
    notice_[0] = notice_[0].toUpper();
    if (!notice_.endsWith(QLatin1Char('.')))
        notice_ += QLatin1Char('.');
    // Said once per process, however many objects find the same.
    static QStringList printed;
    if (!printed.contains(line)) {
        printed << line;
        std::fprintf(stderr, "%s\n", qPrintable(line));
    }
    emit went_missing(notice_);
}
