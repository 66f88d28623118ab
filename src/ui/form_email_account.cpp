#include "ui/form_email_account.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/synchronizator.h"
#include "engine/text_functions.h"
#include "ui/info_window.h"
#include "ui/qt_text.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

std::optional<std::string> AskWithInputBox(QWidget* aParent, const std::string& aSuggested) {
    bool accepted = false;
    const QString answer = QInputDialog::getText(aParent, "Destination address",
                                                 "Enter a destination address for the test message.",
                                                 QLineEdit::Normal, Q(aSuggested), &accepted);
    if (!accepted) return std::nullopt;
    return S(answer);
}

}  // namespace

TformEmailAccount::TformEmailAccount(IUserDialogs& aDialogs, std::string aUserEmail, QWidget* aParent)
    : QDialog(aParent), fDialogs(aDialogs), fUserEmail(std::move(aUserEmail)) {
    setObjectName("formEmailAccount");
    setWindowTitle("Email Account");
    BuildControls();
    AskDestination = [this](const std::string& aSuggested) { return AskWithInputBox(this, aSuggested); };
}

// A test still running is abandoned: freeing its account stops the send without a callback.
TformEmailAccount::~TformEmailAccount() = default;

void TformEmailAccount::BuildControls() {
    edtSMTPHost = new QLineEdit(this);
    edtSMTPHost->setPlaceholderText("smtp.gmail.com");
    edtSMTPPort = new QLineEdit(this);
    edtUsername = new QLineEdit(this);
    edtUsername->setPlaceholderText("john.smith@gmail.com");
    edtPassword = new QLineEdit(this);
    edtPassword->setEchoMode(QLineEdit::Password);
    cbUseSSL = new QCheckBox("Use SSL", this);
    auto* form = new QFormLayout;
    form->addRow("SMTP host", edtSMTPHost);
    form->addRow("SMTP port (eg. 25)", edtSMTPPort);
    form->addRow("Account", edtUsername);
    form->addRow("Password", edtPassword);
    form->addRow("", cbUseSSL);

    auto* buttons = new QDialogButtonBox(this);
    btnSendTestEmail = buttons->addButton("Send test email", QDialogButtonBox::ActionRole);
    btnOK = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    btnCancel = buttons->addButton("Cancel", QDialogButtonBox::RejectRole);
    btnOK->setDefault(true);  // Enter acts as OK, Escape as Cancel (QDialog's own keys)
    connect(buttons, &QDialogButtonBox::accepted, this, &TformEmailAccount::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TformEmailAccount::reject);
    connect(btnSendTestEmail, &QPushButton::clicked, this, &TformEmailAccount::SendTestEmail);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TformEmailAccount::ShowAccount(const TEmailAccount& aEmailAccount) {
    const TEmailAccountFields fields = FieldsOfEmailAccount(aEmailAccount);
    edtSMTPHost->setText(Q(fields.host));
    edtSMTPPort->setText(Q(fields.port));
    edtUsername->setText(Q(fields.username));
    edtPassword->setText(Q(fields.password));
    cbUseSSL->setChecked(fields.useSSL);
}

bool TformEmailAccount::Execute(TEmailAccount* aEmailAccount) {
    if (aEmailAccount) ShowAccount(*aEmailAccount);
    edtSMTPHost->setFocus();
    const bool ok = exec() == QDialog::Accepted;
    if (ok && aEmailAccount) FillEmailAccount(*aEmailAccount);
    return ok;
}

TEmailAccountFields TformEmailAccount::Fields() const {
    return TEmailAccountFields{S(edtSMTPHost->text()), S(edtSMTPPort->text()), S(edtUsername->text()),
                               S(edtPassword->text()), cbUseSSL->isChecked()};
}

void TformEmailAccount::FillEmailAccount(TEmailAccount& aEmailAccount) const {
    trawlix::FillEmailAccount(aEmailAccount, Fields());
}

void TformEmailAccount::accept() {
    const std::string problem = CheckEmailAccountFields(Fields());
    if (!problem.empty()) {
        fDialogs.Warning(problem);
        return;
    }
    QDialog::accept();
}

void TformEmailAccount::SendTestEmail() {
    if (fTestAccount) return;  // one test at a time
    const auto destination = AskDestination(fUserEmail);
    if (!destination || Trim(*destination).empty()) return;
    fTestAccount = std::make_shared<TEmailAccount>();
    FillEmailAccount(*fTestAccount);
    if (!fProgress) fProgress = std::make_unique<TfrmInfo>(this);
    fProgress->Execute();
    btnSendTestEmail->setEnabled(false);
    // The result comes on the sending thread; the window hears it on the main thread, if
    // it still exists by then.
    QPointer<TformEmailAccount> window(this);
    fTestAccount->SendMessage(
        MakeTestMessage(), Trim(*destination),
        [window](TSendResult aResult, const std::string& aErrorText) {
            Synch().SynchronizeNonBlocking(
                [window, aResult, aErrorText](const std::string&) {
                    if (window) window->NotifyOnMessageSent(aResult, aErrorText);
                },
                "");
        },
        cTestMessagePriority, "", "");
}

void TformEmailAccount::NotifyOnMessageSent(TSendResult aResult, const std::string& aErrorText) {
    fTestAccount.reset();
    fProgress->Finish();
    btnSendTestEmail->setEnabled(true);
    if (aResult == srOK)
        fDialogs.Information(cTestMessageSentText);
    else
        fDialogs.Warning(cTestMessageFailedText + aErrorText);
}

}  // namespace trawlix
