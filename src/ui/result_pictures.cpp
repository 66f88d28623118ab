#include "ui/result_pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace trawlix {

namespace {

constexpr int cSize = 32;

QIcon Draw(const std::function<void(QPainter&)>& aDrawing) {
    QPixmap pixmap(cSize, cSize);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    aDrawing(painter);
    return QIcon(pixmap);
}

void DrawStar(QPainter& aPainter) {
    QPainterPath star;
    for (int point = 0; point < 10; ++point) {
        const double radius = point % 2 == 0 ? 14 : 6;
        const double angle = -M_PI / 2 + point * M_PI / 5;
        const QPointF at(16 + radius * std::cos(angle), 17 + radius * std::sin(angle));
        if (point == 0)
            star.moveTo(at);
        else
            star.lineTo(at);
    }
    star.closeSubpath();
    aPainter.setPen(QPen(QColor(0xc8, 0x8a, 0x00), 2));
    aPainter.setBrush(QColor(0xff, 0xc8, 0x2e));
    aPainter.drawPath(star);
}

void DrawReplyArrow(QPainter& aPainter) {
    QPainterPath arrow;
    arrow.moveTo(4, 14);
    arrow.lineTo(14, 5);
    arrow.lineTo(14, 10);
    arrow.cubicTo(24, 10, 29, 17, 28, 27);
    arrow.cubicTo(25, 20, 21, 18, 14, 18);
    arrow.lineTo(14, 23);
    arrow.closeSubpath();
    aPainter.setPen(QPen(QColor(0x1e, 0x6a, 0x2a), 2));
    aPainter.setBrush(QColor(0x2e, 0x8b, 0x3a));
    aPainter.drawPath(arrow);
}

// A bin with as many lines of paper in it as aFill says (0, 1 or 2).
void DrawBin(QPainter& aPainter, int aFill) {
    aPainter.setPen(QPen(QColor(0x2f, 0x6f, 0xb5), 2.4));
    aPainter.setBrush(Qt::NoBrush);
    aPainter.drawLine(QPointF(6, 8), QPointF(26, 8));
    aPainter.drawLine(QPointF(12, 8), QPointF(13, 4));
    aPainter.drawLine(QPointF(13, 4), QPointF(19, 4));
    aPainter.drawLine(QPointF(19, 4), QPointF(20, 8));
    aPainter.drawRect(QRectF(8, 8, 16, 20));
    aPainter.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 2.4));
    for (int line = 0; line < aFill * 2; ++line) aPainter.drawLine(QPointF(11, 24 - line * 4), QPointF(21, 24 - line * 4));
}

}  // namespace

const QIcon& FavouriteIcon() {
    static const QIcon icon = Draw(DrawStar);
    return icon;
}

const QIcon& RepliedIcon() {
    static const QIcon icon = Draw(DrawReplyArrow);
    return icon;
}

const QIcon& EraseResultsIcon(int aRowCount) {
    static const QIcon empty = Draw([](QPainter& aPainter) { DrawBin(aPainter, 0); });
    static const QIcon some = Draw([](QPainter& aPainter) { DrawBin(aPainter, 1); });
    static const QIcon many = Draw([](QPainter& aPainter) { DrawBin(aPainter, 2); });
    if (aRowCount <= 0) return empty;
    return aRowCount <= 100 ? some : many;
}

}  // namespace trawlix
