#pragma once

#include <cstdlib>
#include <optional>
#include <string>

namespace trawlix::test {

// Sets (or removes, with nullopt) an environment variable for one scope.
class TScopedEnv {
public:
    TScopedEnv(std::string aName, const std::optional<std::string>& aValue) : fName(std::move(aName)) {
        if (const char* old = std::getenv(fName.c_str())) fOld = old;
        if (aValue)
            setenv(fName.c_str(), aValue->c_str(), 1);
        else
            unsetenv(fName.c_str());
    }
    ~TScopedEnv() {
        if (fOld)
            setenv(fName.c_str(), fOld->c_str(), 1);
        else
            unsetenv(fName.c_str());
    }
    TScopedEnv(const TScopedEnv&) = delete;
    TScopedEnv& operator=(const TScopedEnv&) = delete;

private:
    std::string fName;
    std::optional<std::string> fOld;
};

}  // namespace trawlix::test
