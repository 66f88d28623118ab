#include "ui/thumbnail_view.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPixmapCache>
#include <QPointer>
#include <QResizeEvent>
#include <QSvgRenderer>
#include <QTableView>

#include <chrono>
#include <cmath>

#include "engine/synchronizator.h"
#include "ui/thumbnail_downloads.h"

// The pictures live in the program's static library: they must be registered by hand.
static void InitThumbnailPictures() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(trawlix);
        return true;
    }();
    (void)registered;
}

namespace trawlix {

namespace {

constexpr int cSpinnerDots = 12;
constexpr int cSpinnerFrameMs = 80;
constexpr int cSpinnerSize = 48;

class TThumbnailDelegate : public QStyledItemDelegate {
public:
    explicit TThumbnailDelegate(TThumbnailView& aView) : QStyledItemDelegate(&aView), fView(aView) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {TThumbnailView::cCellSize, TThumbnailView::cCellSize};
    }

    void paint(QPainter* aPainter, const QStyleOptionViewItem& aOption, const QModelIndex& aIndex) const override {
        try {
            aPainter->save();
            fView.PaintCell(*aPainter, TThumbnailView::CellRect(aOption.rect), aIndex.row(),
                            aOption.state.testFlag(QStyle::State_Selected),
                            aOption.state.testFlag(QStyle::State_MouseOver));
            aPainter->restore();
        } catch (...) {
            // A cell that cannot be painted stays blank; the rest of the grid goes on.
            aPainter->restore();
        }
    }

private:
    TThumbnailView& fView;
};

QPixmap SvgPixmap(const QString& aResource, QSize aSize) {
    const QString key = aResource + QString::number(aSize.width()) + "x" + QString::number(aSize.height());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    pixmap = QPixmap(aSize);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(aResource);
    QPainter painter(&pixmap);
    renderer.render(&painter);
    painter.end();
    QPixmapCache::insert(key, pixmap);
    return pixmap;
}

// Decoding a JPEG on every paint would make scrolling crawl: pictures are cached by content.
QPixmap ThumbnailPixmap(const TBlob& aJpeg) {
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(aJpeg.data()), qsizetype(aJpeg.size()));
    const QString key = "thumb:" + QString::number(qHash(bytes), 16) + ":" + QString::number(bytes.size());
    QPixmap pixmap;
    if (QPixmapCache::find(key, &pixmap)) return pixmap;
    pixmap.loadFromData(bytes, "JPEG");
    if (!pixmap.isNull()) QPixmapCache::insert(key, pixmap);
    return pixmap;
}

int SpinnerFrame() {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    return int((ms / cSpinnerFrameMs) % cSpinnerDots);
}

// The loading animation: a ring of dots whose brightest dot goes round.
void PaintSpinner(QPainter& aPainter, const QRect& aArea, int aFrame) {
    aPainter.setRenderHint(QPainter::Antialiasing);
    aPainter.setPen(Qt::NoPen);
    const QPointF centre = QRectF(aArea).center();
    const double radius = aArea.width() / 2.0 - 5;
    for (int dot = 0; dot < cSpinnerDots; ++dot) {
        const double angle = 2 * M_PI * dot / cSpinnerDots;
        const int age = (aFrame - dot + cSpinnerDots) % cSpinnerDots;
        aPainter.setBrush(QColor(51, 153, 255, 255 - age * 18));
        aPainter.drawEllipse(centre + QPointF(radius * std::sin(angle), -radius * std::cos(angle)), 4, 4);
    }
}

}  // namespace

void ThumbnailPaintBasic(QPainter& aCanvas, const QRect& aRect, int aState, bool aFocused) {
    using namespace thumbnail_colors;
    QColor outline, top, bottom;
    if (aState == cCellSelected) {
        outline = cSelected, top = cGSelectedEnd, bottom = cGSelectedStart;
    } else if (aState == cCellHot) {
        outline = cHot, top = cGHotEnd, bottom = cGHotStart;
    } else {
        return;
    }
    const int left = aRect.left(), right = aRect.left() + aRect.width(), topY = aRect.top(),
              bottomY = aRect.top() + aRect.height();
    QLinearGradient gradient(0, topY, 0, bottomY);
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    aCanvas.setRenderHint(QPainter::Antialiasing, false);
    aCanvas.fillRect(aRect, gradient);
    aCanvas.setPen(outline);
    aCanvas.setBrush(Qt::NoBrush);
    aCanvas.drawRect(left, topY, aRect.width() - 1, aRect.height() - 1);
    const QColor shade = aFocused ? cShadeSelect : cShadeDisabled;
    aCanvas.setPen(shade);
    const QPoint inner[] = {{left + 1, topY + 2}, {left + 1, bottomY - 2}, {right - 2, bottomY - 2}, {right - 2, topY + 1}};
    aCanvas.drawPolyline(inner, 4);
    for (const QPoint& corner : {QPoint(left, topY), QPoint(right - 1, topY), QPoint(left, bottomY - 1),
                                 QPoint(right - 1, bottomY - 1)})
        aCanvas.drawPoint(corner);
}

