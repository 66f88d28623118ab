#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QWidget;

namespace trawlix {

class IUserDialogs;
class TEmailMessageWithAccounts;
struct TReplyReport;
class TSearch;
class TSession;
class TfrmInfo;

// "Reply by EMail" and "Forward to EMail" on the checked results of the shown search.
// Both work on a background thread with the busy window shown.
class TResultsReplies : public QObject {
    Q_OBJECT
public:
    struct TContext {
        TSession* session = nullptr;
        IUserDialogs* dialogs = nullptr;
        TfrmInfo* info = nullptr;
        QWidget* window = nullptr;
        std::function<TSearch*()> currentSearch;
        // The results view repainted, so that replied rows show their icon.
        std::function<void()> repaint;
        std::function<void(const std::string& aText)> showStatus;
    };

    TResultsReplies(TContext aContext, QAction& aReply, QAction& aForward);
    ~TResultsReplies() override;

    void Reply();
    void Forward();
    bool Busy() const { return fBusy; }

    // The compose window; none when cancelled. Tests answer it themselves.
    std::function<std::shared_ptr<TEmailMessageWithAccounts>()> ComposeMessage;
    // Asks for a line of text (caption, prompt, proposed text); none when cancelled.
    std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)> AskText;

private:
    void ReplyFinished(const TReplyReport& aReport, const std::string& aError);
    void ForwardFinished(const std::string& aAddress, const std::string& aError);
    void StartBusy();
    void EndBusy();

    TContext fContext;
    bool fBusy = false;
    // Tells the background threads' finishing calls whether this object still lives.
    std::shared_ptr<bool> fAlive = std::make_shared<bool>(true);
};

}  // namespace trawlix
