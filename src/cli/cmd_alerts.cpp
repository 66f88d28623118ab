// Commands about alerts: the user's own address and phone, a search's alert, the headless
// watcher that re-runs due searches and sends their digests, and the test messages.
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <map>
#include <mutex>

#include "app/alert_scheduler.h"
#include "app/heartbeat.h"
#include "app/notifications.h"
#include "app/platform.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/site_watch.h"
#include "app/watch_polling.h"
#include "app/watcher_figures.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/search_arg.h"
#include "cli/signal_wake.h"
#include "cli/site_problem_output.h"
#include "engine/email_address.h"
#include "engine/http_client.h"
#include "engine/synchronizator.h"
#include "engine/text_functions.h"
#include "mail/new_results_digest.h"
#include "mail/notification_url.h"
#include "model/alert.h"
#include "model/search.h"
#include "model/searches.h"
#include "run/search_run_environment.h"

namespace trawlix::cli {

namespace {

constexpr const char* kRunningMessage = "Trawlix is running. Close it first.";

// Showing works beside the desktop program; changing does not.
void RequireWritable(CommandContext& aContext) {
    if (aContext.session->GetReadOnly()) throw CommandError(kRunningMessage);
}

void SaveSettingsOrFail(TSession& aSession) {
    try {
        aSession.GetSettings().SaveSettings();
    } catch (const std::exception& e) {
        throw CommandError(std::string("The settings could not be saved: ") + e.what());
    }
}

// --- profile ----------------------------------------------------------------------------

int RunProfile(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto email = args.Value("--email");
    const auto phone = args.Value("--phone");
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("profile takes no arguments");
    TSettings& settings = aContext.session->GetSettings();
    if (email && !Trim(*email).empty() && !IsValidEmailAddress(Trim(*email)))
        throw UsageError("--email needs an e-mail address (name@host), not \"" + *email + "\"");
    if (email || phone) {
        RequireWritable(aContext);
        if (email) settings.SetUserEMail(Trim(*email));
        if (phone) settings.SetUserPhone(Trim(*phone));
        SaveSettingsOrFail(*aContext.session);
    }
    if (json)
        aContext.out << JsonObject().Add("email", settings.GetUserEMail()).Add("phone", settings.GetUserPhone()).Str()
                     << "\n";
    else
        aContext.out << "email: " << settings.GetUserEMail() << "\nphone: " << settings.GetUserPhone() << "\n";
    return 0;
}

// --- alert ------------------------------------------------------------------------------

std::string TimeOfDayText(double aDateTime) {
    const int minutes = static_cast<int>(std::floor((aDateTime - std::floor(aDateTime)) * 1440.0 + 0.5)) % 1440;
    char text[8];
    std::snprintf(text, sizeof text, "%02d:%02d", minutes / 60, minutes % 60);
    return text;
}

// "HH:MM" as a fraction of a day; raises naming --send-at otherwise.
double ParseTimeOfDay(const std::string& aText) {
    int hours = -1, minutes = -1;
    char end = 0;
    if (aText.size() != 5 || std::sscanf(aText.c_str(), "%2d:%2d%c", &hours, &minutes, &end) != 2 || hours < 0 ||
        hours > 23 || minutes < 0 || minutes > 59 || aText[2] != ':')
        throw UsageError("--send-at takes a time of day as HH:MM (00:00 to 23:59), not \"" + aText + "\"");
    return (hours * 60 + minutes) / 1440.0;
}

bool ParseYesNo(const std::string& aOption, const std::string& aText) {
    if (aText == "yes") return true;
    if (aText == "no") return false;
    throw UsageError(aOption + " takes yes or no, not \"" + aText + "\"");
}

// "MIN" in minutes (1 to 10000), or "SECs" in seconds (15s and up, to the same longest).
int ParseInterval(const std::string& aText) {
    const bool seconds = !aText.empty() && aText.back() == 's';
    int value = 0;
    try {
        value = ParseInt(seconds ? aText.substr(0, aText.size() - 1) : aText, "--interval");
    } catch (const std::exception&) {
        value = 0;
    }
    const int longest = cMaxAlertInterval * 60;
    const int total = seconds ? value : (value > cMaxAlertInterval ? longest + 1 : value * 60);
    if (value <= 0 || total < (seconds ? cMinAlertIntervalSeconds : cMinAlertInterval * 60) || total > longest)
        throw UsageError("--interval takes minutes from 1 to 10000, or seconds from 15s, not \"" + aText + "\"");
    return total;
}

// The options of `alert`, checked before anything changes.
struct TAlertChanges {
    std::optional<bool> enabled;
    std::optional<int> intervalSeconds;
    std::optional<std::string> email;
    std::optional<bool> sendEmail, sendSMS, includeResults;
    std::optional<THowOften> howOften;
    std::optional<double> sendAtTime;
    std::optional<int> messageLength;
    std::optional<std::vector<std::string>> destinations;

