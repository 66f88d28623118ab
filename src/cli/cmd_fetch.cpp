// fetch: one page through the program's download path, as a search would fetch it.
#include <algorithm>
#include <cctype>
#include <optional>

#include "app/session.h"
#include "cli/cli_command.h"
#include "engine/download.h"
#include "engine/http_client.h"

namespace trawlix::cli {

namespace {

// Letters and digits only, lower case: "Cars.com", "carscom" and "CARSCOM" are one name.
std::string Simplified(const std::string& aName) {
    std::string out;
    for (unsigned char c : aName)
        if (std::isalnum(c)) out += static_cast<char>(std::tolower(c));
    return out;
}

TSiteSearchEnum SiteNamed(const std::string& aName) {
    std::string wanted = Simplified(aName);
    std::string known;
    for (int site = 0; site < cSiteSearchCount; ++site) {
        std::string display = Simplified(cSiteSearchStr[site]);
        // The display names carry a suffix ("EBayClassifieds", "Autotrader.com") that
        // people leave out.
        if (wanted == display || (wanted.size() >= 4 && display.rfind(wanted, 0) == 0))
            return static_cast<TSiteSearchEnum>(site);
        known += (known.empty() ? "" : ", ") + cSiteSearchStr[site];
    }
    throw UsageError("unknown site '" + aName + "'; one of " + known);
}

int Fetch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    std::optional<std::string> siteName = args.Value("--site");
    std::vector<std::string> positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("fetch takes one URL");
    ICHTTPClient client;
    if (siteName) {
        TSiteSearchEnum site = SiteNamed(*siteName);
        client = GetSiteDownloader(site);
        if (!client) throw CommandError("No HTTP client for " + cSiteSearchStr[site]);
    }
    TDownloadFailure failure;
    std::string body = DownloadFile(positionals[0], client, failure);
    if (body.empty()) {
        aContext.err << "Could not open URL " << positionals[0] << (failure.tooLarge ? ": " + failure.text : "")
                     << "\n";
        return 1;
    }
    aContext.out << body;
    return 0;
}

CommandRegistrar fetch({"fetch", "fetch URL [--site NAME]   (without a site: the fall-back transfer only)", false,
                        true, Fetch});

}  // namespace

}  // namespace trawlix::cli
