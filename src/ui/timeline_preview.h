#pragma once

#include <QMetaObject>

#include <functional>

class QTabWidget;
class QWidget;

namespace trawlix {

class TSearch;
class TformTimeline;

// The preview pane's "Timeline Preview" page: choosing it opens the timeline on the
// current search, choosing another page closes it. The main window's preview timer calls
// Refresh while the page is in front.
class TTimelinePreview {
public:
    TTimelinePreview(QTabWidget* aPane, std::function<TSearch*()> aCurrentSearch);
    ~TTimelinePreview();
    TTimelinePreview(const TTimelinePreview&) = delete;
    TTimelinePreview& operator=(const TTimelinePreview&) = delete;

    // The page is the pane's current one.
    bool IsActive() const;
    // Rebuilds the bars from the current search; the next refresh interval in milliseconds.
    int Refresh();
    // Another search is shown: the pane goes back to its first page, closing the timeline.
    void ResetForTab();

    QWidget* tsTimelinePreview;
    TformTimeline* formTimeline;

private:
    void OnPageChanged();

    QTabWidget* fPane;
    std::function<TSearch*()> fCurrentSearch;
    QMetaObject::Connection fPageChanged;
};

}  // namespace trawlix
