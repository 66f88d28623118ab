// One refresh of the timeline window while a search adds results: the bars recounted from
// 100,000 results, the chart changed and painted. Goal: under 16 ms, a frame, so the window
// does not stall; the rebuild when a new day appears is measured beside it.
#include <benchmark/benchmark.h>

#include <QApplication>

#include <algorithm>
#include <string>

#include "engine/text_functions.h"
#include "ui/form_timeline.h"

namespace {

using namespace trawlix;

constexpr int kResults = 100000;

TEntryList MakeResults(int aCount) {
    TEntryList entries;
    entries.reserve(aCount);
    for (int i = 0; i < aCount; ++i) {
        const int scrambled = static_cast<int>((static_cast<long long>(i) * 7919) % kResults);
        const std::string date = IntToCraigsMonth(1 + scrambled % 12) + " " + std::to_string(1 + scrambled % 28);
        entries.push_back(std::make_shared<TEntry>(ssCraigslist, date, "bike", "http://example.org/1.html", 10.0, "",
                                                   "", false, 0, 0, "", "", ""));
    }
    return entries;
}

void Paint(TformTimeline& aForm) {
    aForm.viewTimeline->viewport()->repaint();
    QApplication::processEvents();
}

// The usual refresh: the same days, a few more results on some of them.
void BM_RefreshWithMoreResults(benchmark::State& aState) {
    TformTimeline form;
    form.resize(900, 300);
    form.show();
    TEntryList results = MakeResults(kResults);
    form.SetResults(results);
    Paint(form);
    int extra = 0;
    for (auto _ : aState) {
        aState.PauseTiming();
        results.push_back(results[extra++ % 1000]);
        aState.ResumeTiming();
        form.SetResults(results);
        Paint(form);
    }
}
BENCHMARK(BM_RefreshWithMoreResults)->Unit(benchmark::kMillisecond);

// A refresh that brings a new first day: the whole series is rebuilt.
void BM_RefreshWithANewDay(benchmark::State& aState) {
    TformTimeline form;
    form.resize(900, 300);
    form.show();
    const TEntryList results = MakeResults(kResults);
    TEntryList fewer(results.begin(), results.end());
    fewer.erase(std::remove_if(fewer.begin(), fewer.end(), [](const IEntry& aEntry) { return aEntry->GetDate() == "Jan 1"; }),
                fewer.end());
    bool full = false;
    for (auto _ : aState) {
        form.SetResults(full ? results : fewer);
        Paint(form);
        full = !full;
    }
}
BENCHMARK(BM_RefreshWithANewDay)->Unit(benchmark::kMillisecond);

}  // namespace

// Where a refresh's time goes: painting the unchanged chart, and counting and changing it
// without painting.
namespace {

void BM_PaintOnly(benchmark::State& aState) {
    TformTimeline form;
    form.resize(900, 300);
    form.show();
    form.SetResults(MakeResults(kResults));
    Paint(form);
    for (auto _ : aState) Paint(form);
}
BENCHMARK(BM_PaintOnly)->Unit(benchmark::kMillisecond);

void BM_SetWithoutPainting(benchmark::State& aState) {
    TformTimeline form;
    form.resize(900, 300);
    form.show();
    TEntryList results = MakeResults(kResults);
    form.SetResults(results);
    Paint(form);
    int extra = 0;
    for (auto _ : aState) {
        aState.PauseTiming();
        results.push_back(results[extra++ % 1000]);
        aState.ResumeTiming();
        form.SetResults(results);
    }
}
BENCHMARK(BM_SetWithoutPainting)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
