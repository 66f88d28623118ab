#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "mail/email_account.h"
#include "mail/email_message.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTreeWidget;

namespace trawlix {

class IUserDialogs;
class TEmailMessageWithAccounts;
class TSavedMessages;
class TSession;

// The saved-message list's items: one per saved message, in their order, showing the subject.
void SavedMessageAddToComboBox(QComboBox& aComboBox, const TEmailMessage& aEmailMessage);
void SavedMessageFillComboBox(QComboBox& aComboBox, const TSavedMessages* aSavedMessages);

inline constexpr const char* cNoAccountText = "You have to specify at least one account to send your message with";
inline constexpr const char* cNoSubjectText = "You have to supply a subject for your message";
inline constexpr const char* cNoBodyText = "You have to supply a body for your message";

// "Prepare message to send": the accounts that send, the message's texts and the saved
// messages to start from. Returns a message with its accounts, or none when cancelled.
class TformSendMail : public QDialog {
    Q_OBJECT
public:
    TformSendMail(TSession& aSession, IUserDialogs& aDialogs, QWidget* aParent = nullptr);

    // Fills the window (from aMsg when given) and runs it modally.
    std::shared_ptr<TEmailMessageWithAccounts> Execute(const TEmailMessageWithAccounts* aMsg);
    // What Execute does before the window shows; tests drive the shown window themselves.
    void Prepare(const TEmailMessageWithAccounts* aMsg);
    // The message the fields make, with the ticked accounts in row order.
    std::shared_ptr<TEmailMessageWithAccounts> MakeMessage() const;

    // Edits an account in the account editor; true for OK. Tests answer it themselves.
    std::function<bool(TEmailAccount&)> AccountEditor;

    QTreeWidget* lvEmailAccounts;
    QPushButton* btnAccountAdd;
    QPushButton* btnAccountDelete;
    QCheckBox* cbAccountUsageLimit;
    QSpinBox* udAccountUsageLimit;
    QComboBox* cbSavedMessages;
    QPushButton* btnMessageNew;
    QPushButton* btnMessageDelete;
    QPushButton* btnMessageUpdate;
    QLineEdit* edtSubject;
    QCheckBox* cbIncludeTitleInSubject;
    QPlainTextEdit* memoBody;
    QRadioButton* rbPlainText;
    QRadioButton* rbHTML;
    QPushButton* btnOK;
    QPushButton* btnCancel;

public slots:
    // Closes with OK only when the checks pass.
    void accept() override;

private:
    QWidget* BuildAccountsGroup();
    QWidget* BuildMessageGroup();
    void FillAccounts();
    void ApplyUsageLimit();
    void ClearMessageFields();
    void ShowMessage(const TEmailMessage& aMessage);
    void FillMessage(TEmailMessage& aMessage) const;
    // The warning of the first check that fails; true when all pass.
    bool CheckFields();
    std::optional<TEmailMessage> SelectedSavedMessage() const;
    void UpdateButtons();

    void AccountAdd();
    void AccountDelete();
    void SavedMessageChosen();
    void MessageNew();
    void MessageUpdate();
    void MessageDelete();

    TSession& fSession;
    IUserDialogs& fDialogs;
};

}  // namespace trawlix
