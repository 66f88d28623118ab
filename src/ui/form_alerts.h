#pragma once

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTimeEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace trawlix {

inline constexpr const char* cAlertEmailMissing =
    "EMail is ticked but this alert has no address to send to: click \"change\" to give one.";
inline constexpr const char* cAlertStaysOff = " The alert stays off until then.";

class IUserDialogs;
class TAlert;
class TDestinationsPanel;
class TNotificationTests;
class TSearch;
class TSession;

// "Manage alerts": one row per search, and the selected search's alert to edit. Every
// control writes its field of the alert at once; the alert reaches the database with its
// search's next save.
class TformAlerts : public QDialog {
    Q_OBJECT
public:
    TformAlerts(TSession& aSession, IUserDialogs& aDialogs, TNotificationTests& aTests, QWidget* aParent = nullptr);
    ~TformAlerts() override;

    // Fills the list and selects aSearch's row (the first row when none is given), then runs
    // the window modally.
    void Execute(TSearch* aSearch);
    // Fills the list and the captions without showing the window (Execute does this first).
    void Prepare(TSearch* aSearch);
    TSearch* SelectedSearch() const;
    // Rereads which transport carries the notifications and how its last send went.
    void RefreshTransportStatus();

    // Asks for a line of text (caption, prompt, proposed text); none when cancelled. Tests
    // answer it themselves.
    std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)> AskText;
    // Edits the automatic-reply message of the alert; none of this while unset.
    std::function<void(TAlert&)> EditAutoReplyMessage;
    // "Global alerts settings": the window has closed and the notification settings should open.
    std::function<void()> OnGlobalSettings;

    QTreeWidget* lvAlerts;
    QGroupBox* gbEditAlert;
    QCheckBox* cbEnabled;
    QCheckBox* cbIncludeResults;
    QCheckBox* cbSendToEmail;
    QLabel* lblChangeEmail;
    QCheckBox* cbSendToSMS;
    // What a switched-on alert lacks to send anything: an address for EMail, a phone for SMS.
    QLabel* lblAlertMissing;
    QRadioButton* rbInstantly;
    QRadioButton* rbAtSpecificTime;
    QTimeEdit* dtpWhenToSend;
    QCheckBox* cbEnableAutoReply;
    QPushButton* btnSetAutoReply;
    QLabel* lblCurrentAutoReplyMessage;
    QGroupBox* rgMessageLength;
    QRadioButton* rbUpTo20;
    QRadioButton* rbUpTo50;
    QRadioButton* rbAllResults;
    // How often the search runs again: a number and its unit, minutes or seconds (from 15 s).
    QSpinBox* seInterval;
    // The alert's own notification URLs; none sends through the global settings' transport.
    TDestinationsPanel* gbDestinations;
    QComboBox* cbIntervalUnit;
    QLabel* lblTransport;
    QPushButton* btnGlobalSettings;
    QPushButton* btnClose;

private:
    void BuildControls();
    QWidget* BuildEditGroup();
    QWidget* BuildDestinations();
    void FillList(TSearch* aSearch);
    void RefreshCaptions();
    void OnRowChanged();
    void ShowAlert(const TAlert& aAlert, const QString& aRowCaption);
    void ShowNoAlert();
    void UpdateEnabledStates();
    void RefreshEmailCaption();
    void RefreshMissing();
    // Asks for the alert's address when it has none; false when the user gave none.
    bool EnsureEmailAddress(TAlert& aAlert);
    void RefreshRowImage(QTreeWidgetItem& aItem);
    // Shows an interval in seconds or (rounded up) in minutes; writes nothing to the alert.
    void ShowInterval(int aSeconds, bool aInSeconds);
    int ShownIntervalSeconds() const;
    TAlert* SelectedAlert() const;
    QTreeWidgetItem* SelectedItem() const;

    // Control handlers: each writes its field of the selected alert.
    void cbEnabledClick(bool aChecked);
    void rbHowOftenClick();
    void cbIntervalUnitChange();
    void dtpWhenToSendChange();
    void rgMessageLengthClick();
    void btnSetAutoReplyClick();
    void lblChangeEmailClick();
    void btnGlobalSettingsClick();
    // After an alert was switched on: when nothing has ever gone out through the transport,
    // offers a test message at once.
    void OfferTestWhenUntried();

    TSession& fSession;
    IUserDialogs& fDialogs;
    TNotificationTests& fTests;
    // Set while the controls show an alert, so that their change signals write nothing.
    bool fShowing = false;
};

}  // namespace trawlix
