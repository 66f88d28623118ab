#include "ui/form_timeline.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QCheckBox>
#include <QGraphicsItem>
#include <QGraphicsLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QRubberBand>
#include <QToolButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "engine/critical_section.h"
#include "model/filter.h"
#include "model/search.h"

namespace trawlix {

namespace {

const QColor cBarColour(140, 181, 225);
const QColor cGradientBottom(166, 202, 240);
// How far the bars reach back: as deep as a tenth of the plot's height, but never deeper
// than a bar is wide, so that crowded bars stay boxes.
constexpr double cDepthShare = 0.10;
constexpr double cDepthPerBarWidth = 0.8;
// The eye looks from a little right of the middle (a rotation of about 10°) and from above:
// a bar's depth runs up and toward the eye's side, more so the farther the bar stands from it.
constexpr double cEyeRotationDegrees = 10.0;
constexpr double cRise = 0.6;

// About this many steps from 0 to the top of the value axis.
constexpr double cValueTicks = 4;

// The step of 1, 2 or 5 times a power of ten at or above aRough; never below 1.
double WholeTickStep(double aRough) {
    if (aRough <= 1) return 1;
    const double power = std::pow(10, std::floor(std::log10(aRough)));
    for (const double multiple : {1.0, 2.0, 5.0})
        if (multiple * power >= aRough) return multiple * power;
    return 10 * power;
}

// The chart's zoom cursor: a magnifier whose glass centre is the hot spot.
QCursor ZoomCursor() {
    QPixmap picture(22, 22);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 4));
    painter.drawEllipse(QPointF(7, 7), 5.5, 5.5);
    painter.drawLine(QPointF(11, 11), QPointF(20, 20));
    painter.setPen(QPen(Qt::black, 2));
    painter.drawEllipse(QPointF(7, 7), 5.5, 5.5);
    painter.drawLine(QPointF(11, 11), QPointF(20, 20));
    painter.setPen(QPen(Qt::black, 1.5));
    painter.drawLine(QPointF(4.5, 7), QPointF(9.5, 7));
    painter.drawLine(QPointF(7, 4.5), QPointF(7, 9.5));
    painter.end();
    return QCursor(picture, 7, 7);
}

// Where a point lies on the back of the chart: up by the rise, sideways toward the eye.
QPointF Back(const QPointF& aPoint, double aDepth, double aEyeX, double aHalfWidth) {
    const double toward = std::clamp((aEyeX - aPoint.x()) / aHalfWidth, -1.0, 1.0);
    return aPoint + QPointF(aDepth * (0.4 + 0.6 * toward), -aDepth * cRise);
}

}  // namespace

// The drawn depth of the perspective view. Qt Charts draws flat bars; the plane item lies
// under them (the floor and the back wall), the faces item over them (each bar's top and
// the side that faces the eye), both in one-point perspective toward the eye's vanishing point.
class TTimelineDepthItem : public QGraphicsItem {
public:
    enum TKind { dkPlane, dkFaces };

    TTimelineDepthItem(TKind aKind, QChart* aChart, QBarSeries* aSeries, QBarSet* const& aSet,
                       std::function<std::pair<int, int>()> aVisible)
        : QGraphicsItem(aChart), fKind(aKind), fChart(aChart), fSeries(aSeries), fSet(aSet),
          fVisible(std::move(aVisible)) {
        // Above the plot's background, under the bars; or over the bars, under the title.
        setZValue(aKind == dkPlane ? 1.5 : 20);
        setVisible(false);
    }

    QRectF boundingRect() const override { return fChart->plotArea(); }

    void paint(QPainter* aPainter, const QStyleOptionGraphicsItem*, QWidget*) override {
        const QRectF plot = fChart->plotArea();
        if (plot.isEmpty()) return;
        const double depth = cDepthShare * plot.height();
        aPainter->setClipRect(plot.adjusted(-depth, -depth, depth, 0));
        aPainter->setRenderHint(QPainter::Antialiasing);
        const double eyeX = plot.center().x() + plot.width() / 2 * std::sin(cEyeRotationDegrees * M_PI / 180.0);
        if (fKind == dkPlane)
            PaintPlane(*aPainter, plot, depth, eyeX);
        else
            PaintFaces(*aPainter, plot, depth, eyeX);
    }

private:
    // The floor the bars stand on, slanting back from the axis.
    void PaintPlane(QPainter& aPainter, const QRectF& aPlot, double aDepth, double aEyeX) const {
        const double half = aPlot.width() / 2;
        const QPointF left = aPlot.bottomLeft();
        const QPointF right = aPlot.bottomRight();
        aPainter.setPen(QPen(QColor(120, 140, 170), 1));
        aPainter.setBrush(QColor(215, 225, 240));
        aPainter.drawPolygon(QPolygonF({left, right, Back(right, aDepth, aEyeX, half), Back(left, aDepth, aEyeX, half)}));
    }

