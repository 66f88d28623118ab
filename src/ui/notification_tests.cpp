#include "ui/notification_tests.h"

#include <charconv>
#include <exception>

#include "app/notifications.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/text_functions.h"
#include "engine/threads.h"
#include "mail/email_accounts.h"
#include "mail/notification_transports.h"
#include "mail/notification_url.h"
#include "ui/info_window.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr const char* cToParam = "to_email";

}  // namespace

std::string TestWebhookSentText(const std::string& aURL) {
    // The query of a hook's address often holds its access key.
    return "The test message was posted to the web hook " + aURL.substr(0, aURL.find('?')) + ".\r\nThanks!";
}

int TransportAccountID(const std::string& aName) {
    const std::string prefix = cTransportSmtpPrefix;
    if (aName.rfind(prefix, 0) != 0) return 0;
    int id = 0;
    const char* end = aName.data() + aName.size();
    const auto [last, error] = std::from_chars(aName.data() + prefix.size(), end, id);
    return error == std::errc() && last == end && id > 0 ? id : 0;
}

TNotificationTests::TNotificationTests(TSession& aSession, IUserDialogs& aDialogs)
    : fSession(aSession), fDialogs(aDialogs) {}

TNotificationTests::~TNotificationTests() = default;

TTransportChoice TNotificationTests::StoredChoice() const {
    const TSettings& settings = fSession.GetSettings();
    return {settings.GetNotificationTransport(), settings.GetNotificationWebhookURL(),
            settings.GetNotificationWebhookFormat()};
}

// The stored choice is made by the settings' own factory; a choice the user has not stored
// yet is made here from its values.
INotificationTransportPtr TNotificationTests::MakeTransport(const TTransportChoice& aChoice) const {
    TSettings& settings = fSession.GetSettings();
    if (aChoice == StoredChoice()) return MakeNotificationTransport(settings, fSession.GetEmailAccounts());
    if (aChoice.name == cTransportWebhook) {
        if (Trim(aChoice.webhookURL).empty()) throw ENotificationError("No webhook address is set.");
        return std::make_shared<TWebhookTransport>(Trim(aChoice.webhookURL), WebhookFormatFromName(aChoice.webhookFormat),
                                                   settings.GetProxySettings());
    }
    if (const int accountID = TransportAccountID(aChoice.name)) {
        const TEmailAccounts* accounts = fSession.GetEmailAccounts();
        IEmailAccount account = accounts ? accounts->GetAccountByID(accountID) : nullptr;
        if (!account) throw ENotificationError("The email account chosen for notifications no longer exists.");
        return std::make_shared<TSmtpNotificationTransport>(account);
    }
    return std::make_shared<TVendorMailTransport>(settings.GetVendorHost(), settings.GetProxySettings());
}

void TNotificationTests::Send(QWidget* aParent, TTestMessageKind aKind, const std::string& aTo,
                              const TTransportChoice& aChoice, TFinished aOnFinished) {
    if (fInProgress) return;
    const bool record = aChoice == StoredChoice();
    INotificationTransportPtr transport;
    try {
        transport = MakeTransport(aChoice);
    } catch (const std::exception& e) {  // a transport that cannot be made fails like a send
        Finished(aKind, aTo, aChoice, e.what(), record, aOnFinished);
        return;
    }
    Launch(aParent, transport, aKind, aTo,
           [this, aKind, aTo, aChoice, record, aOnFinished = std::move(aOnFinished)](const std::string& aError) {
               Finished(aKind, aTo, aChoice, aError, record, aOnFinished);
           });
}

void TNotificationTests::SendToDestination(QWidget* aParent, const std::string& aURL, TFinished aOnFinished) {
    if (fInProgress) return;
    const std::string shown = MaskedNotificationURL(aURL);
    const auto done = [this, shown, aOnFinished = std::move(aOnFinished)](const std::string& aError) {
        EndProgress();
        if (aError.empty())
            fDialogs.Information("The test message was sent to " + shown + ".\r\nThanks!");
        else
            fDialogs.Warning("The test message was NOT sent to " + shown + ".\r\nThe following error occurred: \r\n" +
                             aError);
        if (aOnFinished) aOnFinished();
    };
    INotificationTransportPtr transport;
    try {
        transport = MakeDestination(fSession.GetSettings(), fSession.GetEmailAccounts(), aURL);
    } catch (const std::exception& e) {
        done(e.what());
        return;
    }
    Launch(aParent, transport, TTestMessageKind::Email, {}, done);
}

