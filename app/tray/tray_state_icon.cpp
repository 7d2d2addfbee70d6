#include "tray_state_icon.h"

#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QtMath>

#include <algorithm>
#include <map>

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

// Draws a size only when a panel asks for it, once: at start the icon
// costs nothing until a tray shows it, and then only the size it shows.
class StateIconEngine : public QIconEngine
{
public:
    explicit StateIconEngine(TrayState state)
        : state_(state)
    {
    }

    QIconEngine *clone() const override { return new StateIconEngine(state_); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int size : {16, 22, 24, 32, 48, 64})
            sizes << QSize(size, size);
        return sizes;
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1);
    }

    QPixmap scaledPixmap(const QSize &size, QIcon::Mode, QIcon::State, qreal scale) override
    {
        const int side = qRound(std::min(size.width(), size.height()) * scale);
        if (side <= 0)
            return QPixmap();
        auto drawn = drawn_.find(side);
        if (drawn == drawn_.end())
            drawn = drawn_.emplace(side, draw(state_, side)).first;
        QPixmap pixmap = drawn->second;
        pixmap.setDevicePixelRatio(scale);
        return pixmap;
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal scale = painter->device()->devicePixelRatioF();
        painter->drawPixmap(rect, scaledPixmap(rect.size(), mode, state, scale));
    }

private:
    TrayState state_;
    std::map<int, QPixmap> drawn_; // by side in device pixels
};

} // namespace

QIcon tray_state_icon(TrayState state)
{
    return QIcon(new StateIconEngine(state));
}
