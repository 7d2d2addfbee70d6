#include "controller_selector.h"

#include "model/controller_thread.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>

ControllerSelector::ControllerSelector(QWidget *parent)
    : QWidget(parent)
    , label_(new QLabel(this))
    , choice_(new QComboBox(this))
{
    setObjectName(QStringLiteral("controller_selector"));
    choice_->setObjectName(QStringLiteral("controller_comboBox"));
    choice_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    label_->setBuddy(choice_);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label_);
    layout->addWidget(choice_);
    layout->addStretch();
    connect(choice_, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && size_t(index) < listed_.size())
            emit chosen(listed_[size_t(index)]);
    });
    show_texts();
    hide();
}

void ControllerSelector::list(const std::vector<ControllerThread *> &present, const ControllerThread *shown)
{
    listed_ = present;
    QStringList names;
    int chosen = -1;
    for (const ControllerThread *controller : listed_) {
        const ControllerIdentity &identity = controller->identity();
        // An id made of the port or the node does not say which serial is behind it.
        const bool serial_in_id = identity.serial.isEmpty() || identity.id.contains(identity.serial);
        names << (serial_in_id ? identity.id : tr("%1 (серийный номер %2)").arg(identity.id, identity.serial));
        if (controller == shown)
            chosen = int(names.size()) - 1;
    }
    const QSignalBlocker quiet(choice_);
    // The same names are left in place: this may run inside the box's own choice.
    QStringList listed_names;
    for (int index = 0; index < choice_->count(); ++index)
        listed_names << choice_->itemText(index);
    if (names != listed_names) {
        choice_->clear();
        choice_->addItems(names);
    }
    choice_->setCurrentIndex(chosen);
    setVisible(listed_.size() > 1);
}

void ControllerSelector::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::LanguageChange)
        return;
    show_texts();
    const int shown = choice_->currentIndex();
    list(std::vector<ControllerThread *>(listed_), shown >= 0 ? listed_[size_t(shown)] : nullptr);
}

void ControllerSelector::show_texts()
{
    label_->setText(tr("Ко&нтроллер:"));
    choice_->setAccessibleName(tr("Контроллер"));
    choice_->setToolTip(tr("Контроллер, который показывает окно: его настройки, показания и кривая"));
}
