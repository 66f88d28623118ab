#pragma once

#include <optional>
#include <string>

#include "cli/cli_command.h"

namespace trawlix::cli {

// What "help" says beside the commands that take a password.
inline constexpr const char* cPasswordOptions = "--password P | --password - | --password-file FILE";
inline constexpr const char* cPasswordVisibleNote =
    "A password given as --password VALUE is visible to every user of the machine (ps, /proc); "
    "--password - reads it from standard input (without echo on a terminal), --password-file FILE "
    "from the first line of FILE.";

// The password of --password VALUE, --password - (standard input: the first line, typed
// without echo when it is a terminal) or --password-file FILE (its first line); nothing when
// none is given. Raises UsageError for both at once, CommandError when it cannot be read.
std::optional<std::string> PasswordOption(ArgParser& aArgs);

}  // namespace trawlix::cli