TThumbnailView::TThumbnailView(QWidget* aParent) : QListView(aParent) {
    InitThumbnailPictures();
    setObjectName("rkvThumbnailedResults");
    setViewMode(QListView::ListMode);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    setResizeMode(QListView::Adjust);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setMouseTracking(true);
    setAttribute(Qt::WA_Hover);
    QPalette colours = palette();
    colours.setColor(QPalette::Highlight, thumbnail_colors::cSelection);
    setPalette(colours);
    setItemDelegate(new TThumbnailDelegate(*this));
    setGridSize(QSize(cCellSize + cGap, cCellSize + cGap));
}

QRect TThumbnailView::CellRect(const QRect& aItemRect) {
    return {aItemRect.left() + (aItemRect.width() - cCellSize) / 2, aItemRect.top() + (aItemRect.height() - cCellSize) / 2,
            cCellSize, cCellSize};
}

void TThumbnailView::resizeEvent(QResizeEvent* aEvent) {
    AdjustSpacing();
    QListView::resizeEvent(aEvent);
}

// The cells spread over the whole width: what is left after whole cells goes into the gaps.
void TThumbnailView::AdjustSpacing() {
    const int width = viewport()->width();
    const int columns = std::max(1, (width - cGap) / (cCellSize + cGap));
    const int cellWidth = std::max(cCellSize + cGap, (width - cGap) / columns);
    if (gridSize().width() != cellWidth) setGridSize(QSize(cellWidth, cCellSize + cGap));
}

void TThumbnailView::PaintCell(QPainter& aPainter, const QRect& aCellRect, int aIndex, bool aSelected,
                               bool aHot) const {
    if (!fSource.entryAt || (fSource.canPaint && !fSource.canPaint())) return;
    const IEntry entry = fSource.entryAt(aIndex);
    if (!entry) return;
    const int state = aSelected || entry->GetChecked() ? cCellSelected : aHot ? cCellHot : 0;
    ThumbnailPaintBasic(aPainter, aCellRect, state, hasFocus());
    PaintPicture(aPainter, aCellRect, entry);
    PaintIcons(aPainter, aCellRect, entry);
    PaintCaption(aPainter, aCellRect, entry);
}

void TThumbnailView::PaintPicture(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const {
    QPixmap picture;
    if (aEntry->HasResizedImage()) {
        picture = ThumbnailPixmap(aEntry->GetResizedImage());
    } else if (fDownloads ? !fDownloads->NextPicture(*aEntry).empty() : !aEntry->GetImageUrl().empty()) {
        PaintLoading(aPainter, aCell, aEntry);
        return;
    }
    if (picture.isNull()) picture = SvgPixmap(":/pictures/thumb_no_image.svg", QSize(100, 100));
    aPainter.drawPixmap(aCell.left() + (aCell.width() - picture.width()) / 2, aCell.top() + cPictureTop, picture);
}

void TThumbnailView::PaintLoading(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const {
    const QRect area(aCell.left() + (aCell.width() - cSpinnerSize) / 2, aCell.top() + cPictureTop + 30, cSpinnerSize,
                     cSpinnerSize);
    PaintSpinner(aPainter, area, SpinnerFrame());
    RequestAnimationRepaint();
    if (fDownloads) fDownloads->Request(aEntry);
}

// One repaint waits at a time, however many loading cells are painted meanwhile.
void TThumbnailView::RequestAnimationRepaint() const {
    QPointer<QWidget> target = viewport();
    Synch().SynchronizeNonBlocking(
        cRepaintCallName,
        [target](const std::string&) {
            if (target) target->update();
        },
        "", cRepaintDelayMs, false, false, true);
}

void TThumbnailView::PaintIcons(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const {
    int x = aCell.left();
    if (fSource.isFavourite && fSource.isFavourite(aEntry->GetLink())) {
        aPainter.drawPixmap(x, aCell.top(), SvgPixmap(":/pictures/thumb_favourite.svg", QSize(cIconWidth, cIconWidth)));
        x += cIconWidth;
    }
    if (aEntry->GetReplied())
        aPainter.drawPixmap(x, aCell.top(), SvgPixmap(":/pictures/thumb_replied.svg", QSize(cIconWidth, cIconWidth)));
}

void TThumbnailView::PaintCaption(QPainter& aPainter, const QRect& aCell, const IEntry& aEntry) const {
    const QRect line(aCell.left() + 2, aCell.bottom() - cCaptionHeight + 1, aCell.width() - 4, cCaptionHeight);
    const QString caption = aPainter.fontMetrics().elidedText(QString::fromStdString(aEntry->GetName()),
                                                              Qt::ElideRight, line.width());
    aPainter.setPen(Qt::black);
    // No mnemonic flag: an "&" in a title is shown as it is.
    aPainter.drawText(line, Qt::AlignHCenter | Qt::AlignVCenter | Qt::TextSingleLine, caption);
}

void ToggleView(QTableView& aList, TThumbnailView& aGrid, bool aThumbnails) {
    aGrid.setVisible(aThumbnails);
    aList.setVisible(!aThumbnails);
    aList.clearSelection();
    aGrid.clearSelection();
}

}  // namespace trawlix
