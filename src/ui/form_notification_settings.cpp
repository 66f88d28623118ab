#include "ui/form_notification_settings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <stdexcept>

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "app/vendor_services.h"
#include "engine/quiet_hours.h"
#include "engine/text_functions.h"
#include "engine/threads.h"
#include "mail/email_accounts.h"
#include "model/gsm_networks.h"
#include "ui/ask_line.h"
#include "ui/notification_tests.h"
#include "ui/qt_text.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr int cUpdateControlsMs = 100;
constexpr const char* cInvalidEmail = "Your email address is invalid!";
constexpr const char* cInvalidPhone = "Your phone number is invalid!";
constexpr const char* cNoCarrier = "Please select a network carrier!";
constexpr const char* cProfileUpdateFailed = "Could not update your profile: ";
const char* const cWebhookFormats[] = {"ntfy", "discord", "slack", "json"};

// An address a webhook can be posted to.
bool IsWebhookAddress(const std::string& aURL) {
    const std::string lower = LowerCase(aURL);
    return (lower.rfind("http://", 0) == 0 && lower.size() > 7) || (lower.rfind("https://", 0) == 0 && lower.size() > 8);
}

// A different transport has sent nothing yet: what the old one did says nothing of it.
void RecordTransportChanged(TSettings& aSettings) {
    aSettings.SetNotificationEverSent(false);
    aSettings.SetNotificationLastError("");
}

}  // namespace

void FillGSMNetworksComboBox(QComboBox& aComboBox, const TGSMNetworks* aGSMNetworks, int aDefaultID) {
    aComboBox.clear();
    aComboBox.setCurrentIndex(-1);
    if (!aGSMNetworks) return;
    for (const auto& network : aGSMNetworks->GetAllNetworks())
        aComboBox.addItem(Q(network->GetName() + ": " + network->GetAddress()), network->GetID());
    aComboBox.setCurrentIndex(aComboBox.findData(aDefaultID));
}

TformNotificationSettings::TformNotificationSettings(TSession& aSession, IUserDialogs& aDialogs,
                                                     TNotificationTests& aTests, QWidget* aParent)
    : QWidget(aParent), fSession(aSession), fDialogs(aDialogs), fTests(aTests) {
    setObjectName("formNotificationSettings");
    setWindowTitle("Notification settings");
    cbMsgBoxNewResults = new QCheckBox("Show message box when there are new results", this);
    btnSendTestEmail = new QPushButton("Send test Email", this);
    btnSendTestSMS = new QPushButton("Send test SMS message", this);
    btnManageAlerts = new QPushButton("Manage alerts", this);
    connect(btnSendTestEmail, &QPushButton::clicked, this, &TformNotificationSettings::SendTestEmail);
    connect(btnSendTestSMS, &QPushButton::clicked, this, &TformNotificationSettings::SendTestSMS);
    connect(btnManageAlerts, &QPushButton::clicked, this, [this] {
        if (OnManageAlerts) OnManageAlerts();
    });

    auto* buttons = new QHBoxLayout;
    for (QPushButton* button : {btnSendTestEmail, btnSendTestSMS, btnManageAlerts}) buttons->addWidget(button);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(BuildProfileGroup());
    layout->addWidget(BuildTransportGroup());
    layout->addWidget(BuildCarrierGroup());
    layout->addWidget(cbMsgBoxNewResults);
    layout->addLayout(BuildQuietHoursRow());
    layout->addLayout(buttons);
    layout->addStretch(1);

    AskText = [this](const std::string& aCaption, const std::string& aPrompt, const std::string& aText) {
        return AskLine(this, aCaption, aPrompt, aText);
    };
    TimerUpdateControls.setInterval(cUpdateControlsMs);
    connect(&TimerUpdateControls, &QTimer::timeout, this, &TformNotificationSettings::UpdateControls);
    TimerUpdateControls.start();
}

