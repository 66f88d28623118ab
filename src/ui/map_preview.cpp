#include "ui/map_preview.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QTimer>

#include "model/search.h"
#include "ui/form_map.h"

namespace trawlix {

TMapPreview::TMapPreview(const TMapPreviewContext& aContext)
    : QObject(aContext.window), fContext(aContext), fForm(std::make_unique<TformMap>(nullptr, aContext.window)) {
    tsMapPreview = new QWidget(fContext.previewPane);
    tsMapPreview->setObjectName("tsMapPreview");
    fContext.previewPane->addTab(tsMapPreview, "Map Preview");
    timerRefreshPreviews = new QTimer(this);
    timerRefreshPreviews->setObjectName("timerRefreshPreviews");
    timerRefreshPreviews->setSingleShot(true);
    connect(timerRefreshPreviews, &QTimer::timeout, this, &TMapPreview::Refresh);
    connect(fContext.previewPane, &QTabWidget::currentChanged, this, &TMapPreview::PreviewTabChanged);
    if (fContext.actMap) {
        fContext.actMap->setEnabled(true);
        connect(fContext.actMap, &QAction::triggered, this, &TMapPreview::ShowMap);
    }
}

TMapPreview::~TMapPreview() = default;

void TMapPreview::Install(QMenu& aMenu, QBoxLayout& aRow) {
    miShowMapPreview = aMenu.addAction("Show Map Preview");
    miShowMapPreview->setObjectName("miShowMapPreview");
    connect(miShowMapPreview, &QAction::triggered, this, &TMapPreview::ShowMap);
    lblShowMapOverlay = new QLabel("<a href=\"map\">Show map overlay</a>");
    lblShowMapOverlay->setObjectName("lblShowMapOverlay");
    lblShowMapOverlay->setContentsMargins(0, 0, 10, 0);
    connect(lblShowMapOverlay, &QLabel::linkActivated, this, &TMapPreview::ShowMap);
    aRow.addWidget(lblShowMapOverlay, 0, Qt::AlignRight);
}

void TMapPreview::ShowMap() {
    // The map is one window: taken out of its tab while it shows on its own.
    if (fForm->IsEmbedded()) fContext.previewPane->setCurrentIndex(0);
    fForm->SetPlaces(fContext.places ? fContext.places() : nullptr);
    fForm->Execute(mmResults, fContext.currentSearch(), nullptr);
    fForm->SetSearch(nullptr);  // counted only while it shows
}

void TMapPreview::SearchFinished(TSearch& aSearch, bool aShowMapOnFinish) {
    // Only after a run the user started: an alert's run would put the modal map over whatever
    // the user is doing.
    if (!aShowMapOnFinish || !aSearch.GetCalledFromUser() || &aSearch != fContext.currentSearch() ||
        !fForm->isHidden())
        return;
    ShowMap();
}

void TMapPreview::CurrentSearchChanged() {
    if (!fForm->IsEmbedded()) return;
    fForm->SetSearch(fContext.currentSearch());
    Refresh();
}

void TMapPreview::ForgetSearch(const TSearch* aSearch) {
    if (fForm->GetSearch() == aSearch) fForm->SetSearch(nullptr);
}

void TMapPreview::PreviewTabChanged() {
    if (fContext.previewPane->currentWidget() == tsMapPreview) {
        fForm->SetPlaces(fContext.places ? fContext.places() : nullptr);
        if (fForm->IsEmbedded() || fForm->Execute(mmResults, fContext.currentSearch(), tsMapPreview)) Refresh();
    } else {
        timerRefreshPreviews->stop();
        fForm->Detach();
    }
}

void TMapPreview::Refresh() {
    if (!fForm->IsEmbedded()) return;
    timerRefreshPreviews->start(fForm->RefreshResults());
}

}  // namespace trawlix
