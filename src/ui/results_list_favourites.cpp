#include "ui/results_list.h"

#include <QGroupBox>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSplitter>
#include <QTableView>

#include <algorithm>

#include "model/filter.h"
#include "model/search.h"
#include "ui/info_window.h"
#include "ui/results_model.h"
#include "ui/user_dialogs.h"
#include "ui/view_list_lock.h"

namespace trawlix {

// --- favourites ------------------------------------------------------------------------

void TResultsList::AddToFavourites() {
    if (Exiting()) return;
    TSearch* search = CurrentSearch();
    const IEntry selected = search ? GetSelectedEntry() : nullptr;
    if (!selected) {
        fContext.dialogs->Information(cNothingSelected);
        return;
    }
    if (IFavorite favourite = search->GetFavoriteByLink(selected->GetLink())) {
        search->RemoveFavourite(favourite);
        if (fShowingFavourites) {
            {
                TViewListLock lock(*search);
                TEntryList remaining = search->GetFilter().GetResults();
                std::erase_if(remaining, [&](const IEntry& aEntry) { return aEntry->GetLink() == selected->GetLink(); });
                search->GetFilter().Execute(&remaining);
            }
            fContext.list->clearSelection();
            ShowCount(*search);
        }
    } else {
        TCLock lock(search->GetCriticalSection());
        search->AddFavourite(std::make_shared<TFavourite>(*selected, ""));
    }
    Repaint();
}

void TResultsList::SelectionAddToFavourites() {
    TSearch* search = CurrentSearch();
    if (!search || Exiting() || fShowingFavourites) return;
    fContext.info->Execute();
    {
        TCLock lock(search->GetCriticalSection());
        for (const IEntry& entry : search->GetSearchResults())
            if (entry->GetChecked() && !search->FavoriteExists(entry->GetLink()))
                search->AddFavourite(std::make_shared<TFavourite>(*entry, ""));
    }
    fContext.info->Finish();
    Repaint();
}

void TResultsList::ShowFavourites(bool aShow) {
    TSearch* search = CurrentSearch();
    if (!search || Exiting()) return;
    fShowingFavourites = aShow;
    fContext.viewHelper->SetShowsFavourites(aShow);
    gbFavourites->setVisible(aShow);
    splitterFavourites->handle(splitterFavourites->indexOf(gbFavourites))->setVisible(aShow);
    {
        const QSignalBlocker quiet(memoFavouriteNote);
        memoFavouriteNote->clear();
    }
    if (miResults) miResults->setTitle(aShow ? "Favorites" : "Results");
    fContext.list->clearSelection();
    fContext.viewHelper->RebuildViewList(*search);
    Repaint();
}

void TResultsList::OnNoteChanged() {
    if (fLoadingNote || !fShowingFavourites) return;
    const IEntry selected = GetSelectedEntry();
    TSearch* search = CurrentSearch();
    if (!selected || !search) return;
    if (IFavorite favourite = search->GetFavoriteByLink(selected->GetLink())) {
        favourite->SetNote(memoFavouriteNote->toPlainText().toStdString());
        search->MarkModified();
    }
}

}  // namespace trawlix
