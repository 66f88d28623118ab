#pragma once

#include <QDialog>

#include <functional>
#include <string>

#include "mail/email_account.h"

class QAction;
class QTreeWidget;
class QTreeWidgetItem;

namespace trawlix {

class IUserDialogs;
class TEmailAccounts;
class TSession;

// The account list's rows: the user name and the times used, a check box, the account's ID.
void EmailAccountUpdateListViewItem(QTreeWidgetItem& aItem, const TEmailAccount& aEmailAccount);
QTreeWidgetItem* EmailAccountAddToListView(QTreeWidget& aListView, const TEmailAccount& aEmailAccount,
                                           bool aCheckedState);
void EmailAccountsFillListView(QTreeWidget& aListView, const TEmailAccounts& aEmailAccounts, bool aCheckedState);
// The ID of the account a row shows.
int EmailAccountIDOfItem(const QTreeWidgetItem& aItem);

// "Email accounts": the user's SMTP accounts, added, edited and deleted through the
// list's menu; a double click edits.
class TformEmailAccounts : public QDialog {
    Q_OBJECT
public:
    // The list is looked up afresh for every action: the session frees it when it ends,
    // and the window then does nothing.
    using TAccountsSource = std::function<TEmailAccounts*()>;
    // Deletes an account the way every window and command does: raises EAccountInUse while an
    // automatic reply still uses it.
    using TAccountDeleter = std::function<void(const IEmailAccount&)>;

    TformEmailAccounts(TAccountsSource aEmailAccounts, TAccountDeleter aDeleteAccount, IUserDialogs& aDialogs,
                       std::string aUserEmail, QWidget* aParent = nullptr);

    // Rebuilds the rows from the list.
    void Refresh();
    void AddAccount();
    void EditAccount();
    void DeleteAccount();

    // Edits an account in the account editor; true for OK. Tests answer it themselves.
    std::function<bool(TEmailAccount&)> AccountEditor;

    QTreeWidget* lvEmailAccounts;
    QAction* miAddAccount;
    QAction* miEditAccount;
    QAction* miDeleteAccount;

private:
    IEmailAccount SelectedAccount() const;
    void UpdateMenuItems();

    TAccountsSource fEmailAccounts;
    TAccountDeleter fDeleteAccount;
    IUserDialogs& fDialogs;
    std::string fUserEmail;
};

// Shows the session's account window, made on first use as a child of aMainWindow.
void ShowEmailAccounts(QWidget& aMainWindow, TSession& aSession, IUserDialogs& aDialogs);

}  // namespace trawlix
