#pragma once

#include <QColor>
#include <QPixmap>
#include <QSplitter>
#include <QSplitterHandle>

#include <functional>

namespace trawlix {

class TWhisperSplitter;

// The handle of a TWhisperSplitter: paints the gradient and the grip, lights up under the
// mouse, and tells a click from a drag.
class TWhisperSplitterHandle : public QSplitterHandle {
    Q_OBJECT
public:
    TWhisperSplitterHandle(Qt::Orientation aOrientation, TWhisperSplitter* aParent);
    bool IsHot() const { return fHot; }
    // Where the grip pictures are drawn, in the handle's coordinates (empty without a grip).
    QRect GripRect() const;

protected:
    void paintEvent(QPaintEvent* aEvent) override;
    void enterEvent(QEnterEvent* aEvent) override;
    void leaveEvent(QEvent* aEvent) override;
    void mousePressEvent(QMouseEvent* aEvent) override;
    void mouseMoveEvent(QMouseEvent* aEvent) override;
    void mouseReleaseEvent(QMouseEvent* aEvent) override;

private:
    TWhisperSplitter* Owner() const;
    int Along(const QPoint& aPoint) const;
    void UpdateCursor(const QPoint& aPosition);

    bool fHot = false;
    bool fPressed = false;
    bool fDragged = false;
    int fPressOffset = 0;
};

// A splitter whose handle is painted from Color to GradientEndColor (across the handle),
// carries a grip picture drawn BitmapInterations times in its middle, takes HighlightColor
// while the mouse is over it, and, with HideOnClick, hides or shows the panel on a click.
class TWhisperSplitter : public QSplitter {
    Q_OBJECT
public:
    static inline const QColor cSplitterColor{176, 209, 255};
    static inline const QColor cSkyBlue{166, 202, 240};
    // A press and release closer than this counts as a click, not a drag.
    static constexpr int cClickSlack = 2;

    TWhisperSplitter(Qt::Orientation aOrientation, QWidget* aParent = nullptr);

    QColor Color = cSplitterColor;
    QColor GradientEndColor = cSkyBlue;
    QColor HighlightColor;
    QPixmap Bitmap;
    int BitmapInterations = 1;
    bool HideOnClick = false;
    // Runs on a click when HideOnClick; without it the sized panel is hidden or shown.
    std::function<void()> OnHideShow;
    // Asked before a drag moves the handle: the size the sized panel would get. None: always.
    std::function<bool(int aPanelSize)> OnCanResize;
    // The panel the splitter sizes (the one before the first handle unless set).
    int PanelIndex = 0;

    void Click();
    bool CanResizeTo(int aPanelSize) const { return !OnCanResize || OnCanResize(aPanelSize); }

protected:
    QSplitterHandle* createHandle() override;
};

}  // namespace trawlix
