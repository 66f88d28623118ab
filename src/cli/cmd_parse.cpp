// Commands "parse" (runs a site's result parser over a saved page) and "keywords" (cleans a
// keyword line). Neither needs a session.
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>
#include <vector>

#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "engine/http_client.h"
#include "engine/keyword_syntax.h"
#include "engine/results_parser.h"
#include "sites/autotrader_results_parser.h"
#include "sites/cars_com_results_parser.h"
#include "sites/craig_results_parser.h"

namespace trawlix::cli {

namespace {

std::string ReadRawPage(const std::string& aSource) {
    if (aSource == "-") {
        return std::string(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    }
    std::ifstream file(aSource, std::ios::binary);
    if (!file) throw CommandError("cannot read " + aSource);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

// The page as a download gives it to the parsers: valid UTF-8, bytes that are not UTF-8
// read as Windows-1252, so that one Latin-1 byte cannot make a page unreadable.
std::string ReadPage(const std::string& aSource) {
    const std::string raw = ReadRawPage(aSource);
    return DecodeHttpBody(std::vector<std::uint8_t>(raw.begin(), raw.end()), "");
}

std::unique_ptr<TBaseResultsParser> ParserForSite(const std::string& aSite) {
    if (aSite == "craigslist") return std::make_unique<TCraigSiteResultsParser>();
    if (aSite == "backpage" || aSite == "oodle" || aSite == "ebay") return std::make_unique<TBaseResultsParser>();
    if (aSite == "carscom") return std::make_unique<TCarsComSiteResultsParser>();
    if (aSite == "autotrader") return std::make_unique<TAutotraderSiteResultsParser>();
    throw UsageError("unknown site \"" + aSite + "\"");
}

std::string ResultJson(const TParsedResult& aResult) {
    JsonObject object;
    object.Add("date", aResult.date)
        .Add("name", aResult.name)
        .Add("link", aResult.link)
        .Add("price", aResult.price)
        .Add("has_image", aResult.hasImage)
        .Add("local_date_time", aResult.localDateTime)
        .Add("description", aResult.description)
        .Add("contact", aResult.contact)
        .Add("image_url", aResult.imageUrl)
        .AddPlaceAndPictures(aResult.place, aResult.hasGeo, aResult.latitude, aResult.longitude, aResult.pictures);
    return object.Str();
}

int RunParse(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const std::string site = args.RequiredValue("--site");
    bool categoryListing = args.Flag("--category-listing");
    auto positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("give one FILE, or - for standard input");
    auto parser = ParserForSite(site);
    parser->SetOnlyCatListings(categoryListing);
    parser->SetHTML(ReadPage(positionals.front()));
    parser->SetOnResultParsed([&](const TParsedResult& aResult) { aContext.out << ResultJson(aResult) << "\n"; });
    int count = parser->Parse();
    aContext.out << JsonObject().Add("count", count).Add("overflow", parser->GetSearchLinkPagesOverflow()).Str()
                 << "\n";
    return 0;
}

int RunKeywords(CommandContext& aContext) {
    // Taken as it stands: a keyword line may well start with "-" (an excluded word).
    if (aContext.args.size() != 1) throw UsageError("give the keyword line as one argument");
    std::string keywords = ValidateKeywords(aContext.args.front());
    aContext.out << JsonObject()
                        .Add("keywords", keywords)
                        .Add("phrase_or_warning", PhraseWithOrWarningApplies(keywords))
                        .Str()
                 << "\n";
    return 0;
}

const CommandRegistrar kParse({"parse",
                               "parse --site craigslist|backpage|oodle|ebay|carscom|autotrader "
                               "[--category-listing] FILE|-",
                               false, false, RunParse});
const CommandRegistrar kKeywords({"keywords", "keywords TEXT", false, false, RunKeywords});

}  // namespace

}  // namespace trawlix::cli
