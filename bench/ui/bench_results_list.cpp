// Scrolling the results list of a search holding 100,000 results: the list is virtual, so
// painting a page must cost the same at the top, in the middle and at the end. Each round
// moves one page on (wrapping at the end) and paints it at once.
#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/settings.h"
#include "model/filter.h"
#include "model/search.h"
#include "ui/results_model.h"

namespace {

using namespace trawlix;

constexpr int cResults = 100000;

// A search with cResults results, every tenth new and every seventh visited, some of
// them favourites, shown in a list of the window's size.
struct TShownList {
    TShownList() {
        for (int i = 0; i < cResults; ++i) {
            auto entry = std::make_shared<TEntry>(
                static_cast<TSiteSearchEnum>(i % cSiteSearchCount), "Dec " + std::to_string(1 + i % 28),
                "Mountain bike number " + std::to_string(i), "http://sfbay.craigslist.org/bik/" + std::to_string(i) + ".html",
                i % 5 == 0 ? 0 : i * 0.5, "san francisco", "bikes - by owner", i % 3 == 0, 0, 0, "", "", "");
            entry->SetNew(i % 10 == 0);
            entry->SetVisited(i % 7 == 0);
            if (i % 50 == 0) search.AddFavourite(std::make_shared<TFavourite>(*entry, ""));
            search.AddSearchResult(std::move(entry));
        }
        colors.SetNewBackgroundColor(RGBColor(230, 255, 230));
        colors.SetVisitedBackgroundColor(RGBColor(240, 240, 240));
        colors.SetHighlightedFontColor(RGBColor(90, 90, 90));
        model.SetColorSettings(&colors);
        helper.RebuildViewList(search);
        view.setModel(&model);
        view.verticalHeader()->setDefaultSectionSize(20);
        view.resize(1000, 600);
        view.show();
        QApplication::processEvents();
    }

    TSearch search;
    TColorSettings colors;
    TResultsModel model;
    QLabel label;
    TViewHelper helper{model, label};
    QTableView view;
};

void BM_ScrollOnePage(benchmark::State& aState) {
    TShownList shown;
    QScrollBar* bar = shown.view.verticalScrollBar();
    if (shown.model.rowCount() != cResults) aState.SkipWithError("results missing");
    const int page = std::max(bar->pageStep(), 1);
    for (auto _ : aState) {
        const int next = bar->value() + page;
        bar->setValue(next > bar->maximum() ? 0 : next);
        shown.view.viewport()->repaint();
    }
    aState.counters["rows_per_page"] = page;
    aState.SetLabel("100,000 rows");
}
BENCHMARK(BM_ScrollOnePage)->Unit(benchmark::kMillisecond);

void BM_JumpToEndAndBack(benchmark::State& aState) {
    TShownList shown;
    for (auto _ : aState) {
        shown.view.scrollToBottom();
        shown.view.viewport()->repaint();
        shown.view.scrollToTop();
        shown.view.viewport()->repaint();
    }
    aState.SetLabel("100,000 rows, two pages painted");
}
BENCHMARK(BM_JumpToEndAndBack)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
