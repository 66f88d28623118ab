#include "ui/results_replies.h"

#include <QAction>
#include <QInputDialog>
#include <QLineEdit>

#include <stdexcept>

#include "app/notifications.h"
#include "app/replies.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/synchronizator.h"
#include "engine/text_functions.h"
#include "engine/threads.h"
#include "mail/email_message_with_accounts.h"
#include "model/entry.h"
#include "model/search.h"
#include "ui/ask_line.h"
#include "ui/info_window.h"
#include "ui/qt_text.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

// Runs aWork on the main thread later, unless aAlive has gone by then.
void Later(const std::weak_ptr<bool>& aAlive, std::function<void()> aWork) {
    Synch().SynchronizeNonBlocking(
        [aAlive, work = std::move(aWork)](const std::string&) {
            if (!aAlive.expired()) work();
        },
        "");
}

}  // namespace

TResultsReplies::TResultsReplies(TContext aContext, QAction& aReply, QAction& aForward)
    : fContext(std::move(aContext)) {
    connect(&aReply, &QAction::triggered, this, &TResultsReplies::Reply);
    connect(&aForward, &QAction::triggered, this, &TResultsReplies::Forward);
    AskText = [this](const std::string& aCaption, const std::string& aPrompt, const std::string& aText) {
        return AskLine(fContext.window, aCaption, aPrompt, aText);
    };
}

TResultsReplies::~TResultsReplies() { fAlive.reset(); }

void TResultsReplies::StartBusy() {
    fBusy = true;
    if (fContext.info) fContext.info->Execute();
}

void TResultsReplies::EndBusy() {
    fBusy = false;
    if (fContext.info) fContext.info->Finish();
}

void TResultsReplies::Reply() {
    TSearch* search = fContext.currentSearch ? fContext.currentSearch() : nullptr;
    if (!search || fBusy || !ComposeMessage) return;
    // The checked ads are copied under the locks here: the thread never reaches the search,
    // which may be closed, or the program left, while the mail goes out.
    const TEntryList entries = CheckedEntries(*search);
    if (AnyReplied(entries) && !fContext.dialogs->Confirm(cReplyAlreadyRepliedQuestion)) return;
    IEmailMessageWithAccounts message = ComposeMessage();
    if (!message) return;
    StartBusy();
    auto owned = std::make_unique<TSimpleThread>();
    TSimpleThread* thread = owned.get();  // alive until its finishing call has returned
    auto report = std::make_shared<TReplyReport>();
    thread->Params().SetValue("count", "0");
    std::weak_ptr<bool> alive = fAlive;
    TfrmInfo* info = fContext.info;
    thread->SetExecuteMethod([entries, message, report, alive, info](TNameValueList& aParams) {
        if (entries.empty()) throw std::runtime_error(cReplyNoSelectedAds);
        int sent = 0;
        const auto onProgress = [&](size_t aIndex, size_t aCount, const IEntry&, const TReplyOutcome& aOutcome) {
            if (aOutcome.WasSent()) aParams.SetValue("count", std::to_string(++sent));
            const double progress = static_cast<double>(aIndex + 1) / static_cast<double>(aCount);
            Later(alive, [info, progress] {
                if (info) info->ReportProgress(progress);
            });
        };
        *report = ReplyToEntries(entries, message, onProgress);
    });
    thread->SetOnFinishedMethod([this, alive, thread, report] {
        if (!alive.expired()) ReplyFinished(*report, thread->GetParams().GetValue(TSimpleThread::cExceptionParam));
    });
    TcThread::Launch(std::move(owned));
}

void TResultsReplies::ReplyFinished(const TReplyReport& aReport, const std::string& aError) {
    EndBusy();
    std::string notSent;
    for (const TReplyFailure& failure : aReport.failures)
        notSent += (notSent.empty() ? "Reply not sent to " : "; ") + failure.link + ": " + failure.reason;
    if (!notSent.empty() && fContext.showStatus) fContext.showStatus(notSent);
    if (!aError.empty())
        fContext.dialogs->Warning(cMailNotSentText + aError);
    else
        fContext.dialogs->Information(ReplyReportText(aReport));
    if (fContext.repaint) fContext.repaint();
}

void TResultsReplies::Forward() {
    TSearch* search = fContext.currentSearch ? fContext.currentSearch() : nullptr;
    if (!search || fBusy || !fContext.session) return;
    const TCSUser* user = fContext.session->GetCurrentUser();
    const auto address = AskText(cForwardCaption, cForwardPrompt, user ? user->EMail : std::string());
    if (!address) return;
    if (Trim(*address).empty()) {
        fContext.dialogs->Warning(cForwardBlankAddress);
        return;
    }
    if (const std::string problem = MailAddressProblem(*address); !problem.empty()) {
        fContext.dialogs->Warning(problem + "\r\n" + cForwardBlankAddress);
        return;
    }
    StartBusy();
    auto owned = std::make_unique<TSimpleThread>();
    TSimpleThread* thread = owned.get();  // alive until its finishing call has returned
    thread->Params().SetValue("usrEmail", *address);
    thread->Params().SetValue("searchName", search->GetName());
    TSession* session = fContext.session;
    // Copied here, as for a reply: the thread never reaches the search.
    const TEntryList entries = CheckedEntries(*search);
    // A failure, also "no selected results", lands in the thread's "exception" parameter.
    thread->SetExecuteMethod([session, entries](TNameValueList& aParams) {
        if (entries.empty()) throw std::runtime_error(cForwardNoSelectedResults);
        ForwardEntries(*session, entries, aParams.GetValue("searchName"), aParams.GetValue("usrEmail"));
    });
    std::weak_ptr<bool> alive = fAlive;
    thread->SetOnFinishedMethod([this, alive, thread] {
        if (alive.expired()) return;
        const TNameValueList& params = thread->GetParams();
        ForwardFinished(params.GetValue("usrEmail"), params.GetValue(TSimpleThread::cExceptionParam));
    });
    TcThread::Launch(std::move(owned));
}

void TResultsReplies::ForwardFinished(const std::string& aAddress, const std::string& aError) {
    EndBusy();
    if (!aError.empty()) {
        fContext.dialogs->Warning(cMailNotSentText + aError);
        return;
    }
    // The address the list went to, which need not be the user's own.
    fContext.dialogs->Information("The message was sent to: " + Trim(aAddress) +
                                  "\r\nIt should arrive in your mailbox in a few minutes.\r\nThanks!");
}

}  // namespace trawlix
