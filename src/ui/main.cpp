// trawlix: the desktop program. One instance per user: a second start asks the first to
// come to the front and ends.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>

#include "app/crash_reports.h"
#include "app/platform.h"
#include "app/session.h"
#include "engine/synchronizator.h"
#include "ui/application.h"
#include "ui/form_main.h"
#include "ui/locale_time_and_date.h"
#include "ui/vendor_actions.h"
#include "ui/qt_main_thread_binding.h"
#include "ui/single_instance.h"
#include "ui/user_dialogs.h"

namespace {

using namespace trawlix;

int RunFirstInstance(TApplication& aApplication) {
    TQtMainThreadBinding binding;
    InstallLocaleTimeAndDate();
    TMessageBoxDialogs dialogs;
    TMessageBoxNotifier notifier(dialogs);
    auto session = std::make_unique<TSession>(TSession::TOptions::ForThisUser(), notifier);
    SetSession(session.get());
    int code = 0;
    {
        TformMain window(session.get(), dialogs);
        dialogs.SetParent(&window);
        TBringToFrontServer server(platform::BringToFrontSocketPath(), [&window] { window.BringToFront(); });
        // A logout, `systemctl stop` or Ctrl+C closes the window as the user would: searches
        // stopped, saved, the lock released. A signal that comes while the program is still
        // starting, or while a dialog waits for an answer, closes the dialog and is served
        // once the main event loop runs.
        platform::TTerminationSignals terminationSignals;
        QSocketNotifier signalNotifier(terminationSignals.ReadFd(), QSocketNotifier::Read);
        bool eventLoopRunning = false;
        std::function<void()> exitOnSignal = [&] {
            if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
            if (!eventLoopRunning || QApplication::activeModalWidget()) {
                QTimer::singleShot(50, &window, exitOnSignal);
                return;
            }
            window.close();
        };
        QObject::connect(&signalNotifier, &QSocketNotifier::activated, &window, [&] {
            signalNotifier.setEnabled(false);
            exitOnSignal();
        });
        aApplication.OnError = [&window](const std::string& aClassName, const std::string& aMessage) {
            window.Vendor()->ShowError(aClassName, aMessage);
        };
        // An error while the session loads comes as the error window too.
        notifier.ShowErrorWindow = [&window](const std::string& aMessage, const std::string& aDebugInfo) {
            window.Vendor()->ShowErrorReport(aMessage, aDebugInfo);
        };
        if (window.Init()) {
            try {
                window.LoginSuccess({});
            } catch (const std::exception& e) {
                // The window shows what it could build; the user reads why and may still exit.
                window.show();
                window.Vendor()->ShowError(ExceptionClassName(e), e.what());
            }
            QTimer::singleShot(0, &window, [&eventLoopRunning] { eventLoopRunning = true; });
            code = aApplication.exec();
        }
        aApplication.OnError = nullptr;
        notifier.ShowErrorWindow = nullptr;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        dialogs.SetParent(nullptr);
    }
    session.reset();  // saves the settings, closes the database
    SetSession(nullptr);
    QApplication::restoreOverrideCursor();
    TSynchronizator::FreeInstance();
    return code;
}

// The preview's browser engine refuses to start as root unless its sandbox is off; a root
// session (a container, a CI machine) would otherwise show no preview at all.
void AllowPreviewAsRoot() {
    if (geteuid() == 0 && std::getenv("QTWEBENGINE_DISABLE_SANDBOX") == nullptr) {
        setenv("QTWEBENGINE_DISABLE_SANDBOX", "1", 0);
    }
}

// Errors before the window exists still reach a user who started the program from a menu.
void ShowStartError(const std::string& aMessage) {
    std::cerr << "trawlix: " << aMessage << "\n";
    QMessageBox::critical(nullptr, "Trawlix", QString::fromStdString(aMessage));
}

}  // namespace

int main(int argc, char** argv) {
    AllowPreviewAsRoot();
    // The web preview shares its graphics context with the widgets; it must be set first.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    TApplication application(argc, argv);
    QApplication::setApplicationName("Trawlix");
    // Lets the desktop match the windows to the menu entry and its icon.
    QApplication::setDesktopFileName("trawlix");
    QApplication::setQuitOnLastWindowClosed(false);
    try {
        trawlix::InstallCrashHandler(trawlix::CrashReportsFolder(trawlix::platform::DataFolder()));
        platform::TInstanceLock instance(platform::InstanceLockFile());
        if (!instance.Error().empty()) {
            ShowStartError(instance.Error());
            return 1;
        }
        if (!instance.Acquired()) {
            // The first instance may listen elsewhere when it was started from another
            // environment; then at least this start says why it ends.
            if (!platform::SendBringToFront()) std::cerr << "trawlix: Trawlix is already running.\n";
            return 0;
        }
        return RunFirstInstance(application);
    } catch (const std::exception& e) {
        ShowStartError(e.what());
        return 1;
    }
}
