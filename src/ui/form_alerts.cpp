#include "ui/form_alerts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTimeEdit>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/text_functions.h"
#include "model/alert.h"
#include "model/search.h"
#include "model/searches.h"
#include "ui/ask_line.h"
#include "ui/destinations_panel.h"
#include "ui/notification_tests.h"
#include "ui/qt_text.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr int cSearchRole = Qt::UserRole;
// A long search name would widen the window past the screen.
constexpr int cAlertCaptionPixels = 260;
constexpr const char* cNoRowCaption = "Choose an alert to edit";
constexpr const char* cNoReplyMessage = "no message set";
constexpr const char* cAutoReplyQuestion =
    "Auto-reply messages are not suitable for alerts that generate thousands of results. Are you sure you want to "
    "set an auto-reply message for this alert?";

std::string ReplySubject(const TAlert& aAlert) {
    const IAlertReplyMessagePtr message = aAlert.GetAutoReplyMessage();
    return message ? message->GetSubject() : std::string();
}

QIcon AlertPicture(bool aEnabled) { return QIcon(aEnabled ? ":/pictures/alert_on.svg" : ":/pictures/alert_off.svg"); }

// The time-of-day part of a stored date and back.
QTime TimeOfDay(double aDateTime) {
    const double fraction = aDateTime - std::floor(aDateTime);
    return QTime::fromMSecsSinceStartOfDay(static_cast<int>(std::lround(fraction * 86400000.0)) % 86400000);
}
double WithTimeOfDay(double aDateTime, const QTime& aTime) {
    return std::floor(aDateTime) + aTime.msecsSinceStartOfDay() / 86400000.0;
}

}  // namespace

TformAlerts::TformAlerts(TSession& aSession, IUserDialogs& aDialogs, TNotificationTests& aTests, QWidget* aParent)
    : QDialog(aParent), fSession(aSession), fDialogs(aDialogs), fTests(aTests) {
    setObjectName("formAlerts");
    setWindowTitle("Manage alerts");
    BuildControls();
    AskText = [this](const std::string& aCaption, const std::string& aPrompt, const std::string& aText) {
        return AskLine(this, aCaption, aPrompt, aText);
    };
}

TformAlerts::~TformAlerts() = default;

