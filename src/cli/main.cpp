// trawlix-cli: the headless companion of the desktop program. It runs the same session
// start-up and shut-down around each command, so data and settings are written as a
// normal run writes them.
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>

#include "app/crash_reports.h"
#include "app/platform.h"
#include "app/session.h"
#include "app/user_notifier.h"
#include "cli/cli_command.h"
#include "cli/password_option.h"
#include "engine/synchronizator.h"

namespace {

using namespace trawlix;
using namespace trawlix::cli;

constexpr const char* kRunningMessage = "Trawlix is running. Close it first.";
constexpr const char* kWaitingMessage = "Trawlix is running: waiting until it is closed.";

void PrintUsage(std::ostream& aOut) {
    aOut << "usage: trawlix-cli [--data-dir DIR] [--config-dir DIR] COMMAND [ARGS]\n\ncommands:\n";
    for (const Command* command : AllCommands()) aOut << "  " << command->usage << "\n";
    aOut << "\n" << cPasswordVisibleNote << "\n";
}

// Takes the global options off the front of the arguments; they override the environment.
std::vector<std::string> ApplyGlobalOptions(std::vector<std::string> aArgs) {
    while (!aArgs.empty() && (aArgs[0] == "--data-dir" || aArgs[0] == "--config-dir")) {
        if (aArgs.size() < 2) throw UsageError(aArgs[0] + " needs a folder");
        const char* variable = aArgs[0] == "--data-dir" ? "TRAWLIX_DATA_DIR" : "TRAWLIX_CONFIG_DIR";
        setenv(variable, aArgs[1].c_str(), 1);
        aArgs.erase(aArgs.begin(), aArgs.begin() + 2);
    }
    return aArgs;
}

// A data folder whose database a reader cannot open (damaged, or a save cut short): the
// command starts again as one that may write, which repairs it under the lock.
struct EReaderCannotOpen {};

int RunWithSession(const Command& aCommand, CommandContext& aContext, bool aReadOnly, bool aOnlyReading = false) {
    THeadlessMainLoop mainLoop;
    SetMainThreadBinding(&mainLoop);
    struct TBindingReset {
        ~TBindingReset() { SetMainThreadBinding(nullptr); }
    } bindingReset;
    TStdErrNotifier notifier;
    std::unique_ptr<TSession> session;
    try {
        session = std::make_unique<TSession>(TSession::TOptions::ForThisUser(aReadOnly), notifier);
    } catch (const std::exception&) {
        if (aOnlyReading) throw EReaderCannotOpen{};
        throw;
    }
    SetSession(session.get());
    // What failed in the background (an automatic reply, a digest) is printed, not lost.
    session->OnNotificationStatus = [&aContext](const std::string& aText, bool aFailed) {
        if (aFailed) aContext.err << aText << "\n" << std::flush;
    };
    session->InitSession();
    session->WaitUntilIdle();
    aContext.session = session.get();
    int code = 1;
    try {
        code = aCommand.run(aContext);
    } catch (...) {
        session->FinishSession(false);
        SetSession(nullptr);
        throw;
    }
    session->FinishSession(false);
    const std::string saveError = session->GetExitSaveError();
    session.reset();
    SetSession(nullptr);
    if (!saveError.empty()) {
        aContext.err << "The searches could not be stored: " << saveError << "\n";
        return 1;
    }
    return code;
}

// A call that only reads leaves the lock to the programs that write. A data folder not set up
// yet is set up by the first command under the lock, whatever it is.
bool ReadsOnly(const Command& aCommand, const std::vector<std::string>& aArgs) {
    return aCommand.readsOnly && aCommand.readsOnly(aArgs) &&
           std::filesystem::exists(TSession::DatabaseFileIn(platform::DataFolder()));
}

int Run(std::vector<std::string> aArgs) {
    if (aArgs.empty()) throw UsageError("no command given");
    if (aArgs[0] == "help" || aArgs[0] == "--help") {
        PrintUsage(std::cout);
        return 0;
    }
    const Command* command = FindCommand(aArgs[0]);
    if (!command) throw UsageError("unknown command " + aArgs[0]);
    CommandContext context{std::vector<std::string>(aArgs.begin() + 1, aArgs.end()), std::cout, std::cerr, nullptr};
    try {
        if (!command->needsSession) return command->run(context);
        // From here on a signal ends the command as its own end would: searches stopped,
        // saved, the lock released.
        platform::TTerminationSignals signals;
        if (ReadsOnly(*command, context.args)) {
            try {
                return RunWithSession(*command, context, true, true);
            } catch (const EReaderCannotOpen&) {
            }
        }
        platform::TInstanceLock instance(platform::InstanceLockFile());
        if (!instance.Acquired() && instance.Error().empty() && command->waitsForLock) {
            std::cerr << kWaitingMessage << "\n" << std::flush;
            // A signal while waiting ends the command before it began: nothing to stop or save.
            if (!instance.WaitUntilAcquired(signals.ReadFd()) && instance.Error().empty()) return 0;
        }
        if (!instance.Error().empty()) {
            std::cerr << instance.Error() << "\n";
            return 1;
        }
        if (!instance.Acquired() && command->changesData) {
            std::cerr << kRunningMessage << "\n";
            return 1;
        }
        return RunWithSession(*command, context, !instance.Acquired());
    } catch (const UsageError& e) {
        std::cerr << "trawlix-cli " << command->name << ": " << e.what() << "\nusage: trawlix-cli " << command->usage
                  << "\n";
        return 2;
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Times and dates in what the user reads are in the user's formats; numbers stay as
    // the C locale writes them.
    std::setlocale(LC_TIME, "");
    try {
        // The data folder of --data-dir receives the crash reports: the options come first.
        std::vector<std::string> args = ApplyGlobalOptions(std::vector<std::string>(argv + 1, argv + argc));
        trawlix::InstallCrashHandler(trawlix::CrashReportsFolder(trawlix::platform::DataFolder()));
        return Run(std::move(args));
    } catch (const UsageError& e) {
        std::cerr << "trawlix-cli: " << e.what() << "\n";
        PrintUsage(std::cerr);
        return 2;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