    bool Any() const {
        return enabled || intervalSeconds || email || sendEmail || sendSMS || includeResults || howOften || sendAtTime ||
               messageLength || destinations;
    }
};

std::optional<bool> YesNoOption(ArgParser& aArgs, const std::string& aOption) {
    auto value = aArgs.Value(aOption);
    if (!value) return std::nullopt;
    return ParseYesNo(aOption, *value);
}

// --notify URL (again for more) names the alert's own destinations; --notify-default sends
// through the program's transport again. Each URL is checked before anything changes.
std::optional<std::vector<std::string>> ReadDestinations(ArgParser& aArgs) {
    const std::vector<std::string> urls = aArgs.Values("--notify");
    const bool useDefault = aArgs.Flag("--notify-default");
    if (useDefault && !urls.empty()) throw UsageError("--notify and --notify-default exclude each other");
    if (useDefault) return std::vector<std::string>();
    if (urls.empty()) return std::nullopt;
    for (const std::string& url : urls) {
        try {
            ParseNotificationURL(url);
        } catch (const ENotificationURLError& e) {
            throw UsageError(e.what());
        }
    }
    return urls;
}

TAlertChanges ReadAlertChanges(ArgParser& aArgs) {
    TAlertChanges changes;
    const bool enable = aArgs.Flag("--enable"), disable = aArgs.Flag("--disable");
    if (enable && disable) throw UsageError("--enable and --disable exclude each other");
    if (enable || disable) changes.enabled = enable;
    if (auto interval = aArgs.Value("--interval")) changes.intervalSeconds = ParseInterval(*interval);
    if (auto email = aArgs.Value("--email")) {
        if (!Trim(*email).empty() && !IsValidEmailAddress(Trim(*email)))
            throw UsageError("--email needs an e-mail address (name@host), not \"" + *email + "\"");
        changes.email = Trim(*email);
    }
    changes.sendEmail = YesNoOption(aArgs, "--send-email");
    changes.sendSMS = YesNoOption(aArgs, "--send-sms");
    changes.includeResults = YesNoOption(aArgs, "--include-results");
    if (auto howOften = aArgs.Value("--how-often")) {
        if (*howOften != "instantly" && *howOften != "daily")
            throw UsageError("--how-often takes instantly or daily, not \"" + *howOften + "\"");
        changes.howOften = *howOften == "daily" ? hoDaily : hoInstantly;
    }
    if (auto sendAt = aArgs.Value("--send-at")) changes.sendAtTime = ParseTimeOfDay(*sendAt);
    if (auto length = aArgs.Value("--message-length")) {
        if (*length != "20" && *length != "50" && *length != "0")
            throw UsageError("--message-length takes 20, 50 or 0 (all), not \"" + *length + "\"");
        changes.messageLength = std::stoi(*length);
    }
    changes.destinations = ReadDestinations(aArgs);
    return changes;
}

void ApplyAlertChanges(TAlert& aAlert, const TAlertChanges& aChanges) {
    if (aChanges.intervalSeconds) aAlert.SetIntervalSeconds(*aChanges.intervalSeconds);
    if (aChanges.email) aAlert.SetEmail(*aChanges.email);
    if (aChanges.sendEmail) aAlert.SetSendToEmail(*aChanges.sendEmail);
    if (aChanges.sendSMS) aAlert.SetSendToSMS(*aChanges.sendSMS);
    if (aChanges.includeResults) aAlert.SetIncludeResults(*aChanges.includeResults);
    if (aChanges.howOften) aAlert.SetHowOften(*aChanges.howOften);
    if (aChanges.sendAtTime) {
        // The date part stays; only the time of day is used.
        const double sendAt = aAlert.GetSendAt();
        aAlert.SetSendAt(std::floor(sendAt) + *aChanges.sendAtTime);
    }
    if (aChanges.messageLength) aAlert.SetMessageLength(*aChanges.messageLength);
    if (aChanges.destinations) aAlert.SetDestinations(*aChanges.destinations);
    if (aChanges.enabled) aAlert.SetEnabled(*aChanges.enabled);
}

std::string IntervalText(int aSeconds) {
    if (aSeconds % 60 != 0) return std::to_string(aSeconds) + " seconds";
    return std::to_string(aSeconds / 60) + " minutes";
}

// The alert's destinations as they may be shown: without their tokens.
std::vector<std::string> ShownDestinations(const TAlert& aAlert) {
    std::vector<std::string> shown;
    for (const std::string& url : aAlert.GetDestinations()) shown.push_back(MaskedNotificationURL(url));
    return shown;
}

std::string JsonStrings(const std::vector<std::string>& aTexts) {
    std::string json = "[";
    for (const std::string& text : aTexts) json += (json.size() > 1 ? "," : "") + JsonString(text);
    return json + "]";
}

void PrintAlert(CommandContext& aContext, const TAlert& aAlert, bool aJson) {
    const auto message = aAlert.GetAutoReplyMessage();
    const std::vector<std::string> destinations = ShownDestinations(aAlert);
    const std::string howOften = aAlert.GetHowOften() == hoDaily ? "daily" : "instantly";
    if (aJson) {
        aContext.out << JsonObject()
                            .Add("enabled", aAlert.GetEnabled())
                            .Add("interval", aAlert.GetIntervalMinutes())
                            .Add("email", aAlert.GetEmail())
                            .Add("send_email", aAlert.GetSendToEmail())
                            .Add("send_sms", aAlert.GetSendToSMS())
                            .Add("include_results", aAlert.GetIncludeResults())
                            .Add("how_often", howOften)
                            .Add("send_at", TimeOfDayText(aAlert.GetSendAt()))
                            .Add("message_length", aAlert.GetMessageLength())
                            .Add("auto_reply", aAlert.GetAutoReply())
                            .Add("auto_reply_subject", message ? message->GetSubject() : std::string())
                            .Add("interval_seconds", aAlert.GetIntervalSeconds())
                            .AddRaw("destinations", JsonStrings(destinations))
                            .Str()
                     << "\n";
        return;
    }
    const auto yesNo = [](bool aValue) { return aValue ? "yes" : "no"; };
    aContext.out << "enabled:         " << yesNo(aAlert.GetEnabled()) << "\n"
                 << "interval:        " << IntervalText(aAlert.GetIntervalSeconds()) << "\n"
                 << "email:           " << aAlert.GetEmail() << "\n"
                 << "send email:      " << yesNo(aAlert.GetSendToEmail()) << "\n"
                 << "send sms:        " << yesNo(aAlert.GetSendToSMS()) << "\n"
                 << "include results: " << yesNo(aAlert.GetIncludeResults()) << "\n"
                 << "how often:       " << howOften << "\n"
                 << "send at:         " << TimeOfDayText(aAlert.GetSendAt()) << "\n"
                 << "message length:  "
                 << (aAlert.GetMessageLength() == 0 ? std::string("all") : std::to_string(aAlert.GetMessageLength()))
                 << "\n"
                 << "auto reply:      " << yesNo(aAlert.GetAutoReply())
                 << (message ? " (" + message->GetSubject() + ")" : std::string()) << "\n";
    if (destinations.empty()) aContext.out << "destinations:    (the notification settings' transport)\n";
    for (const std::string& url : destinations) aContext.out << "destination:     " << url << "\n";
}

int RunAlert(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const TAlertChanges changes = ReadAlertChanges(args);
    const bool json = args.Flag("--json");
    auto positionals = args.Positionals();
    if (positionals.size() != 1) throw UsageError("alert needs exactly one SEARCH");
    TSearch& search = FindSearchArg(aContext, positionals[0]);
    TAlert& alert = search.GetAlert();
    if (changes.Any()) {
        RequireWritable(aContext);
        const bool wasEnabled = alert.GetEnabled();
        ApplyAlertChanges(alert, changes);
        try {
            SessionSearches(aContext).SaveSearch(search);
        } catch (const std::exception& e) {
            throw CommandError(e.what());
        }
        const TSettings& settings = aContext.session->GetSettings();
        if (!wasEnabled && alert.GetEnabled() && !settings.GetNotificationEverSent())
            aContext.err << "No notification has gone out through the \"" << settings.GetNotificationTransport()
                         << "\" transport yet: try it with trawlix-cli notify-test --email ADDR.\n";
    }
    PrintAlert(aContext, alert, json);
    return 0;
}

// --- notify-test ------------------------------------------------------------------------

// One notification URL tried: a malformed one is refused naming its wrong part.
int RunDestinationTest(CommandContext& aContext, const std::string& aURL) {
    TSession& session = *aContext.session;
    std::string shown;
    INotificationTransportPtr transport;
    try {
        shown = MaskedNotificationURL(ParseNotificationURL(aURL));
        transport = MakeDestination(session.GetSettings(), session.GetEmailAccounts(), aURL);
    } catch (const ENotificationURLError& e) {
        throw UsageError(e.what());
    } catch (const std::exception& e) {
        throw CommandError(e.what());
    }
    try {
        transport->SendTest(TTestMessageKind::Email, {});
    } catch (const std::exception& e) {
        throw CommandError("The test message was NOT sent to " + shown + ": " + e.what());
    }
    aContext.out << "The test message was sent to " << shown << "\n";
    return 0;
}

int RunNotifyTest(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const auto email = args.Value("--email");
    const auto sms = args.Value("--sms");
    const auto positionals = args.Positionals();
    if (positionals.size() == 1 && !email && !sms) return RunDestinationTest(aContext, positionals[0]);
    if (!positionals.empty()) throw UsageError("notify-test takes one notification URL, or --email ADDR or --sms ADDR");
    if (email.has_value() == sms.has_value()) throw UsageError("notify-test needs either --email ADDR or --sms ADDR");
    const std::string to = Trim(email ? *email : *sms);
    if (to.empty()) throw UsageError(std::string(email ? "--email" : "--sms") + " needs an address");
    const TTestMessageKind kind = email ? TTestMessageKind::Email : TTestMessageKind::SMS;
    TSession& session = *aContext.session;
    try {
        SendTestNotification(session.GetSettings(), session.GetEmailAccounts(), kind, to);
    } catch (const std::exception& e) {
        if (!session.GetReadOnly()) session.SaveSettings();
        throw CommandError((email ? cTestEmailFailedText : cTestSMSFailedText) + std::string(e.what()));
    }
    if (!session.GetReadOnly()) session.SaveSettings();
    aContext.out << (email ? TestEmailSentText(to) : TestSMSSentText(to)) << "\n";
    return 0;
}

// --- watch ------------------------------------------------------------------------------

// Prints the watcher's events, one line each, as text or JSON.
class TWatchLog {
public:
    TWatchLog(std::ostream& aOut, bool aJson) : fOut(aOut), fJson(aJson) {}