    void PaintFaces(QPainter& aPainter, const QRectF& aPlot, double aPlotDepth, double aEyeX) const {
        if (!fSet) return;
        const auto [first, last] = fVisible();
        const double halfWidth = fSeries->barWidth() / 2;
        const double half = aPlot.width() / 2;
        aPainter.setPen(QPen(cBarColour.darker(150), 0.8));
        for (int bar = first; bar <= last && bar < fSet->count(); ++bar) {
            const double value = fSet->at(bar);
            if (value <= 0) continue;
            const QPointF topLeft = fChart->mapToPosition(QPointF(bar - halfWidth, value), fSeries);
            const QPointF bottomRight = fChart->mapToPosition(QPointF(bar + halfWidth, 0), fSeries);
            const QPointF topRight(bottomRight.x(), topLeft.y());
            const QPointF bottomLeft(topLeft.x(), bottomRight.y());
            const double depth = std::min(aPlotDepth, cDepthPerBarWidth * (bottomRight.x() - topLeft.x()));
            const auto back = [&](const QPointF& aPoint) { return Back(aPoint, depth, aEyeX, half); };
            // The eye sees the side of a bar that lies toward it.
            const bool rightSide = back(topRight).x() > topRight.x();
            const QPointF sideTop = rightSide ? topRight : topLeft;
            const QPointF sideBottom = rightSide ? bottomRight : bottomLeft;
            aPainter.setBrush(cBarColour.darker(125));
            aPainter.drawPolygon(QPolygonF({sideTop, sideBottom, back(sideBottom), back(sideTop)}));
            aPainter.setBrush(cBarColour.lighter(112));
            aPainter.drawPolygon(QPolygonF({topLeft, topRight, back(topRight), back(topLeft)}));
        }
    }

    TKind fKind;
    QChart* fChart;
    QBarSeries* fSeries;
    QBarSet* const& fSet;
    std::function<std::pair<int, int>()> fVisible;
};

// --- the chart's view ----------------------------------------------------------------------

TTimelineChartView::TTimelineChartView(QChart* aChart, QWidget* aParent)
    : QChartView(aChart, aParent), fRubberBand(new QRubberBand(QRubberBand::Rectangle, this)) {
    setRubberBand(QChartView::NoRubberBand);
}

void TTimelineChartView::mousePressEvent(QMouseEvent* aEvent) {
    if (aEvent->button() == Qt::LeftButton) {
        fDragOrigin = aEvent->position().toPoint().x();
        const QRectF plot = chart()->plotArea();
        fRubberBand->setGeometry(QRect(*fDragOrigin, static_cast<int>(plot.top()), 0, static_cast<int>(plot.height())));
        fRubberBand->show();
        aEvent->accept();
        return;
    }
    QChartView::mousePressEvent(aEvent);
}

void TTimelineChartView::mouseMoveEvent(QMouseEvent* aEvent) {
    if (fDragOrigin) {
        const int x = aEvent->position().toPoint().x();
        const QRectF plot = chart()->plotArea();
        fRubberBand->setGeometry(QRect(std::min(*fDragOrigin, x), static_cast<int>(plot.top()),
                                       std::abs(x - *fDragOrigin), static_cast<int>(plot.height())));
        aEvent->accept();
        return;
    }
    QChartView::mouseMoveEvent(aEvent);
}

