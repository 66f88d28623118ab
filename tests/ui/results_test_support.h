#pragma once

#include <QHeaderView>
#include <QTableView>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "model/search.h"
#include "support/test_support.h"
#include "ui/results_list.h"
#include "ui/results_model.h"
#include "ui_test_support.h"

namespace trawlix::test {

// One ad as the tests describe it.
struct TTestAd {
    std::string name;
    std::string date = "Dec 9";
    double price = 10;
    std::string link{};  // made from the name when empty
    bool isNew = false;
    TSiteSearchEnum site = ssCraigslist;
    std::string location = "sf bay area";
    std::string category = "bikes";
};

inline IEntry MakeAd(const TTestAd& aAd) {
    const std::string link =
        aAd.link.empty() ? "http://sfbay.craigslist.org/bik/" + std::to_string(std::hash<std::string>{}(aAd.name) % 100000 + 1000) + ".html"
                         : aAd.link;
    auto entry = std::make_shared<TEntry>(aAd.site, aAd.date, aAd.name, link, aAd.price, aAd.location, aAd.category,
                                          false, 0, 0, "", "", "");
    entry->SetNew(aAd.isNew);
    return entry;
}

// The program on a fresh profile, its first search holding the given ads, shown in the list.
class TResultsWindow {
public:
    explicit TResultsWindow(const std::vector<TTestAd>& aAds) : run(profile.Path()) {
        search = run.window->CurrentSearch();
        for (const TTestAd& ad : aAds) search->AddSearchResult(MakeAd(ad));
        list().RebuildViewList();
    }
    ~TResultsWindow() { run.ExitAndWait(); }

    TResultsList& list() { return *run.window->ResultsList(); }
    TResultsModel& model() { return *run.window->ResultsModel(); }
    QTableView& view() { return *run.window->lvResults; }

    std::vector<std::string> Captions() {
        std::vector<std::string> captions;
        for (int row = 0; row < model().rowCount(); ++row)
            captions.push_back(model().index(row, TResultsModel::cCaptionColumn).data().toString().toStdString());
        return captions;
    }
    IEntry Entry(const std::string& aName) {
        TCLock lock(search->GetCriticalSection());
        for (const IEntry& entry : search->GetSearchResults())
            if (entry->GetName() == aName) return entry;
        for (const IFavorite& entry : search->GetFavourites())
            if (entry->GetName() == aName) return entry;
        return nullptr;
    }
    int RowOf(const std::string& aName) {
        const std::vector<std::string> captions = Captions();
        for (size_t row = 0; row < captions.size(); ++row)
            if (captions[row] == aName) return static_cast<int>(row);
        return -1;
    }
    void ClickHeader(int aColumn) {
        QHeaderView* header = view().horizontalHeader();
        const QPoint at(header->sectionViewportPosition(aColumn) + header->sectionSize(aColumn) / 2, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    // Ticks a row's mark with the mouse, as a user does.
    void ClickMark(int aRow) {
        const int y = view().rowViewportPosition(aRow) + view().rowHeight(aRow) / 2;
        QTest::mouseClick(view().viewport(), Qt::LeftButton, {}, QPoint(10, y));
    }

    TempDir profile;
    TRun run;
    TSearch* search = nullptr;
};

}  // namespace trawlix::test
