#include "draw/map.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPolygon>
#include <algorithm>
#include <cmath>

#include "model/map_regions.h"
#include "model/places.h"

namespace trawlix {

namespace {

QRgb ToRgb(int aColor) { return qRgb(aColor & 0xFF, (aColor >> 8) & 0xFF, (aColor >> 16) & 0xFF); }

int FromRgb(QRgb aPixel) { return RegionColor(qRed(aPixel), qGreen(aPixel), qBlue(aPixel)); }

QImage DecodeLayer(const std::string& aBytes, const std::string& aFileName, const char* aWhich) {
    QImage picture;
    if (!picture.loadFromData(reinterpret_cast<const uchar*>(aBytes.data()), static_cast<int>(aBytes.size()), "BMP") ||
        picture.isNull())
        throw EMapFileError("Cannot read the map file " + aFileName + ": the " + aWhich + " cannot be decoded");
    return picture.convertToFormat(QImage::Format_RGB32);
}

QImage TransparentLayer(QSize aSize) {
    QImage layer(aSize, QImage::Format_ARGB32_Premultiplied);
    layer.fill(Qt::transparent);
    return layer;
}

// A sub-map is a file of the maps folder: a name that leads elsewhere is not followed.
bool IsPlainFileName(const std::string& aName) {
    return !aName.empty() && aName.find('/') == std::string::npos && aName != "." && aName != "..";
}

}  // namespace

QImage GreenFlagPicture() {
    QImage flag(14, 18, QImage::Format_ARGB32_Premultiplied);
    flag.fill(Qt::transparent);
    QPainter painter(&flag);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 0, 2, 18), QColor(70, 60, 50));
    painter.setPen(QColor(20, 100, 30));
    painter.setBrush(QColor(40, 170, 60));
    painter.drawPolygon(QPolygon({QPoint(2, 1), QPoint(13, 5), QPoint(2, 9)}));
    return flag;
}

TMap::TMap(TMapMode aMode, const TPlaces* aPlaces) : fMode(aMode), fPlaces(aPlaces) {}

TMap::~TMap() = default;

void TMap::LoadFromFile(const std::filesystem::path& aFileName) {
    const TMapFileParts parts = ReadMapFile(aFileName);
    const std::string name = aFileName.string();
    QImage visible = DecodeLayer(parts.VisibleLayer, name, "visible picture");
    QImage alpha = DecodeLayer(parts.AlphaLayer, name, "region picture");
    if (alpha.size() != visible.size())
        throw EMapFileError("Cannot read the map file " + name + ": its two pictures differ in size");
    TColorMap colorMap;
    std::string parentMap = ParseProperties(parts.Properties, colorMap);

    fVisibleLayer = std::move(visible);
    fAlphaLayer = std::move(alpha);
    fProps = parts.Properties;
    fColorMap = std::move(colorMap);
    fParentMap = std::move(parentMap);
    fFileName = aFileName;
    fRegions = fPlaces ? std::make_unique<TMapRegions>(fColorMap, *fPlaces) : nullptr;
    fHighlightLayer = TransparentLayer(fVisibleLayer.size());
    fSelectionLayer = TransparentLayer(fVisibleLayer.size());
    fResultsLayer = TransparentLayer(fVisibleLayer.size());
    fBackBuf = QImage(fVisibleLayer.size(), QImage::Format_RGB32);
    fHighlightedColor = 0;
    fSelectedItems.clear();
    fLatestSelected = nullptr;
    fCounts.assign(fColorMap.Count(), 0);
    Paint();
    CursorChanged(Qt::ArrowCursor);
}

int TMap::ColorAt(int aX, int aY) const {
    if (!fAlphaLayer.valid(aX, aY)) return -1;
    return FromRgb(fAlphaLayer.pixel(aX, aY));
}

TColorMapItem* TMap::GetHighlightedItem() const {
    return fHighlightedColor ? fColorMap.GetItemByColor(fHighlightedColor) : nullptr;
}

