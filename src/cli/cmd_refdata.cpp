// Commands that show the reference data the session loaded: places, categories, ZIP
// codes and mobile carriers.
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "app/session.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "engine/text_functions.h"
#include "model/categories.h"
#include "model/gsm_networks.h"
#include "model/places.h"
#include "model/zip_codes.h"

namespace trawlix::cli {

namespace {

template <class T>
T& Loaded(T* aData, const char* aWhat) {
    if (!aData)
        throw CommandError(std::string("The ") + aWhat + " could not be loaded.");
    return *aData;
}

std::string Coordinate(double aValue) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", aValue);
    return text;
}

JsonObject NodeJson(const TPlace& aPlace) {
    JsonObject json;
    json.Add("id", aPlace.GetID())
        .Add("parent_id", aPlace.GetParentID())
        .Add("name", aPlace.GetName())
        .Add("full_name", aPlace.ToString())
        .Add("link", aPlace.GetCraigSitePlace().GetLink())
        .Add("type", aPlace.GetCraigSitePlace().GetPlaceType())
        .Add("zip_code", aPlace.GetZIPCode())
        .Add("latitude", aPlace.GetLatitude())
        .Add("longitude", aPlace.GetLongitude());
    return json;
}

std::string NodeLine(const TPlace& aPlace) {
    return std::to_string(aPlace.GetID()) + "\t" + std::to_string(aPlace.GetParentID()) + "\t" + aPlace.GetName() +
           "\t" + aPlace.ToString() + "\t" + aPlace.GetCraigSitePlace().GetLink() + "\t" +
           std::to_string(aPlace.GetCraigSitePlace().GetPlaceType()) + "\t" + aPlace.GetZIPCode() + "\t" +
           Coordinate(aPlace.GetLatitude()) + "\t" + Coordinate(aPlace.GetLongitude());
}

void PrintJsonArray(std::ostream& aOut, const std::vector<std::string>& aObjects) {
    aOut << "[";
    for (size_t i = 0; i < aObjects.size(); ++i)
        aOut << (i ? ",\n " : "") << aObjects[i];
    aOut << "]\n";
}

// Pre-order, so that an area is followed by its sub-areas.
void CollectTree(const TPlace* aPlace, TPlaceList& aList) {
    aList.push_back(const_cast<TPlace*>(aPlace));
    for (const TPlace* child : aPlace->GetChildren())
        CollectTree(child, aList);
}

// The places whose name contains the text, each followed by the places below it, so
// that an area shows with its sub-areas.
TPlaceList SearchPlaces(const TPlaces& aPlaces, const std::string& aText) {
    const std::string text = LowerCase(aText);
    TPlaceList all;
    for (const TPlace* country : aPlaces.GetCountries())
        CollectTree(country, all);
    TPlaceList found;
    for (const TPlace* place : all) {
        if (LowerCase(place->GetName()).find(text) == std::string::npos)
            continue;
        const bool insideEarlierMatch = std::any_of(found.begin(), found.end(), [place](const TPlace* aOther) {
            return aOther->HasChildWithID(false, place->GetID()) && aOther != place;
        });
        if (!insideEarlierMatch)
            CollectTree(place, found);
    }
    return found;
}

int RunPlaces(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    const auto search = args.Value("--search");
    if (!args.Positionals().empty())
        throw UsageError("places takes no arguments");
    const TPlaces& places = Loaded(aContext.session->GetPlaces(), "places");
    TPlaceList list;
    if (search) {
        list = SearchPlaces(places, *search);
    } else {
        for (const TPlace* country : places.GetCountries())
            CollectTree(country, list);
    }
    std::vector<std::string> objects;
    for (const TPlace* place : list) {
        if (json)
            objects.push_back(NodeJson(*place).Str());
        else
            aContext.out << NodeLine(*place) << "\n";
    }
    if (json)
        PrintJsonArray(aContext.out, objects);
    return 0;
}

int RunCategories(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty())
        throw UsageError("categories takes no arguments");
    const TCategories& categories = Loaded(aContext.session->GetCategories(), "categories");
    const TPlaceList& mains = categories.GetMainCategories();
    std::vector<std::string> objects;
    for (const auto& category : categories.GetAllCategories()) {
        const bool isMain = std::find(mains.begin(), mains.end(), category.get()) != mains.end();
        if (json)
            objects.push_back(NodeJson(*category).Add("main", isMain).Str());
        else
            aContext.out << NodeLine(*category) << "\t" << (isMain ? "main" : "") << "\n";
    }
    if (json)
        PrintJsonArray(aContext.out, objects);
    return 0;
}

int RunZip(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    const auto positionals = args.Positionals();
    if (positionals.size() != 1)
        throw UsageError("zip needs exactly one CODE");
    const TZIPCodes& codes = Loaded(aContext.session->GetZIPCodes(), "ZIP codes");
    const auto code = codes.GetCode(PadZIPCode(positionals[0]));
    if (!code)
        throw CommandError("The ZIP code you have entered is invalid. Please fix it or delete it.");
    if (json)
        aContext.out << JsonObject()
                            .Add("code", code->GetCode())
                            .Add("latitude", code->GetLatitude())
                            .Add("longitude", code->GetLongitude())
                            .Str()
                     << "\n";
    else
        aContext.out << code->GetCode() << "\t" << Coordinate(code->GetLatitude()) << "\t"
                     << Coordinate(code->GetLongitude()) << "\n";
    return 0;
}

int RunCarriers(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty())
        throw UsageError("carriers takes no arguments");
    const TGSMNetworks& networks = Loaded(aContext.session->GetGSMNetworks(), "mobile carriers");
    std::vector<std::string> objects;
    for (const auto& network : networks.GetAllNetworks()) {
        if (json)
            objects.push_back(JsonObject()
                                  .Add("id", network->GetID())
                                  .Add("name", network->GetName())
                                  .Add("address", network->GetAddress())
                                  .Str());
        else
            aContext.out << network->GetID() << "\t" << network->GetName() << "\t" << network->GetAddress() << "\n";
    }
    if (json)
        PrintJsonArray(aContext.out, objects);
    return 0;
}

const CommandRegistrar cPlacesCommand({"places", "places [--search TEXT] [--json]", false, true, RunPlaces,
                                          AlwaysReadsOnly});
const CommandRegistrar cCategoriesCommand({"categories", "categories [--json]", false, true, RunCategories,
                                              AlwaysReadsOnly});
const CommandRegistrar cZipCommand({"zip", "zip CODE [--json]", false, true, RunZip, AlwaysReadsOnly});
const CommandRegistrar cCarriersCommand({"carriers", "carriers [--json]", false, true, RunCarriers,
                                            AlwaysReadsOnly});

}  // namespace

}  // namespace trawlix::cli
