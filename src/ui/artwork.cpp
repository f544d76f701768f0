// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace velmora {

namespace {

const QColor kNight(12, 30, 74);
const QColor kSky(34, 92, 170);
const QColor kSignal(255, 196, 40);

// Three arcs spreading from an antenna tip at `origin`, to the right.
void drawWaves(QPainter& p, QPointF origin, qreal step, qreal pen) {
    p.setBrush(Qt::NoBrush);
    for (int i = 1; i <= 3; ++i) {
        QColor c = kSignal;
        c.setAlpha(255 - 55 * (i - 1));
        p.setPen(QPen(c, pen, Qt::SolidLine, Qt::RoundCap));
        const qreal r = step * i;
        p.drawArc(QRectF(origin.x() - r, origin.y() - r, 2 * r, 2 * r), -45 * 16, 90 * 16);
    }
}

QPixmap iconPixmap(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QLinearGradient fill(0, 0, 0, s);
    fill.setColorAt(0, kSky);
    fill.setColorAt(1, kNight);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, s - 1, s - 1), s / 6, s / 6);
    // A map pin on the left, its signal spreading to the right.
    const QPointF tip(s * 0.3, s * 0.62);
    p.setBrush(Qt::white);
    QPainterPath pin;
    pin.moveTo(tip.x(), s * 0.9);
    pin.arcTo(QRectF(tip.x() - s * 0.16, tip.y() - s * 0.24, s * 0.32, s * 0.32), -30, 240);
    pin.closeSubpath();
    p.drawPath(pin);
    p.setBrush(kNight);
    p.drawEllipse(QPointF(tip.x(), tip.y() - s * 0.08), s * 0.06, s * 0.06);
    drawWaves(p, QPointF(tip.x() + s * 0.08, tip.y() - s * 0.3), s * 0.17, qMax(1.2, s / 16));
    return pixmap;
}

}  // namespace

QPixmap bannerPixmap() {
    constexpr int kWidth = 325;
    constexpr int kHeight = 99;
    QPixmap pixmap(kWidth, kHeight);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);

    QLinearGradient sky(0, 0, 0, kHeight);
    sky.setColorAt(0, kSky);
    sky.setColorAt(1, kNight);
    p.fillRect(pixmap.rect(), sky);

    // A faint grid of map squares and a dotted route across it.
    p.setPen(QPen(QColor(255, 255, 255, 28), 1));
    for (int x = 0; x < kWidth; x += 18) p.drawLine(x, 0, x, kHeight);
    for (int y = 0; y < kHeight; y += 18) p.drawLine(0, y, kWidth, y);
    QPainterPath route;
    route.moveTo(8, 88);
    route.cubicTo(80, 60, 150, 96, 230, 70);
    route.cubicTo(270, 58, 300, 80, 318, 62);
    p.setPen(QPen(QColor(255, 255, 255, 110), 2, Qt::DotLine, Qt::RoundCap));
    p.drawPath(route);

    // Sightings along the route.
    QRadialGradient glow(0, 0, 6);
    glow.setColorAt(0, kSignal);
    glow.setColorAt(1, Qt::transparent);
    for (const QPointF spot :
         {QPointF(60, 73), QPointF(140, 83), QPointF(228, 71), QPointF(300, 69)}) {
        p.save();
        p.translate(spot);
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(QPointF(0, 0), 6, 6);
        p.restore();
    }

    drawWaves(p, QPointF(22, 38), 9, 3);

    QFont title(QStringLiteral("Sans Serif"));
    title.setPixelSize(34);
    title.setBold(true);
    p.setFont(title);
    const QRect titleBox(58, 6, kWidth - 66, 48);
    p.setPen(QColor(0, 0, 0, 120));
    p.drawText(titleBox.translated(2, 2), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Velmora 2004"));
    p.setPen(Qt::white);
    p.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Velmora 2004"));

    QFont tagline(QStringLiteral("Sans Serif"));
    tagline.setPixelSize(12);
    p.setFont(tagline);
    p.setPen(QColor(220, 232, 255));
    p.drawText(QRect(60, 50, kWidth - 66, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QStringLiteral("Wireless survey logs to map pushpins"));
    return pixmap;
}

QIcon applicationIcon() {
    QIcon icon;
    icon.addPixmap(iconPixmap(32));
    icon.addPixmap(iconPixmap(16));
    return icon;
}

QPixmap applicationIconPixmap(int size) {
    return iconPixmap(size);
}

}  // namespace velmora
