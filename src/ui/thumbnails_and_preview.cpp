#include "ui/thumbnails_and_preview.h"

#include <QCheckBox>
#include <QItemSelectionModel>
#include <QLayout>
#include <QMenu>
#include <QPointer>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>

#include "app/session.h"
#include "app/settings.h"
#include "model/search.h"
#include "run/image_downloader.h"
#include "sites/posting_scrapers.h"
#include "ui/results_list.h"
#include "ui/results_model.h"
#include "ui/thumbnail_downloads.h"
#include "ui/thumbnail_view.h"
#include "ui/web_preview.h"

namespace trawlix {

namespace {

std::string VendorDomain(const std::string& aVendorHost) {
    return aVendorHost.rfind("www.", 0) == 0 ? aVendorHost.substr(4) : aVendorHost;
}

}  // namespace

TThumbnailsAndPreview::TThumbnailsAndPreview(const TThumbnailsAndPreviewContext& aContext) : fContext(aContext) {}

TThumbnailsAndPreview::~TThumbnailsAndPreview() = default;

void TThumbnailsAndPreview::Install(QVBoxLayout& aResultsLayout) {
    CreateGrid(aResultsLayout);
    CreatePreview();
    const bool thumbnails = fContext.session && fContext.session->GetSettings().GetResultsAsThumbnails();
    cbViewAsThumbnails->setChecked(thumbnails);
    ToggleView(*fContext.list, *rkvThumbnailedResults, thumbnails);
    connect(cbViewAsThumbnails, &QCheckBox::toggled, this, &TThumbnailsAndPreview::SetViewAsThumbnails);
}

bool TThumbnailsAndPreview::CanPaint() const {
    if (fContext.exiting && fContext.exiting()) return false;
    return !fContext.session || (fContext.session->GetOnline() && fContext.session->GetStatus() != kStatusDisconnecting);
}

void TThumbnailsAndPreview::CreateGrid(QVBoxLayout& aResultsLayout) {
    QWidget* parent = fContext.list->parentWidget();
    rkvThumbnailedResults = new TThumbnailView(parent);
    rkvThumbnailedResults->setModel(fContext.model);
    // The same pop-up menu as the list: its actions read the list's selection, which the grid's mirrors.
    rkvThumbnailedResults->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(rkvThumbnailedResults, &QWidget::customContextMenuRequested, this, [this](const QPoint& aAt) {
        fContext.resultsList->pmResults->popup(rkvThumbnailedResults->viewport()->mapToGlobal(aAt));
    });
    rkvThumbnailedResults->SetSource({[this](int aIndex) { return fContext.model->EntryAt(aIndex); },
                                      [this](const std::string& aLink) {
                                          const TSearch* search = fContext.currentSearch ? fContext.currentSearch()
                                                                                         : nullptr;
                                          return search && search->FavoriteExists(aLink);
                                      },
                                      [this] { return CanPaint(); }});
    if (fContext.session) {
        QPointer<QWidget> grid = rkvThumbnailedResults->viewport();
        fDownloads = std::make_unique<TThumbnailDownloads>(
            fContext.session->GetImageDownloader(),
            [grid] {
                if (grid) grid->update();
            },
            [this](const IEntry& aEntry) { FoldByPicture(aEntry); });
        rkvThumbnailedResults->SetDownloads(fDownloads.get());
    }
    // The grid takes the list's place: beside it in whatever holds it (the splitter with the notes).
    if (auto* holder = qobject_cast<QSplitter*>(parent)) {
        const int listPosition = holder->indexOf(fContext.list);
        holder->insertWidget(listPosition + 1, rkvThumbnailedResults);
        holder->setStretchFactor(listPosition + 1, 1);
    } else {
        const int listPosition = aResultsLayout.indexOf(fContext.list);
        aResultsLayout.insertWidget(listPosition + 1, rkvThumbnailedResults, 1);
    }
    MirrorGridSelection();

    QWidget* checks = fContext.resultsList->cbShowFavourites->parentWidget();
    cbViewAsThumbnails = new QCheckBox("View as thumbnails", checks);
    cbViewAsThumbnails->setObjectName("cbViewAsThumbnails");
    if (checks->layout()) checks->layout()->addWidget(cbViewAsThumbnails);
    connect(rkvThumbnailedResults, &QAbstractItemView::doubleClicked, fContext.resultsList->actNavigate,
            &QAction::trigger);
}

// The list's own selection handling (checked entries, contact strip, preview) then serves both views.
void TThumbnailsAndPreview::MirrorGridSelection() {
    connect(rkvThumbnailedResults->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        QItemSelectionModel* grid = rkvThumbnailedResults->selectionModel();
        QItemSelectionModel* list = fContext.list->selectionModel();
        if (!list || !rkvThumbnailedResults->isVisible()) return;
        QItemSelection rows;
        for (const QModelIndex& index : grid->selectedIndexes()) rows.select(index, index);
        const QModelIndex current = grid->currentIndex();
        if (current.isValid()) list->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        list->select(rows, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    });
}

void TThumbnailsAndPreview::CreatePreview() {
    TWebPreview::TOptions options;
    if (fContext.session) {
        options.dataFolder = fContext.session->GetDataFolder();
        options.craigslistDomain = fContext.session->GetSettings().GetCraigslistDomain();
        options.vendorDomain = VendorDomain(fContext.session->GetSettings().GetVendorHost());
    }
    wbPreview = new TWebPreview(options, fContext.previewPane);
    fContext.previewPane->insertTab(0, wbPreview, "Web Preview");
    fContext.previewPane->setCurrentIndex(0);
    wbPreview->SelectedEntry = [this] {
        return fContext.currentSearch && fContext.currentSearch() ? fContext.resultsList->GetSelectedEntry() : nullptr;
    };
    wbPreview->IsActive = [this] { return fContext.previewPane->currentWidget() == wbPreview; };
    wbPreview->Exiting = [this] { return fContext.exiting && fContext.exiting(); };
    wbPreview->OnEntryUpdated = [this](const IEntry& aEntry) {
        if (aEntry != wbPreview->SelectedEntry()) return;
        fContext.resultsList->SetContactAndDescription(aEntry->GetContact(), aEntry->GetDescription());
        fContext.list->viewport()->update();
        rkvThumbnailedResults->viewport()->update();
    };
    wbPreview->OnAdPage = [this](const IEntry& aEntry, const std::string& aPage) { TakeAdPage(aEntry, aPage); };
    fContext.resultsList->OnEntrySelected = [this](const IEntry& aEntry) {
        if (!(fContext.exiting && fContext.exiting())) wbPreview->ShowEntry(aEntry);
    };
}

// A cross-posted ad's pictures are separate uploads: only their content shows it is one ad.
void TThumbnailsAndPreview::FoldByPicture(const IEntry& aEntry) {
    if (fContext.exiting && fContext.exiting()) return;
    TSearch* search = fContext.currentSearch ? fContext.currentSearch() : nullptr;
    if (search && search->FoldWhenDetailsAgree(aEntry)) fContext.resultsList->RebuildViewList();
}

// Today's ad page tells more than the search's answer: the whole text, every picture, a
// lower price.
void TThumbnailsAndPreview::TakeAdPage(const IEntry& aEntry, const std::string& aPage) {
    TSearch* search = fContext.currentSearch ? fContext.currentSearch() : nullptr;
    const IEntry details = search ? ReadPostingDetails(*aEntry, aPage) : nullptr;
    if (details && search->TakeAdPageDetails(aEntry, *details)) fContext.resultsList->RebuildViewList();
}

void TThumbnailsAndPreview::ResetForTab() {
    if (wbPreview && wbPreview->Browser()) wbPreview->ShowBlank();
}

void TThumbnailsAndPreview::SetViewAsThumbnails(bool aThumbnails) {
    if (fContext.session && fContext.session->GetSettings().GetResultsAsThumbnails() != aThumbnails) {
        fContext.session->GetSettings().SetResultsAsThumbnails(aThumbnails);
        fContext.session->SaveSettings();
    }
    QWidget* area = fContext.list->parentWidget();
    area->setUpdatesEnabled(false);
    ToggleView(*fContext.list, *rkvThumbnailedResults, aThumbnails);
    area->setUpdatesEnabled(true);
    if (cbViewAsThumbnails->isChecked() != aThumbnails) cbViewAsThumbnails->setChecked(aThumbnails);
}

}  // namespace trawlix