void TformAlerts::BuildControls() {
    lvAlerts = new QTreeWidget(this);
    lvAlerts->setObjectName("lvAlerts");
    lvAlerts->setRootIsDecorated(false);
    lvAlerts->setHeaderLabels({"Alerts by search name"});
    lvAlerts->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(lvAlerts, &QTreeWidget::currentItemChanged, this, &TformAlerts::OnRowChanged);

    lblTransport = new QLabel(this);
    lblTransport->setObjectName("lblTransport");
    lblTransport->setWordWrap(true);

    btnGlobalSettings = new QPushButton("Global alerts settings", this);
    btnClose = new QPushButton("Close", this);
    connect(btnGlobalSettings, &QPushButton::clicked, this, &TformAlerts::btnGlobalSettingsClick);
    connect(btnClose, &QPushButton::clicked, this, &TformAlerts::reject);  // Escape closes too (QDialog)

    auto* top = new QHBoxLayout;
    top->addWidget(lvAlerts, 1);
    top->addWidget(BuildEditGroup(), 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnGlobalSettings);
    buttons->addStretch(1);
    buttons->addWidget(btnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(lblTransport);
    layout->addLayout(buttons);
    resize(640, 520);
}

QWidget* TformAlerts::BuildDestinations() {
    gbDestinations = new TDestinationsPanel(fDialogs, gbEditAlert);
    // Through the window's own question, which tests answer.
    gbDestinations->AskText = [this](const std::string& aCaption, const std::string& aPrompt, const std::string& aText) {
        return AskText(aCaption, aPrompt, aText);
    };
    gbDestinations->TestDestination = [this](const std::string& aURL) {
        fTests.SendToDestination(this, aURL, [this] { RefreshTransportStatus(); });
    };
    return gbDestinations;
}

QWidget* TformAlerts::BuildEditGroup() {
    gbEditAlert = new QGroupBox(cNoRowCaption, this);
    gbEditAlert->setObjectName("gbEditAlert");
    cbEnabled = new QCheckBox("Enable alert", gbEditAlert);
    cbIncludeResults = new QCheckBox("Include results in the SMS message", gbEditAlert);
    cbSendToEmail = new QCheckBox("EMail", gbEditAlert);
    lblChangeEmail = new QLabel("<a href=\"change\" style=\"color: blue\">change</a>", gbEditAlert);
    lblChangeEmail->setObjectName("lblChangeEmail");
    lblChangeEmail->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    cbSendToSMS = new QCheckBox("SMS", gbEditAlert);
    lblAlertMissing = new QLabel(gbEditAlert);
    lblAlertMissing->setObjectName("lblAlertMissing");
    lblAlertMissing->setWordWrap(true);
    lblAlertMissing->setStyleSheet("QLabel { color: #a31515; }");
    lblAlertMissing->hide();
    rbInstantly = new QRadioButton("Instantly", gbEditAlert);
    rbAtSpecificTime = new QRadioButton("At specific time", gbEditAlert);
    dtpWhenToSend = new QTimeEdit(gbEditAlert);
    dtpWhenToSend->setObjectName("dtpWhenToSend");
    dtpWhenToSend->setDisplayFormat("HH:mm");
    cbEnableAutoReply = new QCheckBox("Enable auto reply", gbEditAlert);
    btnSetAutoReply = new QPushButton("Set auto-reply message", gbEditAlert);
    lblCurrentAutoReplyMessage = new QLabel(cNoReplyMessage, gbEditAlert);
    lblCurrentAutoReplyMessage->setObjectName("lblCurrentAutoReplyMessage");
    rgMessageLength = new QGroupBox("Message length", gbEditAlert);
    rgMessageLength->setObjectName("rgMessageLength");
    rbUpTo20 = new QRadioButton("Up to 20 results", rgMessageLength);
    rbUpTo50 = new QRadioButton("Up to 50 results", rgMessageLength);
    rbAllResults = new QRadioButton("All the results", rgMessageLength);
    auto* lengthLayout = new QVBoxLayout(rgMessageLength);
    for (QRadioButton* button : {rbUpTo20, rbUpTo50, rbAllResults}) lengthLayout->addWidget(button);
    seInterval = new QSpinBox(gbEditAlert);
    seInterval->setObjectName("seInterval");
    cbIntervalUnit = new QComboBox(gbEditAlert);
    cbIntervalUnit->setObjectName("cbIntervalUnit");
    cbIntervalUnit->addItems({"minutes", "seconds"});
    ShowInterval(cMinAlertInterval * 60, false);

    auto* howOften = new QButtonGroup(gbEditAlert);  // the two schedules exclude each other
    howOften->addButton(rbInstantly);
    howOften->addButton(rbAtSpecificTime);

    auto* email = new QHBoxLayout;
    email->addWidget(cbSendToEmail);
    email->addWidget(lblChangeEmail);
    email->addStretch(1);
    auto* when = new QHBoxLayout;
    when->addWidget(rbInstantly);
    when->addWidget(rbAtSpecificTime);
    when->addWidget(dtpWhenToSend);
    when->addStretch(1);
    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel("Search again every", gbEditAlert));
    interval->addWidget(seInterval);
    interval->addWidget(cbIntervalUnit);
    interval->addStretch(1);
    auto* reply = new QHBoxLayout;
    reply->addWidget(cbEnableAutoReply);
    reply->addWidget(btnSetAutoReply);
    reply->addWidget(lblCurrentAutoReplyMessage, 1);

    auto* layout = new QVBoxLayout(gbEditAlert);
    layout->addWidget(cbEnabled);
    layout->addLayout(interval);
    layout->addLayout(email);
    layout->addWidget(cbSendToSMS);
    layout->addWidget(lblAlertMissing);
    layout->addWidget(cbIncludeResults);
    layout->addLayout(when);
    layout->addWidget(rgMessageLength);
    layout->addLayout(reply);
    layout->addWidget(BuildDestinations());
    layout->addStretch(1);

    connect(cbEnabled, &QCheckBox::clicked, this, &TformAlerts::cbEnabledClick);
    const auto writeFlag = [this](QCheckBox* aBox, void (TAlert::*aSetter)(bool)) {
        connect(aBox, &QCheckBox::toggled, this, [this, aSetter](bool aChecked) {
            if (TAlert* alert = SelectedAlert(); alert && !fShowing) (alert->*aSetter)(aChecked);
            UpdateEnabledStates();
        });
    };
    writeFlag(cbIncludeResults, &TAlert::SetIncludeResults);
    writeFlag(cbSendToEmail, &TAlert::SetSendToEmail);
    // Ticked by the user with no address to send to: the address is asked for, or the box
    // goes off again, since a digest without an address would use up its results unsent.
    connect(cbSendToEmail, &QCheckBox::clicked, this, [this](bool aChecked) {
        TAlert* alert = SelectedAlert();
        if (aChecked && alert && !EnsureEmailAddress(*alert)) cbSendToEmail->setChecked(false);
    });
    writeFlag(cbSendToSMS, &TAlert::SetSendToSMS);
    writeFlag(cbEnableAutoReply, &TAlert::SetAutoReply);
    connect(rbInstantly, &QRadioButton::toggled, this, &TformAlerts::rbHowOftenClick);
    connect(rbAtSpecificTime, &QRadioButton::toggled, this, &TformAlerts::rbHowOftenClick);
    connect(dtpWhenToSend, &QTimeEdit::timeChanged, this, &TformAlerts::dtpWhenToSendChange);
    for (QRadioButton* button : {rbUpTo20, rbUpTo50, rbAllResults})
        connect(button, &QRadioButton::toggled, this, &TformAlerts::rgMessageLengthClick);
    connect(seInterval, &QSpinBox::valueChanged, this, [this] {
        if (TAlert* alert = SelectedAlert(); alert && !fShowing) alert->SetIntervalSeconds(ShownIntervalSeconds());
    });
    connect(cbIntervalUnit, &QComboBox::currentIndexChanged, this, &TformAlerts::cbIntervalUnitChange);
    connect(btnSetAutoReply, &QPushButton::clicked, this, &TformAlerts::btnSetAutoReplyClick);
    connect(lblChangeEmail, &QLabel::linkActivated, this, &TformAlerts::lblChangeEmailClick);
    return gbEditAlert;
}

