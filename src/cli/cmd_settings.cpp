// Commands about the program itself: info, config, proxy.
#include <charconv>
#include <limits>
#include <stdexcept>
#include <utility>

#include "app/heartbeat.h"
#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/watcher_figures.h"
#include "cli/cli_command.h"
#include "cli/json_writer.h"
#include "cli/password_option.h"
#include "engine/quiet_hours.h"
#include "model/categories.h"
#include "model/gsm_networks.h"
#include "model/objects_storage.h"
#include "model/places.h"
#include "model/searches.h"
#include "model/version.h"
#include "model/zip_codes.h"

namespace trawlix::cli {

namespace {

template <class T>
long long CountOf(const T* aList) {
    return aList ? aList->Count() : 0;
}

long long SearchCount(const TSession& aSession) {
    auto* searches = aSession.GetMySearches();
    return searches ? static_cast<long long>(searches->GetAllSearches().size()) : 0;
}

// What the last watcher told of itself (it may still be running).
std::string WatcherJson(const TWatcherFigures& aFigures) {
    JsonObject hosts;
    for (const auto& [host, rate] : aFigures.requestsPerMinute) hosts.Add(host, rate);
    return JsonObject()
        .Add("searches_watched", aFigures.searchesWatched)
        .Add("budget_per_host_per_minute", aFigures.requestsPerMinutePerHost)
        .Add("minutes_watched", aFigures.minutesWatched)
        .AddRaw("requests_per_minute", hosts.Str())
        .Add("median_delay_seconds", aFigures.medianDelaySeconds)
        .Add("delays_counted", aFigures.delaysCounted)
        .Add("updated_at", aFigures.updatedAt)
        .Str();
}

void PrintWatcher(std::ostream& aOut, const TWatcherFigures& aFigures) {
    aOut << "watcher:      " << aFigures.searchesWatched << " searches, budget " << aFigures.requestsPerMinutePerHost
         << " requests a minute per host\n";
    for (const auto& [host, rate] : aFigures.requestsPerMinute)
        aOut << "  " << host << ": " << rate << " requests a minute\n";
    if (aFigures.medianDelaySeconds >= 0)
        aOut << "  found to digest sent: median " << aFigures.medianDelaySeconds << " s\n";
}

int Info(CommandContext& aContext) {
    ArgParser args(aContext.args);
    bool json = args.Flag("--json");
    if (!args.Positionals().empty()) throw UsageError("info takes no arguments");
    TSession& session = *aContext.session;
    TObjectsStorage* storage = session.GetObjectStorage();
    JsonObject info;
    info.Add("version", kVersion)
        .Add("data_folder", session.GetDataFolder().string())
        .Add("database", session.GetDatabaseFile().string())
        .Add("status", session.GetStatus())
        .Add("initialized", session.GetInitialized())
        .Add("objects", storage ? static_cast<long long>(storage->GetObjectsCount()) : 0LL)
        .Add("places", CountOf(session.GetPlaces()))
        .Add("categories", CountOf(session.GetCategories()))
        .Add("zip_codes", CountOf(session.GetZIPCodes()))
        .Add("carriers", CountOf(session.GetGSMNetworks()))
        .Add("searches", SearchCount(session));
    const auto watcher = TWatcherFigures::Load(TWatcherFigures::File(session.GetDataFolder()));
    if (watcher) info.AddRaw("watcher", WatcherJson(*watcher));
    if (json) {
        aContext.out << info.Str() << "\n";
        return 0;
    }
    aContext.out << "Trawlix, version " << kVersion << "\n"
                 << "data folder:  " << session.GetDataFolder().string() << "\n"
                 << "database:     " << session.GetDatabaseFile().string() << "\n"
                 << "status:       " << session.GetStatus() << (session.GetInitialized() ? "" : " (not initialized)")
                 << "\n"
                 << "objects:      " << (storage ? storage->GetObjectsCount() : 0) << "\n"
                 << "places:       " << CountOf(session.GetPlaces()) << "\n"
                 << "categories:   " << CountOf(session.GetCategories()) << "\n"
                 << "ZIP codes:    " << CountOf(session.GetZIPCodes()) << "\n"
                 << "carriers:     " << CountOf(session.GetGSMNetworks()) << "\n"
                 << "searches:     " << SearchCount(session) << "\n";
    if (watcher) PrintWatcher(aContext.out, *watcher);
    return 0;
}

const TSettingInfo* FindSetting(const std::string& aName) {
    for (const auto& info : TSettings::KnownValues())
        if (info.name == aName) return &info;
    return nullptr;
}

std::string KindName(TSettingsFile::TKind aKind) { return aKind == TSettingsFile::TKind::Integer ? "integer" : "string"; }

void PrintValue(std::ostream& aOut, const std::string& aName, const TSettingsFile::TValue& aValue) {
    aOut << aName << "\t" << KindName(aValue.kind) << "\t" << aValue.AsText() << "\n";
}

int Config(CommandContext& aContext) {
    auto positionals = ArgParser(aContext.args).Positionals();
    if (positionals.size() > 2) throw UsageError("config takes at most a name and a value");
    TSettings& settings = aContext.session->GetSettings();
    TSettingsFile values = settings.Snapshot();
    if (positionals.empty()) {
        for (const auto& [name, value] : values.Values()) PrintValue(aContext.out, name, value);
        return 0;
    }
    const std::string& name = positionals[0];
    const TSettingInfo* info = FindSetting(name);
    if (!info) throw CommandError("Unknown setting \"" + name + "\".");
    if (positionals.size() == 1) {
        auto value = values.GetValue(name);
        if (!value) throw CommandError("The setting \"" + name + "\" has no value yet.");
        PrintValue(aContext.out, name, *value);
        return 0;
    }
    if (aContext.session->GetReadOnly()) throw CommandError("Trawlix is running. Close it first.");
    const std::string& text = positionals[1];
    // A transport the program cannot make would only fail at the next digest.
    if (name == "NotificationTransport" && !IsValidTransportName(text))
        throw CommandError("NotificationTransport takes vendor, smtp:<account id> or webhook, not \"" + text + "\".");
    if (name == "NotificationWebhookFormat" && !IsValidWebhookFormat(text))
        throw CommandError("NotificationWebhookFormat takes ntfy, discord, slack or json, not \"" + text + "\".");
    if (name == "HeartbeatURL" && !IsValidHeartbeatURL(text))
        throw CommandError("HeartbeatURL takes an http:// or https:// address (or nothing), not \"" + text + "\".");
    if (name == "QuietHours") {
        try {
            TQuietHours::Parse(text);
        } catch (const std::invalid_argument& e) {
            throw CommandError(e.what());
        }
    }
    if (info->kind == TSettingsFile::TKind::Integer) {
        long long number = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (ec != std::errc() || end != text.data() + text.size() || text.empty())
            throw CommandError("The setting \"" + name + "\" takes a whole number, not \"" + text + "\".");
        // The program keeps these numbers as int: a larger one would come back cut down.
        if (number < std::numeric_limits<int>::min() || number > std::numeric_limits<int>::max())
            throw CommandError("The setting \"" + name + "\" takes a whole number from " +
                               std::to_string(std::numeric_limits<int>::min()) + " to " +
                               std::to_string(std::numeric_limits<int>::max()) + ", not \"" + text + "\".");
        values.WriteInteger(name, number);
    } else {
        values.WriteString(name, text);
    }
    settings.Apply(values);
    settings.SaveSettings();
    PrintValue(aContext.out, name, *settings.Snapshot().GetValue(name));
    return 0;
}

void PrintProxy(std::ostream& aOut, const TProxySettings& aProxy) {
    aOut << "enabled:  " << (aProxy.GetEnabled() ? "yes" : "no") << "\n"
         << "host:     " << aProxy.GetHost() << "\n"
         << "port:     " << aProxy.GetPort() << "\n"
         << "user:     " << aProxy.GetUsername() << "\n"
         << "password: " << (aProxy.GetPassword().empty() ? "" : "(set)") << "\n"
         << "socks:    " << (aProxy.GetIsSOCKS() ? aProxy.GetSOCKSVersion() : "off") << "\n";
}

int Proxy(CommandContext& aContext) {
    ArgParser args(aContext.args);
    bool enable = args.Flag("--enable");
    bool disable = args.Flag("--disable");
    auto host = args.Value("--host");
    auto port = args.IntValue("--port");
    auto user = args.Value("--user");
    auto password = PasswordOption(args);
    auto socks = args.Value("--socks");
    if (!args.Positionals().empty()) throw UsageError("proxy takes options only");
    if (enable && disable) throw UsageError("--enable and --disable exclude each other");
    if (socks && *socks != "v4" && *socks != "v5" && *socks != "off")
        throw UsageError("--socks takes v4, v5 or off");
    if (port && (*port < 0 || *port > 65535)) throw CommandError("The port must be between 0 and 65535.");
    for (const auto& [what, value] : {std::pair{"host", host}, std::pair{"user", user}, std::pair{"password", password}})
        if (value && !ProxyTextProblem(what, *value).empty()) throw CommandError(ProxyTextProblem(what, *value));
    TSettings& settings = aContext.session->GetSettings();
    TProxySettings& proxy = settings.GetProxySettings();
    bool changes = enable || disable || host || port || user || password || socks;
    if (changes) {
        if (aContext.session->GetReadOnly()) throw CommandError("Trawlix is running. Close it first.");
        if (enable || disable) proxy.SetEnabled(enable);
        if (host) proxy.SetHost(*host);
        if (port) proxy.SetPort(*port);
        if (user) proxy.SetUsername(*user);
        if (password) proxy.SetPassword(*password);
        if (socks) {
            proxy.SetIsSOCKS(*socks != "off");
            if (*socks != "off") proxy.SetSOCKSVersion(*socks);
        }
        settings.SaveSettings();
    }
    PrintProxy(aContext.out, proxy);
    return 0;
}

CommandRegistrar info({"info", "info [--json]", false, true, Info, AlwaysReadsOnly});
CommandRegistrar config({"config", "config [NAME [VALUE]]", false, true, Config,
                          [](const std::vector<std::string>& aArgs) { return aArgs.size() < 2; }});
CommandRegistrar proxy({"proxy",
                        std::string("proxy [--enable|--disable] [--host H] [--port N] [--user U] [") +
                            cPasswordOptions + "] [--socks v4|v5|off]",
                        false, true, Proxy,
                        [](const std::vector<std::string>& aArgs) { return aArgs.empty(); }});

}  // namespace

}  // namespace trawlix::cli
