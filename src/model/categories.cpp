#include "model/categories.h"

#include <algorithm>

#include <pugixml.hpp>

#include "model/ref_data_file.h"

namespace trawlix {

namespace {

constexpr int cMainCategoryType = 1;
// As for the place tree: deeper nesting can only be a damaged file.
constexpr int cMaxCategoryDepth = 64;

}  // namespace

std::unique_ptr<TCategories> TCategories::CreateFromFile(const std::string& aFileName) {
    return std::make_unique<TCategories>(aFileName);
}

void TCategories::LoadFromFile(const std::string& aFileName) { LoadFromText(ReadRefDataFile(aFileName), aFileName); }

void TCategories::LoadFromText(const std::string& aText, const std::string& aFileName) {
    TOwnedPlaceList all;
    const TPlaceList topLevel = ReadPlaceTree(aText, aFileName, all);
    TPlaceList mainCategories;
    std::copy_if(topLevel.begin(), topLevel.end(), std::back_inserter(mainCategories), [](const TPlace* aPlace) {
        return aPlace->GetCraigSitePlace().GetPlaceType() == cMainCategoryType;
    });
    fAllCategories = std::move(all);
    fMainCategories = std::move(mainCategories);
}

TPlace* TCategories::GetCategoryByID(int aID) const {
    const auto found = std::find_if(fAllCategories.begin(), fAllCategories.end(),
                                    [aID](const auto& aCategory) { return aCategory->GetID() == aID; });
    return found != fAllCategories.end() ? found->get() : nullptr;
}

int TCategories::GetMaxCatID() const {
    int maxID = 0;
    for (const auto& category : fAllCategories)
        maxID = std::max(maxID, category->GetID());
    return maxID;
}

std::string TBaseCategory::GetId() const { return Locked(fCriticalSection, fId); }

std::string TBaseCategory::GetName() const { return Locked(fCriticalSection, fName); }

void TBaseCategory::ReadFromXMLNode(const pugi::xml_node& aNode) {
    TCLock lock(fCriticalSection);
    fId = aNode.attribute("id").value();
    fName = aNode.attribute("name").value();
}

std::string TBackpageCategory::GetParams() const { return Locked(fCriticalSection, fParams); }

void TBackpageCategory::ReadFromXMLNode(const pugi::xml_node& aNode) {
    TBaseCategory::ReadFromXMLNode(aNode);
    TCLock lock(fCriticalSection);
    fParams = aNode.attribute("params").value();
}

TSiteCategories::TSiteCategories(const std::string& aFileName, TCategoryFactory aFactory)
    : TThreadSafeObject("TSiteCategories"), fFactory(std::move(aFactory)) {
    Load(ReadRefDataFile(aFileName), aFileName);
}

TSiteCategories::TSiteCategories(const std::string& aText, const std::string& aFileName, TCategoryFactory aFactory)
    : TThreadSafeObject("TSiteCategories"), fFactory(std::move(aFactory)) {
    Load(aText, aFileName);
}

void TSiteCategories::Load(const std::string& aText, const std::string& aFileName) {
    pugi::xml_document document;
    const pugi::xml_node root = ParseRefDataXML(document, aText, aFileName);
    TCLock lock(fCriticalSection);
    for (const pugi::xml_node child : root.children()) {
        if (child.type() == pugi::node_element)
            ReadCategory(child, 1, aText, aFileName);
    }
}

void TSiteCategories::ReadCategory(const pugi::xml_node& aNode, int aDepth, const std::string& aText,
                                   const std::string& aFileName) {
    if (aDepth > cMaxCategoryDepth)
        throw ERefDataError(aFileName, "the element at " + DescribeXMLPosition(aNode, aText) + " is nested too deeply");
    std::unique_ptr<TBaseCategory> category = fFactory();
    category->ReadFromXMLNode(aNode);
    // Sub-categories are announced as they are made, so they precede their parent.
    for (const pugi::xml_node child : aNode.children()) {
        if (child.type() == pugi::node_element)
            ReadCategory(child, aDepth + 1, aText, aFileName);
    }
    Add(std::move(category));
}

void TSiteCategories::Add(std::unique_ptr<TBaseCategory> aCategory) {
    TCLock lock(fCriticalSection);
    fIdsHash[aCategory->GetId()] = fCats.size();
    fCats.push_back(std::move(aCategory));
}

TBaseCategory* TSiteCategories::GetCategoryById(const std::string& aId) const {
    TCLock lock(fCriticalSection);
    const auto found = fIdsHash.find(aId);
    return found != fIdsHash.end() ? fCats[found->second].get() : nullptr;
}

int TSiteCategories::Count() const {
    TCLock lock(fCriticalSection);
    return static_cast<int>(fCats.size());
}

}  // namespace trawlix