    void Started(const TSearch& aSearch) { Event("started", aSearch, "started", {}); }
    void NotStarted(const TSearch& aSearch) {
        Event("not_started", aSearch, "could not start: it needs some locations and categories", {});
    }
    void StillRunning(const TSearch& aSearch) {
        Event("still_running", aSearch, "is still running: its next turn comes after this run ends", {});
    }
    void Finished(const TSearch& aSearch, int aNew) {
        Event("finished", aSearch, "finished with " + std::to_string(aNew) + " new",
              JsonObject().Add("new", aNew));
    }
    void Notification(const TSearch& aSearch, const TNotifyOutcome& aOutcome) {
        JsonObject extra;
        // "sent" says what went out: an alert that tells no one has nothing sent, though nothing failed.
        extra.Add("sent", aOutcome.smsSent || aOutcome.emailSent).Add("count", aOutcome.count).Add("text", aOutcome.statusText);
        if (aOutcome.failed) extra.Add("error", aOutcome.error);
        const char* event = aOutcome.held ? "notification_held" : aOutcome.failed ? "notification_failed" : "notification_sent";
        Event(event, aSearch, aOutcome.statusText, extra);
    }
    // The page requests per host since the last tick, and what the budget has left.
    void Requests(const std::vector<TWatchPolling::THostTick>& aHosts, int aBudget) {
        if (!fJson) return;
        std::string hosts;
        for (const auto& host : aHosts)
            hosts += (hosts.empty() ? "" : ",") +
                     JsonObject().Add("host", host.host).Add("requests", host.requests).Add("budget_left", host.left).Str();
        std::lock_guard lock(fMutex);
        fOut << JsonObject().Add("event", "tick").Add("budget", aBudget).AddRaw("hosts", "[" + hosts + "]").Str() << "\n"
             << std::flush;
    }
    void Note(const std::string& aText) {
        std::lock_guard lock(fMutex);
        if (fJson)
            fOut << JsonObject().Add("event", "note").Add("text", aText).Str() << "\n" << std::flush;
        else
            fOut << aText << "\n" << std::flush;
    }

private:
    void Event(const char* aEvent, const TSearch& aSearch, const std::string& aText, const JsonObject& aExtra) {
        std::lock_guard lock(fMutex);
        if (fJson) {
            std::string object = JsonObject()
                                     .Add("event", aEvent)
                                     .Add("search", aSearch.GetName())
                                     .Add("search_id", aSearch.GetID())
                                     .Str();
            const std::string extra = aExtra.Str();
            if (extra.size() > 2) object = object.substr(0, object.size() - 1) + "," + extra.substr(1);
            fOut << object << "\n" << std::flush;
        } else {
            fOut << aSearch.GetName() << ": " << aText << "\n" << std::flush;
        }
    }

