#pragma once

#include <QDialog>
#include <functional>
#include <string>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;

namespace trawlix {

class IUserDialogs;

// The error window: an error's message with "Send error report", which mails the message
// and its debug text (the call stack) to the vendor with a note from the user.
class TformException : public QDialog {
    Q_OBJECT
public:
    // Sends a report: the user's note and the debug text; raises with the reason on failure.
    // Runs on a background thread.
    using TSendReport = std::function<void(const std::string& aNote, const std::string& aDebugInfo)>;
    // Asks the user for the note; nullopt-like empty answer when cancelled.
    using TAskNote = std::function<std::string()>;

    TformException(TSendReport aSendReport, IUserDialogs& aDialogs, QWidget* aParent = nullptr);

    // Shows the window (not modal) with aMessage in full.
    void Execute(const std::string& aMessage, const std::string& aDebugInfo);
    // A crash report of an earlier run: the window also offers to keep the report for later;
    // aOnClosed gets whether the user wants it kept.
    void ExecuteForCrashReport(const std::string& aMessage, const std::string& aDebugInfo,
                               std::function<void(bool aKeep)> aOnClosed);

    TAskNote AskNote;  // the "Custom note" prompt; tests answer it themselves
    QPushButton* btnOK;
    QPushButton* btnSendReport;
    QCheckBox* cbKeepReport;
    QPlainTextEdit* memoMessage;

    // True while a report is being sent.
    bool Sending() const { return fSending; }

protected:
    void done(int aResult) override;

private:
    void SendReport();
    void OnReportSent(const std::string& aError);
    void SizeToMessage(const QString& aMessage);

    TSendReport fSendReport;
    IUserDialogs& fDialogs;
    std::string fDebugInfo;
    std::function<void(bool)> fOnClosed;
    bool fSending = false;
};

// The note prompt of the real window.
std::string AskReportNote(QWidget* aParent);

}  // namespace trawlix
