// The row menu's part for the same ad found in several places: open another copy, unfold
// the row, or turn folding off.
#include <QAction>
#include <QMenu>
#include <QSignalBlocker>

#include "app/session.h"
#include "app/settings.h"
#include "model/duplicate_folding.h"
#include "model/search.h"
#include "ui/results_list.h"

namespace trawlix {

void TResultsList::CreateFoldMenu() {
    pmResults->addSeparator();
    pmAlsoIn = pmResults->addMenu("Also in");
    pmAlsoIn->setObjectName("pmAlsoIn");
    actUnfold = pmResults->addAction("Unfold", this, [this] { UnfoldSelectedEntry(); });
    actUnfold->setObjectName("actUnfold");
    actFoldDuplicates = pmResults->addAction("Fold Duplicate Ads");
    actFoldDuplicates->setObjectName("actFoldDuplicates");
    actFoldDuplicates->setCheckable(true);
    actFoldDuplicates->setChecked(GetFoldDuplicates());
    connect(actFoldDuplicates, &QAction::toggled, this, [this](bool aFold) { SwitchFolding(aFold); });
}

void TResultsList::FillFoldMenu() {
    pmAlsoIn->clear();
    TSearch* search = CurrentSearch();
    const IEntry selected = search && !fShowingFavourites ? GetSelectedEntry() : nullptr;
    const std::vector<IEntry> alsoIn = selected ? search->GetAlsoIn(*selected) : std::vector<IEntry>();
    for (const IEntry& folded : alsoIn) {
        const std::string place = folded->GetLocationString().empty() ? folded->GetLink() : folded->GetLocationString();
        const std::string link = folded->GetLink();
        pmAlsoIn->addAction(QString::fromStdString(place + ": " + link), this, [this, link] {
            if (OpenAddress) OpenAddress(link);
        });
    }
    pmAlsoIn->menuAction()->setEnabled(!alsoIn.empty());
    actUnfold->setEnabled(!alsoIn.empty());
    const QSignalBlocker blocker(actFoldDuplicates);
    actFoldDuplicates->setChecked(GetFoldDuplicates());
}

void TResultsList::UnfoldSelectedEntry() {
    TSearch* search = CurrentSearch();
    const IEntry selected = search ? GetSelectedEntry() : nullptr;
    if (!selected || Exiting()) return;
    if (search->UnfoldResult(*selected) > 0) RebuildViewList();
}

void TResultsList::SwitchFolding(bool aFold) {
    if (fContext.session)
        fContext.session->SetFoldDuplicates(aFold);
    else
        SetFoldDuplicates(aFold);
    RebuildViewList();
}

}  // namespace trawlix
