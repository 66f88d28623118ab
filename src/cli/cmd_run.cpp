// Commands that run searches: the links a run would fetch, the run itself, exporting the
// results to CSV and reporting ads to Craigslist.
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <set>
#include <sstream>

#include "app/platform.h"
#include "app/session.h"
#include "app/settings.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/search_arg.h"
#include "cli/site_problem_output.h"
#include "engine/results_parser.h"
#include "engine/synchronizator.h"
#include "model/places.h"
#include "model/search.h"
#include "model/searches.h"
#include "run/csv_export.h"
#include "run/search_thread.h"
#include "run/site_problem.h"
#include "run/site_search_run.h"
#include "sites/craig_site_search.h"
#include "sites/posting_scrapers.h"

namespace trawlix::cli {

namespace {

std::string OneSearch(ArgParser& aArgs, const std::string& aCommand) {
    auto positionals = aArgs.Positionals();
    if (positionals.size() != 1) throw UsageError(aCommand + " needs exactly one SEARCH");
    return positionals[0];
}

// --- links ----------------------------------------------------------------------------------

int RunLinks(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool automatic = args.Flag("--auto");
    std::optional<TSiteSearchEnum> onlySite;
    if (auto name = args.Value("--site")) {
        onlySite = SiteFromArgName(*name);
        if (!onlySite) throw UsageError("unknown site \"" + *name + "\"");
    }
    TSearch& search = FindSearchArg(aContext, OneSearch(args, "links"));
    search.SetCalledFromUser(!automatic);
    search.ExpandLocations();
    for (const auto& part : search.GetSiteSearches()) {
        TSiteSearchRun* siteSearch = SiteSearchRun(part.get());
        if (!siteSearch || !siteSearch->GetDoSearch() || (onlySite && siteSearch->GetSite() != *onlySite)) continue;
        // A thread that never starts: the links are made exactly as a run makes them.
        TBaseSearchThread thread(std::make_unique<TBaseResultsParser>(), false);
        for (const auto& link : siteSearch->MakeSearchLinks(thread))
            aContext.out << SiteArgName(siteSearch->GetSite()) << "\t" << link << "\n";
    }
    return 0;
}

// --- run ------------------------------------------------------------------------------------

// Progress on standard error: a bar on a terminal, a line per step otherwise.
class TProgressDisplay {
public:
    explicit TProgressDisplay(std::ostream& aErr) : fErr(aErr), fTerminal(isatty(STDERR_FILENO) == 1) {}

    void Show(double aProgress) {
        const int percent = std::clamp(static_cast<int>(aProgress * 100 + 0.5), 0, 100);
        if (percent == fLastPercent) return;
        fLastPercent = percent;
        if (fTerminal) {
            const int filled = percent * 30 / 100;
            fErr << "\r[" << std::string(filled, '#') << std::string(30 - filled, ' ') << "] " << percent << "%"
                 << std::flush;
            fBarShown = true;
        } else {
            fErr << "progress " << percent << "%\n";
        }
    }
    void Line(const std::string& aText) {
        EndBar();
        fErr << aText << "\n";
    }
    void EndBar() {
        if (!fBarShown) return;
        fErr << "\n";
        fBarShown = false;
        fLastPercent = -1;
    }

private:
    std::ostream& fErr;
    bool fTerminal;
    bool fBarShown = false;
    int fLastPercent = -1;
};

std::string ResultLine(const TEntry& aEntry) {
    std::ostringstream line;
    line << aEntry.GetDate() << "\t" << aEntry.GetName() << "\t" << aEntry.GetPrice() << "\t"
         << aEntry.GetLocationString() << "\t" << aEntry.GetLink() << "\t" << (aEntry.GetNew() ? "new" : "old");
    return line.str();
}

// Clears the run's handlers when the command ends: they point into this function's frame.
struct THandlersReset {
    TSearch& search;
    ~THandlersReset() {
        search.OnSearchStarted = nullptr;
        search.OnProgress = nullptr;
        search.OnError = nullptr;
        search.OnSearchStopped = nullptr;
        search.OnResultKept = nullptr;
    }
};

// One site's part of a run: which kind of answer served it ("json", "page" or "classic";
// the sites with one format only always read the classic one) and how many pages it read.
std::string SiteFormatJson(const TSiteSearchRun& aSite) {
    std::string format = aSite.GetAnswerFormat();
    if (format.empty() && aSite.GetPagesFetched() > 0) format = "classic";
    return JsonObject()
        .Add("site", cSiteSearchStr[aSite.GetSite()])
        .Add("format", format)
        .Add("pages_fetched", aSite.GetPagesFetched())
        .Str();
}

int RunSearch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool automatic = args.Flag("--auto");
    const bool json = args.Flag("--json");
    TSearch& search = FindSearchArg(aContext, OneSearch(args, "run"));
    auto* loop = dynamic_cast<THeadlessMainLoop*>(GetMainThreadBinding());
    if (!loop) throw CommandError("No main loop to run the search on.");

