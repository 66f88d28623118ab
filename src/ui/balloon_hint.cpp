#include "ui/balloon_hint.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QScreen>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QStyle>
#include <QToolButton>

#include <algorithm>

namespace trawlix {

TBalloonHint::TBalloonHint(const QString& aText, const QString& aTitle, QWidget* aParent)
    : QWidget(aParent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), fText(aText) {
    setObjectName("BalloonHint");
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 6, 4, 6 + cStemHeight);
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxInformation).pixmap(24, 24));
    layout->addWidget(icon, 0, 0, 2, 1, Qt::AlignTop);
    if (!aTitle.isEmpty()) {
        auto* title = new QLabel(aTitle, this);
        QFont bold = title->font();
        bold.setBold(true);
        title->setFont(bold);
        layout->addWidget(title, 0, 1);
    }
    auto* text = new QLabel(aText, this);
    text->setObjectName("BalloonText");
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    text->setMaximumWidth(320);
    layout->addWidget(text, 1, 1);
    fCloseButton = new QToolButton(this);
    fCloseButton->setText(QString::fromUtf8("\u00d7"));
    fCloseButton->setAutoRaise(true);
    fCloseButton->setToolTip("Close");
    layout->addWidget(fCloseButton, 0, 2, Qt::AlignTop);
    connect(fCloseButton, &QToolButton::clicked, this, &QWidget::hide);
}

void TBalloonHint::ShowAt(const QPoint& aScreenPoint) {
    fTip = aScreenPoint;
    adjustSize();
    QRect where(aScreenPoint.x() - width() / 2, aScreenPoint.y() - height(), width(), height());
    // A control at the screen's edge (the toolbar at its top) would put part of the balloon
    // off the screen: it is moved in, whole, even if its stem then points a little aside.
    if (const QScreen* screen = QGuiApplication::screenAt(aScreenPoint)) {
        const QRect available = screen->availableGeometry();
        where.moveLeft(std::clamp(where.left(), available.left(), std::max(available.left(), available.right() - width() + 1)));
        where.moveTop(std::clamp(where.top(), available.top(), std::max(available.top(), available.bottom() - height() + 1)));
    }
    move(where.topLeft());
    show();
    raise();
}

void TBalloonHint::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF body(0.5, 0.5, width() - 1.0, height() - 1.0 - cStemHeight);
    QPainterPath outline;
    outline.addRoundedRect(body, 6, 6);
    const double middle = width() / 2.0;
    QPainterPath stem;
    stem.moveTo(middle - cStemHeight, body.bottom() - 1);
    stem.lineTo(middle, height() - 0.5);
    stem.lineTo(middle + cStemHeight, body.bottom() - 1);
    stem.closeSubpath();
    outline = outline.united(stem);
    painter.setPen(palette().color(QPalette::ToolTipText));
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawPath(outline);
}

}  // namespace trawlix
