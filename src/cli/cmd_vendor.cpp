// Commands that talk to the vendor or gather what it needs: check-update, problem-report,
// crash-reports.
#include <filesystem>

#include "app/crash_reports.h"
#include "app/error_report.h"
#include "app/problem_report.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/vendor_services.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "model/searches.h"
#include "model/version.h"

namespace trawlix::cli {

namespace {

int CheckUpdate(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("check-update takes no arguments");
    TSession& session = *aContext.session;
    TUpdateCheck check;
    try {
        check = CheckForUpdate(session.GetRESTConnection(), session.GetSettings().GetVendorHost(), kVersion);
    } catch (const std::exception& error) {
        throw CommandError(kUpdateCheckFailedPrefix + std::string(error.what()));
    }
    if (json) {
        aContext.out << JsonObject()
                            .Add("current", check.current)
                            .Add("latest", check.latest)
                            .Add("url", check.url)
                            .Add("newer", check.newer)
                            .Str()
                     << "\n";
    } else if (check.newer) {
        aContext.out << kNewVersionMessage << "\n" << check.url << "\n";
    } else {
        aContext.out << LatestVersionText() << "\n";
    }
    return 0;
}

int ProblemReport(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto out = args.Value("--out");
    if (!out || out->empty()) throw UsageError("problem-report needs --out FILE");
    if (!args.Positionals().empty()) throw UsageError("problem-report takes no other arguments");
    TSession& session = *aContext.session;
    // What the user has changed goes into the report too.
    if (TSearches* searches = session.GetMySearches(); searches && !searches->SaveMySearches())
        throw CommandError("Your searches could not be saved: " + searches->GetLastSaveError());
    const std::filesystem::path file = ProblemReportFile(*out);
    try {
        WriteProblemReport(session.GetDatabaseFile(), file);
    } catch (const std::exception& error) {
        throw CommandError(error.what());
    }
    aContext.out << ProblemReportDoneText() << "\n" << file.string() << "\n";
    return 0;
}

const TCrashReport& ReportNumber(const std::vector<TCrashReport>& aReports, int aNumber) {
    if (aNumber < 1 || aNumber > static_cast<int>(aReports.size()))
        throw CommandError("There is no crash report " + std::to_string(aNumber) + " (" +
                           std::to_string(aReports.size()) + " waiting)");
    return aReports[static_cast<std::size_t>(aNumber - 1)];
}

void DeleteReport(const TCrashReport& aReport) {
    std::error_code error;
    if (!std::filesystem::remove(aReport.file, error))
        throw CommandError("The crash report " + aReport.file.string() + " could not be deleted: " + error.message());
}

// A report that reached the vendor is no longer waiting: it goes.
void SendReport(TSession& aSession, const TCrashReport& aReport, const std::string& aNote) {
    try {
        SendErrorReport(aSession.GetSettings().GetVendorHost(), aSession.GetSettings().GetProxySettings(), aNote,
                        aReport.text);
    } catch (const std::exception& error) {
        throw CommandError(std::string(kReportNotSentText) + error.what());
    }
    DeleteReport(aReport);
}

int CrashReports(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto send = args.IntValue("--send");
    const auto remove = args.IntValue("--delete");
    const std::string note = args.Value("--note").value_or("");
    if (!args.Positionals().empty()) throw UsageError("crash-reports takes no arguments");
    if (send && remove) throw UsageError("crash-reports takes --send or --delete, not both");
    const std::filesystem::path folder = CrashReportsFolder(aContext.session->GetDataFolder());
    const std::vector<TCrashReport> reports = ListCrashReports(folder);
    if (send) {
        SendReport(*aContext.session, ReportNumber(reports, *send), note);
        aContext.out << kReportSentText << "\n";
        return 0;
    }
    if (remove) {
        const TCrashReport& report = ReportNumber(reports, *remove);
        DeleteReport(report);
        aContext.out << "Deleted " << report.file.filename().string() << "\n";
        return 0;
    }
    int number = 0;
    for (const TCrashReport& report : reports)
        aContext.out << ++number << "\t" << report.file.filename().string() << "\t" << Headline(report.text) << "\n";
    return 0;
}

const CommandRegistrar registerCheckUpdate({"check-update", "check-update [--json]", false, true, CheckUpdate});
const CommandRegistrar registerProblemReport({"problem-report", "problem-report --out FILE", false, true,
                                              ProblemReport});
// The reports are files of their own beside the data: listing, sending and deleting them
// works while the window runs.
const CommandRegistrar registerCrashReports({"crash-reports", "crash-reports [--send N [--note TEXT] | --delete N]", false,
                                             true, CrashReports, ReadsOnlyWithout({"--send", "--delete"})});

}  // namespace

}  // namespace trawlix::cli
