#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <functional>
#include <string>

#include "ui/form_exception.h"

class QWidget;

namespace trawlix {

class IUserDialogs;
class TSession;
struct TUpdateCheck;

// The main window's dealings with the vendor: the update check, the problem report, the
// news after an upgrade, the error window and the crash reports of earlier runs.
class TVendorActions : public QObject {
    Q_OBJECT
public:
    TVendorActions(QWidget* aWindow, TSession* aSession, IUserDialogs& aDialogs);

    // Opens an address in the user's browser; false when none could be opened.
    std::function<bool(const QString& aAddress)> OpenAddress;
    // The file the problem report goes to; empty when the user cancelled.
    std::function<QString()> ChooseReportFile;
    // Opens a folder in the file browser.
    std::function<void(const QString& aFolder)> OpenFolder;
    // Shows the news page of this version (the main window's news tab).
    std::function<void(const std::filesystem::path& aPage)> ShowNews;

    // "Check for Update": asks on a background thread; the answer comes as a message.
    void CheckForUpdate();
    bool CheckingForUpdate() const { return fChecking; }
    void GenerateProblemReport();
    // After the start: the news of a new version, then the crash reports waiting. True when
    // the news was shown.
    bool ShowNewsAfterUpgrade();
    void OfferCrashReports();
    // An error that reached the event loop: the error window with its debug text.
    void ShowError(const std::string& aClassName, const std::string& aMessage);
    // An error whose debug text is already written (the start-up's): the error window.
    void ShowErrorReport(const std::string& aMessage, const std::string& aDebugInfo);

private:
    void OnUpdateChecked(const TUpdateCheck& aCheck, const std::string& aError);
    TformException::TSendReport ReportSender() const;

    QWidget* fWindow;
    TSession* fSession;
    IUserDialogs& fDialogs;
    bool fChecking = false;
};

}  // namespace trawlix
