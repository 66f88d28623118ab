#include "ui/timeline_preview.h"

#include <QTabWidget>

#include "ui/form_timeline.h"

namespace trawlix {

TTimelinePreview::TTimelinePreview(QTabWidget* aPane, std::function<TSearch*()> aCurrentSearch)
    : fPane(aPane), fCurrentSearch(std::move(aCurrentSearch)) {
    tsTimelinePreview = new QWidget(aPane);
    tsTimelinePreview->setObjectName("tsTimelinePreview");
    formTimeline = new TformTimeline(tsTimelinePreview);
    fPane->addTab(tsTimelinePreview, "Timeline Preview");
    fPageChanged =
        QObject::connect(fPane, &QTabWidget::currentChanged, tsTimelinePreview, [this] { OnPageChanged(); });
}

// The pane outlives this object while the window is taken down, and its pages going away
// change its current page.
TTimelinePreview::~TTimelinePreview() { QObject::disconnect(fPageChanged); }

bool TTimelinePreview::IsActive() const { return fPane->currentWidget() == tsTimelinePreview; }

void TTimelinePreview::OnPageChanged() {
    formTimeline->hide();
    if (IsActive()) formTimeline->Execute(fCurrentSearch(), tsTimelinePreview);
}

int TTimelinePreview::Refresh() {
    if (!IsActive()) return TformTimeline::cEmptyRefreshMs;
    // The chart never reads a search that is no longer the one in front: a closed tab
    // frees its search.
    if (TSearch* current = fCurrentSearch(); current != formTimeline->Search()) {
        formTimeline->hide();
        formTimeline->Execute(current, tsTimelinePreview);
    }
    return formTimeline->RefreshResults();
}

void TTimelinePreview::ResetForTab() {
    if (IsActive()) fPane->setCurrentIndex(0);
}

}  // namespace trawlix
