#include "model/site_places.h"

#include <pugixml.hpp>
#include <stdexcept>

#include "model/ref_data_file.h"

namespace trawlix {

namespace {

// Booleans as stored data writes them: "-1"/"1"/"true" for true.
bool ReadBoolean(const pugi::xml_attribute& aAttribute) {
    const std::string text = aAttribute.value();
    if (text.empty() || text == "0" || text == "false" || text == "False")
        return false;
    if (text == "-1" || text == "1" || text == "true" || text == "True")
        return true;
    throw std::invalid_argument("malformed boolean \"" + text + "\"");
}

template <class TItem, class TReadItem>
std::vector<std::unique_ptr<TItem>> ReadItems(const pugi::xml_node& aNode, TReadItem aReadItem) {
    std::vector<std::unique_ptr<TItem>> items;
    for (const pugi::xml_node child : aNode.children()) {
        if (child.type() != pugi::node_element)
            continue;
        auto item = std::make_unique<TItem>();
        aReadItem(child, *item);
        items.push_back(std::move(item));
    }
    return items;
}

template <class TSitePlace, class TItem>
void AdoptItems(TSitePlace* aOwner, std::vector<std::unique_ptr<TItem>>& aTarget,
                std::vector<std::unique_ptr<TItem>> aItems) {
    for (auto& item : aItems)
        item->Parent = aOwner;
    aTarget = std::move(aItems);
}

}  // namespace

void TBaseSitePlace::WriteToXMLNode(pugi::xml_node& aPlaceNode) const {
    aPlaceNode.append_child(GetSiteNodeName().c_str());
}

void TCraigSitePlace::WriteToXMLNode(pugi::xml_node& aPlaceNode) const {
    pugi::xml_node node = aPlaceNode.append_child(GetSiteNodeName().c_str());
    node.append_attribute("link") = fLink.c_str();
    node.append_attribute("type") = fType;
    if (fDisabled)
        node.append_attribute("disabled") = "-1";
}

void TCraigSitePlace::FromXMLNode(const pugi::xml_node& aNode) {
    int type = 0;
    const pugi::xml_attribute typeAttribute = aNode.attribute("type");
    if (typeAttribute && !TryReadInteger(typeAttribute.value(), type))
        throw std::invalid_argument("malformed type");
    const bool disabled = ReadBoolean(aNode.attribute("disabled"));
    fLink = aNode.attribute("link").value();
    fType = type;
    fDisabled = disabled;
}

void TBackpageSitePlace::WriteToXMLNode(pugi::xml_node& aPlaceNode) const {
    pugi::xml_node node = aPlaceNode.append_child(GetSiteNodeName().c_str());
    for (const auto& item : fItems)
        node.append_child("item").append_attribute("link") = item->Link.c_str();
}

void TBackpageSitePlace::FromXMLNode(const pugi::xml_node& aNode) {
    AdoptItems(this, fItems, ReadItems<TBackpageSitePlaceItem>(aNode, [](const pugi::xml_node& aChild, auto& aItem) {
                   aItem.Link = aChild.attribute("link").value();
               }));
}

TBackpageSitePlaceItem& TBackpageSitePlace::AddItem(const std::string& aLink) {
    TBackpageSitePlaceItem& item = NewItem();
    item.Parent = this;
    item.Link = aLink;
    return item;
}

void TOodleSitePlace::WriteToXMLNode(pugi::xml_node& aPlaceNode) const {
    pugi::xml_node node = aPlaceNode.append_child(GetSiteNodeName().c_str());
    for (const auto& item : fItems) {
        pugi::xml_node child = node.append_child("item");
        child.append_attribute("link1") = item->Link1.c_str();
        if (!item->Link2.empty())
            child.append_attribute("link2") = item->Link2.c_str();
        if (!item->Link3.empty())
            child.append_attribute("link3") = item->Link3.c_str();
    }
}

void TOodleSitePlace::FromXMLNode(const pugi::xml_node& aNode) {
    AdoptItems(this, fItems, ReadItems<TOodleSitePlaceItem>(aNode, [](const pugi::xml_node& aChild, auto& aItem) {
                   const pugi::xml_attribute link1 = aChild.attribute("link1");
                   aItem.Link1 = link1 ? link1.value() : aChild.attribute("link").value();
                   aItem.Link2 = aChild.attribute("link2").value();
                   aItem.Link3 = aChild.attribute("link3").value();
               }));
}

TOodleSitePlaceItem& TOodleSitePlace::AddItem(const std::string& aLink1, const std::string& aLink2,
                                              const std::string& aLink3) {
    TOodleSitePlaceItem& item = NewItem();
    item.Parent = this;
    item.Link1 = aLink1;
    item.Link2 = aLink2;
    item.Link3 = aLink3;
    return item;
}

void TEBaySitePlace::WriteToXMLNode(pugi::xml_node& aPlaceNode) const {
    pugi::xml_node node = aPlaceNode.append_child(GetSiteNodeName().c_str());
    for (const auto& item : fItems) {
        pugi::xml_node child = node.append_child("item");
        if (!item->Link.empty())
            child.append_attribute("link") = item->Link.c_str();
        if (!item->CatID.empty())
            child.append_attribute("catId") = item->CatID.c_str();
        if (!item->Params.empty())
            child.append_attribute("params") = item->Params.c_str();
    }
}

void TEBaySitePlace::FromXMLNode(const pugi::xml_node& aNode) {
    AdoptItems(this, fItems, ReadItems<TEBaySitePlaceItem>(aNode, [](const pugi::xml_node& aChild, auto& aItem) {
                   aItem.Link = aChild.attribute("link").value();
                   aItem.CatID = aChild.attribute("catId").value();
                   aItem.Params = aChild.attribute("params").value();
               }));
}

TEBaySitePlaceItem& TEBaySitePlace::AddItem(const std::string& aLink, const std::string& aCatID,
                                            const std::string& aParams) {
    TEBaySitePlaceItem& item = NewItem();
    item.Parent = this;
    item.Link = aLink;
    item.CatID = aCatID;
    item.Params = aParams;
    return item;
}

void TCarsComSitePlace::FromXMLNode(const pugi::xml_node& aNode) {
    AdoptItems(this, fItems, ReadItems<TCarsComSitePlaceItem>(aNode, [](const pugi::xml_node& aChild, auto& aItem) {
                   aItem.ZipCode = aChild.attribute("zc").value();
                   aItem.Distance = aChild.attribute("rd").value();
               }));
}

TCarsComSitePlaceItem& TCarsComSitePlace::AddItem(const std::string& aZipCode, const std::string& aDistance) {
    TCarsComSitePlaceItem& item = NewItem();
    item.Parent = this;
    item.ZipCode = aZipCode;
    item.Distance = aDistance;
    return item;
}

}  // namespace trawlix
