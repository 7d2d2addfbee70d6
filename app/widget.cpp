#include "widget.h"

#include "global_hot_keys.h"
#include "open_failure_notice.h"
#include "protocol/commands.h"
#include "ui_widget.h"

#include <QEvent>
#include <QTimer>

#include <cstdio>

Widget::Widget(HidBackend &backend, QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::Widget)
    , hid_device(backend)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowMaximizeButtonHint);
    curve_points = {{
        {ui->auto_1_verticalSlider, ui->auto_1_light_spinBox, ui->auto_1_lineEdit},
        {ui->auto_2_verticalSlider, ui->auto_2_light_spinBox, ui->auto_2_lineEdit},
        {ui->auto_3_verticalSlider, ui->auto_3_light_spinBox, ui->auto_3_lineEdit},
        {ui->auto_4_verticalSlider, ui->auto_4_light_spinBox, ui->auto_4_lineEdit},
        {ui->auto_5_verticalSlider, ui->auto_5_light_spinBox, ui->auto_5_lineEdit},
        {ui->auto_6_verticalSlider, ui->auto_6_light_spinBox, ui->auto_6_lineEdit},
        {ui->auto_7_verticalSlider, ui->auto_7_light_spinBox, ui->auto_7_lineEdit},
    }};

    hid_device.set_ids(CONTROLLER_VENDOR_ID, CONTROLLER_PRODUCT_ID, 0, 0);
    filling_form = false;
    open_failure_notice = std::make_unique<OpenFailureNotice>();

    hot_keys = std::make_unique<GlobalHotKeys>(this);
    connect(hot_keys.get(), &GlobalHotKeys::activated, this, &Widget::hot_key_pressed);
    hot_keys->register_hot_key(HOTKEY_PWM_UP, 'P');
    hot_keys->register_hot_key(HOTKEY_PWM_DOWN, 'M');

    // Both timers are single-shot and re-armed by their own slot, so each
    // period counts from the end of the previous run and no job overlaps itself.
    check_timer = new QTimer(this);
    check_timer->setObjectName(QStringLiteral("check_timer"));
    connect(check_timer, &QTimer::timeout, this, &Widget::check_hid_device);
    check_timer->setSingleShot(true);
    // A coarse timer may fire 5 % late; a plugged-in controller should come
    // alive within one check and one tick.
    check_timer->setTimerType(Qt::PreciseTimer);
    check_timer->setInterval(DEVICE_CHECK_MS);
    check_timer->start();

    poll_timer = new QTimer(this);
    poll_timer->setObjectName(QStringLiteral("poll_timer"));
    connect(poll_timer, &QTimer::timeout, this, &Widget::form_update);
    poll_timer->setSingleShot(true);
    poll_timer->setInterval(POLL_MS);
    poll_timer->start();
}

// Writes the configuration back once more as the window goes away: as last
// loaded or applied, never the unapplied edits of the form.
Widget::~Widget()
{
    send_config_block();
    delete ui;
}

void Widget::check_hid_device()
{
    hid_device.open();
    for (const QString &line : open_failure_notice->update(hid_device.open_failures()))
        std::fprintf(stderr, "%s\n", qPrintable(line));
    check_timer->start();
}

// Command 56 goes only to a controller identified as version 1 on this
// connection, and only with configuration bytes that a load from it or an
// Apply on it filled: anything else would overwrite the controller's
// settings with bytes that never came from it or from the user.
bool Widget::config_write_allowed() const
{
    return hid_device.connected() && !hid_device.identify_pending()
        && config_connection == hid_device.connection_serial();
}

bool Widget::send_config_block()
{
    if (!config_write_allowed())
        return false;
    std::copy(stored_config.bytes.begin(), stored_config.bytes.end(), payload_buffer.begin());
    return hid_device.exchange(cmd_write_config, nullptr, payload_buffer.data());
}

void Widget::bring_to_front()
{
    showNormal();
    activateWindow();
    raise();
}

void Widget::message_arrived(const QString &message)
{
    if (message == QLatin1String("Rise up!"))
        bring_to_front();
}

void Widget::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LanguageChange)
        ui->retranslateUi(this);
}

void Widget::hot_key_pressed(int id)
{
    if (!hid_device.connected() || filling_form)
        return;
    if (id == HOTKEY_PWM_UP)
        pwm_width_step(+HOTKEY_PWM_STEP);
    else if (id == HOTKEY_PWM_DOWN)
        pwm_width_step(-HOTKEY_PWM_STEP);
}

// Acts only while the controller itself reports manual regulation; the next
// status pass sends the slider's level. The slider clamps to 0..564.
void Widget::pwm_width_step(int step)
{
    if (stored_config.regulation_mode() != 1)
        return;
    ui->pwm_width_horizontalSlider->setValue(ui->pwm_width_horizontalSlider->value() + step);
}