// Only the pixels inside the region's ranges are looked at: that is what ranges are for.
void TMap::PaintRegion(QImage& aLayer, const TColorMapItem& aItem, QRgb aPaint) const {
    const QRgb wanted = ToRgb(aItem.Color) | 0xFF000000u;
    const int width = fAlphaLayer.width();
    const int height = fAlphaLayer.height();
    for (const TRange& range : aItem.Ranges) {
        const int top = std::max(range.Top, 0), bottom = std::min(range.Bottom, height - 1);
        const int left = std::max(range.Left, 0), right = std::min(range.Right, width - 1);
        for (int y = top; y <= bottom; ++y) {
            const auto* source = reinterpret_cast<const QRgb*>(fAlphaLayer.constScanLine(y));
            auto* target = reinterpret_cast<QRgb*>(aLayer.scanLine(y));
            for (int x = left; x <= right; ++x)
                if ((source[x] | 0xFF000000u) == wanted) target[x] = aPaint;
        }
    }
}

void TMap::OnMouseMove(int aX, int aY) {
    const int color = ColorAt(aX, aY);
    TColorMapItem* item = color < 0 ? nullptr : fColorMap.GetItemByColor(color);
    if (item) {
        Hint(item->Hint);
        CursorChanged(Qt::PointingHandCursor);
        if (color == fHighlightedColor) return;
        fHighlightedColor = color;
        fHighlightLayer.fill(Qt::transparent);
        PaintRegion(fHighlightLayer, *item, cHighlightedColor);
        Paint();
    } else if (fHighlightedColor != 0) {
        fHighlightLayer.fill(Qt::transparent);
        Paint();
        fHighlightedColor = 0;
        Hint("");
        CursorChanged(Qt::ArrowCursor);
    }
}

void TMap::DeselectAll() {
    for (TColorMapItem* item : fSelectedItems) item->Selected = false;
    fSelectedItems.clear();
}

void TMap::PaintSelection() {
    fSelectionLayer.fill(Qt::transparent);
    for (const TColorMapItem* item : fSelectedItems) PaintRegion(fSelectionLayer, *item, cSelectedColor);
}

void TMap::ToggleSelect() {
    fLatestSelected = nullptr;
    TColorMapItem* item = GetHighlightedItem();
    if (!item) {
        DeselectAll();
    } else {
        // The results map shows one selected region at a time.
        if (fMode == mmResults) {
            for (TColorMapItem* other : fSelectedItems)
                if (other != item) other->Selected = false;
            std::erase_if(fSelectedItems, [&](auto* aOther) { return aOther != item; });
        }
        item->Selected = !item->Selected;
        if (item->Selected) {
            fSelectedItems.push_back(item);
            fLatestSelected = item;
        } else {
            std::erase(fSelectedItems, item);
        }
    }
    PaintSelection();
    Paint();
}

bool TMap::CanZoomIn(const TColorMapItem* aItem) const {
    if (!aItem || !IsPlainFileName(aItem->Map)) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(fFileName.parent_path() / aItem->Map, ec);
}

bool TMap::ZoomIn() { return ZoomIn(GetHighlightedItem()); }

bool TMap::ZoomIn(const TColorMapItem* aItem) {
    if (!OnMapChanged || !CanZoomIn(aItem)) return false;
    OnMapChanged(aItem->Map);
    return true;
}

bool TMap::ZoomOut() {
    if (fParentMap.empty() || !OnMapChanged) return false;
    OnMapChanged(fParentMap);
    return true;
}

