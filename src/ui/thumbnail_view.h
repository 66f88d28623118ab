#pragma once

#include <QListView>
#include <QStyledItemDelegate>

#include <functional>
#include <string>

#include "model/entry.h"

class QTableView;

namespace trawlix {

class TThumbnailDownloads;

// Frame and caption colours of a grid cell.
namespace thumbnail_colors {
inline const QColor cHot(153, 222, 253);
inline const QColor cGHotStart(230, 245, 253);
inline const QColor cGHotEnd(246, 251, 253);
inline const QColor cSelected(125, 162, 206);
inline const QColor cGSelectedStart(193, 220, 252);
inline const QColor cGSelectedEnd(220, 234, 252);
inline const QColor cShadeSelect(234, 243, 248);
inline const QColor cShadeDisabled(245, 245, 246);
inline const QColor cSelection(51, 153, 255);
}  // namespace thumbnail_colors

// What the grid needs to know about the shown results.
struct TThumbnailSource {
    // The entry of view-list index i, or null.
    std::function<IEntry(int aIndex)> entryAt;
    std::function<bool(const std::string& aLink)> isFavourite;
    // False while the window closes or the session is offline or disconnecting.
    std::function<bool()> canPaint;
};

// Cell states of ThumbnailPaintBasic.
inline constexpr int cCellSelected = 1;
inline constexpr int cCellHot = 2;

// Paints a cell's frame: selected (1) or hot (2) cells get an outlined gradient and an
// inner shade line, anything else no frame.
void ThumbnailPaintBasic(QPainter& aCanvas, const QRect& aRect, int aState, bool aFocused);

// The thumbnail grid (rkvThumbnailedResults): 150 by 150 cells over the same virtual
// results model as the list, row i being view-list entry i.
class TThumbnailView : public QListView {
    Q_OBJECT
public:
    static constexpr int cCellSize = 150;
    static constexpr int cGap = 10;
    static constexpr int cIconWidth = 32;
    static constexpr int cCaptionHeight = 16;
    static constexpr int cPictureTop = 10;
    static constexpr const char* cRepaintCallName = "rkvThumbnailedResults.Repaint";
    static constexpr int cRepaintDelayMs = 20;

    explicit TThumbnailView(QWidget* aParent = nullptr);

    void SetSource(TThumbnailSource aSource) { fSource = std::move(aSource); }
    // Where loading cells ask for their pictures; none: they only show the animation.
    void SetDownloads(TThumbnailDownloads* aDownloads) { fDownloads = aDownloads; }

    // Paints one cell (rkvThumbnailedResultsCellPaint).
    void PaintCell(QPainter& aPainter, const QRect& aCellRect, int aIndex, bool aSelected, bool aHot) const;
    // The 150 by 150 cell inside the space the layout gives an item.
    static QRect CellRect(const QRect& aItemRect);

protected:
    void resizeEvent(QResizeEvent* aEvent) override;

private:
    void AdjustSpacing();
    void PaintPicture(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const;
    void PaintLoading(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const;
    void PaintIcons(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const;
    void PaintCaption(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const;
    void RequestAnimationRepaint() const;

    TThumbnailSource fSource;
    TThumbnailDownloads* fDownloads = nullptr;
};

// Shows the grid and hides the list, or the reverse; both selections are cleared.
void ToggleView(QTableView& aList, TThumbnailView& aGrid, bool aThumbnails);

}  // namespace trawlix
