#pragma once

// The map of the map view, drawn on pictures without any window: the visible picture, the
// region picture that tells which region a point lies in, and the layers drawn over them
// (the hovered region, the selected regions, the result counts with their flags). The
// map window and trawlix-cli's map command both draw through it.

#include <QImage>
#include <QPainter>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "model/entry.h"
#include "model/map_file.h"

namespace trawlix {

class TPlaces;
class TMapRegions;

enum TMapMode { mmSelect = 0, mmResults = 1 };

inline constexpr QRgb cHighlightedColor = 0xFFFFFF00;  // RGB(255, 255, 0)
inline constexpr QRgb cSelectedColor = 0xFFFF0000;     // RGB(255, 0, 0)

// The flag drawn above each count.
QImage GreenFlagPicture();

class TMap {
public:
    using TOnCursorChanged = std::function<void(Qt::CursorShape)>;
    using TOnHint = std::function<void(const std::string&)>;
    using TOnMapChanged = std::function<void(const std::string&)>;
    using TOnPaint = std::function<void(TMap&)>;

    // aPlaces finds the places of the regions for counting; without it nothing is counted.
    TMap(TMapMode aMode, const TPlaces* aPlaces);
    ~TMap();
    TMap(const TMap&) = delete;
    TMap& operator=(const TMap&) = delete;

    // Reads a map file and prepares the layers; raises EMapFileError naming the file.
    void LoadFromFile(const std::filesystem::path& aFileName);

    // Hit test and highlight at a point of the map.
    void OnMouseMove(int aX, int aY);
    // Selects or deselects the hovered region.
    void ToggleSelect();
    // Ask the host to load the hovered (or the given) region's map, or the parent map;
    // true when it was asked.
    bool ZoomIn();
    bool ZoomIn(const TColorMapItem* aItem);
    bool ZoomOut();
    // Whether ZoomIn(aItem) would load a map: the item names one and its file exists.
    bool CanZoomIn(const TColorMapItem* aItem) const;

    // Draws the counts of aResults (results mode only).
    void SetResults(const TEntryList& aResults);
    // Composes the layers and draws them at (0, 0).
    void Render(QPainter& aCanvas);
    // The composed picture.
    const QImage& Compose();

    TMapMode GetMode() const { return fMode; }
    const QImage& GetVisibleLayer() const { return fVisibleLayer; }
    const QImage& GetAlphaLayer() const { return fAlphaLayer; }
    const QImage& GetHighlightLayer() const { return fHighlightLayer; }
    const QImage& GetSelectionLayer() const { return fSelectionLayer; }
    const QImage& GetResultsLayer() const { return fResultsLayer; }
    const std::string& GetProperties() const { return fProps; }
    const std::string& GetParentMap() const { return fParentMap; }
    const std::filesystem::path& GetFileName() const { return fFileName; }
    const TColorMap& GetColorMap() const { return fColorMap; }
    int GetHighlightedColor() const { return fHighlightedColor; }
    TColorMapItem* GetHighlightedItem() const;
    const std::vector<TColorMapItem*>& GetSelectedItems() const { return fSelectedItems; }
    TColorMapItem* GetLatestSelectedItem() const { return fLatestSelected; }
    // The counts drawn by the last SetResults, one per colour-table item.
    const std::vector<int>& GetCounts() const { return fCounts; }
    // Where the last SetResults drew each count with its flag; no two overlap where the map
    // leaves room (small neighbouring states: New England).
    const std::vector<QRect>& GetLabelRects() const { return fLabelRects; }
    QSize GetSize() const { return fVisibleLayer.size(); }

    void SetFlagBitmap(const QImage& aFlag) { fFlagBitmap = aFlag; }

    TOnCursorChanged OnCursorChanged;
    TOnHint OnHint;
    TOnMapChanged OnMapChanged;
    TOnPaint OnPaint;

private:
    int ColorAt(int aX, int aY) const;
    void PaintRegion(QImage& aLayer, const TColorMapItem& aItem, QRgb aPaint) const;
    void PaintSelection();
    void DeselectAll();
    // Draws the count at the region's centre, or moved off the labels in aTaken; adds its box.
    void DrawCount(QPainter& aPainter, const TColorMapItem& aItem, int aCount, std::vector<QRect>& aTaken) const;
    void Paint();
    void CursorChanged(Qt::CursorShape aCursor);
    void Hint(const std::string& aText);

    TMapMode fMode;
    const TPlaces* fPlaces;
    QImage fVisibleLayer;
    QImage fAlphaLayer;
    std::string fProps;
    QImage fHighlightLayer;
    QImage fSelectionLayer;
    QImage fResultsLayer;
    QImage fBackBuf;
    std::string fParentMap;
    std::filesystem::path fFileName;
    TColorMap fColorMap;
    std::unique_ptr<TMapRegions> fRegions;
    int fHighlightedColor = 0;
    std::vector<TColorMapItem*> fSelectedItems;
    TColorMapItem* fLatestSelected = nullptr;
    std::vector<int> fCounts;
    std::vector<QRect> fLabelRects;
    QImage fFlagBitmap;
};

}  // namespace trawlix
