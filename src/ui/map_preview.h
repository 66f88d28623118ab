#pragma once

// The main window's side of the map: the free "Map overlay of results" window opened by
// the toolbar button, the menu item and the label, or when a search ends with "Show map on
// finish"; and the "Map Preview" tab of the preview pane, which holds the map of the
// current search and recounts it on the timer while the tab is chosen.

#include <QObject>
#include <functional>
#include <memory>

class QAction;
class QBoxLayout;
class QLabel;
class QMenu;
class QTabWidget;
class QTimer;
class QWidget;

namespace trawlix {

class TformMap;
class TPlaces;
class TSearch;

struct TMapPreviewContext {
    std::function<const TPlaces*()> places;
    QWidget* window = nullptr;
    QTabWidget* previewPane = nullptr;  // gets the "Map Preview" tab
    QAction* actMap = nullptr;          // "Show map preview" of the toolbar
    std::function<TSearch*()> currentSearch;
};

class TMapPreview : public QObject {
    Q_OBJECT
public:
    explicit TMapPreview(const TMapPreviewContext& aContext);
    ~TMapPreview() override;

    // "Show Map Preview" at the end of aMenu, the label "Show map overlay" at the end of aRow.
    void Install(QMenu& aMenu, QBoxLayout& aRow);
    // The free window on the current search; nothing when it is already open.
    void ShowMap();
    // A search the user started has ended: the map opens when asked for.
    void SearchFinished(TSearch& aSearch, bool aShowMapOnFinish);
    // Another tab was chosen: the embedded map counts its search.
    void CurrentSearchChanged();
    // A search is about to be freed: the map lets it go.
    void ForgetSearch(const TSearch* aSearch);

    TformMap* Form() const { return fForm.get(); }
    QWidget* tsMapPreview;
    QTimer* timerRefreshPreviews;
    QAction* miShowMapPreview = nullptr;
    QLabel* lblShowMapOverlay = nullptr;

private:
    void PreviewTabChanged();
    void Refresh();

    TMapPreviewContext fContext;
    std::unique_ptr<TformMap> fForm;
};

}  // namespace trawlix
