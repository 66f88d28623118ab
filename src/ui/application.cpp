#include "ui/application.h"

#include <cstdlib>
#include <iostream>

#include "app/crash_reports.h"

namespace trawlix {

TApplication::TApplication(int& aArgc, char** aArgv) : QApplication(aArgc, aArgv) {}

bool TApplication::notify(QObject* aReceiver, QEvent* aEvent) {
    try {
        return QApplication::notify(aReceiver, aEvent);
    } catch (const std::exception& error) {
        ReportError(ExceptionClassName(error), error.what());
    } catch (...) {
        ReportError("unknown", "An error of an unknown kind");
    }
    return false;
}

void TApplication::ReportError(const std::string& aClassName, const std::string& aMessage) {
    // A failure to show the error must not become an error of its own.
    try {
        if (OnError) {
            OnError(aClassName, aMessage);
            return;
        }
    } catch (...) {
    }
    std::cerr << "trawlix: " << aClassName << ": " << aMessage << "\n";
}

}  // namespace trawlix
