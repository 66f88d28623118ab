#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace trawlix {

// The desktop program's application object: an error that an event handler lets escape
// goes to OnError (the error window) instead of ending the program.
class TApplication : public QApplication {
public:
    TApplication(int& aArgc, char** aArgv);

    // Without a handler the error is written to standard error.
    std::function<void(const std::string& aClassName, const std::string& aMessage)> OnError;

    bool notify(QObject* aReceiver, QEvent* aEvent) override;

private:
    void ReportError(const std::string& aClassName, const std::string& aMessage);
};

}  // namespace trawlix
