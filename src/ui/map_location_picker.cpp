#include "ui/map_location_picker.h"

#include <QPushButton>

#include "ui/form_map.h"
#include "ui/selection_tree.h"

namespace trawlix {

TMapLocationPicker::TMapLocationPicker(TSelectionTree& aTree, QWidget* aButtonParent,
                                       std::function<void(QTreeWidgetItem*)> aTick)
    : QObject(aButtonParent),
      fTree(aTree),
      fTick(std::move(aTick)),
      // Choosing places counts nothing: the map needs no places of its own.
      fForm(std::make_unique<TformMap>(nullptr, aTree.window())) {
    btnSelectOnMap = new QPushButton("Select on map", aButtonParent);
    btnSelectOnMap->setObjectName("btnSelectOnMap");
    btnSelectOnMap->setToolTip("Select locations by map");
    connect(btnSelectOnMap, &QPushButton::clicked, this, &TMapLocationPicker::SelectOnMap);
}

TMapLocationPicker::~TMapLocationPicker() = default;

void TMapLocationPicker::SelectOnMap() {
    if (fForm->Execute(mmSelect, nullptr, nullptr)) TickPlaces(fForm->SelectedLocationIDs());
}

void TMapLocationPicker::TickPlaces(const std::vector<int>& aPlaceIDs) {
    for (int id : aPlaceIDs) {
        for (QTreeWidgetItem* item : fTree.AllItems()) {
            const TPlace* place = TSelectionTree::ItemPlace(item);
            if (!place || place->GetID() != id) continue;
            if (TSelectionTree::GetMark(item) != nmChecked) fTick(item);
            break;
        }
    }
}

}  // namespace trawlix