QWidget* TformNotificationSettings::BuildProfileGroup() {
    auto* group = new QGroupBox("Your contact details", this);
    edtEmail = new QLineEdit(group);
    edtEmail->setObjectName("edtEmail");
    edtPhone = new QLineEdit(group);
    edtPhone->setObjectName("edtPhone");
    edtPassword = new QLineEdit(group);
    edtPassword->setObjectName("edtPassword");
    edtPassword->setEchoMode(QLineEdit::Password);
    edtPassword->setPlaceholderText("needed when the address or phone changes");
    auto* form = new QFormLayout(group);
    form->addRow("Email address", edtEmail);
    form->addRow("Phone number", edtPhone);
    form->addRow("Password", edtPassword);
    return group;
}

QWidget* TformNotificationSettings::BuildTransportGroup() {
    auto* group = new QGroupBox("Send notifications through", this);
    rbTransportVendor = new QRadioButton("The Trawlix mail service", group);
    rbTransportAccount = new QRadioButton("One of my email accounts", group);
    cboxAccount = new QComboBox(group);
    cboxAccount->setObjectName("cboxAccount");
    rbTransportWebhook = new QRadioButton("A webhook (ntfy, Discord, Slack or JSON)", group);
    edtWebhookURL = new QLineEdit(group);
    edtWebhookURL->setObjectName("edtWebhookURL");
    edtWebhookURL->setPlaceholderText("https://ntfy.sh/my-trawlix-alerts");
    cboxWebhookFormat = new QComboBox(group);
    cboxWebhookFormat->setObjectName("cboxWebhookFormat");
    for (const char* format : cWebhookFormats) cboxWebhookFormat->addItem(format, QString(format));
    lblTransportStatus = new QLabel(group);
    lblTransportStatus->setObjectName("lblTransportStatus");
    lblTransportStatus->setWordWrap(true);

    auto* account = new QHBoxLayout;
    account->addWidget(rbTransportAccount);
    account->addWidget(cboxAccount, 1);
    auto* webhook = new QHBoxLayout;
    webhook->addSpacing(24);  // under the radio button's text
    webhook->addWidget(edtWebhookURL, 1);
    webhook->addWidget(cboxWebhookFormat);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(rbTransportVendor);
    layout->addLayout(account);
    layout->addWidget(rbTransportWebhook);
    layout->addLayout(webhook);
    layout->addWidget(lblTransportStatus);
    return group;
}

QWidget* TformNotificationSettings::BuildCarrierGroup() {
    auto* group = new QGroupBox("Network carrier (for SMS delivery)", this);
    cboxGSMNetwork = new QComboBox(group);
    cboxGSMNetwork->setObjectName("cboxGSMNetwork");
    cbOtherNetwork = new QCheckBox("Other network", group);
    edtOtherNetwork = new QLineEdit(group);
    edtOtherNetwork->setObjectName("edtOtherNetwork");
    edtOtherNetwork->setPlaceholderText("e.g. vtext.com");
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(cboxGSMNetwork);
    layout->addWidget(cbOtherNetwork);
    layout->addWidget(new QLabel("Network Email-to-SMS address", group));
    layout->addWidget(edtOtherNetwork);
    return group;
}

QLayout* TformNotificationSettings::BuildQuietHoursRow() {
    edtQuietHours = new QLineEdit(this);
    edtQuietHours->setObjectName("edtQuietHours");
    edtQuietHours->setPlaceholderText("22:00-07:00");
    edtQuietHours->setToolTip("Digests due in these hours wait until they end; empty for none.");
    auto* label = new QLabel("&Quiet hours (no digests)", this);
    label->setBuddy(edtQuietHours);
    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edtQuietHours);
    row->addStretch(1);
    return row;
}

void TformNotificationSettings::Init() {
    const TSettings& settings = fSession.GetSettings();
    edtEmail->setText(Q(settings.GetUserEMail()));
    edtPhone->setText(Q(settings.GetUserPhone()));
    cbOtherNetwork->setChecked(settings.GetUseAlternativeGSMNetwork());
    FillGSMNetworksComboBox(*cboxGSMNetwork, fSession.GetGSMNetworks(), settings.GetGSMNetworkID());
    edtOtherNetwork->setText(Q(settings.GetAlternativeGSMNetwork()));
    cbMsgBoxNewResults->setChecked(settings.GetMsgBoxNewResults());
    edtQuietHours->setText(Q(settings.GetQuietHours()));
    edtWebhookURL->setText(Q(settings.GetNotificationWebhookURL()));
    const int format = cboxWebhookFormat->findData(Q(settings.GetNotificationWebhookFormat()));
    cboxWebhookFormat->setCurrentIndex(format < 0 ? 0 : format);
    ShowTransport(settings.GetNotificationTransport());
    lblTransportStatus->setText(Q(fTests.TransportStatusText()));
    UpdateControls();
}

