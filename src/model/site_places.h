#pragma once

#include <memory>
#include <string>
#include <vector>

namespace pugi {
class xml_node;
}

namespace trawlix {

class TPlace;

// How one place or category is addressed on one site. Every TPlace holds one of each
// kind, in the order of TSitePlaceIndex.
class TBaseSitePlace {
public:
    explicit TBaseSitePlace(TPlace* aParent) : fParent(aParent) {}
    virtual ~TBaseSitePlace() = default;
    TBaseSitePlace(const TBaseSitePlace&) = delete;
    TBaseSitePlace& operator=(const TBaseSitePlace&) = delete;

    TPlace* GetParent() const { return fParent; }

    // Name of the site's child element inside a place element.
    virtual std::string GetSiteNodeName() const = 0;
    // Appends the site's element to aPlaceNode.
    virtual void WriteToXMLNode(pugi::xml_node& aPlaceNode) const;
    // Reads the site's element; raises on a value that does not read, leaving the
    // mapping as it was.
    virtual void FromXMLNode(const pugi::xml_node& aNode) = 0;

private:
    TPlace* fParent;
};

enum TSitePlaceIndex { spCraigslist = 0, spBackpage = 1, spOodle = 2, spEBay = 3, spCarsCom = 4, spCount = 5 };

class TCraigSitePlace : public TBaseSitePlace {
public:
    using TBaseSitePlace::TBaseSitePlace;
    std::string GetSiteNodeName() const override { return "craigslist"; }
    void WriteToXMLNode(pugi::xml_node& aPlaceNode) const override;
    void FromXMLNode(const pugi::xml_node& aNode) override;

    // City or sub-area: home page URL with a trailing "/"; neighbourhood (type 4): its
    // code; category: the site's category code.
    const std::string& GetLink() const { return fLink; }
    void SetLink(const std::string& aLink) { fLink = aLink; }
    // 4 = neighbourhood; in the category tree 1 = main category.
    int GetPlaceType() const { return fType; }
    void SetPlaceType(int aType) { fType = aType; }
    bool GetDisabled() const { return fDisabled; }
    void SetDisabled(bool aDisabled) { fDisabled = aDisabled; }

private:
    std::string fLink;
    int fType = 0;
    bool fDisabled = false;
};

class TBackpageSitePlace;
class TOodleSitePlace;
class TEBaySitePlace;
class TCarsComSitePlace;

struct TBackpageSitePlaceItem {
    TBackpageSitePlace* Parent = nullptr;
    std::string Link;  // place: city site URL without trailing "/"; category: Backpage category id
};

struct TOodleSitePlaceItem {
    TOodleSitePlace* Parent = nullptr;
    std::string Link1;  // place: region path segment; category: sub-domain label
    std::string Link2;  // category: path segment before the region
    std::string Link3;  // category: path segment after the region
};

struct TEBaySitePlaceItem {
    TEBaySitePlace* Parent = nullptr;
    std::string Link;    // place: the city's sub-domain label
    std::string CatID;   // category: the site's category id
    std::string Params;  // category: query text used when there is no id
};

struct TCarsComSitePlaceItem {
    TCarsComSitePlace* Parent = nullptr;
    std::string ZipCode;   // "zc"
    std::string Distance;  // "rd", as written in the file
};

// A site mapping that is a list of items, one per child element of the site element.
template <class TItem>
class TItemsSitePlace : public TBaseSitePlace {
public:
    using TItemType = TItem;
    using TBaseSitePlace::TBaseSitePlace;

    const std::vector<std::unique_ptr<TItem>>& GetItems() const { return fItems; }
    void ClearItems() { fItems.clear(); }

protected:
    TItem& NewItem() {
        fItems.push_back(std::make_unique<TItem>());
        return *fItems.back();
    }

    std::vector<std::unique_ptr<TItem>> fItems;
};

class TBackpageSitePlace : public TItemsSitePlace<TBackpageSitePlaceItem> {
public:
    using TItemsSitePlace::TItemsSitePlace;
    std::string GetSiteNodeName() const override { return "backpage"; }
    void WriteToXMLNode(pugi::xml_node& aPlaceNode) const override;
    void FromXMLNode(const pugi::xml_node& aNode) override;
    TBackpageSitePlaceItem& AddItem(const std::string& aLink);
};

class TOodleSitePlace : public TItemsSitePlace<TOodleSitePlaceItem> {
public:
    using TItemsSitePlace::TItemsSitePlace;
    std::string GetSiteNodeName() const override { return "oodle"; }
    void WriteToXMLNode(pugi::xml_node& aPlaceNode) const override;
    void FromXMLNode(const pugi::xml_node& aNode) override;
    TOodleSitePlaceItem& AddItem(const std::string& aLink1, const std::string& aLink2 = {},
                                 const std::string& aLink3 = {});
};

class TEBaySitePlace : public TItemsSitePlace<TEBaySitePlaceItem> {
public:
    using TItemsSitePlace::TItemsSitePlace;
    std::string GetSiteNodeName() const override { return "ebay"; }
    void WriteToXMLNode(pugi::xml_node& aPlaceNode) const override;
    void FromXMLNode(const pugi::xml_node& aNode) override;
    TEBaySitePlaceItem& AddItem(const std::string& aLink, const std::string& aCatID = {},
                                const std::string& aParams = {});
};

class TCarsComSitePlace : public TItemsSitePlace<TCarsComSitePlaceItem> {
public:
    using TItemsSitePlace::TItemsSitePlace;
    std::string GetSiteNodeName() const override { return "cars.com"; }
    // Writes the bare element: the items are installation data, never written back.
    void FromXMLNode(const pugi::xml_node& aNode) override;
    TCarsComSitePlaceItem& AddItem(const std::string& aZipCode, const std::string& aDistance);
};

}  // namespace trawlix
