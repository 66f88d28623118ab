#pragma once

#include <string>

namespace trawlix {

// How the session talks to the user: message boxes in the desktop program,
// standard error in the command-line program.
class IUserNotifier {
public:
    virtual ~IUserNotifier() = default;
    virtual void Warning(const std::string& aMessage) = 0;
    // The error report window: the error's message and its call stack.
    virtual void ErrorReport(const std::string& aMessage, const std::string& aCallStack) = 0;
    // Something failed that may work on a second try (saving the searches at exit): true
    // when the user wants it tried again. Without anyone to ask, it is not.
    virtual bool AskRetry(const std::string& /*aMessage*/) { return false; }
};

// Writes to standard error; used by the command-line program and as the default.
class TStdErrNotifier : public IUserNotifier {
public:
    void Warning(const std::string& aMessage) override;
    void ErrorReport(const std::string& aMessage, const std::string& aCallStack) override;
};

}  // namespace trawlix