void TformAlerts::Execute(TSearch* aSearch) {
    Prepare(aSearch);
    exec();
}

void TformAlerts::Prepare(TSearch* aSearch) {
    RefreshCaptions();
    RefreshTransportStatus();
    FillList(aSearch);
}

void TformAlerts::RefreshCaptions() {
    const TSettings& settings = fSession.GetSettings();
    cbSendToEmail->setText("EMail");
    cbSendToSMS->setText("SMS");
    if (!settings.CanSendSMS() || GetNumber(settings.GetUserPhone()).empty()) return;
    try {
        cbSendToSMS->setText(Q("SMS (" + GetEmailToSMSAddress(settings, fSession.GetGSMNetworks()) + ")"));
    } catch (const ENotificationError&) {
        // A carrier that is not in the list: no address to show, and none is sent to.
    }
}

void TformAlerts::RefreshTransportStatus() { lblTransport->setText(Q(fTests.TransportStatusText())); }

void TformAlerts::FillList(TSearch* aSearch) {
    fShowing = true;  // no row is shown while the list is rebuilt
    lvAlerts->clear();
    QTreeWidgetItem* toSelect = nullptr;
    if (TSearches* searches = fSession.GetMySearches()) {
        for (const auto& search : searches->GetAllSearches()) {
            auto* item = new QTreeWidgetItem(lvAlerts);
            const std::string name = search->GetName();
            item->setText(0, Q(name.empty() ? "(Untitled)" : name));
            item->setToolTip(0, item->text(0));
            item->setData(0, cSearchRole, QVariant::fromValue(static_cast<void*>(search.get())));
            RefreshRowImage(*item);
            if (search.get() == aSearch) toSelect = item;
        }
    }
    if (!toSelect) toSelect = lvAlerts->topLevelItem(0);
    fShowing = false;
    lvAlerts->setCurrentItem(toSelect);
    if (!toSelect) ShowNoAlert();
    else OnRowChanged();
}

QTreeWidgetItem* TformAlerts::SelectedItem() const { return lvAlerts->currentItem(); }

TSearch* TformAlerts::SelectedSearch() const {
    QTreeWidgetItem* item = SelectedItem();
    return item ? static_cast<TSearch*>(item->data(0, cSearchRole).value<void*>()) : nullptr;
}

TAlert* TformAlerts::SelectedAlert() const {
    TSearch* search = SelectedSearch();
    return search ? &search->GetAlert() : nullptr;
}

void TformAlerts::RefreshRowImage(QTreeWidgetItem& aItem) {
    auto* search = static_cast<TSearch*>(aItem.data(0, cSearchRole).value<void*>());
    aItem.setIcon(0, AlertPicture(search && search->GetAlert().GetEnabled()));
}

void TformAlerts::OnRowChanged() {
    if (fShowing) return;
    QTreeWidgetItem* item = SelectedItem();
    TAlert* alert = SelectedAlert();
    if (!item || !alert) {
        ShowNoAlert();
        return;
    }
    ShowAlert(*alert, item->text(0));
    gbDestinations->SetAlert(alert);
}

