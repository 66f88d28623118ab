#pragma once

#include <QWidget>

class QLabel;
class QToolButton;

namespace trawlix {

// A balloon message pointing at a spot on the screen: an information icon, an optional
// title, the text and a close button. It stays on top of other windows until it is closed
// or freed; freeing it closes it.
class TBalloonHint : public QWidget {
    Q_OBJECT
public:
    TBalloonHint(const QString& aText, const QString& aTitle = {}, QWidget* aParent = nullptr);
    const QString& Text() const { return fText; }
    // Shows the balloon with its pointed edge at aScreenPoint, the body centred above it.
    void ShowAt(const QPoint& aScreenPoint);
    // The spot the balloon points at.
    QPoint Tip() const { return fTip; }
    QToolButton* CloseButton() const { return fCloseButton; }

protected:
    void paintEvent(QPaintEvent* aEvent) override;

private:
    static constexpr int cStemHeight = 10;
    QString fText;
    QPoint fTip;
    QToolButton* fCloseButton;
};

}  // namespace trawlix