void TformNotificationSettings::FillAccounts(int aSelectedID) {
    cboxAccount->clear();
    if (TEmailAccounts* accounts = fSession.GetEmailAccounts())
        for (const auto& account : accounts->GetAccounts())
            cboxAccount->addItem(Q(account->GetUsername()), account->GetID());
    const int selected = cboxAccount->findData(aSelectedID);
    cboxAccount->setCurrentIndex(selected >= 0 ? selected : (cboxAccount->count() > 0 ? 0 : -1));
}

void TformNotificationSettings::ShowTransport(const std::string& aTransport) {
    const int accountID = TransportAccountID(aTransport);
    if (accountID > 0) {
        rbTransportAccount->setChecked(true);
    } else if (aTransport == cTransportWebhook) {
        rbTransportWebhook->setChecked(true);
    } else {
        rbTransportVendor->setChecked(true);
    }
    FillAccounts(accountID);
}

TTransportChoice TformNotificationSettings::ChosenTransport() const {
    TTransportChoice choice{cTransportVendor, Trim(S(edtWebhookURL->text())),
                            S(cboxWebhookFormat->currentData().toString())};
    if (rbTransportAccount->isChecked())
        choice.name = cTransportSmtpPrefix + std::to_string(cboxAccount->currentData().toInt());
    else if (rbTransportWebhook->isChecked())
        choice.name = cTransportWebhook;
    return choice;
}

void TformNotificationSettings::Validate() const {
    if (rbTransportAccount->isChecked() && cboxAccount->currentIndex() < 0)
        throw std::runtime_error("Choose the email account that sends the notifications.");
    if (rbTransportWebhook->isChecked() && !IsWebhookAddress(ChosenTransport().webhookURL))
        throw std::runtime_error("The webhook address must begin with http:// or https://.");
    // The same rule and message as the command line's "config QuietHours".
    try {
        TQuietHours::Parse(S(edtQuietHours->text()));
    } catch (const std::invalid_argument& e) {
        throw std::runtime_error(e.what());
    }
}

void TformNotificationSettings::Save() {
    Validate();
    const TTransportChoice choice = ChosenTransport();
    TSettings& settings = fSession.GetSettings();
    if (!(choice == fTests.StoredChoice())) RecordTransportChanged(settings);
    settings.SetUseAlternativeGSMNetwork(cbOtherNetwork->isChecked());
    settings.SetGSMNetworkID(cboxGSMNetwork->currentIndex() < 0 ? -1 : cboxGSMNetwork->currentData().toInt());
    settings.SetAlternativeGSMNetwork(Trim(S(edtOtherNetwork->text())));
    settings.SetMsgBoxNewResults(cbMsgBoxNewResults->isChecked());
    settings.SetQuietHours(Trim(S(edtQuietHours->text())));
    settings.SetNotificationTransport(choice.name);
    settings.SetNotificationWebhookURL(choice.webhookURL);
    settings.SetNotificationWebhookFormat(choice.webhookFormat);
    const std::string email = Trim(S(edtEmail->text()));
    const std::string phone = Trim(S(edtPhone->text()));
    const bool profileChanged = email != settings.GetUserEMail() || phone != settings.GetUserPhone();
    settings.SetUserEMail(email);
    settings.SetUserPhone(phone);
    if (profileChanged) UpdateProfile(email, phone, S(edtPassword->text()));
}

