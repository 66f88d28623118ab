#pragma once

// "Select on map" beside a location tree: the map opens to choose places ("Select locations
// by map"), and the regions chosen (states, or areas after going down) become ticked
// places of the tree when the map closes with OK.

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

class QPushButton;
class QTreeWidgetItem;
class QWidget;

namespace trawlix {

class TformMap;
class TSelectionTree;

class TMapLocationPicker : public QObject {
    Q_OBJECT
public:
    // aTick ticks one node as a user's click on its mark does.
    TMapLocationPicker(TSelectionTree& aTree, QWidget* aButtonParent, std::function<void(QTreeWidgetItem*)> aTick);
    ~TMapLocationPicker() override;

    // Ticks the nodes of these places that are not ticked yet; ids without a node are skipped.
    void TickPlaces(const std::vector<int>& aPlaceIDs);

    TformMap* Form() const { return fForm.get(); }
    QPushButton* btnSelectOnMap;

private:
    void SelectOnMap();

    TSelectionTree& fTree;
    std::function<void(QTreeWidgetItem*)> fTick;
    std::unique_ptr<TformMap> fForm;
};

}  // namespace trawlix
