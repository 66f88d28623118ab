#pragma once

#include <string>
#include <vector>

#include "ui/user_dialogs.h"

namespace trawlix::test {

// Answers the windows' message boxes without showing them, and remembers what was asked.
class TRecordingDialogs : public IUserDialogs {
public:
    void Information(const std::string& aMessage) override { informations.push_back(aMessage); }
    void Warning(const std::string& aMessage) override { warnings.push_back(aMessage); }
    bool Confirm(const std::string& aMessage) override {
        confirmations.push_back(aMessage);
        return confirmAnswer;
    }
    void Clear() {
        informations.clear();
        warnings.clear();
        confirmations.clear();
    }

    std::vector<std::string> informations;
    std::vector<std::string> warnings;
    std::vector<std::string> confirmations;
    bool confirmAnswer = true;
};

}  // namespace trawlix::test
