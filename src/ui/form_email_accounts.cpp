#include "ui/form_email_accounts.h"

#include <QAction>
#include <QHBoxLayout>
#include <QPushButton>
#include <QToolButton>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/replies.h"
#include "app/session.h"
#include "mail/email_accounts.h"
#include "ui/form_email_account.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {
constexpr int cIDRole = Qt::UserRole;
}

void EmailAccountUpdateListViewItem(QTreeWidgetItem& aItem, const TEmailAccount& aEmailAccount) {
    aItem.setData(0, cIDRole, aEmailAccount.GetID());
    aItem.setText(0, QString::fromStdString(aEmailAccount.GetUsername()));
    aItem.setText(1, QString::number(aEmailAccount.GetTimesUsed()));
}

QTreeWidgetItem* EmailAccountAddToListView(QTreeWidget& aListView, const TEmailAccount& aEmailAccount,
                                           bool aCheckedState) {
    auto* item = new QTreeWidgetItem(&aListView);
    EmailAccountUpdateListViewItem(*item, aEmailAccount);
    item->setCheckState(0, aCheckedState ? Qt::Checked : Qt::Unchecked);
    if (QTreeWidgetItem* selected = aListView.currentItem()) aListView.scrollToItem(selected);
    return item;
}

void EmailAccountsFillListView(QTreeWidget& aListView, const TEmailAccounts& aEmailAccounts, bool aCheckedState) {
    aListView.clear();
    for (const auto& account : aEmailAccounts.GetAccounts()) EmailAccountAddToListView(aListView, *account, aCheckedState);
}

int EmailAccountIDOfItem(const QTreeWidgetItem& aItem) { return aItem.data(0, cIDRole).toInt(); }

TformEmailAccounts::TformEmailAccounts(TAccountsSource aEmailAccounts, TAccountDeleter aDeleteAccount,
                                       IUserDialogs& aDialogs, std::string aUserEmail, QWidget* aParent)
    : QDialog(aParent),
      fEmailAccounts(std::move(aEmailAccounts)),
      fDeleteAccount(std::move(aDeleteAccount)),
      fDialogs(aDialogs),
      fUserEmail(std::move(aUserEmail)) {
    setObjectName("formEmailAccounts");
    setWindowTitle("Email accounts");
    lvEmailAccounts = new QTreeWidget(this);
    lvEmailAccounts->setObjectName("lvEmailAccounts");
    lvEmailAccounts->setRootIsDecorated(false);
    lvEmailAccounts->setHeaderLabels({"Account", "Times used"});
    lvEmailAccounts->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvEmailAccounts->setContextMenuPolicy(Qt::ActionsContextMenu);
    miAddAccount = new QAction("Add account", lvEmailAccounts);
    miEditAccount = new QAction("Edit account", lvEmailAccounts);
    miDeleteAccount = new QAction("Delete account", lvEmailAccounts);
    lvEmailAccounts->addActions({miAddAccount, miEditAccount, miDeleteAccount});
    connect(miAddAccount, &QAction::triggered, this, &TformEmailAccounts::AddAccount);
    connect(miEditAccount, &QAction::triggered, this, &TformEmailAccounts::EditAccount);
    connect(miDeleteAccount, &QAction::triggered, this, &TformEmailAccounts::DeleteAccount);
    connect(lvEmailAccounts, &QTreeWidget::itemDoubleClicked, this, [this] { EditAccount(); });
    connect(lvEmailAccounts, &QTreeWidget::itemSelectionChanged, this, &TformEmailAccounts::UpdateMenuItems);
    // The same actions as buttons: a right click is not where users look for them.
    auto* buttons = new QHBoxLayout;
    for (QAction* action : {miAddAccount, miEditAccount, miDeleteAccount}) {
        auto* button = new QToolButton(this);
        button->setDefaultAction(action);
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        button->setObjectName("btn" + action->text().remove(' '));
        buttons->addWidget(button);
    }
    buttons->addStretch(1);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("btnClose");
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvEmailAccounts);
    layout->addLayout(buttons);
    resize(420, 260);

    AccountEditor = [this](TEmailAccount& aEmailAccount) {
        TformEmailAccount editor(fDialogs, fUserEmail, this);
        return editor.Execute(&aEmailAccount);
    };
    Refresh();
}

void TformEmailAccounts::Refresh() {
    if (TEmailAccounts* accounts = fEmailAccounts())
        EmailAccountsFillListView(*lvEmailAccounts, *accounts, true);
    else
        lvEmailAccounts->clear();
    UpdateMenuItems();
}

void TformEmailAccounts::UpdateMenuItems() {
    const bool selected = !lvEmailAccounts->selectedItems().isEmpty();
    miAddAccount->setEnabled(fEmailAccounts() != nullptr);
    miEditAccount->setEnabled(selected);
    miDeleteAccount->setEnabled(selected);
}

IEmailAccount TformEmailAccounts::SelectedAccount() const {
    const auto selected = lvEmailAccounts->selectedItems();
    TEmailAccounts* accounts = fEmailAccounts();
    if (selected.isEmpty() || !accounts) return nullptr;
    return accounts->GetAccountByID(EmailAccountIDOfItem(*selected.front()));
}

void TformEmailAccounts::AddAccount() {
    auto account = std::make_shared<TEmailAccount>();
    if (!AccountEditor(*account)) return;  // the new account goes with its thread
    TEmailAccounts* accounts = fEmailAccounts();
    if (!accounts) return;  // the session ended while the editor was open
    accounts->Add(account);
    EmailAccountAddToListView(*lvEmailAccounts, *account, true);
}

void TformEmailAccounts::EditAccount() {
    IEmailAccount account = SelectedAccount();
    if (!account || !AccountEditor(*account)) return;
    EmailAccountUpdateListViewItem(*lvEmailAccounts->selectedItems().front(), *account);
}

void TformEmailAccounts::DeleteAccount() {
    IEmailAccount account = SelectedAccount();
    if (!account) return;
    try {
        fDeleteAccount(account);
    } catch (const EAccountInUse& e) {
        fDialogs.Warning(e.what());
        return;
    }
    delete lvEmailAccounts->selectedItems().front();
    UpdateMenuItems();
}

void ShowEmailAccounts(QWidget& aMainWindow, TSession& aSession, IUserDialogs& aDialogs) {
    if (!aSession.GetEmailAccounts()) return;
    auto* window = aMainWindow.findChild<TformEmailAccounts*>();
    if (!window) {
        const TCSUser* user = aSession.GetCurrentUser();
        window = new TformEmailAccounts([&aSession] { return aSession.GetEmailAccounts(); },
                                        [&aSession](const IEmailAccount& aAccount) {
                                            DeleteEmailAccount(aSession, aAccount);
                                        },
                                        aDialogs, user ? user->EMail : std::string(), &aMainWindow);
    } else {
        window->Refresh();  // the times used may have grown
    }
    window->show();
    window->raise();
    window->activateWindow();
}

}  // namespace trawlix