// The vendor keeps the address and phone that the notifications go to.
void TformNotificationSettings::UpdateProfile(const std::string& aEMail, const std::string& aPhone,
                                              const std::string& aPassword) {
    TCSUser* user = fSession.GetCurrentUser();
    if (!user) return;  // the session did not load: there is no profile to send
    user->EMail = aEMail;
    user->Phone = aPhone;
    fUpdatingProfile = true;
    auto owned = std::make_unique<TSimpleThread>();
    TSimpleThread* thread = owned.get();  // alive until its finishing call has returned
    // The thread sends a copy: the session's user is only touched on the main thread.
    thread->SetExecuteMethod([profile = *user, &connection = fSession.GetRESTConnection(),
                              host = fSession.GetSettings().GetVendorHost(), aPassword](TNameValueList&) mutable {
        UpdateUserProfile(connection, host, profile, aPassword);
    });
    std::weak_ptr<bool> alive = fAlive;
    thread->SetOnFinishedMethod([this, alive, thread, aPassword] {
        if (alive.expired()) return;
        OnProfileUpdated(aPassword, thread->GetParams().GetValue(TSimpleThread::cExceptionParam));
    });
    TcThread::Launch(std::move(owned));
}

void TformNotificationSettings::OnProfileUpdated(const std::string& aPassword, const std::string& aError) {
    fUpdatingProfile = false;
    if (!aError.empty()) {
        fDialogs.Warning(cProfileUpdateFailed + aError);
        return;
    }
    if (TCSUser* user = fSession.GetCurrentUser(); user && !aPassword.empty()) user->Pass = aPassword;
}

void TformNotificationSettings::UpdateControls() {
    const bool other = cbOtherNetwork->isChecked();
    edtOtherNetwork->setEnabled(other);
    cboxGSMNetwork->setEnabled(!other);
    btnSendTestSMS->setEnabled(!fTests.InProgress() &&
                               (other ? !Trim(S(edtOtherNetwork->text())).empty() : cboxGSMNetwork->currentIndex() >= 0));
    btnSendTestEmail->setEnabled(!fTests.InProgress());
    cboxAccount->setEnabled(rbTransportAccount->isChecked());
    edtWebhookURL->setEnabled(rbTransportWebhook->isChecked());
    cboxWebhookFormat->setEnabled(rbTransportWebhook->isChecked());
}

void TformNotificationSettings::SetAlertsWindowShowing(bool aShowing) { btnManageAlerts->setVisible(!aShowing); }

std::string TformNotificationSettings::CarrierDomain() const {
    if (cbOtherNetwork->isChecked()) return Trim(S(edtOtherNetwork->text()));
    const TGSMNetworks* networks = fSession.GetGSMNetworks();
    const TGSMNetwork* network =
        networks && cboxGSMNetwork->currentIndex() >= 0 ? networks->GetNetworkByID(cboxGSMNetwork->currentData().toInt())
                                                        : nullptr;
    return network ? network->GetAddress() : std::string();
}

void TformNotificationSettings::SendTestEmail() {
    const std::string email = Trim(S(edtEmail->text()));
    if (email.empty()) {
        fDialogs.Warning(cInvalidEmail);
        return;
    }
    const auto address = AskText("Send test Email", "Email address", email);
    if (!address || Trim(*address).empty()) return;
    fTests.Send(this, TTestMessageKind::Email, Trim(*address), ChosenTransport(), [this] { OnTestFinished(); });
}

void TformNotificationSettings::SendTestSMS() {
    const std::string digits = GetNumber(S(edtPhone->text()));
    if (digits.empty()) {
        fDialogs.Warning(cInvalidPhone);
        return;
    }
    const std::string domain = CarrierDomain();
    if (cboxGSMNetwork->currentIndex() < 0 && !(cbOtherNetwork->isChecked() && !domain.empty())) {
        fDialogs.Warning(cNoCarrier);
        return;
    }
    const auto address = AskText("Send test SMS", "Email-to-SMS address", digits + "@" + domain);
    if (!address || Trim(*address).empty()) return;
    fTests.Send(this, TTestMessageKind::SMS, Trim(*address), ChosenTransport(), [this] { OnTestFinished(); });
}

void TformNotificationSettings::OnTestFinished() {
    lblTransportStatus->setText(Q(fTests.TransportStatusText()));
    UpdateControls();
}

}  // namespace trawlix
