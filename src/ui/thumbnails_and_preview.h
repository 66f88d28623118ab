#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>

#include "model/entry.h"

class QCheckBox;
class QTabWidget;
class QTableView;
class QVBoxLayout;

namespace trawlix {

class TResultsList;
class TResultsModel;
class TSearch;
class TSession;
class TThumbnailDownloads;
class TThumbnailView;
class TWebPreview;

// What the grid and the preview work with; all of it belongs to the main window.
struct TThumbnailsAndPreviewContext {
    TSession* session = nullptr;
    QTableView* list = nullptr;
    TResultsModel* model = nullptr;
    TResultsList* resultsList = nullptr;
    QTabWidget* previewPane = nullptr;
    std::function<TSearch*()> currentSearch;
    std::function<bool()> exiting;
};

// The thumbnail grid beside the results list, the switch between them, and the web preview
// of the selected ad. The grid's selection is mirrored into the (hidden) list, so that
// everything acting on the list's selection acts on the grid's as well.
class TThumbnailsAndPreview : public QObject {
    Q_OBJECT
public:
    explicit TThumbnailsAndPreview(const TThumbnailsAndPreviewContext& aContext);
    ~TThumbnailsAndPreview() override;

    // Puts the grid under the list, the switch beside "Show favorites", and the preview
    // into the first tab of the preview pane; the view mode comes from the settings.
    void Install(QVBoxLayout& aResultsLayout);
    // A tab was selected: the preview shows the blank page.
    void ResetForTab();
    // cbViewAsThumbnails: stores the choice and shows the chosen view.
    void SetViewAsThumbnails(bool aThumbnails);

    TThumbnailView* rkvThumbnailedResults = nullptr;
    QCheckBox* cbViewAsThumbnails = nullptr;
    TWebPreview* wbPreview = nullptr;

private:
    void CreateGrid(QVBoxLayout& aResultsLayout);
    void CreatePreview();
    void MirrorGridSelection();
    bool CanPaint() const;
    void FoldByPicture(const IEntry& aEntry);
    void TakeAdPage(const IEntry& aEntry, const std::string& aPage);

    TThumbnailsAndPreviewContext fContext;
    std::unique_ptr<TThumbnailDownloads> fDownloads;
};

}  // namespace trawlix