    std::mutex outputMutex;
    TProgressDisplay progress(aContext.err);
    std::atomic<bool> started{false}, stopped{false};
    int kept = 0, newOnes = 0;
    THandlersReset reset{search};
    search.OnSearchStarted = [&](TSearch&) { started = true; };
    search.OnSearchStopped = [&](TSearch&) { stopped = true; };
    search.OnProgress = [&](TSearch&, double aValue) {
        std::lock_guard lock(outputMutex);
        progress.Show(aValue);
    };
    search.OnError = [&](TSearch&, const std::string& aText) {
        std::lock_guard lock(outputMutex);
        progress.Line("error: " + aText);
    };
    search.OnResultKept = [&](TSearch&, const IEntry& aEntry) {
        std::lock_guard lock(outputMutex);
        ++kept;
        if (aEntry->GetNew()) ++newOnes;
        progress.EndBar();
        aContext.out << (json ? ResultJson(*aEntry).Str() : ResultLine(*aEntry)) << "\n" << std::flush;
    };

    // Ctrl+C, SIGTERM or SIGHUP (noted by the program's main) stop the run as the stop
    // button does; what was found is then saved as at the end of any run.
    const auto interrupted = [] { return platform::TTerminationSignals::Received() != 0; };
    if (!automatic) {
        // As the start button does: earlier results become old, or go when asked to clear them.
        search.FillOldResults(search.GetClearOldResults());
        search.SetNewResultsAvailable({});
    }
    search.Search(nullptr, !automatic);
    if (!started) throw CommandError("You must select some locations and categories to search in.");
    bool stopAsked = false;
    while (!stopped) {
        loop->RunUntil([&] { return stopped.load() || (interrupted() && !stopAsked); }, std::chrono::milliseconds(200));
        if (interrupted() && !stopAsked) {
            stopAsked = true;
            search.StopSearch();
            std::lock_guard lock(outputMutex);
            progress.Line("Stopping...");
        }
    }
    // What the run found is stored before it is reported as done.
    SessionSearches(aContext).SaveSearch(search);
    int pages = 0, skipped = 0;
    std::string sites;
    for (const auto& part : search.GetSiteSearches())
        if (const TSiteSearchRun* siteSearch = SiteSearchRun(part.get()); siteSearch && siteSearch->GetDoSearch()) {
            pages += siteSearch->GetPagesFetched();
            skipped += siteSearch->GetItemsSkipped();
            sites += (sites.empty() ? "" : ",") + SiteFormatJson(*siteSearch);
        }
    std::lock_guard lock(outputMutex);
    progress.EndBar();
    for (const TSiteProblemReport& report : LastRunSiteProblems(search))
        PrintSiteProblem(aContext.err, search, report, json);
    if (json)
        aContext.out << JsonObject()
                            .Add("pages_fetched", pages)
                            .Add("results_kept", kept)
                            .Add("new_results", newOnes)
                            .Add("stopped", stopAsked)
                            .Add("ads_without_link", skipped)
                            .AddRaw("sites", "[" + sites + "]")
                            .Str()
                     << "\n";
    else {
        aContext.out << (stopAsked ? "Stopped. " : "Done. ") << pages << " pages fetched, " << kept
                     << " results kept, " << newOnes << " new.\n";
        if (skipped > 0) aContext.out << skipped << " ads without a link were left out.\n";
    }
    return 0;
}

// --- export ---------------------------------------------------------------------------------

// Takes "--selection LINK..." off the arguments: every argument after it up to the next option.
std::vector<std::string> TakeSelection(std::vector<std::string>& aArgs) {
    std::vector<std::string> links;
    auto it = std::find(aArgs.begin(), aArgs.end(), "--selection");
    if (it == aArgs.end()) return links;
    auto end = std::find_if(it + 1, aArgs.end(), [](const std::string& a) { return a.rfind("--", 0) == 0; });
    links.assign(it + 1, end);
    if (links.empty()) throw UsageError("--selection needs at least one LINK");
    aArgs.erase(it, end);
    return links;
}

TExportColumns ParseColumns(const std::string& aList) {
    TExportColumns columns{false, false, false, false, false, false, false, false, false, false, false, false};
    const std::pair<const char*, bool TExportColumns::*> names[] = {
        {"date", &TExportColumns::date},           {"caption", &TExportColumns::caption},
        {"price", &TExportColumns::price},         {"location", &TExportColumns::location},
        {"latitude", &TExportColumns::latitude},   {"longitude", &TExportColumns::longitude},
        {"category", &TExportColumns::category},   {"description", &TExportColumns::description},
        {"contact", &TExportColumns::contact},     {"ad-url", &TExportColumns::adURL},
        {"image-url", &TExportColumns::imageURL},  {"note", &TExportColumns::favoriteNote}};
    std::istringstream in(aList);
    for (std::string name; std::getline(in, name, ',');) {
        auto it = std::find_if(std::begin(names), std::end(names), [&](const auto& n) { return name == n.first; });
        if (it == std::end(names)) throw UsageError("unknown column \"" + name + "\"");
        columns.*(it->second) = true;
    }
    return columns;
}

int RunExport(CommandContext& aContext) {
    std::vector<std::string> rawArgs = aContext.args;
    const std::vector<std::string> selection = TakeSelection(rawArgs);
    ArgParser args(rawArgs);
    const auto out = args.Value("--out");
    if (!out || out->empty()) throw UsageError("export needs --out FILE");
    TExportOptions options;
    if (auto columns = args.Value("--columns")) options.columns = ParseColumns(*columns);
    options.onlyNew = args.Flag("--only-new");
    const bool favourites = args.Flag("--favourites");
    TSearch& search = FindSearchArg(aContext, OneSearch(args, "export"));
    if (options.columns.favoriteNote && !favourites)
        throw UsageError("the note column belongs to the favourites: add --favourites");

    TEntryList entries;
    {
        TCLock lock(search.GetCriticalSection());
        if (favourites)
            entries.assign(search.GetFavourites().begin(), search.GetFavourites().end());
        else
            entries.assign(search.GetSearchResults().begin(), search.GetSearchResults().end());
    }
    if (!selection.empty()) {
        TEntryList chosen;
        for (const auto& link : selection) {
            auto it = std::find_if(entries.begin(), entries.end(), [&](const IEntry& e) { return e->GetLink() == link; });
            if (it == entries.end()) throw CommandError("The search has no result with the link \"" + link + "\".");
            chosen.push_back(*it);
        }
        entries = std::move(chosen);
    }
    options.downloadPage = DownloadEntryPage;
    options.readPage = ReadPostingFields;
    const TPlaces* places = aContext.session->GetPlaces();
    options.placeLookup = [places](int aID) -> const TPlace* { return places ? places->GetPlaceByID(aID) : nullptr; };
    std::filesystem::path file = *out;
    if (!file.has_extension()) file += ".csv";
    TExportReport report;
    const auto lines = ExportToCSV(entries, options, &report);
    WriteCSVFile(file, lines);
    aContext.out << "Exported " << lines.size() - 1 << " results to " << file.string() << ".\n";
    if (report.pagesNotRead > 0)
        aContext.out << ExportPagesNotReadText(report.pagesNotRead) << "\n";
    return 0;
}

// --- flag -----------------------------------------------------------------------------------

int RunFlag(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto as = args.Value("--as");
    if (!as) throw UsageError("flag needs --as spam|miscategorized|prohibited|best");
    const std::pair<const char*, TCraigFlagCode> codes[] = {{"spam", TCraigFlagCode::Spam},
                                                            {"miscategorized", TCraigFlagCode::Miscategorized},
                                                            {"prohibited", TCraigFlagCode::Prohibited},
                                                            {"best", TCraigFlagCode::Best}};
    auto code = std::find_if(std::begin(codes), std::end(codes), [&](const auto& c) { return *as == c.first; });
    if (code == std::end(codes)) throw UsageError("--as takes spam, miscategorized, prohibited or best");
    auto positionals = args.Positionals();
    if (positionals.size() < 2) throw UsageError("flag needs a SEARCH and at least one LINK");
    TSearch& search = FindSearchArg(aContext, positionals[0]);
    std::vector<IEntry> entries;
    for (size_t i = 1; i < positionals.size(); ++i) {
        IEntry entry;
        {
            TCLock lock(search.GetCriticalSection());
            entry = TSearch::GetResultByLink(search.GetSearchResults(), positionals[i]);
            if (!entry) entry = search.GetFavoriteByLink(positionals[i]);
        }
        if (!entry) throw CommandError("The search has no result with the link \"" + positionals[i] + "\".");
        entries.push_back(entry);
    }
    const int sent =
        FlagCraigslistEntries(entries, code->second, aContext.session->GetSettings().GetCraigslistDomain());
    aContext.out << "Reported " << sent << " of " << entries.size() << " ads to Craigslist.\n";
    if (sent < static_cast<int>(entries.size()))
        throw CommandError(std::to_string(entries.size() - sent) +
                           " ads could not be reported: Craigslist did not answer, or the ad is not a Craigslist ad.");
    return 0;
}

const CommandRegistrar cLinks{{"links", "links SEARCH [--auto] [--site NAME]", false, true, RunLinks}};
const CommandRegistrar cRun{{"run", "run SEARCH [--auto] [--json]", true, true, RunSearch}};
const CommandRegistrar cExport{
    {"export", "export SEARCH --out FILE [--columns LIST] [--only-new] [--favourites] [--selection LINK...]", false,
     true, RunExport}};
const CommandRegistrar cFlag{
    {"flag", "flag SEARCH LINK... --as spam|miscategorized|prohibited|best", false, true, RunFlag}};

}  // namespace

}  // namespace trawlix::cli
