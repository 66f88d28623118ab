#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace trawlix {

// One ad of today's Craigslist search page: the static list gives title, address, price
// and place; the page's JSON-LD, joined by position and checked by title, adds pictures,
// coordinates and the price as a number.
struct TCraigPageAd {
    std::string title;
    std::string link;
    double price = -1;
    std::string place;
    std::vector<std::string> pictures;
    bool hasGeo = false;
    double latitude = 0;
    double longitude = 0;
    size_t position = 0;  // in the page's list, entries left out included
};

struct TCraigSearchPage {
    bool hasList = false;      // the page carries the static list at all
    std::string problem;
    std::vector<TCraigPageAd> ads;
    int itemsSkipped = 0;      // list entries without an address or a title
    int detailsMissing = 0;    // ads the JSON-LD gave nothing for (missing, unreadable or another title)
};

// Whether aHtml holds today's static result list.
bool HasCraigStaticList(std::string_view aHtml);
TCraigSearchPage ReadCraigSearchPage(std::string_view aHtml);

}  // namespace trawlix