    std::ostream& fOut;
    bool fJson;
    std::mutex fMutex;
};

// One search's run as the watcher follows it.
struct TWatchedRun {
    std::atomic<int> newResults{0};
    bool started = false;  // main thread
    bool stopped = false;  // main thread
};

// The digests' outcomes, handed from the thread that ends a run to the main thread. Shared
// with the run environment, which a run still ending after the watcher has gone may use.
struct TDigestOutcomes {
    std::mutex mutex;
    // A run may send more than one digest (one asked for while it still ran): each is told.
    std::map<const TSearch*, std::vector<TNotifyOutcome>> outcomes;

    std::vector<TNotifyOutcome> Take(const TSearch* aSearch) {
        std::lock_guard lock(mutex);
        auto it = outcomes.find(aSearch);
        if (it == outcomes.end()) return {};
        std::vector<TNotifyOutcome> taken = std::move(it->second);
        outcomes.erase(it);
        return taken;
    }
};

class TWatcher {
public:
    TWatcher(CommandContext& aContext, bool aJson, bool aOnce)
        : fSession(*aContext.session), fSearches(SessionSearches(aContext)), fLog(aContext.out, aJson),
          fErr(aContext.err), fJson(aJson), fOnce(aOnce), fScheduler(MakeHooks()) {}

