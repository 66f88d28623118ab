#pragma once

#include <functional>
#include <string>

#include "app/user_notifier.h"

class QWidget;

namespace trawlix {

// The message boxes of the windows. The windows ask through this interface so that the
// window tests can answer them without a modal box blocking the test.
class IUserDialogs {
public:
    virtual ~IUserDialogs() = default;
    virtual void Information(const std::string& aMessage) = 0;
    virtual void Warning(const std::string& aMessage) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const std::string& aMessage) = 0;
};

// Real message boxes over a parent window (or none).
class TMessageBoxDialogs : public IUserDialogs {
public:
    explicit TMessageBoxDialogs(QWidget* aParent = nullptr) : fParent(aParent) {}
    void SetParent(QWidget* aParent) { fParent = aParent; }
    void Information(const std::string& aMessage) override;
    void Warning(const std::string& aMessage) override;
    bool Confirm(const std::string& aMessage) override;

private:
    QWidget* fParent;
};

// The session's notifications in the desktop program: warnings and the error report
// as message boxes. Runs on the main thread (the session hands these calls there).
class TMessageBoxNotifier : public IUserNotifier {
public:
    explicit TMessageBoxNotifier(IUserDialogs& aDialogs) : fDialogs(aDialogs) {}
    void Warning(const std::string& aMessage) override;
    void ErrorReport(const std::string& aMessage, const std::string& aCallStack) override;
    // The error window, once the main window exists; before that the report is a message box.
    std::function<void(const std::string& aMessage, const std::string& aDebugInfo)> ShowErrorWindow;
    bool AskRetry(const std::string& aMessage) override { return fDialogs.Confirm(aMessage); }

private:
    IUserDialogs& fDialogs;
};

}  // namespace trawlix
