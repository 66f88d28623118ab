#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <string>

#include "mail/notification_transport.h"
#include "ui/info_window.h"

class QWidget;

namespace trawlix {

class IUserDialogs;
class TSession;

// The choice of how notifications leave, as the settings store it.
// A web hook is no mail box: what a test through one says.
inline constexpr const char* cTestWebhookFailedText =
    "The test message did NOT reach the web hook. \r\nThe following error occurred: \r\n";
// "The test message was posted to the web hook <address without its query>."
std::string TestWebhookSentText(const std::string& aURL);

struct TTransportChoice {
    std::string name;  // "vendor", "smtp:<account id>" or "webhook"
    std::string webhookURL;
    std::string webhookFormat;
    bool operator==(const TTransportChoice&) const = default;
};

// The account an "smtp:<id>" choice names; 0 for any other choice.
int TransportAccountID(const std::string& aName);

// The test messages of the alert windows: sent through a notification transport on a
// background thread while the busy window shows, their outcome told in a message box on
// the main thread. One test at a time.
class TNotificationTests : public QObject {
    Q_OBJECT
public:
    using TFinished = std::function<void()>;

    TNotificationTests(TSession& aSession, IUserDialogs& aDialogs);
    ~TNotificationTests() override;

    // Sends the test message of aKind to aTo through aChoice. When aChoice is the stored
    // transport, its outcome counts as the transport's last send.
    void Send(QWidget* aParent, TTestMessageKind aKind, const std::string& aTo, const TTransportChoice& aChoice,
              TFinished aOnFinished = {});
    // Sends a test message to one notification URL (an alert's destination); the outcome is
    // told the same way.
    void SendToDestination(QWidget* aParent, const std::string& aURL, TFinished aOnFinished = {});
    bool InProgress() const { return fInProgress; }

    TTransportChoice StoredChoice() const;
    // Which transport aChoice is, in words ("the webhook https://... (ntfy)").
    std::string DescribeTransport(const TTransportChoice& aChoice) const;
    // Which transport carries the notifications and how its last send went, in a line.
    std::string TransportStatusText() const;
    // Something has once gone out through the stored transport.
    bool TransportEverWorked() const;
    // Asked when an alert is switched on while nothing has ever gone out.
    std::string UntriedTransportQuestion() const;

private:
    INotificationTransportPtr MakeTransport(const TTransportChoice& aChoice) const;
    // Sends on a background thread while the busy window shows; aDone gets the error (empty
    // when it went out) on the main thread.
    void Launch(QWidget* aParent, INotificationTransportPtr aTransport, TTestMessageKind aKind, const std::string& aTo,
                std::function<void(const std::string&)> aDone);
    void EndProgress();
    void Finished(TTestMessageKind aKind, const std::string& aTo, const TTransportChoice& aChoice,
                  const std::string& aError, bool aRecord, const TFinished& aOnFinished);

    TSession& fSession;
    IUserDialogs& fDialogs;
    QPointer<TfrmInfo> fProgress;
    bool fInProgress = false;
    // Goes with this object, so that a test ending later tells nobody.
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
};

}  // namespace trawlix
