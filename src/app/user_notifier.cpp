#include "app/user_notifier.h"

#include <cstdlib>
#include <iostream>

namespace trawlix {

void TStdErrNotifier::Warning(const std::string& aMessage) { std::cerr << aMessage << std::endl; }

void TStdErrNotifier::ErrorReport(const std::string& aMessage, const std::string& aCallStack) {
    std::cerr << "Error: " << aMessage << std::endl;
    // The call stack only helps a developer; show it when asked for.
    if (std::getenv("TRAWLIX_DEBUG")) std::cerr << aCallStack << std::endl;
}

}  // namespace trawlix
