#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ui/notification_tests.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace trawlix {

class IUserDialogs;
class TGSMNetworks;
class TSession;

// Fills the carrier list: "<name>: <gateway domain>" per carrier, in list order, the carrier
// aDefaultID selected (none when no carrier has it).
void FillGSMNetworksComboBox(QComboBox& aComboBox, const TGSMNetworks* aGSMNetworks, int aDefaultID);

// "Notification settings": how the alert digests go out (the mail service, one of the
// user's own accounts, or a webhook), the user's address and phone, the carrier for SMS,
// the new-results box, the quiet hours, and the test messages: the Alerts page of the
// preferences. Init fills it from the settings, Save writes it back.
class TformNotificationSettings : public QWidget {
    Q_OBJECT
public:
    TformNotificationSettings(TSession& aSession, IUserDialogs& aDialogs, TNotificationTests& aTests,
                              QWidget* aParent = nullptr);

    void Init();
    // Raises std::runtime_error naming a value that cannot be stored.
    void Validate() const;
    // Raises as Validate does; nothing is written then.
    // A changed e-mail address or phone number is then sent to the vendor as the user's
    // profile, with the password typed here, on a background thread; a failure is told
    // in a message box and leaves the saved settings as they are.
    void Save();
    // True while a profile update is on its way.
    bool UpdatingProfile() const { return fUpdatingProfile; }
    // The enabling rules, run every 100 ms.
    void UpdateControls();
    // "Manage alerts" is hidden while the alerts window shows.
    void SetAlertsWindowShowing(bool aShowing);

    void SendTestEmail();
    void SendTestSMS();
    // The transport as the page shows it.
    TTransportChoice ChosenTransport() const;

    // Asks for a line of text (caption, prompt, proposed text); none when cancelled. Tests
    // answer it themselves.
    std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)> AskText;
    // "Manage alerts": opens the alerts window with no search.
    std::function<void()> OnManageAlerts;

    QLineEdit* edtEmail;
    QLineEdit* edtPhone;
    QLineEdit* edtPassword;
    QRadioButton* rbTransportVendor;
    QRadioButton* rbTransportAccount;
    QComboBox* cboxAccount;
    QRadioButton* rbTransportWebhook;
    QLineEdit* edtWebhookURL;
    QComboBox* cboxWebhookFormat;
    QLabel* lblTransportStatus;
    QComboBox* cboxGSMNetwork;
    QCheckBox* cbOtherNetwork;
    QLineEdit* edtOtherNetwork;
    QCheckBox* cbMsgBoxNewResults;
    QLineEdit* edtQuietHours;
    QPushButton* btnSendTestEmail;
    QPushButton* btnSendTestSMS;
    QPushButton* btnManageAlerts;
    QTimer TimerUpdateControls;

private:
    QWidget* BuildProfileGroup();
    QWidget* BuildTransportGroup();
    QWidget* BuildCarrierGroup();
    QLayout* BuildQuietHoursRow();
    void FillAccounts(int aSelectedID);
    void ShowTransport(const std::string& aTransport);
    std::string CarrierDomain() const;
    void OnTestFinished();
    void UpdateProfile(const std::string& aEMail, const std::string& aPhone, const std::string& aPassword);
    void OnProfileUpdated(const std::string& aPassword, const std::string& aError);

    TSession& fSession;
    IUserDialogs& fDialogs;
    TNotificationTests& fTests;
    bool fUpdatingProfile = false;
    // Goes with this page, so that an update ending later tells nobody.
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
};

}  // namespace trawlix
