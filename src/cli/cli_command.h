#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace trawlix {
class TSession;
}

namespace trawlix::cli {

// Wrong usage of a command: exit code 2 with the usage text.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command's own failure: exit code 1 with the message on standard error.
class CommandError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct CommandContext {
    std::vector<std::string> args;  // what follows the command name
    std::ostream& out;
    std::ostream& err;
    TSession* session = nullptr;  // the started session (null for commands that need none)
};

// Whether a call of a command, given its arguments, only reads. Such a call takes no lock on
// the data folder and opens the data for reading only, so it never keeps the watcher or the
// desktop program from starting. Empty: the call may write.
using TReadsOnly = std::function<bool(const std::vector<std::string>& aArgs)>;

struct Command {
    std::string name;
    std::string usage;         // one line, without the program name
    bool changesData = false;  // refused while the desktop program runs
    bool needsSession = true;  // runs the session's start-up and shut-down around it
    std::function<int(CommandContext&)> run;
    TReadsOnly readsOnly = {};
    bool waitsForLock = false;  // waits while another program holds the data folder instead of leaving
};

// For commands that never write, whatever their arguments.
bool AlwaysReadsOnly(const std::vector<std::string>& aArgs);
// For commands that write only when given one of aChangingOptions.
TReadsOnly ReadsOnlyWithout(std::vector<std::string> aChangingOptions);

void RegisterCommand(Command aCommand);
const Command* FindCommand(const std::string& aName);
std::vector<const Command*> AllCommands();

// Declares a command from a source file of src/cli: registered before main runs.
struct CommandRegistrar {
    explicit CommandRegistrar(Command aCommand) { RegisterCommand(std::move(aCommand)); }
};

// Picks options out of a command's arguments. Take the options first, then call
// Positionals(), which rejects any option that nobody asked for.
class ArgParser {
public:
    explicit ArgParser(std::vector<std::string> aArgs) : fArgs(std::move(aArgs)) {}

    bool Flag(const std::string& aName);
    std::optional<std::string> Value(const std::string& aName);
    // The option's value; a UsageError where the option is missing.
    std::string RequiredValue(const std::string& aName);
    std::vector<std::string> Values(const std::string& aName);
    std::optional<int> IntValue(const std::string& aName);
    std::vector<std::string> Positionals();

private:
    std::vector<std::string> fArgs;
};

int ParseInt(const std::string& aText, const std::string& aWhat);

}  // namespace trawlix::cli