void TTimelineChartView::mouseReleaseEvent(QMouseEvent* aEvent) {
    if (aEvent->button() == Qt::RightButton) {
        if (OnZoomOut) OnZoomOut();
        aEvent->accept();
        return;
    }
    if (!fDragOrigin || aEvent->button() != Qt::LeftButton) {
        QChartView::mouseReleaseEvent(aEvent);
        return;
    }
    const int origin = *fDragOrigin;
    const int x = aEvent->position().toPoint().x();
    fDragOrigin.reset();
    fRubberBand->hide();
    aEvent->accept();
    if (std::abs(x - origin) < cClickSlack) {
        if (OnClickZoom) OnClickZoom(x);
    } else if (OnDragZoom) {
        OnDragZoom(origin, x);
    }
}

// --- the window ----------------------------------------------------------------------------

TformTimeline::TformTimeline(QWidget* aParent) : QWidget(aParent) {
    setObjectName("formTimeline");
    setWindowTitle("Timeline preview");
    BuildChart();
    BuildControls();
    hide();
}

TformTimeline::~TformTimeline() = default;

void TformTimeline::BuildChart() {
    chartTimeline = new QChart;
    chartTimeline->setTitle("Results vs Time");
    QLinearGradient background(0, 0, 0, 1);
    background.setCoordinateMode(QGradient::ObjectBoundingMode);
    background.setColorAt(0, Qt::white);
    background.setColorAt(1, cGradientBottom);
    chartTimeline->setBackgroundBrush(background);
    chartTimeline->setBackgroundRoundness(0);
    chartTimeline->legend()->hide();
    // Animations would replay on every refresh while a search runs.
    chartTimeline->setAnimationOptions(QChart::NoAnimation);

    seriesResults = new QBarSeries;
    seriesResults->setBarWidth(0.7);
    Series1 = nullptr;
    chartTimeline->addSeries(seriesResults);
    fAxisX = new QBarCategoryAxis;
    fAxisX->setLabelsAngle(-90);
    fAxisY = new QValueAxis;
    fAxisY->setLabelFormat("%d");
    // Ticks at whole steps from 0: a count has no fractions, and "%d" would print the ticks
    // of 0 to 1 (0.25, 0.5, ...) as "0" three times.
    fAxisY->setTickType(QValueAxis::TicksDynamic);
    fAxisY->setTickAnchor(0);
    fAxisY->setTickInterval(1);
    fAxisY->setRange(0, 1);
    chartTimeline->addAxis(fAxisX, Qt::AlignBottom);
    chartTimeline->addAxis(fAxisY, Qt::AlignLeft);
    seriesResults->attachAxis(fAxisX);
    seriesResults->attachAxis(fAxisY);

    const auto visible = [this] { return VisibleBars(); };
    fPlane = new TTimelineDepthItem(TTimelineDepthItem::dkPlane, chartTimeline, seriesResults, Series1, visible);
    fFaces = new TTimelineDepthItem(TTimelineDepthItem::dkFaces, chartTimeline, seriesResults, Series1, visible);
    connect(chartTimeline, &QChart::plotAreaChanged, this, [this] {
        UpdateLabels();
        UpdateDepth();
    });

    viewTimeline = new TTimelineChartView(chartTimeline, this);
    viewTimeline->setObjectName("chartTimeline");
    viewTimeline->setCursor(ZoomCursor());
    viewTimeline->OnDragZoom = [this](int aFromX, int aToX) { ZoomToBars(BarAtX(aFromX), BarAtX(aToX)); };
    viewTimeline->OnClickZoom = [this](int aX) { ClickZoom(aX); };
    viewTimeline->OnZoomOut = [this] { ZoomOut(); };
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(viewTimeline);
}

void TformTimeline::BuildControls() {
    cb3DView = new QCheckBox("Perspective View", viewTimeline);
    cb3DView->setObjectName("cb3DView");
    cb3DView->move(4, 4);
    cb3DView->adjustSize();
    connect(cb3DView, &QCheckBox::toggled, this, &TformTimeline::SetPerspective);
    Button2 = new QToolButton(viewTimeline);
    Button2->setObjectName("Button2");
    Button2->setToolTip("Zoom out");
    Button2->setIcon(QIcon(":/pictures/zoom_out.svg"));
    Button2->setIconSize(QSize(22, 22));
    // Both on one row above the chart's title and plot, where they cover no axis label.
    const int rowHeight = std::max(cb3DView->height(), 28);
    cb3DView->move(4, 4 + (rowHeight - cb3DView->height()) / 2);
    Button2->setGeometry(cb3DView->geometry().right() + 8, 4, 28, 28);
    QMargins margins = chartTimeline->margins();
    margins.setTop(std::max(margins.top(), 4 + rowHeight + 2));
    chartTimeline->setMargins(margins);
    connect(Button2, &QToolButton::clicked, this, &TformTimeline::ZoomOut);
}