    ~TWatcher() {
        for (const auto& search : fSearches.GetAllSearches()) {
            search->OnSearchStarted = nullptr;
            search->OnSearchStopped = nullptr;
            search->OnResultKept = nullptr;
        }
        if (fPreviousEnvironment) SetSearchRunEnvironment(fPreviousEnvironment);
    }

    int Run() {
        auto* loop = dynamic_cast<THeadlessMainLoop*>(GetMainThreadBinding());
        if (!loop) throw CommandError("No main loop to run the searches on.");
        InstallDigestHook();
        fPolling = std::make_unique<TWatchPolling>(fSession.GetSettings().GetRequestsPerMinutePerHost());
        for (const auto& search : fSearches.GetAllSearches()) Follow(*search);
        if (!fSearches.HasEnabledAlerts()) fLog.Note("No search has an alert switched on.");
        // Between due times the watcher sleeps: only a run's end, a signal or the next due
        // time wakes it.
        TSignalWake signalWake([loop] { loop->Wake(); });
        auto nextCheck = TClock::now();
        while (true) {
            if (Interrupted()) return StopEverything(*loop);
            if (TClock::now() >= nextCheck && !(fOnce && fTicked)) {
                Tick();
                nextCheck = TClock::now() + UntilNextDue();
            }
            if (fRunEnded.exchange(false) && fScheduler.QueueLength() > 0) fScheduler.OnAutoSearch();
            fScheduler.Poll();
            if (fOnce && fTicked && fScheduler.QueueLength() == 0 && RunningCount() == 0) {
                ReportPolling();
                return 0;
            }
            nextCheck = std::min(nextCheck, TClock::now() + UntilNextDue());
            loop->ServeOnce(WakeTime(nextCheck));
        }
    }

private:
    using TClock = std::chrono::steady_clock;
    // The longest sleep: quiet hours ending are noticed within it.
    static constexpr long long cLongestSleepMs = 60000;
    // Runs at once; the per-host budget paces the sites, this the threads.
    static constexpr int cMostRunning = 16;

