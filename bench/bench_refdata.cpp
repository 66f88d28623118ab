// Loading the reference data as start-up does, and the look-ups the search run repeats.
#include <benchmark/benchmark.h>

#include <string>

#include "model/categories.h"
#include "model/gsm_networks.h"
#include "model/places.h"
#include "model/zip_codes.h"

using namespace trawlix;

namespace {

std::string DataFile(const char* aName) { return std::string(TRAWLIX_SOURCE_DATA_DIR) + "/" + aName; }

void BM_LoadAllReferenceFiles(benchmark::State& aState) {
    for (auto _ : aState) {
        auto places = TPlaces::CreateFromFile(DataFile("Places.cur"));
        auto backpage = TSiteCategories::CreateFromFile<TBackpageCategory>(DataFile("cats-bckpg.cur"));
        auto categories = TCategories::CreateFromFile(DataFile("Categories.cur"));
        auto carriers = TGSMNetworks::CreateFromFile(DataFile("GSMNetworks.cur"));
        auto zipCodes = TZIPCodes::CreateFromFile(DataFile("ZIPCodes.cur"));
        benchmark::DoNotOptimize(places->Count() + backpage->Count() + categories->Count() + carriers->Count() +
                                 zipCodes->Count());
    }
}
BENCHMARK(BM_LoadAllReferenceFiles)->Unit(benchmark::kMillisecond);

void BM_LoadPlaces(benchmark::State& aState) {
    for (auto _ : aState)
        benchmark::DoNotOptimize(TPlaces::CreateFromFile(DataFile("Places.cur")));
}
BENCHMARK(BM_LoadPlaces)->Unit(benchmark::kMillisecond);

void BM_LoadZIPCodes(benchmark::State& aState) {
    for (auto _ : aState)
        benchmark::DoNotOptimize(TZIPCodes::CreateFromFile(DataFile("ZIPCodes.cur")));
}
BENCHMARK(BM_LoadZIPCodes)->Unit(benchmark::kMillisecond);

void BM_ZIPLookUp(benchmark::State& aState) {
    const auto codes = TZIPCodes::CreateFromFile(DataFile("ZIPCodes.cur"));
    for (auto _ : aState)
        benchmark::DoNotOptimize(codes->GetCode("02134"));
}
BENCHMARK(BM_ZIPLookUp);

void BM_GetPlaceByID(benchmark::State& aState) {
    const auto places = TPlaces::CreateFromFile(DataFile("Places.cur"));
    int id = 0;
    for (auto _ : aState) {
        benchmark::DoNotOptimize(places->GetPlaceByID(1000 + id));
        id = (id + 37) % 800;
    }
}
BENCHMARK(BM_GetPlaceByID);

}  // namespace
