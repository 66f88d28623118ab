#include "ui/whisper_splitter.h"

#include <QApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace trawlix {

TWhisperSplitterHandle::TWhisperSplitterHandle(Qt::Orientation aOrientation, TWhisperSplitter* aParent)
    : QSplitterHandle(aOrientation, aParent) {
    setMouseTracking(true);  // the pointer changes over the grip without a button held
}

TWhisperSplitter* TWhisperSplitterHandle::Owner() const { return static_cast<TWhisperSplitter*>(splitter()); }

int TWhisperSplitterHandle::Along(const QPoint& aPoint) const {
    return orientation() == Qt::Horizontal ? aPoint.x() : aPoint.y();
}

QRect TWhisperSplitterHandle::GripRect() const {
    const TWhisperSplitter* owner = Owner();
    if (owner->Bitmap.isNull() || owner->BitmapInterations <= 0) return {};
    const QSize picture = owner->Bitmap.deviceIndependentSize().toSize();
    // The pictures follow one another along the handle, centred both ways.
    if (orientation() == Qt::Horizontal) {
        const int length = picture.height() * owner->BitmapInterations;
        return {(width() - picture.width()) / 2, (height() - length) / 2, picture.width(), length};
    }
    const int length = picture.width() * owner->BitmapInterations;
    return {(width() - length) / 2, (height() - picture.height()) / 2, length, picture.height()};
}

void TWhisperSplitterHandle::paintEvent(QPaintEvent*) {
    const TWhisperSplitter* owner = Owner();
    QPainter painter(this);
    if (fHot) {
        painter.fillRect(rect(), owner->HighlightColor);
    } else {
        // Handles between side-by-side panels shade from left to right, the others from top to bottom.
        const QPointF end = orientation() == Qt::Horizontal ? QPointF(width(), 0) : QPointF(0, height());
        QLinearGradient gradient(QPointF(0, 0), end);
        gradient.setColorAt(0, owner->Color);
        gradient.setColorAt(1, owner->GradientEndColor);
        painter.fillRect(rect(), gradient);
    }
    const QRect grip = GripRect();
    if (grip.isEmpty()) return;
    const QSize picture = owner->Bitmap.deviceIndependentSize().toSize();
    for (int copy = 0; copy < owner->BitmapInterations; ++copy) {
        const QPoint at = orientation() == Qt::Horizontal ? QPoint(grip.left(), grip.top() + copy * picture.height())
                                                          : QPoint(grip.left() + copy * picture.width(), grip.top());
        painter.drawPixmap(at, owner->Bitmap);
    }
}

void TWhisperSplitterHandle::UpdateCursor(const QPoint& aPosition) {
    if (GripRect().contains(aPosition))
        setCursor(Qt::PointingHandCursor);
    else
        setCursor(orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
}

void TWhisperSplitterHandle::enterEvent(QEnterEvent* aEvent) {
    fHot = true;
    UpdateCursor(aEvent->position().toPoint());
    update();
}

void TWhisperSplitterHandle::leaveEvent(QEvent*) {
    fHot = false;
    update();
}

void TWhisperSplitterHandle::mousePressEvent(QMouseEvent* aEvent) {
    if (aEvent->button() != Qt::LeftButton) return;
    fPressed = true;
    fDragged = false;
    fPressOffset = Along(aEvent->position().toPoint());
}

void TWhisperSplitterHandle::mouseMoveEvent(QMouseEvent* aEvent) {
    UpdateCursor(aEvent->position().toPoint());
    if (!fPressed || !(aEvent->buttons() & Qt::LeftButton)) return;
    if (std::abs(Along(aEvent->position().toPoint()) - fPressOffset) > TWhisperSplitter::cClickSlack) fDragged = true;
    if (!fDragged) return;
    TWhisperSplitter* owner = Owner();
    const int position =
        closestLegalPosition(Along(owner->mapFromGlobal(aEvent->globalPosition().toPoint())) - fPressOffset);
    const QWidget* panel = owner->widget(owner->PanelIndex);
    const int panelStart = panel ? Along(panel->pos()) : 0;
    // A refused size leaves the handle where it is; the drag may go on to an accepted one.
    if (!owner->CanResizeTo(position - panelStart)) return;
    moveSplitter(position);
}

void TWhisperSplitterHandle::mouseReleaseEvent(QMouseEvent* aEvent) {
    if (aEvent->button() != Qt::LeftButton || !fPressed) return;
    fPressed = false;
    if (!fDragged) Owner()->Click();
}

TWhisperSplitter::TWhisperSplitter(Qt::Orientation aOrientation, QWidget* aParent)
    : QSplitter(aOrientation, aParent), HighlightColor(QApplication::palette().color(QPalette::Highlight)) {}

QSplitterHandle* TWhisperSplitter::createHandle() { return new TWhisperSplitterHandle(orientation(), this); }

void TWhisperSplitter::Click() {
    if (!HideOnClick) return;
    // Queued: the handle may be gone or moved by the time the panel has been rearranged.
    QTimer::singleShot(0, this, [this] {
        if (OnHideShow) {
            OnHideShow();
        } else if (QWidget* panel = widget(PanelIndex)) {
            panel->setVisible(!panel->isVisible());
        }
    });
}

}  // namespace trawlix
