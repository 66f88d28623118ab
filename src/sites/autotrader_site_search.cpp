#include "sites/autotrader_site_search.h"

#include "engine/text_functions.h"
#include "model/places.h"
#include "model/property_container.h"
#include "model/search.h"
#include "run/search_thread.h"
#include "sites/autotrader_results_parser.h"

namespace trawlix {

namespace {

constexpr int kResultsPerPage = 100;
constexpr int kRandomLimit = 999999999;

// Every table starts with the "any" row, which a value the table lacks also takes.
const TOptionParams kCarTypes = {{"All Cars", "search_type=both&certified="},
                                 {"New Cars", "search_type=new&certified="},
                                 {"Certified Cars", "search_type=certified&certified=y"},
                                 {"Used Cars", "search_type=used&certified="}};

const TOptionParams kBodyStyles = {{"Any Body Styles", "body_code=0"},
                                   {"Convertible", "body_style=CONVERT&body_code=1"},
                                   {"Coupe", "body_style=COUPE&body_code=2"},
                                   {"Hatchback", "body_style=HATCH&body_code=4"},
                                   {"Sedan", "body_style=SEDAN&body_code=8"},
                                   {"SUV", "body_style=SUV&body_code=16"},
                                   {"Truck", "body_style=TRUCKS&body_code=32"},
                                   {"Van / Minivan", "body_style=VANS&body_code=64"},
                                   {"Wagon", "body_style=WAGON&body_code=128"}};

const TOptionParams kSellers = {{"Dealers and Private Sellers", "seller_type=b"},
                                {"Dealers Only", "seller_type=d"},
                                {"Private Sellers Only", "seller_type=p"}};

const TOptionParams kTransmissions = {
    {"Any Transmission", "transmission="}, {"Automatic", "transmission=Automatic"}, {"Manual", "transmission=Manual"}};

const TOptionParams kEngines = {{"Any Engine", "engine="},
                                {"3 Cylinder", "engine=3+Cylinder"},
                                {"4 Cylinder", "engine=4+Cylinder"},
                                {"5 Cylinder", "engine=5+Cylinder"},
                                {"6 Cylinder", "engine=6+Cylinder"},
                                {"8 Cylinder", "engine=8+Cylinder"},
                                {"10 Cylinder", "engine=10+Cylinder"},
                                {"12 Cylinder", "engine=12+Cylinder"},
                                {"Rotary Engine", "engine=Rotary+Engine"},
                                {"Hybrid", "engine=Hybrid"}};

const TOptionParams kDrives = {{"Any Drive", "drive="},
                               {"2 wheel drive", "drive=2+wheel+drive"},
                               {"4 wheel drive", "drive=4+wheel+drive"},
                               {"All wheel drive", "drive=All+wheel+drive"}};

const TOptionParams kDoors = {{"Any Number", "doors="},
                              {"Two Door", "doors=Two+Door"},
                              {"Three Door", "doors=Three+Door"},
                              {"Four Door", "doors=Four+Door"},
                              {"Five Door", "doors=Five+Door"}};

const TOptionParams kFuels = {{"Any Fuel Type", "fuel="},
                              {"Alternative", "fuel=Alternative"},
                              {"Diesel", "fuel=Diesel"},
                              {"Gasoline", "fuel=Gasoline"}};

const TOptionParams kMileages = {{"Any Mileage", "max_mileage="},          {"Under 15,000", "max_mileage=15000"},
                                 {"Under 30,000", "max_mileage=30000"},    {"Under 45,000", "max_mileage=45000"},
                                 {"Under 60,000", "max_mileage=60000"},    {"Under 75,000", "max_mileage=75000"},
                                 {"Under 100,000", "max_mileage=100000"}, {"Over 100,000", "max_mileage=100001"}};

const TOptionParams kColours = {{"Any Color", "color="},         {"Beige", "color=BEIGE"},
                                {"Black", "color=BLACK"},       {"Blue", "color=BLUE"},
                                {"Brown", "color=BROWN"},       {"Burgundy", "color=BURGUNDY"},
                                {"Charcoal", "color=CHARCOAL"}, {"Gold", "color=GOLD"},
                                {"Gray", "color=GRAY"},         {"Green", "color=GREEN"},
                                {"Off White", "color=OFFWHITE"}, {"Orange", "color=ORANGE"},
                                {"Pink", "color=PINK"},         {"Purple", "color=PURPLE"},
                                {"Red", "color=RED"},           {"Silver", "color=SILVER"},
                                {"Tan", "color=TAN"},           {"Turquoise", "color=TURQUOISE"},
                                {"White", "color=WHITE"},       {"Yellow", "color=YELLOW"}};

std::string Pick(const TCarOptions& aOptions, const std::string& aName, const TOptionParams& aTable) {
    return aOptions.Param(aName, aTable, aTable.front().second);
}

// The site takes the keywords three ways at once: as character codes, in its Base64
// and as typed.
std::string KeywordParams(const TCarOptions& aOptions, const TSearch& aSearch) {
    std::string keywords = aOptions.Raw("autotrader_keywords");
    if (keywords.empty()) keywords = aSearch.GetKeywords();
    return "&keywordsrep=" + URLEncode(EncodeASCII(keywords)) + "&keywordsfyc=" + URLEncode(Encode64(keywords)) +
           "&keywords_display=" + URLEncode(keywords);
}

std::string YearParams(const TCarOptions& aOptions) {
    const int min = aOptions.Integer("autotrader_year_min");
    const int max = aOptions.Integer("autotrader_year_max");
    return RangeParams("start_year", std::to_string(min), min >= 1, "end_year", std::to_string(max), max >= 1);
}

std::string PriceParams(const TCarOptions& aOptions) {
    const double min = aOptions.Number("price_min");
    const double max = aOptions.Number("price_max");
    return RangeParams("min_price", RoundedText(min), min > 0, "max_price", RoundedText(max), max > 0);
}

std::string FlagParams(const TCarOptions& aOptions) {
    auto flag = [&](const char* aName) { return aOptions.Yes(aName) ? "1" : ""; };
    return std::string("only_photo=") + flag("autotrader_with_photos") + "&only_price=" +
           flag("autotrader_with_prices") + "&only_special=" + flag("autotrader_special_offers");
}

}  // namespace

TAutotraderSiteSearch::TAutotraderSiteSearch(TSearch* aParentSearch) : TCarSiteSearch(ssAutotrader, aParentSearch) {}

std::unique_ptr<TBaseResultsParser> TAutotraderSiteSearch::CreateResultsParser() {
    return std::make_unique<TAutotraderSiteResultsParser>(AutotraderHost());
}

std::vector<std::string> TAutotraderSiteSearch::MakePlaceLinks(const TPlace& aLocation, int aPageToDisplay) {
    std::string link;
    MakeSearchLink(aLocation, aPageToDisplay, link);
    return {link};
}

void TAutotraderSiteSearch::MakeSearchLink(const TPlace& aLocation, int aPageToDisplay, std::string& Result) {
    Result.clear();
    if (aLocation.GetZIPCode().empty()) return;
    const TSearch& search = *GetParentSearch();
    const TCarOptions options(search.GetPropertyContainer());
    Result = "http://" + AutotraderHost() +
             "/fyc/searchresults.jsp?num_records=100&search_lang=en&page_location=findacar%3A%3Aispsearchform"
             "&marketZipError=false&style_flag=2&make=&advanced=y&highlightFirstMakeModel=&showZipError=n"
             "&default_sort=&awsp=false&systime=&scarid=286953010&sort_type=distance&address=" +
             aLocation.GetZIPCode() + "&distance=25" + KeywordParams(options, search);
    for (const std::string& piece :
         {Pick(options, "autotrader_car_usability", kCarTypes), Pick(options, "autotrader_body_style", kBodyStyles),
          YearParams(options), PriceParams(options), Pick(options, "autotrader_seller_type", kSellers),
          Pick(options, "autotrader_transmission", kTransmissions), Pick(options, "autotrader_engine", kEngines),
          Pick(options, "autotrader_drivetrain", kDrives), Pick(options, "autotrader_doors", kDoors),
          Pick(options, "autotrader_fuel", kFuels), Pick(options, "autotrader_mileage", kMileages),
          Pick(options, "autotrader_exterior_color", kColours), FlagParams(options)})
        Result += "&" + piece;
    if (aPageToDisplay > 1) {
        const int offset = (aPageToDisplay - 1) * kResultsPerPage;
        Result += "&pager.offset=" + std::to_string(offset) + "&first_record=" + std::to_string(offset + 1);
    }
    Result += "&rdm=" + std::to_string(RandomBelow(kRandomLimit));
}

std::string TAutotraderSiteSearch::GetLinkWithoutPage(const std::string& aSourceLink) {
    return RemoveURLParam(RemoveURLParam(aSourceLink, "pager.offset"), "first_record");
}

std::string TAutotraderSiteSearch::RemoveRandomParam(const std::string& aSourceLink) {
    return RemoveURLParam(aSourceLink, "rdm");
}

}  // namespace trawlix