    std::chrono::milliseconds UntilNextDue() const {
        return std::chrono::milliseconds(fScheduler.MillisecondsUntilNextDue(cLongestSleepMs));
    }

    TClock::time_point WakeTime(TClock::time_point aNextCheck) const {
        const auto now = TClock::now();
        // A single pass waits only for its runs, whose ends wake the loop.
        auto until = fOnce ? now + std::chrono::milliseconds(cLongestSleepMs) : aNextCheck;
        const long long pass = fScheduler.MillisecondsUntilAutoSearch();
        if (pass >= 0) until = std::min(until, now + std::chrono::milliseconds(pass));
        return until;
    }

    void Tick() {
        fScheduler.Tick();
        fHeartbeat.Beat();
        fTicked = true;
        ReportPolling();
    }

    // What the last tick's runs asked of each host, the searches the budget cannot serve at
    // their intervals (told once each), and the figures `info` shows.
    void ReportPolling() {
        const auto hosts = fPolling->TakeTick();
        if (hosts.empty()) return;
        const int budget = fPolling->RequestsPerMinutePerHost();
        fLog.Requests(hosts, budget);
        std::map<std::string, int> intervals;
        for (const auto& search : fSearches.GetAllSearches())
            if (search->GetAlert().GetEnabled()) intervals[search->GetName()] = search->GetAlert().GetIntervalSeconds();
        for (const auto& shortfall : fPolling->NewShortfalls(intervals)) fLog.Note(ShortfallText(shortfall, budget));
        SaveFigures(static_cast<int>(intervals.size()));
    }

    void SaveFigures(int aSearchesWatched) {
        TWatcherFigures figures;
        figures.searchesWatched = aSearchesWatched;
        figures.requestsPerMinutePerHost = fPolling->RequestsPerMinutePerHost();
        figures.minutesWatched = std::chrono::duration<double>(TClock::now() - fStartedAt).count() / 60.0;
        for (const auto& [host, total] : fPolling->TotalRequests())
            figures.requestsPerMinute[host] = total / std::max(figures.minutesWatched, 1.0);
        {
            std::lock_guard lock(fMutex);
            figures.medianDelaySeconds = fDelays.MedianSeconds();
            figures.delaysCounted = fDelays.Count();
        }
        figures.updatedAt = std::chrono::duration_cast<std::chrono::seconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
        try {
            figures.Save(TWatcherFigures::File(fSession.GetDataFolder()));
        } catch (const std::exception& e) {
            fLog.Note(std::string("The watcher's figures could not be saved: ") + e.what());
        }
    }

    static bool Interrupted() { return platform::TTerminationSignals::Received() != 0; }

