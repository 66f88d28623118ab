#pragma once

#include <optional>
#include <string>

#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "engine/site_search_enum.h"
#include "model/entry.h"

namespace trawlix {
class TSearch;
class TSearches;
}  // namespace trawlix

namespace trawlix::cli {

// The loaded searches of the command's session; a command error when there are none.
TSearches& SessionSearches(CommandContext& aContext);
// A search named by its id or its exact name.
TSearch& FindSearchArg(CommandContext& aContext, const std::string& aText);
// The command-line name of a site ("craigslist", "carscom", ...), and back.
const std::string& SiteArgName(TSiteSearchEnum aSite);
std::optional<TSiteSearchEnum> SiteFromArgName(const std::string& aName);
// One result as `results --json` writes it.
JsonObject ResultJson(const TEntry& aEntry);

}  // namespace trawlix::cli
