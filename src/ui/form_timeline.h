#pragma once

#include <QChartView>
#include <QWidget>

#include <functional>
#include <optional>

#include "model/timeline_bars.h"

class QBarCategoryAxis;
class QBarSeries;
class QBarSet;
class QChart;
class QCheckBox;
class QRubberBand;
class QToolButton;
class QValueAxis;

namespace trawlix {

class TSearch;
class TTimelineDepthItem;

// The chart's view: a drag across it zooms into the days dragged over, a click zooms in
// about the click, the right button zooms out. The window decides what each means.
class TTimelineChartView : public QChartView {
    Q_OBJECT
public:
    // Shorter drags than this many pixels count as clicks.
    static constexpr int cClickSlack = 4;

    explicit TTimelineChartView(QChart* aChart, QWidget* aParent = nullptr);

    std::function<void(int aFromX, int aToX)> OnDragZoom;
    std::function<void(int aX)> OnClickZoom;
    std::function<void()> OnZoomOut;

protected:
    void mousePressEvent(QMouseEvent* aEvent) override;
    void mouseMoveEvent(QMouseEvent* aEvent) override;
    void mouseReleaseEvent(QMouseEvent* aEvent) override;

private:
    QRubberBand* fRubberBand;
    std::optional<int> fDragOrigin;
};

// The timeline (tab "Timeline Preview"): a bar per calendar day of the results that the
// search's list shows, rebuilt while the tab is in front.
class TformTimeline : public QWidget {
    Q_OBJECT
public:
    static constexpr int cEmptyRefreshMs = 1000;
    // Below this many pixels per bar the day labels would run into each other.
    static constexpr int cPixelsPerLabel = 14;

    explicit TformTimeline(QWidget* aParent = nullptr);
    ~TformTimeline() override;

    // Embeds the window in aParent and charts aSearch; false, doing nothing, when already shown.
    bool Execute(TSearch* aSearch, QWidget* aParent);
    // Rebuilds the bars from the search's filtered results; returns the next refresh
    // interval in milliseconds (one per result shown, a second when there are none).
    int RefreshResults();
    void SetResults(const TEntryList& aResults);
    void SetBars(const TTimelineBars& aBars);

    // Shows the bars from aFirst to aLast (indexes, either order), clamped to the bars there are.
    void ZoomToBars(int aFirst, int aLast);
    // Twice as many days around the same middle; back to all of them when they fit.
    void ZoomOut();
    bool IsZoomed() const { return fZoom.has_value(); }
    // The indexes of the first and the last bar in view.
    std::pair<int, int> VisibleBars() const;

    const TTimelineBars& Bars() const { return fBars; }
    TSearch* Search() const { return fSearch; }
    // The picture the chart shows now, at its own size.
    QImage Picture();

    // Controls, named as the window's parts.
    QChart* chartTimeline;
    TTimelineChartView* viewTimeline;
    QBarSeries* seriesResults;
    QBarSet* Series1;
    QCheckBox* cb3DView;
    QToolButton* Button2;

private:
    void BuildChart();
    void BuildControls();
    void ReplaceBars(const TTimelineBars& aBars);
    void UpdateCounts(const TTimelineBars& aBars);
    void UpdateValueAxis();
    void ApplyZoom();
    void UpdateLabels();
    void UpdateDepth();
    int BarAtX(int aX) const;
    void ClickZoom(int aX);
    void SetPerspective(bool aOn);

    TSearch* fSearch = nullptr;
    TTimelineBars fBars;
    std::optional<std::pair<int, int>> fZoom;
    QBarCategoryAxis* fAxisX;
    QValueAxis* fAxisY;
    TTimelineDepthItem* fPlane;
    TTimelineDepthItem* fFaces;
};

}  // namespace trawlix
