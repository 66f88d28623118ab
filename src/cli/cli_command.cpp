#include "cli/cli_command.h"

#include <algorithm>
#include <charconv>
#include <map>

namespace trawlix::cli {

namespace {
std::map<std::string, Command>& Registry() {
    static std::map<std::string, Command> registry;
    return registry;
}
}  // namespace

void RegisterCommand(Command aCommand) {
    auto name = aCommand.name;
    Registry()[name] = std::move(aCommand);
}

const Command* FindCommand(const std::string& aName) {
    auto it = Registry().find(aName);
    return it == Registry().end() ? nullptr : &it->second;
}

std::vector<const Command*> AllCommands() {
    std::vector<const Command*> result;
    for (const auto& [name, command] : Registry()) result.push_back(&command);
    return result;
}

bool AlwaysReadsOnly(const std::vector<std::string>&) { return true; }

TReadsOnly ReadsOnlyWithout(std::vector<std::string> aChangingOptions) {
    return [options = std::move(aChangingOptions)](const std::vector<std::string>& aArgs) {
        // A value that happens to look like one of the options only costs the lock.
        return std::none_of(aArgs.begin(), aArgs.end(), [&options](const std::string& aArg) {
            return std::find(options.begin(), options.end(), aArg) != options.end();
        });
    };
}

bool ArgParser::Flag(const std::string& aName) {
    auto it = std::find(fArgs.begin(), fArgs.end(), aName);
    if (it == fArgs.end()) return false;
    fArgs.erase(it);
    return true;
}

std::optional<std::string> ArgParser::Value(const std::string& aName) {
    auto values = Values(aName);
    if (values.empty()) return std::nullopt;
    if (values.size() > 1) throw UsageError(aName + " given more than once");
    return values.front();
}

std::string ArgParser::RequiredValue(const std::string& aName) {
    auto value = Value(aName);
    if (!value) throw UsageError(aName + " is required");
    return *value;
}

std::vector<std::string> ArgParser::Values(const std::string& aName) {
    std::vector<std::string> values;
    for (size_t i = 0; i < fArgs.size();) {
        if (fArgs[i] != aName) {
            ++i;
            continue;
        }
        if (i + 1 >= fArgs.size()) throw UsageError(aName + " needs a value");
        values.push_back(fArgs[i + 1]);
        fArgs.erase(fArgs.begin() + i, fArgs.begin() + i + 2);
    }
    return values;
}

std::optional<int> ArgParser::IntValue(const std::string& aName) {
    auto text = Value(aName);
    if (!text) return std::nullopt;
    return ParseInt(*text, aName);
}

std::vector<std::string> ArgParser::Positionals() {
    for (const auto& arg : fArgs)
        if (arg.size() > 1 && arg[0] == '-' && arg != "-") throw UsageError("unknown option " + arg);
    return fArgs;
}

int ParseInt(const std::string& aText, const std::string& aWhat) {
    int value = 0;
    auto [end, ec] = std::from_chars(aText.data(), aText.data() + aText.size(), value);
    if (ec != std::errc() || end != aText.data() + aText.size() || aText.empty())
        throw UsageError(aWhat + " must be a whole number, not \"" + aText + "\"");
    return value;
}

}  // namespace trawlix::cli
