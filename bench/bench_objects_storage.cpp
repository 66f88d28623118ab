// Storage hot paths: saving a search writes many properties inside one outer counted
// transaction; loading walks the objects of a type.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "model/objects_storage.h"

namespace {

namespace fs = std::filesystem;
using trawlix::TObjectsStorage;

// A copy of the installation's empty database in a folder of its own, removed afterwards.
class TScratchStorage {
public:
    TScratchStorage() {
        std::string pattern = (fs::temp_directory_path() / "trawlix-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
        fFolder = pattern;
        const fs::path file = fFolder / "object_storage.cur";
        fs::copy_file(fs::path(TRAWLIX_SOURCE_DATA_DIR) / "object_storage.cur", file);
        fStorage = std::make_unique<TObjectsStorage>(file.string());
    }
    ~TScratchStorage() {
        fStorage.reset();
        std::error_code ignored;
        fs::remove_all(fFolder, ignored);
    }
    TObjectsStorage& Storage() { return *fStorage; }

private:
    fs::path fFolder;
    std::unique_ptr<TObjectsStorage> fStorage;
};

std::vector<int> AddObjects(TObjectsStorage& aStorage, int aParent, int aCount) {
    std::vector<int> ids;
    aStorage.BeginTransaction();
    for (int i = 0; i < aCount; ++i) ids.push_back(aStorage.AddObject("item", aParent, "", true));
    aStorage.Commit();
    return ids;
}

// 100,000 property writes (1,000 objects x 100 names) committed once, on a fresh file.
void BM_SetObjectPropInOneTransaction(benchmark::State& aState) {
    constexpr int kObjects = 1000;
    constexpr int kWrites = 100000;
    std::vector<std::string> names;
    for (int n = 0; n < kWrites / kObjects; ++n) names.push_back("prop" + std::to_string(n));
    for (auto _ : aState) {
        aState.PauseTiming();
        auto scratch = std::make_unique<TScratchStorage>();
        TObjectsStorage& storage = scratch->Storage();
        const int root = storage.AddObject("root", -1, "", false);
        const std::vector<int> ids = AddObjects(storage, root, kObjects);
        aState.ResumeTiming();

        storage.BeginTransaction();
        for (int i = 0; i < kWrites; ++i) storage.SetObjectProp(ids[i % kObjects], names[i / kObjects], i);
        storage.Commit();

        aState.PauseTiming();
        if (storage.GetObjectPropInt(ids.back(), names.back(), -1) != kWrites - 1)
            aState.SkipWithError("the last write is missing");
        scratch.reset();
        aState.ResumeTiming();
    }
    aState.SetItemsProcessed(aState.iterations() * kWrites);
}
BENCHMARK(BM_SetObjectPropInOneTransaction)->Unit(benchmark::kMillisecond)->UseRealTime();

// Reading back 10,000 objects of one type under one parent.
void BM_GetObjects(benchmark::State& aState) {
    constexpr int kObjects = 10000;
    TScratchStorage scratch;
    TObjectsStorage& storage = scratch.Storage();
    const int root = storage.AddObject("root", -1, "", false);
    AddObjects(storage, root, kObjects);
    for (auto _ : aState) {
        const trawlix::TDBObjectList objects = storage.GetObjects("item", root);
        if (objects.size() != kObjects) aState.SkipWithError("wrong number of objects");
        benchmark::DoNotOptimize(objects.data());
    }
    aState.SetItemsProcessed(aState.iterations() * kObjects);
}
BENCHMARK(BM_GetObjects)->Unit(benchmark::kMillisecond);

}  // namespace
