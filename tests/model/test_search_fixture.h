#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "model/categories.h"
#include "model/fixtures/sqlite_files.h"
#include "model/objects_storage.h"
#include "model/places.h"
#include "model/search.h"
#include "support/test_support.h"

namespace trawlix::test {

inline std::filesystem::path SearchFixtures() { return TestsDir() / "model" / "fixtures" / "searches"; }

// A storage on a fresh copy of the installation's database, with small place and
// category trees: united states(1) > california(10) > los angeles(100), san diego(101);
// oregon(11) > portland(110), eugene(111); canada(2) > toronto(20). Categories: for
// sale(1) > bikes(2), cars+trucks(3); housing(4) > apts(5); personals(6); jobs(7).
class SearchStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::copy_file(InstallationDatabase(), DatabaseFile());
        OpenStorage();
        fPlaces.LoadFromText(ReadFile(SearchFixtures() / "places.xml"), "places.xml");
        fCategories.LoadFromText(ReadFile(SearchFixtures() / "categories.xml"), "categories.xml");
    }

    std::filesystem::path DatabaseFile() const { return fDir / "object_storage.cur"; }
    void OpenStorage() { fStorage = std::make_unique<TObjectsStorage>(DatabaseFile().string()); }
    // Closes and opens the file again, as a new start of the program does.
    void ReopenStorage() {
        fStorage.reset();
        OpenStorage();
    }
    TObjectsStorage& Storage() { return *fStorage; }
    TSearchLookups Lookups() const { return {&fPlaces, &fCategories}; }
    TPlace* Place(int aID) const { return fPlaces.GetPlaceByID(aID); }
    TPlace* Category(int aID) const { return fCategories.GetCategoryByID(aID); }
    std::int64_t Count(const std::string& aSQL) { return fStorage->SQLLiteDB().GetTableValue(aSQL); }

    TempDir fDir;
    std::unique_ptr<TObjectsStorage> fStorage;
    TPlaces fPlaces;
    TCategories fCategories;
};

}  // namespace trawlix::test
