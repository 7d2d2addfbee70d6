#include "tray_state_icon.h"

#include <QPainter>
#include <QPixmap>
#include <QtMath>

namespace {

const QColor LAMP(0xf5, 0xa6, 0x23);
const QColor LAMP_EDGE(0x8a, 0x55, 0x00);
const QColor OFF(0x8c, 0x8c, 0x8c);
const QColor SLIDER(0x1f, 0x3a, 0x93);

// Drawn on a 64 x 64 grid, scaled to the pixmap.
QPixmap draw(TrayState state, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 64.0, size / 64.0);
    const QPointF centre(32, 32);

    if (state == TrayState::no_controller) {
        painter.setPen(QPen(OFF, 6));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(centre, 20, 20);
        painter.drawLine(QPointF(12, 52), QPointF(52, 12));
        return pixmap;
    }
    if (state == TrayState::silent) {
        painter.setPen(QPen(OFF.darker(150), 3));
        painter.setBrush(OFF);
        painter.drawEllipse(centre, 24, 24);
        painter.setPen(Qt::NoPen);
        painter.setBrush(SLIDER);
        painter.drawRoundedRect(QRectF(22, 18, 7, 28), 2, 2);
        painter.drawRoundedRect(QRectF(35, 18, 7, 28), 2, 2);
        return pixmap;
    }
    if (state == TrayState::automatic) {
        painter.setPen(QPen(LAMP_EDGE, 5, Qt::SolidLine, Qt::RoundCap));
        for (int ray = 0; ray < 8; ++ray) {
            const qreal angle = ray * M_PI / 4;
            const QPointF direction(qCos(angle), qSin(angle));
            painter.drawLine(centre + direction * 23, centre + direction * 30);
        }
    }
    const qreal radius = state == TrayState::automatic ? 17 : 24;
    painter.setPen(QPen(LAMP_EDGE, 3));
    painter.setBrush(LAMP);
    painter.drawEllipse(centre, radius, radius);
    if (state == TrayState::manual) {
        painter.setPen(QPen(SLIDER, 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(32, 16), QPointF(32, 48));
        painter.setPen(Qt::NoPen);
        painter.setBrush(SLIDER);
        painter.drawRoundedRect(QRectF(22, 22, 20, 9), 3, 3);
    }
    return pixmap;
}

} // namespace

QIcon tray_state_icon(TrayState state)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(draw(state, size));
    return icon;
}
