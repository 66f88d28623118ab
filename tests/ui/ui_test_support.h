#pragma once

#include <QAbstractButton>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/platform.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/proxy_settings.h"
#include "model/searches.h"
#include "ui/form_main.h"
#include "ui/qt_main_thread_binding.h"
#include "ui/selection_tree.h"
#include "ui/user_dialogs.h"
#include "ui/vendor_actions.h"

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

// Clicks a check box or radio button on its box, where a click counts (a wide row takes
// clicks on its box and caption only).
inline void ClickBox(QAbstractButton* aButton) {
    QTest::mouseClick(aButton, Qt::LeftButton, {}, QPoint(std::min(6, aButton->width() / 2), aButton->height() / 2));
}

// Ticks a node's mark with the mouse, as a user does.
inline void Tick(TSelectionTree* aTree, const char* aName) {
    QTreeWidgetItem* found = nullptr;
    for (QTreeWidgetItem* item : aTree->AllItems())
        if (item->text(0) == aName) found = item;
    QVERIFY2(found, aName);
    for (QTreeWidgetItem* parent = found->parent(); parent; parent = parent->parent()) parent->setExpanded(true);
    aTree->scrollToItem(found);
    QTest::mouseClick(aTree->viewport(), Qt::LeftButton, {}, aTree->MarkRect(found).center());
    QCOMPARE(TSelectionTree::GetMark(found), int(nmChecked));
}

// One run of the program: binding, session and window, as main() builds them.
class TRun {
public:
    explicit TRun(const std::filesystem::path& aProfile) {
        // Qt's own environment calls, never setenv: QtTest's watchdog thread reads the
        // environment through Qt's lock while a test starts, and setenv beside it crashed it.
        qputenv("TRAWLIX_DATA_DIR", QByteArray((aProfile / "data").c_str()));
        qputenv("TRAWLIX_CONFIG_DIR", QByteArray((aProfile / "config").c_str()));
        binding = std::make_unique<TQtMainThreadBinding>();
        TSession::TOptions options;
        options.dataFolder = platform::DataFolder();
        options.settingsFile = platform::SettingsFile();
        options.autostartFile = aProfile / "autostart" / "trawlix.desktop";
        options.installedFiles = platform::InstalledDataFolder();
        const bool freshProfile = !std::filesystem::exists(options.settingsFile);
        session = std::make_unique<TSession>(options, notifier);
        SetSession(session.get());
        // "New search" makes a plain tab in the tests; the wizard's own tests turn it back on.
        // A profile that has settings keeps its choice, so a restart shows what was saved.
        if (freshProfile) session->GetSettings().SetShowSearchWizzard(false);
        window = std::make_unique<TformMain>(session.get(), dialogs);
        // As in the program: an error while the session loads opens the error window.
        notifier.ShowErrorWindow = [this](const std::string& aMessage, const std::string& aDebugInfo) {
            window->Vendor()->ShowErrorReport(aMessage, aDebugInfo);
        };
        window->OrientationChooser = [this](TOrientation aCurrent, bool aFirstRun) {
            ++orientationQuestions;
            orientationAskedAsFirstRun = aFirstRun;
            return chosenOrientation.value_or(aCurrent);
        };
        // No browser is opened by a test: the address goes to the recorded messages instead.
        window->OpenAddress = [this](const QString& aAddress) {
            openedAddresses.push_back(aAddress.toStdString());
            return browserOpens;
        };
        window->Init();
        window->LoginSuccess({false, false});
    }
    ~TRun() {
        notifier.ShowErrorWindow = nullptr;
        window.reset();
        session.reset();
        SetSession(nullptr);
        binding.reset();
    }
    // Runs the exit sequence to its end, as closing the window does.
    bool ExitAndWait() {
        window->close();
        return QTest::qWaitFor([this] { return binding->IsTerminating(); }, 20000);
    }
    // Every request of this run goes through the site simulator listening on aSimulatorPort,
    // as through a proxy.
    void RouteThroughSimulator(int aSimulatorPort) {
        TProxySettings& proxy = session->GetSettings().GetProxySettings();
        proxy.SetEnabled(true);
        proxy.SetHost("127.0.0.1");
        proxy.SetPort(aSimulatorPort);
    }
    std::vector<std::string> SearchNames() const {
        std::vector<std::string> names;
        for (const auto& search : session->GetMySearches()->GetAllSearches()) names.push_back(search->GetName());
        return names;
    }

    TRecordingDialogs dialogs;
    // How the first-start question about the orientation is answered (none: keep the current one).
    static inline std::optional<TOrientation> chosenOrientation;
    int orientationQuestions = 0;
    bool orientationAskedAsFirstRun = false;
    std::vector<std::string> openedAddresses;
    bool browserOpens = true;
    // As in the program: the session's warnings and questions come as the window's message boxes.
    TMessageBoxNotifier notifier{dialogs};
    std::unique_ptr<TQtMainThreadBinding> binding;
    std::unique_ptr<TSession> session;
    std::unique_ptr<TformMain> window;
};

}  // namespace trawlix::test
