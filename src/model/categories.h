#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/critical_section.h"
#include "model/places.h"

namespace pugi {
class xml_node;
}

namespace trawlix {

// The category tree (Categories.cur): the same nodes and file format as the places.
class TCategories {
public:
    TCategories() = default;
    explicit TCategories(const std::string& aFileName) { LoadFromFile(aFileName); }
    TCategories(const TCategories&) = delete;
    TCategories& operator=(const TCategories&) = delete;

    static std::unique_ptr<TCategories> CreateFromFile(const std::string& aFileName);

    // Replaces the tree; raises ERefDataError naming the file on a bad file.
    void LoadFromFile(const std::string& aFileName);
    void LoadFromText(const std::string& aText, const std::string& aFileName);

    // Every node in file order, a node before its children.
    const TOwnedPlaceList& GetAllCategories() const { return fAllCategories; }
    // Top-level nodes whose Craigslist type is 1.
    const TPlaceList& GetMainCategories() const { return fMainCategories; }
    int Count() const { return static_cast<int>(fAllCategories.size()); }

    // The first node with the id, null when absent.
    TPlace* GetCategoryByID(int aID) const;
    // The largest id, 0 when empty.
    int GetMaxCatID() const;

private:
    TOwnedPlaceList fAllCategories;
    TPlaceList fMainCategories;
};

// One category of a site's own category list.
class TBaseCategory : public TThreadSafeObject {
public:
    TBaseCategory() : TThreadSafeObject("TBaseCategory") {}

    std::string GetId() const;
    std::string GetName() const;
    // Reads the element's own attributes (not its children).
    virtual void ReadFromXMLNode(const pugi::xml_node& aNode);

protected:
    std::string fId;
    std::string fName;
};

// A Backpage category: Params selects it in a feed ("section=<id>&category=<id>").
class TBackpageCategory : public TBaseCategory {
public:
    std::string GetParams() const;
    void ReadFromXMLNode(const pugi::xml_node& aNode) override;

private:
    std::string fParams;
};

using TCategoryFactory = std::function<std::unique_ptr<TBaseCategory>()>;

// A site's category list (cats-bckpg.cur for Backpage). A category's sub-categories
// are listed before it; when two share an id the later one is found.
class TSiteCategories : public TThreadSafeObject {
public:
    TSiteCategories(const std::string& aFileName, TCategoryFactory aFactory);
    TSiteCategories(const std::string& aText, const std::string& aFileName, TCategoryFactory aFactory);

    template <class TCategory>
    static std::unique_ptr<TSiteCategories> CreateFromFile(const std::string& aFileName) {
        return std::make_unique<TSiteCategories>(aFileName, [] { return std::make_unique<TCategory>(); });
    }

    TBaseCategory* GetCategoryById(const std::string& aId) const;
    int Count() const;
    // Stable for the list's lifetime; the list is read-only once loaded.
    const std::vector<std::unique_ptr<TBaseCategory>>& GetCategories() const { return fCats; }

private:
    void Load(const std::string& aText, const std::string& aFileName);
    void ReadCategory(const pugi::xml_node& aNode, int aDepth, const std::string& aText,
                      const std::string& aFileName);
    void Add(std::unique_ptr<TBaseCategory> aCategory);

    TCategoryFactory fFactory;
    std::vector<std::unique_ptr<TBaseCategory>> fCats;
    std::unordered_map<std::string, size_t> fIdsHash;
};

}  // namespace trawlix