bool TformTimeline::Execute(TSearch* aSearch, QWidget* aParent) {
    if (!isHidden()) return false;
    // Opened again, the chart shows all its days.
    fZoom.reset();
    ApplyZoom();
    if (aParent && parentWidget() != aParent) setParent(aParent);
    if (aParent && !aParent->layout()) {
        auto* layout = new QVBoxLayout(aParent);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    if (aParent && aParent->layout()->indexOf(this) < 0) aParent->layout()->addWidget(this);
    fSearch = aSearch;
    RefreshResults();
    show();
    return true;
}

int TformTimeline::RefreshResults() {
    if (!fSearch) {
        SetBars({});
        return cEmptyRefreshMs;
    }
    TTimelineBars bars;
    int shown = 0;
    {
        // The search's lock before its filter's: the order its running threads take them in.
        TCLock searchLock(fSearch->GetCriticalSection());
        TFilter& filter = fSearch->GetFilter();
        TCLock filterLock(filter.GetCriticalSection());
        bars = CountResultsPerDay(filter.GetResults(), LocalToday());
        shown = static_cast<int>(filter.GetResults().size());
    }
    SetBars(bars);
    return shown > 0 ? shown : cEmptyRefreshMs;
}

void TformTimeline::SetResults(const TEntryList& aResults) { SetBars(CountResultsPerDay(aResults, LocalToday())); }

void TformTimeline::SetBars(const TTimelineBars& aBars) {
    // Small lists are recounted every few milliseconds: an unchanged count repaints nothing.
    if (aBars == fBars && (Series1 || aBars.empty())) return;
    const bool sameDays = Series1 && aBars.size() == fBars.size() &&
                          std::equal(aBars.begin(), aBars.end(), fBars.begin(),
                                     [](const auto& aLeft, const auto& aRight) { return aLeft.fLabel == aRight.fLabel; });
    if (sameDays) {
        UpdateCounts(aBars);
        fBars = aBars;
    } else {
        ReplaceBars(aBars);
    }
    UpdateValueAxis();
    UpdateLabels();
    UpdateDepth();
}

// While a search runs most refreshes only raise a few bars: those change in place, since
// rebuilding the whole series costs far more than the counting.
void TformTimeline::UpdateCounts(const TTimelineBars& aBars) {
    for (size_t bar = 0; bar < aBars.size(); ++bar)
        if (aBars[bar].fCount != fBars[bar].fCount) Series1->replace(static_cast<int>(bar), aBars[bar].fCount);
}

void TformTimeline::ReplaceBars(const TTimelineBars& aBars) {
    // A zoom keeps its days when they are still charted.
    std::optional<std::pair<QString, QString>> zoomedDays;
    if (fZoom) zoomedDays = {QString::fromStdString(fBars[fZoom->first].fLabel),
                             QString::fromStdString(fBars[fZoom->second].fLabel)};
    if (Series1) seriesResults->remove(Series1);  // frees it
    Series1 = nullptr;
    QStringList labels;
    QList<qreal> counts;
    labels.reserve(static_cast<int>(aBars.size()));
    counts.reserve(static_cast<int>(aBars.size()));
    for (const auto& bar : aBars) {
        labels << QString::fromStdString(bar.fLabel);
        counts << bar.fCount;
    }
    fBars = aBars;
    fAxisX->setCategories(labels);
    fZoom.reset();
    if (zoomedDays) {
        const qsizetype first = labels.indexOf(zoomedDays->first);
        const qsizetype last = labels.indexOf(zoomedDays->second);
        if (first >= 0 && last >= 0) fZoom = {static_cast<int>(first), static_cast<int>(last)};
    }
    if (aBars.empty()) return;
    Series1 = new QBarSet("Results");
    Series1->setColor(cBarColour);
    Series1->setBorderColor(cBarColour.darker(130));
    Series1->append(counts);
    seriesResults->append(Series1);
    seriesResults->setLabelsVisible(false);
    ApplyZoom();
}

void TformTimeline::UpdateValueAxis() {
    int highest = 0;
    for (const auto& bar : fBars) highest = std::max(highest, bar.fCount);
    // Headroom above the highest bar, for its top face in the perspective view. Only a change
    // is passed on: each one lays the whole chart out again.
    const double top = std::max(highest * 1.1, 1.0);
    if (top <= fAxisY->max() && top > fAxisY->max() / 2) return;
    const double step = WholeTickStep(top / cValueTicks);
    fAxisY->setTickInterval(step);
    fAxisY->setRange(0, std::ceil(top / step) * step);
    // The axis keeps the width its old labels needed until the chart is laid out again, and
    // cuts wider numbers to "...": the layout is redone for the new labels.
    chartTimeline->layout()->invalidate();
}

std::pair<int, int> TformTimeline::VisibleBars() const {
    if (fBars.empty()) return {0, -1};
    return fZoom.value_or(std::pair{0, static_cast<int>(fBars.size()) - 1});
}

void TformTimeline::ZoomToBars(int aFirst, int aLast) {
    if (fBars.empty()) return;
    const int lastBar = static_cast<int>(fBars.size()) - 1;
    const int first = std::clamp(std::min(aFirst, aLast), 0, lastBar);
    const int last = std::clamp(std::max(aFirst, aLast), 0, lastBar);
    if (first == 0 && last == lastBar)
        fZoom.reset();
    else
        fZoom = {first, last};
    ApplyZoom();
}

void TformTimeline::ZoomOut() {
    if (!fZoom) return;
    const auto [first, last] = *fZoom;
    const int span = last - first + 1;
    const int bars = static_cast<int>(fBars.size());
    const int wider = std::min(bars, 2 * span);
    // Near either end the wider view slides inward rather than showing fewer days.
    const int from = std::clamp(first - (wider - span) / 2, 0, bars - wider);
    ZoomToBars(from, from + wider - 1);
}

// A click shows half as many days, centred on the day clicked.
void TformTimeline::ClickZoom(int aX) {
    if (fBars.empty()) return;
    const auto [first, last] = VisibleBars();
    const int half = std::max(1, (last - first + 1) / 2);
    const int centre = BarAtX(aX);
    int from = centre - half / 2;
    from = std::clamp(from, first, std::max(first, last - half + 1));
    ZoomToBars(from, from + half - 1);
}

int TformTimeline::BarAtX(int aX) const {
    const QPointF inChart = viewTimeline->mapToScene(QPoint(aX, 0));
    const QPointF value = chartTimeline->mapToValue(chartTimeline->mapFromScene(inChart), seriesResults);
    return static_cast<int>(std::lround(value.x()));
}

void TformTimeline::ApplyZoom() {
    if (fBars.empty()) return;
    const auto [first, last] = VisibleBars();
    fAxisX->setRange(QString::fromStdString(fBars[first].fLabel), QString::fromStdString(fBars[last].fLabel));
    UpdateLabels();
    UpdateDepth();
}

// Day labels only where they can be read; otherwise the axis names the days it spans.
void TformTimeline::UpdateLabels() {
    const auto [first, last] = VisibleBars();
    const int shown = last - first + 1;
    const bool readable = shown > 0 && shown * cPixelsPerLabel <= chartTimeline->plotArea().width();
    const QString title = readable || shown <= 0
                              ? QString()
                              : QString::fromStdString(fBars[first].fLabel + " to " + fBars[last].fLabel);
    if (fAxisX->labelsVisible() != readable) fAxisX->setLabelsVisible(readable);
    if (fAxisX->titleText() != title) fAxisX->setTitleText(title);
}

void TformTimeline::UpdateDepth() {
    fPlane->update();
    fFaces->update();
}

void TformTimeline::SetPerspective(bool aOn) {
    // Flat bars are upright rectangles; only the slanted faces need smoothing, which costs
    // a third of each repaint.
    viewTimeline->setRenderHint(QPainter::Antialiasing, aOn);
    fPlane->setVisible(aOn);
    fFaces->setVisible(aOn);
    UpdateDepth();
}

QImage TformTimeline::Picture() {
    QImage picture(viewTimeline->size(), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    viewTimeline->render(&painter);
    return picture;
}

}  // namespace trawlix