    TAlertScheduler::THooks MakeHooks() {
        TAlertScheduler::THooks hooks;
        hooks.searches = [this] {
            std::vector<TSearch*> list;
            for (const auto& search : fSearches.GetAllSearches()) list.push_back(search.get());
            return list;
        };
        hooks.startSearch = [this](TSearch& aSearch) { return Start(aSearch); };
        hooks.refreshZIPCode = [this](TSearch& aSearch) { fSession.RefreshZIPCodeObject(aSearch); };
        hooks.now = LocalNow;
        hooks.inQuietHours = [this](double aNow) { return InQuietHours(fSession, aNow); };
        hooks.sendHeldDigests = [this] { SendHeldDigests(); };
        hooks.staggerMs = 0;
        hooks.mayStartAnother = [this] { return RunningCount() < cMostRunning; };
        return hooks;
    }

    // The run's digest goes out as the window's would; the watcher tells its outcome after
    // the run's end, so the lines of one search come in order.
    void InstallDigestHook() {
        auto environment = std::make_shared<TSearchRunEnvironment>(*GetSearchRunEnvironment());
        environment->stopPagingAtKnownAd = true;
        TSession* session = &fSession;
        environment->notifyForNewResults = [session, outcomes = fOutcomes](TSearch& aSearch) {
            TNotifyOutcome outcome = session->SendDigest(aSearch);
            std::lock_guard lock(outcomes->mutex);
            if (!outcome.statusText.empty()) outcomes->outcomes[&aSearch].push_back(std::move(outcome));
        };
        fPreviousEnvironment = SetSearchRunEnvironment(environment);
    }

    void Follow(TSearch& aSearch) {
        {
            std::lock_guard lock(fMutex);
            fRuns[&aSearch];
        }
        aSearch.OnSearchStarted = [this](TSearch& aSender) {
            TWatchedRun& run = Run(aSender);
            run.started = true;
            run.stopped = false;
            run.newResults = 0;
            fLog.Started(aSender);
        };
        aSearch.OnResultKept = [this](TSearch& aSender, const IEntry& aEntry) {
            if (!aEntry->GetNew()) return;
            ++Run(aSender).newResults;
            std::lock_guard lock(fMutex);
            fDelays.Found(aSender.GetName(), TClock::now());
        };
        aSearch.OnSearchStopped = [this](TSearch& aSender) { Stopped(aSender); };
    }

    TWatchedRun& Run(TSearch& aSearch) {
        std::lock_guard lock(fMutex);
        return fRuns[&aSearch];
    }

    bool Start(TSearch& aSearch) {
        if (aSearch.GetSearching()) {
            fLog.StillRunning(aSearch);
            return false;
        }
        TWatchedRun& run = Run(aSearch);
        run.started = false;
        aSearch.Search(nullptr, false);
        if (!run.started) fLog.NotStarted(aSearch);
        return run.started && !run.stopped;
    }

    void Stopped(TSearch& aSearch) {
        TWatchedRun& run = Run(aSearch);
        run.stopped = true;
        fRunEnded = true;
        fLog.Finished(aSearch, run.newResults);
        for (const TNotifyOutcome& outcome : fOutcomes->Take(&aSearch)) {
            fLog.Notification(aSearch, outcome);
            if (outcome.failed || outcome.held) continue;
            std::lock_guard lock(fMutex);
            fDelays.Sent(aSearch.GetName(), TClock::now());
        }
        ReportSites(aSearch);
        WatchEverySiteDown(aSearch);
        try {
            fSearches.SaveSearch(aSearch);
        } catch (const std::exception& e) {
            fLog.Note(e.what());
        }
    }

    // Every site's problem is printed after each run; the user hears only when a site
    // turns bad or works again. What was told is stored with the search.
    void ReportSites(TSearch& aSearch) {
        for (const TSiteProblemReport& report : LastRunSiteProblems(aSearch))
            PrintSiteProblem(fErr, aSearch, report, fJson);
        for (const TSiteProblemReport& report : UntoldSiteChanges(aSearch)) {
            const TNotifyOutcome outcome = SendSiteNotice(fSession, aSearch, report);
            if (!outcome.statusText.empty()) fLog.Notification(aSearch, outcome);
            // A notice that did not go out is tried again after the next run.
            if (!outcome.failed && !outcome.held) MarkSiteChangeTold(aSearch, report);
        }
    }

