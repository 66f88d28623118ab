#include "ui/form_main.h"

#include <QAction>

#include "app/session.h"
#include "mail/email_message_with_accounts.h"
#include "mail/email_reply_history.h"
#include "model/alert.h"
#include "mail/auto_reply_thread.h"
#include "ui/alerts_controller.h"
#include "ui/form_email_reply_history.h"
#include "ui/form_main_parts.h"
#include "ui/form_send_mail.h"
#include "ui/results_list.h"
#include "ui/results_replies.h"
#include "ui/results_model.h"

namespace trawlix {

using namespace form_main;

namespace {

// The window's one compose window, made on first use.
TformSendMail& SendMailWindow(QWidget& aMainWindow, TSession& aSession, IUserDialogs& aDialogs) {
    auto* window = aMainWindow.findChild<TformSendMail*>();
    if (!window) window = new TformSendMail(aSession, aDialogs, &aMainWindow);
    return *window;
}

}  // namespace

void TformMain::CreateReplies() {
    EmailReplyHistory1->setEnabled(fSession != nullptr);
    if (!fSession) return;
    TResultsReplies::TContext context;
    context.session = fSession;
    context.dialogs = &fDialogs;
    context.info = fInfo.get();
    context.window = this;
    context.currentSearch = [this] { return CurrentSearch(); };
    context.repaint = [this] { fResultsList->RebuildViewList(); };
    context.showStatus = [this](const std::string& aText) { ShowStatusBarMessage(aText); };
    fReplies = std::make_unique<TResultsReplies>(std::move(context), *fResultsList->actSelectionReply,
                                                 *fResultsList->actSelectionSendToEmail);
    fReplies->ComposeMessage = [this] { return SendMailWindow(*this, *fSession, fDialogs).Execute(nullptr); };

    connect(EmailReplyHistory1, &QAction::triggered, this, [this] {
        TformEmailReplyHistory window(fSession->GetReplyHistory(), this);
        window.OpenAddress = [this](const std::string& aAddress) { OpenAddress(QString::fromStdString(aAddress)); };
        window.Execute();
    });

    if (fAlerts) {
        fAlerts->EditAutoReplyMessage = [this](TAlert& aAlert) {
            const auto current = std::dynamic_pointer_cast<TEmailMessageWithAccounts>(aAlert.GetAutoReplyMessage());
            if (auto message = SendMailWindow(*this, *fSession, fDialogs).Execute(current.get()))
                aAlert.SetAutoReplyMessage(message);
        };
    }

    // An automatic reply went out from its thread: the replied icon shows on the next
    // repaint, and a reply that failed is named in the status bar.
    {
        TAutoReplyThread* autoReplies = &fSession->GetAutoReplyThread();
        autoReplies->SetOnEntryReplied([this](const TEntryReply&) {
            OnMainThread(this, [this] { fResultsList->RebuildViewList(); });
        });
        autoReplies->SetOnReplyFailed([this](const IEntry& aEntry, const std::string& aReason) {
            const std::string text = "Automatic reply not sent to " + aEntry->GetLink() + ": " + aReason;
            OnMainThread(this, [this, text] { ShowStatusBarMessage(text); });
        });
    }
}

void TformMain::ReleaseReplies() {
    if (!fSession) return;
    fSession->GetAutoReplyThread().SetOnEntryReplied(nullptr);
    fSession->GetAutoReplyThread().SetOnReplyFailed(nullptr);
    fReplies.reset();
}

}  // namespace trawlix
