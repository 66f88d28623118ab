#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

namespace trawlix {

class TObjectsStorage;

// The user's mail lists (accounts, saved messages) are stored as one root object with a
// child object per item. These are the steps such a list takes to load and save itself.

struct TStoredList {
    int rootID = -1;
    std::vector<int> itemIDs;  // the item objects, in stored order
};

// The root object aRootType and its aItemType children; nullopt when nothing was stored.
std::optional<TStoredList> ReadStoredList(TObjectsStorage& aObjectsStorage, const std::string& aRootType,
                                          const std::string& aItemType);

// Replaces the aItemType children of the aRootType object, made when missing, with what
// aSaveItems writes under the root's ID, in one transaction. False, with nothing changed,
// when the storage refuses the root or aSaveItems returns false.
bool RewriteStoredList(TObjectsStorage& aObjectsStorage, const std::string& aRootType, const std::string& aItemType,
                       const std::function<bool(int aRootID)>& aSaveItems);

// Appends each field with its length in front, so that different lists of fields never give
// the same text: a list compares what it holds with what it last stored by such a text.
void AppendSnapshotFields(std::string& aText, std::initializer_list<std::string> aFields);

}  // namespace trawlix
