#include "ui/vendor_actions.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QPointer>
#include <QUrl>
#include <QWidget>
#include <filesystem>
#include <thread>

#include "app/crash_reports.h"
#include "app/error_report.h"
#include "app/platform.h"
#include "app/problem_report.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/vendor_services.h"
#include "model/searches.h"
#include "model/version.h"
#include "ui/form_exception.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

void DeleteReportFile(const std::filesystem::path& aFile) {
    std::error_code ignored;
    std::filesystem::remove(aFile, ignored);
}

}  // namespace

TVendorActions::TVendorActions(QWidget* aWindow, TSession* aSession, IUserDialogs& aDialogs)
    : QObject(aWindow), fWindow(aWindow), fSession(aSession), fDialogs(aDialogs) {
    OpenAddress = [](const QString& aAddress) { return QDesktopServices::openUrl(QUrl(aAddress)); };
    ChooseReportFile = [this] {
        return QFileDialog::getSaveFileName(fWindow, "Generate Problem Report", QString(), "Trawlix database (*.cur)");
    };
    OpenFolder = [](const QString& aFolder) { QDesktopServices::openUrl(QUrl::fromLocalFile(aFolder)); };
}

void TVendorActions::CheckForUpdate() {
    if (!fSession || fChecking) return;
    fChecking = true;
    QApplication::setOverrideCursor(Qt::BusyCursor);
    QPointer<TVendorActions> self(this);
    TRESTConnection& connection = fSession->GetRESTConnection();
    const std::string host = fSession->GetSettings().GetVendorHost();
    // The connection lives as long as the session, which outlives the window.
    std::thread([self, &connection, host] {
        TUpdateCheck check;
        std::string error;
        try {
            check = trawlix::CheckForUpdate(connection, host, kVersion);
        } catch (const std::exception& e) {
            error = e.what();
        }
        QMetaObject::invokeMethod(
            qApp, [self, check, error] { if (self) self->OnUpdateChecked(check, error); }, Qt::QueuedConnection);
    }).detach();
}

void TVendorActions::OnUpdateChecked(const TUpdateCheck& aCheck, const std::string& aError) {
    QApplication::restoreOverrideCursor();
    fChecking = false;
    if (!aError.empty()) {
        fDialogs.Warning(kUpdateCheckFailedPrefix + aError);
        return;
    }
    if (!aCheck.newer) {
        fDialogs.Information(LatestVersionText());
        return;
    }
    if (!fDialogs.Confirm(std::string(kNewVersionMessage) + "\n\r" + kUpdateQuestion)) return;
    if (!OpenAddress || !OpenAddress(QString::fromStdString(aCheck.url)))
        fDialogs.Information("No web browser could be opened. The new version is at:\n" + aCheck.url);
}

void TVendorActions::GenerateProblemReport() {
    if (!fSession) return;
    const QString chosen = ChooseReportFile ? ChooseReportFile() : QString();
    if (chosen.isEmpty()) return;
    const std::filesystem::path file = ProblemReportFile(chosen.toStdString());
    // The report should hold what the user sees now.
    if (TSearches* searches = fSession->GetMySearches(); searches && !searches->SaveMySearches())
        fDialogs.Warning("Your searches could not be saved first: " + searches->GetLastSaveError());
    try {
        WriteProblemReport(fSession->GetDatabaseFile(), file);
    } catch (const std::exception& e) {
        fDialogs.Warning(e.what());
        return;
    }
    fDialogs.Information(ProblemReportDoneText());
    if (OpenFolder) OpenFolder(QString::fromStdString(file.parent_path().string()));
}

bool TVendorActions::ShowNewsAfterUpgrade() {
    if (!fSession || !TakeNewsTurn(fSession->GetSettings(), kVersion)) return false;
    // Read where it is installed, as the maps are: it changes with every version.
    if (ShowNews) ShowNews(platform::InstalledDataFolder() / "news" / "news.html");
    return true;
}

// Taken on the main thread; the sending runs on the error window's thread.
TformException::TSendReport TVendorActions::ReportSender() const {
    TSettings& settings = fSession->GetSettings();
    return [host = settings.GetVendorHost(), &proxy = settings.GetProxySettings()](const std::string& aNote,
                                                                                    const std::string& aDebugInfo) {
        SendErrorReport(host, proxy, aNote, aDebugInfo);
    };
}

void TVendorActions::ShowError(const std::string& aClassName, const std::string& aMessage) {
    if (!fSession) return;
    ShowErrorReport(aMessage, ExceptionDebugText(aClassName, aMessage, CurrentStackFrames(1)));
}

void TVendorActions::ShowErrorReport(const std::string& aMessage, const std::string& aDebugInfo) {
    if (!fSession) return;
    auto* window = new TformException(ReportSender(), fDialogs, fWindow);
    window->Execute(aMessage, aDebugInfo);
}

void TVendorActions::OfferCrashReports() {
    if (!fSession) return;
    for (const TCrashReport& report : ListCrashReports(CrashReportsFolder(fSession->GetDataFolder()))) {
        auto* window = new TformException(ReportSender(), fDialogs, fWindow);
        window->setObjectName("formCrashReport");
        const std::string message = "Trawlix ended unexpectedly last time:\n" + Headline(report.text);
        window->ExecuteForCrashReport(message, report.text, [file = report.file](bool aKeep) {
            if (!aKeep) DeleteReportFile(file);
        });
    }
}

}  // namespace trawlix
