// Link lists of the feed sites for a search over every city of the installed place tree.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "model/categories.h"
#include "model/place_selection.h"
#include "model/places.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_run_environment.h"
#include "run/search_thread.h"
#include "sites/backpage_site_search.h"
#include "sites/site_search_factory.h"

namespace {

using namespace trawlix;

std::string DataFile(const char* aName) { return std::string(TRAWLIX_SOURCE_DATA_DIR) + "/" + aName; }

struct TReferenceData {
    TReferenceData()
        : places(DataFile("Places.cur")),
          categories(DataFile("Categories.cur")),
          backpageCategories(DataFile("cats-bckpg.cur"), [] { return std::make_unique<TBackpageCategory>(); }) {}
    TPlaces places;
    TCategories categories;
    TSiteCategories backpageCategories;
};

TReferenceData& Data() {
    static TReferenceData data;
    return data;
}

// Every city with a Backpage site, and every "for sale" and "housing" category: some
// 800 places times some 40 categories, each pair one or more feeds per site and page.
std::unique_ptr<TSearch> MakeWideSearch(TSiteSearchEnum aSite) {
    TPlaceList cities, categories;
    for (const auto& place : Data().places.GetAllPlaces())
        if (!place->GetBackpageSitePlace().GetItems().empty()) cities.push_back(place.get());
    TStringList groups;
    for (const auto& category : Data().categories.GetAllCategories()) {
        const std::string group = category->GetParent() ? category->GetParent()->GetName() : category->GetName();
        if (group == "for sale" || group == "housing") categories.push_back(category.get());
    }
    auto search = std::make_unique<TSearch>();
    search->SetCompressedLocations(cities);
    search->SetCategories(categories);
    search->SetKeywords("red bike");
    search->SetPagesCount(3);
    search->SetCalledFromUser(true);
    FillProperties(search->GetPropertyContainer(), TPropertySelection::FromCategoryNames({"for sale", "housing"}, false, false));
    for (const auto& site : search->GetSiteSearches()) site->SetDoSearch(site->GetSite() == aSite);
    if (auto* backpage = dynamic_cast<TBackpageSiteSearch*>(search->GetSiteSearch(ssBackpage)))
        backpage->SetBackpageCategories(&Data().backpageCategories);
    search->ExpandLocations();
    return search;
}

void BM_FeedLinks(benchmark::State& aState) {
    const auto site = static_cast<TSiteSearchEnum>(aState.range(0));
    InstallSiteSearchFactory();
    auto environment = std::make_shared<TSearchRunEnvironment>();
    environment->places = [] { return &Data().places; };
    SetSearchRunEnvironment(environment);
    auto search = MakeWideSearch(site);
    TBaseSearchThread thread(std::make_unique<TBaseResultsParser>(), false);
    size_t links = 0;
    for (auto _ : aState) {
        const auto list = SiteSearchRun(*search, site)->MakeSearchLinks(thread);
        links = list.size();
        benchmark::DoNotOptimize(list.data());
    }
    aState.SetLabel(cSiteSearchStr[site]);
    aState.counters["links"] = static_cast<double>(links);
    aState.counters["pairs"] =
        static_cast<double>(search->GetExpandedLocations().Count()) * static_cast<double>(search->GetCategories().size());
    SetSearchRunEnvironment(nullptr);
}
BENCHMARK(BM_FeedLinks)->Arg(ssBackpage)->Arg(ssOodle)->Arg(ssEBay)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
