#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/email_account.h"
#include "mail/email_account_checks.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace trawlix {

class IUserDialogs;
class TfrmInfo;

// "Email Account": the SMTP settings of one account, with a test mail to try them.
class TformEmailAccount : public QDialog {
    Q_OBJECT
public:
    // aUserEmail: the user's own address, offered as the test mail's destination.
    TformEmailAccount(IUserDialogs& aDialogs, std::string aUserEmail, QWidget* aParent = nullptr);
    ~TformEmailAccount() override;

    // Shows the account (when given) and runs the window modally; on OK the account is
    // filled from the fields. True for OK.
    bool Execute(TEmailAccount* aEmailAccount);
    void ShowAccount(const TEmailAccount& aEmailAccount);
    void FillEmailAccount(TEmailAccount& aEmailAccount) const;
    TEmailAccountFields Fields() const;

    // Sends the test mail through a temporary account made from the fields.
    void SendTestEmail();
    bool TestInProgress() const { return static_cast<bool>(fTestAccount); }
    // Asks for the test mail's destination, offering aSuggested; none when cancelled.
    std::function<std::optional<std::string>(const std::string& aSuggested)> AskDestination;

    QLineEdit* edtSMTPHost;
    QLineEdit* edtSMTPPort;
    QLineEdit* edtUsername;
    QLineEdit* edtPassword;
    QCheckBox* cbUseSSL;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnSendTestEmail;

public slots:
    // Closes with OK only when the fields pass the checks.
    void accept() override;

private:
    void BuildControls();
    // On the main thread, once the test mail's result has come back.
    void NotifyOnMessageSent(TSendResult aResult, const std::string& aErrorText);

    IUserDialogs& fDialogs;
    std::string fUserEmail;
    // Kept, with its sending thread, until the test mail's result has arrived.
    IEmailAccount fTestAccount;
    std::unique_ptr<TfrmInfo> fProgress;
};

}  // namespace trawlix