void TformAlerts::ShowAlert(const TAlert& aAlert, const QString& aRowCaption) {
    fShowing = true;
    gbEditAlert->setTitle("Edit alert \"" + CaptionOf(aRowCaption, cAlertCaptionPixels) + "\"");
    gbEditAlert->setToolTip(aRowCaption);
    cbEnabled->setChecked(aAlert.GetEnabled());
    cbIncludeResults->setChecked(aAlert.GetIncludeResults());
    cbSendToEmail->setChecked(aAlert.GetSendToEmail());
    cbSendToSMS->setChecked(aAlert.GetSendToSMS());
    dtpWhenToSend->setTime(TimeOfDay(aAlert.GetSendAt()));
    (aAlert.GetHowOften() == hoDaily ? rbAtSpecificTime : rbInstantly)->setChecked(true);
    cbEnableAutoReply->setChecked(aAlert.GetAutoReply());
    const std::string subject = ReplySubject(aAlert);
    lblCurrentAutoReplyMessage->setText(subject.empty() ? cNoReplyMessage : Q(subject));
    const int length = aAlert.GetMessageLength();
    (length == 20 ? rbUpTo20 : length == 50 ? rbUpTo50 : rbAllResults)->setChecked(true);
    const int seconds = aAlert.GetIntervalSeconds();
    ShowInterval(seconds, seconds % 60 != 0);
    fShowing = false;
    RefreshEmailCaption();
    UpdateEnabledStates();
}

void TformAlerts::ShowNoAlert() {
    fShowing = true;
    gbEditAlert->setTitle(cNoRowCaption);
    cbEnabled->setChecked(false);
    gbDestinations->SetAlert(nullptr);
    fShowing = false;
    UpdateEnabledStates();
}

void TformAlerts::RefreshEmailCaption() {
    TAlert* alert = SelectedAlert();
    // An alert without an address of its own shows none rather than empty brackets.
    if (alert && !Trim(fSession.GetSettings().GetUserEMail()).empty() && !Trim(alert->GetEmail()).empty())
        cbSendToEmail->setText(Q("EMail (" + alert->GetEmail() + ")"));
    else
        cbSendToEmail->setText("EMail");
}

void TformAlerts::RefreshMissing() {
    const TAlert* alert = SelectedAlert();
    std::string missing;
    if (alert && alert->GetEnabled() && alert->GetSendToEmail() && Trim(alert->GetEmail()).empty())
        missing = cAlertEmailMissing;
    if (alert && alert->GetEnabled() && alert->GetSendToSMS()) {
        try {
            GetEmailToSMSAddress(fSession.GetSettings(), fSession.GetGSMNetworks());
        } catch (const ENotificationError& e) {
            missing += (missing.empty() ? "" : "\n") + std::string("SMS is ticked but cannot be sent: ") + e.what();
        }
    }
    lblAlertMissing->setText(Q(missing));
    lblAlertMissing->setVisible(!missing.empty());
}

bool TformAlerts::EnsureEmailAddress(TAlert& aAlert) {
    if (Trim(aAlert.GetEmail()).empty()) lblChangeEmailClick();
    return !Trim(aAlert.GetEmail()).empty();
}

void TformAlerts::UpdateEnabledStates() {
    const bool hasAlert = SelectedAlert() != nullptr;
    const bool enabled = hasAlert && cbEnabled->isChecked();
    cbEnabled->setEnabled(hasAlert);
    for (QWidget* control : std::initializer_list<QWidget*>{cbIncludeResults, cbSendToEmail, lblChangeEmail, cbSendToSMS,
                                                            rbInstantly, rbAtSpecificTime, cbEnableAutoReply,
                                                            rgMessageLength, seInterval, cbIntervalUnit})
        control->setEnabled(enabled);
    dtpWhenToSend->setEnabled(enabled && rbAtSpecificTime->isChecked());
    // Editing the reply needs the message window; without it the button stays off.
    btnSetAutoReply->setEnabled(enabled && cbEnableAutoReply->isChecked() && EditAutoReplyMessage != nullptr);
    RefreshMissing();
}

void TformAlerts::cbEnabledClick(bool aChecked) {
    TAlert* alert = SelectedAlert();
    if (!alert) return;
    // An alert that would mail its results to no address is not switched on.
    if (aChecked && alert->GetSendToEmail() && !EnsureEmailAddress(*alert)) {
        cbEnabled->setChecked(false);
        fDialogs.Warning(std::string(cAlertEmailMissing) + cAlertStaysOff);
        return;
    }
    alert->SetEnabled(aChecked);
    if (QTreeWidgetItem* item = SelectedItem()) RefreshRowImage(*item);
    if (!aChecked) lblCurrentAutoReplyMessage->setText(cNoReplyMessage);  // switching off drops the reply
    UpdateEnabledStates();
    if (aChecked) OfferTestWhenUntried();
}

