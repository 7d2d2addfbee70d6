#include "status_line.h"

#include "model/controller.h"

#include <QEvent>
#include <QLabel>

StatusLine::StatusLine(Controller &controller, QLabel *label)
    : QObject(label)
    , controller_(controller)
    , label_(label)
{
    connect(&controller_, &Controller::connected_changed, this, &StatusLine::update);
    connect(&controller_, &Controller::live_changed, this, &StatusLine::update);
    connect(&controller_, &Controller::open_failures_changed, this, &StatusLine::update);
    label_->installEventFilter(this);
    update();
}

bool StatusLine::eventFilter(QObject *, QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        update();
    return false;
}

void StatusLine::update()
{
    QString text;
    QString tip;
    if (controller_.live()) {
        was_live_ = true;
        text = tr("Контроллер подключен, настройки загружены.");
    } else if (controller_.connected()) {
        text = tr("Контроллер найден, настройки загружаются…");
    } else if (!controller_.open_failure_details().empty()) {
        // Paths and reasons come from the system: one line each, whatever
        // they hold (the label shows plain text only).
        QStringList paths;
        QStringList reasons;
        for (const HidOpenFailure &failure : controller_.open_failure_details()) {
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
    label_->setText(text);
    label_->setToolTip(tip);
}
