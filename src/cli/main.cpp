#include <iostream>

#include "cli/cli_command.h"

int main(int argc, char** argv) {
    using namespace trawlix::cli;
    if (argc < 2) {
        std::cerr << "usage: trawlix-cli COMMAND\n";
        return 2;
    }
    const Command* command = FindCommand(argv[1]);
    if (!command) {
        std::cerr << "usage: trawlix-cli COMMAND\n";
        return 2;
    }
    CommandContext ctx{std::vector<std::string>(argv + 2, argv + argc), std::cout, std::cerr, nullptr};
    try {
        return command->run(ctx);
    } catch (const UsageError& e) {
        std::cerr << e.what() << "\nusage: trawlix-cli " << command->usage << "\n";
        return 2;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
}
