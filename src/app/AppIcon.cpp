// SPDX-License-Identifier: MIT
#include "app/AppIcon.h"

#include <QPainter>
#include <QPixmap>

namespace ostrand {

namespace {

QPixmap drawIcon(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 32.0, size / 32.0);

    // The sheet, with a folded corner.
    painter.setPen(QPen(QColor(40, 60, 90), 1.2));
    painter.setBrush(Qt::white);
    const QPointF sheet[] = {{5, 2}, {22, 2}, {28, 8}, {28, 30}, {5, 30}};
    painter.drawPolygon(sheet, 5);
    painter.drawLine(QPointF(22, 2), QPointF(22, 8));
    painter.drawLine(QPointF(22, 8), QPointF(28, 8));

    // The table: a coloured header row and a grid of three columns.
    const QRectF table(8, 11, 17, 16);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(30, 120, 200));
    painter.drawRect(QRectF(table.left(), table.top(), table.width(), 4));
    painter.setPen(QPen(QColor(30, 90, 150), 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(table);
    for (int column = 1; column < 3; ++column) {
        const double x = table.left() + column * table.width() / 3;
        painter.drawLine(QPointF(x, table.top()), QPointF(x, table.bottom()));
    }
    for (int row = 1; row < 4; ++row) {
        const double y = table.top() + row * 4.0;
        painter.drawLine(QPointF(table.left(), y), QPointF(table.right(), y));
    }
    return pixmap;
}

} // namespace

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128})
        icon.addPixmap(drawIcon(size));
    return icon;
}

} // namespace ostrand
