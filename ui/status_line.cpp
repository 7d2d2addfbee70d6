#include "status_line.h"

#include "model/controller_thread.h"
#include "model/outcome_text.h"
#include "model/pwm_percent_text.h"

#include <QEvent>
#include <QLabel>

#include <tuple>

namespace {

QString clock_time(const QDateTime &utc)
{
    return utc.toLocalTime().toString(QStringLiteral("HH:mm:ss"));
}

} // namespace

StatusLine::StatusLine(ControllerThread &controller, QLabel *label)
    : QObject(label)
    , label_(label)
{
    label_->installEventFilter(this);
    follow(controller);
}

void StatusLine::follow(ControllerThread &controller)
{
    if (controller_)
        disconnect(controller_, nullptr, this, nullptr);
    controller_ = &controller;
    note_.clear();
    state_text_.clear();
    was_live_ = false;
    changed_elsewhere_at_ = QDateTime();
    connect(&controller, &ControllerThread::status_changed, this, &StatusLine::update);
    // A load replaces whatever another program applied; its own apply
    // announces itself right after the load it causes.
    connect(&controller, &ControllerThread::configuration_loaded, this, [this] {
        changed_elsewhere_at_ = QDateTime();
        show();
    });
    connect(&controller, &ControllerThread::configuration_changed_elsewhere, this,
            [this](ChangeSource via, const QDateTime &at) {
                changed_elsewhere_via_ = via;
                changed_elsewhere_at_ = at;
                show();
            });
    update(controller.status());
}

bool StatusLine::eventFilter(QObject *, QEvent *event)
{
    switch (event->type()) {
    case QEvent::LanguageChange:
        state_text_.clear(); // the words, not the state, changed
        update(status_);
        break;
    case QEvent::Resize:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        fit();
        break;
    default:
        break;
    }
    return false;
}

void StatusLine::show_note(const QString &note)
{
    note_ = note;
    show();
}

void StatusLine::report(const Outcome &outcome)
{
    if (!outcome.ok())
        show_note(outcome_text(outcome, status_.holder));
}

void StatusLine::set_problem(const QString &key, const QString &problem)
{
    if (problem.isEmpty())
        problems_.remove(key);
    else
        problems_.insert(key, problem);
    show();
}

QString StatusLine::state_text(const ControllerStatus &status) const
{
    if (!status.answering)
        return tr("Контроллер не отвечает с %1; показаны последние полученные от него показания.")
            .arg(clock_time(status.silent_since));
    if (status.live)
        return tr("Контроллер подключен, настройки загружены.");
    // An open retried while the system sets a new node up is not yet a
    // failure to tell.
    if (status.connected || status.opening)
        return tr("Контроллер найден, настройки загружаются…");
    if (!status.holder.isEmpty())
        return tr("Контроллер занят другой программой: %1. Он будет открыт, когда она его освободит.")
            .arg(status.holder);
    if (!status.open_failures.empty()) {
        // Paths come from the system: one line, whatever they hold (the
        // label shows plain text only).
        QStringList paths;
        for (const HidOpenFailure &failure : status.open_failures)
            paths << QString::fromStdString(failure.path).simplified();
        return tr("Контроллер %1 найден, но открыть его не удалось. Установите правило udev "
                  "70-morvane-pwm.rules и переподключите контроллер.")
            .arg(paths.join(QStringLiteral(", ")));
    }
    if (was_live_)
        return tr("Контроллер отключен. Когда он снова будет подключен, настройки загрузятся сами.");
    return tr("Контроллер не найден. Подключите его к USB.");
}

void StatusLine::update(const ControllerStatus &status)
{
    // The light and the brightness move every tick; the line's words depend on none of that.
    const auto words_of = [](const ControllerStatus &s) {
        return std::tie(s.live, s.connected, s.loaded, s.answering, s.silent_since, s.holder, s.lock_problem,
                        s.wanted_mode, s.manual_level, s.edits_pending, s.identity, s.opening);
    };
    if (!state_text_.isEmpty() && words_of(status) == words_of(status_) && status.open_failures.empty()
        && status_.open_failures.empty())
        return;
    was_live_ = was_live_ || status.live;
    const QString text = state_text(status);
    // A note belongs to the state it was said in.
    if (text != state_text_)
        note_.clear();
    QStringList reasons;
    for (const HidOpenFailure &failure : status.open_failures)
        reasons << open_failure_reason(failure).simplified();
    QStringList tip;
    if (!status.identity.isEmpty())
        tip << tr("Контроллер %1").arg(status.identity);
    if (!reasons.isEmpty())
        tip << reasons << tr("После установки правила: sudo udevadm control --reload && sudo udevadm trigger");
    label_->setToolTip(tip.join(QLatin1Char('\n')));
    if (status.lock_problem.isEmpty())
        problems_.remove(QStringLiteral("lock"));
    else
        problems_.insert(QStringLiteral("lock"),
                         tr("Блокировка устройства недоступна (%1): morvane-pwmctl может мешать программе.")
                             .arg(status.lock_problem));
    status_ = status;
    state_text_ = text;
    show();
}

QString StatusLine::changed_elsewhere_text() const
{
    const QString at = clock_time(changed_elsewhere_at_);
    if (changed_elsewhere_via_ == ChangeSource::dbus)
        return tr("Настройки изменены в %1 другой программой через D-Bus (например, morvane-pwmctl).").arg(at);
    return tr("Настройки изменены в %1 другой программой.").arg(at);
}

void StatusLine::show()
{
    QStringList parts{note_.isEmpty() ? state_text_ : note_};
    if (status_.connected && status_.loaded) {
        if (status_.wanted_mode == RegulationMode::manual)
            parts << tr("Ручная регулировка, уровень %1.").arg(pwm_percent_text(status_.manual_level));
        if (status_.edits_pending)
            parts << tr("Изменения настроек не применены.");
        if (changed_elsewhere_at_.isValid())
            parts << changed_elsewhere_text();
    }
    parts += problems_.values();
    const QString text = parts.join(QLatin1Char(' '));
    if (text == label_->text())
        return;
    label_->setText(text);
    fit();
}

void StatusLine::fit()
{
    // Before its first layout the label's width is not yet its own.
    if (!label_->testAttribute(Qt::WA_Resized))
        return;
    const int height = label_->heightForWidth(label_->width());
    if (height > 0 && height != label_->minimumHeight())
        label_->setMinimumHeight(height);
}
