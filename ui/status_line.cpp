#include "status_line.h"

#include "model/controller_thread.h"

#include <QEvent>
#include <QLabel>

#include <tuple>

StatusLine::StatusLine(ControllerThread &controller, QLabel *label)
    : QObject(label)
    , label_(label)
{
    connect(&controller, &ControllerThread::status_changed, this, &StatusLine::update);
    label_->installEventFilter(this);
    update(controller.status());
}

bool StatusLine::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        state_text_.clear(); // the words, not the state, changed
        update(status_);
    }
    return false;
}

void StatusLine::show_note(const QString &note)
{
    note_ = note;
    show();
}

void StatusLine::set_problem(const QString &key, const QString &problem)
{
    if (problem.isEmpty())
        problems_.remove(key);
    else
        problems_.insert(key, problem);
    show();
}

void StatusLine::update(const ControllerStatus &status)
{
    // The light and the level move every tick; the line's words depend on none of that.
    const auto words_of = [](const ControllerStatus &s) {
        return std::tie(s.live, s.connected, s.holder, s.lock_problem);
    };
    if (!state_text_.isEmpty() && words_of(status) == words_of(status_)
        && status.open_failures.size() == status_.open_failures.size() && status.open_failures.empty())
        return;
    QString text;
    QString tip;
    if (status.live) {
        was_live_ = true;
        text = tr("Контроллер подключен, настройки загружены.");
    } else if (status.connected) {
        text = tr("Контроллер найден, настройки загружаются…");
    } else if (!status.holder.isEmpty()) {
        text = tr("Контроллер занят другой программой: %1. Он будет открыт, когда она его освободит.")
                   .arg(status.holder);
    } else if (!status.open_failures.empty()) {
        // Paths and reasons come from the system: one line each, whatever
        // they hold (the label shows plain text only).
        QStringList paths;
        QStringList reasons;
        for (const HidOpenFailure &failure : status.open_failures) {
            paths << QString::fromStdString(failure.path).simplified();
            reasons << QString::fromStdString(failure.reason).simplified();
        }
        text = tr("Контроллер %1 найден, но открыть его не удалось. Установите правило udev "
                  "70-morvane-pwm.rules и переподключите контроллер.")
                   .arg(paths.join(QStringLiteral(", ")));
        tip = reasons.join(QLatin1Char('\n')) + QLatin1Char('\n')
            + tr("После установки правила: sudo udevadm control --reload && sudo udevadm trigger");
    } else if (was_live_) {
        text = tr("Контроллер отключен. Когда он снова будет подключен, настройки загрузятся сами.");
    } else {
        text = tr("Контроллер не найден. Подключите его к USB.");
    }
    if (status.lock_problem.isEmpty())
        problems_.remove(QStringLiteral("lock"));
    else
        problems_.insert(QStringLiteral("lock"),
                         tr("Блокировка устройства недоступна (%1): morvane-pwmctl может мешать программе.")
                             .arg(status.lock_problem));
    // A note belongs to the state it was said in.
    if (text != state_text_)
        note_.clear();
    status_ = status;
    state_text_ = text;
    label_->setToolTip(tip);
    show();
}

void StatusLine::show()
{
    QStringList parts{note_.isEmpty() ? state_text_ : note_};
    parts += problems_.values();
    label_->setText(parts.join(QLatin1Char(' ')));
}