    // A watcher that finds nothing anywhere for an hour says so once, through the user's
    // destinations; a notice that did not go out is tried after the next run.
    void WatchEverySiteDown(TSearch& aSearch) {
        const double now = LocalNow();
        fSitesDown.RunEnded(LastRunFailedEverywhere(aSearch), now);
        if (!fSitesDown.Due(now)) return;
        const auto problems = LastRunSiteProblems(aSearch);
        std::vector<TSearch*> searches;
        for (const auto& search : fSearches.GetAllSearches()) searches.push_back(search.get());
        const TNotifyOutcome outcome = SendEverySiteDownNotice(fSession, searches, fSitesDown.FailingSince(),
                                                               problems.empty() ? std::string() : SiteProblemLine(problems.back()));
        if (!outcome.statusText.empty()) fLog.Note(outcome.statusText);
        if (!outcome.failed && !outcome.held) fSitesDown.Told();
    }

    void SendHeldDigests() {
        for (const auto& search : fSearches.GetAllSearches()) {
            if (!search->GetAlert().GetEnabled() || search->GetSearching()) continue;
            const TNotifyOutcome outcome = SendHeldDigest(fSession, *search);
            if (!outcome.statusText.empty()) fLog.Notification(*search, outcome);
        }
    }

    int RunningCount() {
        std::lock_guard lock(fMutex);
        int running = 0;
        for (const auto& [search, run] : fRuns)
            if (run.started && !run.stopped) ++running;
        return running;
    }

    int StopEverything(THeadlessMainLoop& aLoop) {
        fScheduler.Close();
        // A signal stops work in flight: a hanging page or web hook ends now; a digest cut
        // short keeps its marks for the next start.
        AbortAllTransfers();
        for (const auto& search : fSearches.GetAllSearches())
            if (search->GetSearching()) search->StopSearch();
        aLoop.RunUntil([this] { return RunningCount() == 0; }, std::chrono::seconds(30));
        return 0;
    }

    TSession& fSession;
    TSearches& fSearches;
    TWatchLog fLog;
    std::ostream& fErr;
    bool fJson;
    bool fOnce;
    bool fTicked = false;
    std::mutex fMutex;
    std::map<const TSearch*, TWatchedRun> fRuns;
    std::shared_ptr<TDigestOutcomes> fOutcomes = std::make_shared<TDigestOutcomes>();
    TAlertScheduler fScheduler;
    TEverySiteDownWatch fSitesDown;
    std::shared_ptr<const TSearchRunEnvironment> fPreviousEnvironment;
    std::unique_ptr<TWatchPolling> fPolling;
    std::atomic<bool> fRunEnded{false};
    TDigestDelays fDelays;  // under fMutex
    TClock::time_point fStartedAt = TClock::now();
    // Last, so that it goes first: a ping in flight ends before the log it writes to.
    THeartbeat fHeartbeat{fSession.GetSettings(), [this](const std::string& aProblem) { fLog.Note(aProblem); }};
};

int RunWatch(CommandContext& aContext) {
    ArgParser args(aContext.args);
    const bool once = args.Flag("--once");
    const bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("watch takes no arguments");
    TWatcher watcher(aContext, json, once);
    return watcher.Run();
}

CommandRegistrar gProfile({"profile", "profile [--email ADDR] [--phone TEXT] [--json]", false, true, RunProfile,
                           ReadsOnlyWithout({"--email", "--phone"})});
CommandRegistrar gAlert({"alert",
                         "alert SEARCH [--enable|--disable] [--interval MIN|SECs] [--email ADDR] [--send-email yes|no] "
                         "[--send-sms yes|no] [--include-results yes|no] [--how-often instantly|daily] "
                         "[--send-at HH:MM] [--message-length 20|50|0] [--notify URL]... [--notify-default] [--json]",
                         false, true, RunAlert,
                         ReadsOnlyWithout({"--enable", "--disable", "--interval", "--email", "--send-email", "--send-sms",
                                           "--include-results", "--how-often", "--send-at", "--message-length",
                                           "--notify", "--notify-default"})});
CommandRegistrar gWatch({"watch", "watch [--once] [--json]", true, true, RunWatch, {}, true});
CommandRegistrar gNotifyTest({"notify-test", "notify-test URL | --email ADDR | --sms ADDR", false, true, RunNotifyTest});

}  // namespace

}  // namespace trawlix::cli
