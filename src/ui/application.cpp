#include "ui/application.h"

#include <cxxabi.h>

#include <cstdlib>
#include <iostream>
#include <memory>
#include <typeinfo>

namespace trawlix {

namespace {

std::string ClassNameOf(const std::exception& aError) {
    int status = 0;
    std::unique_ptr<char, decltype(&std::free)> name(
        abi::__cxa_demangle(typeid(aError).name(), nullptr, nullptr, &status), &std::free);
    return status == 0 && name ? name.get() : typeid(aError).name();
}

}  // namespace

TApplication::TApplication(int& aArgc, char** aArgv) : QApplication(aArgc, aArgv) {}

bool TApplication::notify(QObject* aReceiver, QEvent* aEvent) {
    try {
        return QApplication::notify(aReceiver, aEvent);
    } catch (const std::exception& error) {
        ReportError(ClassNameOf(error), error.what());
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