void TNotificationTests::Launch(QWidget* aParent, INotificationTransportPtr aTransport, TTestMessageKind aKind,
                                const std::string& aTo, std::function<void(const std::string&)> aDone) {
    fInProgress = true;
    // Owned by the window that asked, which may go before this object does.
    fProgress = new TfrmInfo(aParent);
    fProgress->Execute();
    auto owned = std::make_unique<TSimpleThread>();
    TSimpleThread* thread = owned.get();  // alive until its finishing call has returned
    thread->Params().SetValue(cToParam, aTo);
    // A failure lands in the thread's "exception" parameter.
    thread->SetExecuteMethod(
        [aTransport, aKind](TNameValueList& aParams) { aTransport->SendTest(aKind, aParams.GetValue(cToParam)); });
    std::weak_ptr<bool> alive = fAlive;
    thread->SetOnFinishedMethod([alive, thread, aDone = std::move(aDone)] {
        if (alive.expired()) return;
        aDone(thread->GetParams().GetValue(TSimpleThread::cExceptionParam));
    });
    TcThread::Launch(std::move(owned));
}

void TNotificationTests::EndProgress() {
    fInProgress = false;
    if (fProgress) {
        fProgress->Finish();
        fProgress->deleteLater();
    }
}

void TNotificationTests::Finished(TTestMessageKind aKind, const std::string& aTo, const TTransportChoice& aChoice,
                                  const std::string& aError, bool aRecord, const TFinished& aOnFinished) {
    EndProgress();
    if (aRecord) RecordNotificationResult(fSession.GetSettings(), aError.empty(), aError);
    const bool email = aKind == TTestMessageKind::Email;
    const bool webhook = aChoice.name == cTransportWebhook;
    if (!aError.empty())
        fDialogs.Warning((webhook ? cTestWebhookFailedText : email ? cTestEmailFailedText : cTestSMSFailedText) + aError);
    else if (webhook)
        fDialogs.Information(TestWebhookSentText(aChoice.webhookURL));
    else
        fDialogs.Information(email ? TestEmailSentText(aTo) : TestSMSSentText(aTo));
    if (aOnFinished) aOnFinished();
}

std::string TNotificationTests::DescribeTransport(const TTransportChoice& aChoice) const {
    if (aChoice.name == cTransportWebhook) return "the webhook " + aChoice.webhookURL + " (" + aChoice.webhookFormat + ")";
    if (const int accountID = TransportAccountID(aChoice.name)) {
        const TEmailAccounts* accounts = fSession.GetEmailAccounts();
        IEmailAccount account = accounts ? accounts->GetAccountByID(accountID) : nullptr;
        return account ? "your email account " + account->GetUsername() : "an email account that no longer exists";
    }
    return "the Trawlix mail service (" + fSession.GetSettings().GetVendorHost() + ")";
}

std::string TNotificationTests::TransportStatusText() const {
    const TSettings& settings = fSession.GetSettings();
    const std::string through = "Notifications are sent through " + DescribeTransport(StoredChoice()) + ". ";
    const std::string lastError = settings.GetNotificationLastError();
    if (!lastError.empty()) return through + "The last one could not be sent: " + lastError;
    if (settings.GetNotificationEverSent()) return through + "The last one was sent successfully.";
    return through + "Nothing has been sent through it yet.";
}

bool TNotificationTests::TransportEverWorked() const { return fSession.GetSettings().GetNotificationEverSent(); }

std::string TNotificationTests::UntriedTransportQuestion() const {
    return "No notification has been sent successfully through " + DescribeTransport(StoredChoice()) +
           " yet. Send a test message now, so that you know the alerts reach you?";
}

}  // namespace trawlix