void TMap::SetResults(const TEntryList& aResults) {
    if (fMode == mmResults && !fVisibleLayer.isNull()) {
        fCounts = fRegions ? fRegions->Count(aResults) : std::vector<int>(fColorMap.Count(), 0);
        // Cleared first: a count that shrank or went to nothing must not leave digits behind.
        fResultsLayer.fill(Qt::transparent);
        QPainter painter(&fResultsLayer);
        fLabelRects.clear();
        // The smallest regions first: their counts keep their places, the larger ones have
        // room to move aside.
        std::vector<int> order;
        for (int index = 0; index < fColorMap.Count(); ++index) {
            const TColorMapItem& item = *fColorMap.GetItems()[index];
            if (fCounts[index] > 0 && !item.Ranges.empty() && fRegions->HasPlace(index)) order.push_back(index);
        }
        const auto extent = [this](int aIndex) {
            const TRange& range = fColorMap.GetItems()[aIndex]->Ranges.front();
            return static_cast<long>(range.Right - range.Left + 1) * (range.Bottom - range.Top + 1);
        };
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return extent(a) < extent(b); });
        for (int index : order) DrawCount(painter, *fColorMap.GetItems()[index], fCounts[index], fLabelRects);
    }
    Paint();
}

namespace {

// The least move of aBox (none first, then farther and farther round it) that keeps it off
// every box in aTaken and inside aBounds; none when there is no such place near.
QPoint FreeShift(const QRect& aBox, const std::vector<QRect>& aTaken, const QRect& aBounds) {
    const auto fits = [&](const QPoint& aShift) {
        const QRect moved = aBox.translated(aShift);
        if (!aBounds.contains(moved)) return false;
        return std::none_of(aTaken.begin(), aTaken.end(), [&](const QRect& aOther) { return aOther.intersects(moved); });
    };
    if (fits({0, 0})) return {0, 0};
    constexpr int cStep = 3;
    constexpr int cFarthest = 150;
    constexpr int cDirections = 16;
    for (int distance = cStep; distance <= cFarthest; distance += cStep)
        for (int direction = 0; direction < cDirections; ++direction) {
            const double angle = 2 * M_PI * direction / cDirections;
            const QPoint shift(static_cast<int>(std::lround(distance * std::sin(angle))),
                               static_cast<int>(std::lround(distance * std::cos(angle))));
            if (fits(shift)) return shift;
        }
    return {0, 0};
}

}  // namespace

void TMap::DrawCount(QPainter& aPainter, const TColorMapItem& aItem, int aCount, std::vector<QRect>& aTaken) const {
    const TRange& first = aItem.Ranges.front();
    QPoint at(first.Left + (first.Right - first.Left) / 2, first.Top + (first.Bottom - first.Top) / 2);
    const QString text = " " + QString::number(aCount) + " ";
    const QSize textSize(aPainter.fontMetrics().horizontalAdvance(text), aPainter.fontMetrics().height());
    QRect box(at, textSize);
    if (!fFlagBitmap.isNull()) box = box.united(QRect(at - QPoint(0, fFlagBitmap.height()), fFlagBitmap.size()));
    const QPoint shift = FreeShift(box, aTaken, fResultsLayer.rect());
    at += shift;
    aTaken.push_back(box.translated(shift));
    const QRect placed(at, textSize);
    aPainter.fillRect(placed, QGuiApplication::palette().color(QPalette::ToolTipBase));
    aPainter.setPen(QGuiApplication::palette().color(QPalette::ToolTipText));
    aPainter.drawText(placed, Qt::AlignLeft | Qt::AlignTop, text);
    if (!fFlagBitmap.isNull()) aPainter.drawImage(at - QPoint(0, fFlagBitmap.height()), fFlagBitmap);
}

const QImage& TMap::Compose() {
    if (fBackBuf.isNull()) return fBackBuf;
    QPainter painter(&fBackBuf);
    painter.drawImage(0, 0, fVisibleLayer);
    painter.drawImage(0, 0, fHighlightLayer);
    painter.drawImage(0, 0, fSelectionLayer);
    painter.drawImage(0, 0, fResultsLayer);
    return fBackBuf;
}

void TMap::Render(QPainter& aCanvas) { aCanvas.drawImage(0, 0, Compose()); }

void TMap::Paint() {
    if (OnPaint) OnPaint(*this);
}

void TMap::CursorChanged(Qt::CursorShape aCursor) {
    if (OnCursorChanged) OnCursorChanged(aCursor);
}

void TMap::Hint(const std::string& aText) {
    if (OnHint) OnHint(aText);
}

}  // namespace trawlix