void TformAlerts::rbHowOftenClick() {
    TAlert* alert = SelectedAlert();
    if (alert && !fShowing) {
        if (rbAtSpecificTime->isChecked()) {
            alert->SetHowOften(hoDaily);
            alert->SetSendAt(WithTimeOfDay(alert->GetSendAt(), dtpWhenToSend->time()));
        } else if (rbInstantly->isChecked()) {
            alert->SetHowOften(hoInstantly);
        }
    }
    UpdateEnabledStates();
}

void TformAlerts::ShowInterval(int aSeconds, bool aInSeconds) {
    const bool showing = fShowing;
    fShowing = true;  // range and unit changes move the value: none of that is the user's
    cbIntervalUnit->setCurrentIndex(aInSeconds ? 1 : 0);
    if (aInSeconds) {
        seInterval->setRange(cMinAlertIntervalSeconds, cMaxAlertInterval * 60);
        seInterval->setValue(aSeconds);
    } else {
        seInterval->setRange(cMinAlertInterval, cMaxAlertInterval);
        seInterval->setValue((aSeconds + 59) / 60);  // never shorter than what was chosen
    }
    fShowing = showing;
}

int TformAlerts::ShownIntervalSeconds() const {
    return cbIntervalUnit->currentIndex() == 1 ? seInterval->value() : seInterval->value() * 60;
}

// The same interval in the other unit; seconds that are no whole minute round up, and what
// the window then shows is what the alert keeps.
void TformAlerts::cbIntervalUnitChange() {
    TAlert* alert = SelectedAlert();
    if (!alert || fShowing) return;
    ShowInterval(alert->GetIntervalSeconds(), cbIntervalUnit->currentIndex() == 1);
    alert->SetIntervalSeconds(ShownIntervalSeconds());
}

void TformAlerts::dtpWhenToSendChange() {
    TAlert* alert = SelectedAlert();
    if (!alert || fShowing) return;
    alert->SetSendAt(WithTimeOfDay(alert->GetSendAt(), dtpWhenToSend->time()));
}

void TformAlerts::rgMessageLengthClick() {
    TAlert* alert = SelectedAlert();
    if (!alert || fShowing) return;
    alert->SetMessageLength(rbUpTo20->isChecked() ? 20 : rbUpTo50->isChecked() ? 50 : 0);
}

void TformAlerts::btnSetAutoReplyClick() {
    TAlert* alert = SelectedAlert();
    if (!alert || !EditAutoReplyMessage) return;
    if (!alert->GetAutoReplyMessage() && !fDialogs.Confirm(cAutoReplyQuestion)) return;
    EditAutoReplyMessage(*alert);
    const std::string subject = ReplySubject(*alert);
    lblCurrentAutoReplyMessage->setText(subject.empty() ? cNoReplyMessage : Q(subject));
}

void TformAlerts::lblChangeEmailClick() {
    TAlert* alert = SelectedAlert();
    if (!alert) return;
    std::string proposed = alert->GetEmail();
    if (Trim(proposed).empty()) proposed = fSession.GetSettings().GetUserEMail();
    const auto answer = AskText("Change email for this search", "Enter new email", proposed);
    if (!answer || Trim(*answer).empty()) return;
    if (const std::string problem = MailAddressProblem(*answer); !problem.empty()) {
        fDialogs.Warning(problem);
        return;
    }
    alert->SetEmail(Trim(*answer));
    RefreshEmailCaption();
    RefreshMissing();
}

void TformAlerts::btnGlobalSettingsClick() {
    reject();
    if (OnGlobalSettings) OnGlobalSettings();
}

void TformAlerts::OfferTestWhenUntried() {
    if (fTests.TransportEverWorked() || fTests.InProgress()) return;
    TAlert* alert = SelectedAlert();
    if (!alert || !fDialogs.Confirm(fTests.UntriedTransportQuestion())) return;
    // The test goes where this alert's digests will go: its e-mail address, else the phone.
    TTestMessageKind kind = TTestMessageKind::Email;
    std::string address = Trim(alert->GetEmail());
    if (address.empty() || (!alert->GetSendToEmail() && alert->GetSendToSMS())) {
        try {
            address = GetEmailToSMSAddress(fSession.GetSettings(), fSession.GetGSMNetworks());
            kind = TTestMessageKind::SMS;
        } catch (const ENotificationError& e) {
            if (address.empty()) {
                fDialogs.Warning(cTestSMSFailedText + std::string(e.what()));
                return;
            }
        }
    }
    fTests.Send(this, kind, address, fTests.StoredChoice(), [this] { RefreshTransportStatus(); });
}

}  // namespace trawlix
