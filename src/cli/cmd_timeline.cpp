// timeline: the bars of a search's timeline, as text, JSON or a picture.
#include <string>

#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/search_arg.h"
#include "cli/pictures.h"
#include "engine/critical_section.h"
#include "model/filter.h"
#include "model/search.h"
#include "model/timeline_bars.h"

namespace trawlix::cli {

namespace {

// The results the search's list shows: those its filter lets through.
TTimelineBars SearchBars(TSearch& aSearch) {
    TCLock searchLock(aSearch.GetCriticalSection());
    TFilter& filter = aSearch.GetFilter();
    TCLock filterLock(filter.GetCriticalSection());
    TEntryList shown;
    for (const IEntry& entry : aSearch.GetSearchResults().Items())
        if (filter.EntryPasses(*entry, false)) shown.push_back(entry);
    return CountResultsPerDay(shown, LocalToday());
}

void PrintBars(std::ostream& aOut, const TTimelineBars& aBars, bool aJson) {
    if (!aJson) {
        for (const auto& bar : aBars) aOut << bar.fLabel << "\t" << bar.fCount << "\n";
        return;
    }
    aOut << "[";
    for (size_t i = 0; i < aBars.size(); ++i)
        aOut << (i ? "," : "") << JsonObject().Add("label", aBars[i].fLabel).Add("count", aBars[i].fCount).Str();
    aOut << "]\n";
}

int Timeline(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    const auto picture = args.Value("--render");
    if (picture && picture->empty()) throw UsageError("--render needs a file name");
    const auto positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("timeline needs exactly one SEARCH");
    const TTimelineBars bars = SearchBars(FindSearchArg(aContext, positionals[0]));
    if (picture) WriteTimelinePicture(bars, *picture);
    PrintBars(aContext.out, bars, json);
    return 0;
}

CommandRegistrar gTimeline({"timeline", "timeline SEARCH [--json] [--render FILE.png]", false, true, Timeline,
                            AlwaysReadsOnly});

}  // namespace

}  // namespace trawlix::cli
