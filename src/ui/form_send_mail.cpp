#include "ui/form_send_mail.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/replies.h"
#include "app/session.h"
#include "app/settings.h"
#include "engine/text_functions.h"
#include "mail/email_accounts.h"
#include "mail/email_message_with_accounts.h"
#include "mail/saved_messages.h"
#include "ui/form_email_account.h"
#include "ui/form_email_accounts.h"
#include "ui/qt_text.h"
#include "ui/result_pictures.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr int cDefaultUsageLimit = 20;

}  // namespace

void SavedMessageAddToComboBox(QComboBox& aComboBox, const TEmailMessage& aEmailMessage) {
    aComboBox.addItem(Q(aEmailMessage.GetSubject()));
}

void SavedMessageFillComboBox(QComboBox& aComboBox, const TSavedMessages* aSavedMessages) {
    aComboBox.clear();
    if (!aSavedMessages) return;
    for (const TEmailMessage& message : aSavedMessages->GetItems()) SavedMessageAddToComboBox(aComboBox, message);
}

TformSendMail::TformSendMail(TSession& aSession, IUserDialogs& aDialogs, QWidget* aParent)
    : QDialog(aParent), fSession(aSession), fDialogs(aDialogs) {
    setObjectName("formSendMail");
    setWindowTitle("Prepare message to send");
    auto* groups = new QHBoxLayout;
    groups->addWidget(BuildAccountsGroup(), 2);
    groups->addWidget(BuildMessageGroup(), 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    resize(760, 480);
    AccountEditor = [this](TEmailAccount& aEmailAccount) {
        const TCSUser* user = fSession.GetCurrentUser();
        TformEmailAccount editor(fDialogs, user ? user->EMail : std::string(), this);
        return editor.Execute(&aEmailAccount);
    };
}

QWidget* TformSendMail::BuildAccountsGroup() {
    auto* group = new QGroupBox("My EMail accounts", this);
    lvEmailAccounts = new QTreeWidget(group);
    lvEmailAccounts->setObjectName("lvEmailAccounts");
    lvEmailAccounts->setRootIsDecorated(false);
    lvEmailAccounts->setHeaderLabels({"EMail", "Used"});
    lvEmailAccounts->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    btnAccountAdd = new QPushButton("Add new", group);
    btnAccountDelete = new QPushButton("Delete", group);
    cbAccountUsageLimit = new QCheckBox("Account usage limit", group);
    udAccountUsageLimit = new QSpinBox(group);
    udAccountUsageLimit->setObjectName("udAccountUsageLimit");
    udAccountUsageLimit->setRange(1, 1000);
    udAccountUsageLimit->setValue(cDefaultUsageLimit);
    connect(btnAccountAdd, &QPushButton::clicked, this, &TformSendMail::AccountAdd);
    connect(btnAccountDelete, &QPushButton::clicked, this, &TformSendMail::AccountDelete);
    connect(lvEmailAccounts, &QTreeWidget::itemSelectionChanged, this, &TformSendMail::UpdateButtons);
    connect(lvEmailAccounts, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* aItem) {
        TEmailAccounts* accounts = fSession.GetEmailAccounts();
        IEmailAccount account = accounts ? accounts->GetAccountByID(EmailAccountIDOfItem(*aItem)) : nullptr;
        if (account && AccountEditor(*account)) EmailAccountUpdateListViewItem(*aItem, *account);
    });
    connect(cbAccountUsageLimit, &QCheckBox::clicked, this, &TformSendMail::ApplyUsageLimit);
    connect(udAccountUsageLimit, &QSpinBox::valueChanged, this, &TformSendMail::ApplyUsageLimit);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnAccountAdd);
    buttons->addWidget(btnAccountDelete);
    buttons->addStretch(1);
    auto* limit = new QHBoxLayout;
    limit->addWidget(cbAccountUsageLimit);
    limit->addWidget(udAccountUsageLimit);
    limit->addStretch(1);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(new QLabel("Select email accounts", group));
    layout->addWidget(new QLabel("to use for sending..", group));
    layout->addWidget(lvEmailAccounts, 1);
    layout->addLayout(buttons);
    layout->addLayout(limit);
    return group;
}

QWidget* TformSendMail::BuildMessageGroup() {
    auto* group = new QGroupBox("Message details", this);
    auto* saved = new QGroupBox("Saved messages", group);
    cbSavedMessages = new QComboBox(saved);
    cbSavedMessages->setObjectName("cbSavedMessages");
    btnMessageNew = new QPushButton("Save as new", saved);
    btnMessageDelete = new QPushButton("Delete", saved);
    btnMessageUpdate = new QPushButton("Update current", saved);
    auto* savedLayout = new QHBoxLayout(saved);
    savedLayout->addWidget(cbSavedMessages, 1);
    for (QPushButton* button : {btnMessageNew, btnMessageDelete, btnMessageUpdate}) savedLayout->addWidget(button);
    connect(cbSavedMessages, &QComboBox::activated, this, &TformSendMail::SavedMessageChosen);
    connect(cbSavedMessages, &QComboBox::currentIndexChanged, this, &TformSendMail::UpdateButtons);
    connect(btnMessageNew, &QPushButton::clicked, this, &TformSendMail::MessageNew);
    connect(btnMessageDelete, &QPushButton::clicked, this, &TformSendMail::MessageDelete);
    connect(btnMessageUpdate, &QPushButton::clicked, this, &TformSendMail::MessageUpdate);

    edtSubject = new QLineEdit(group);
    edtSubject->setObjectName("edtSubject");
    cbIncludeTitleInSubject = new QCheckBox("Include ad title in subject", group);
    memoBody = new QPlainTextEdit(group);
    memoBody->setObjectName("memoBody");
    rbPlainText = new QRadioButton("Plain text", group);
    rbHTML = new QRadioButton("HTML", group);
    auto* kind = new QButtonGroup(group);
    kind->addButton(rbPlainText);
    kind->addButton(rbHTML);
    rbPlainText->setChecked(true);

    auto* icon = new QLabel(group);
    icon->setPixmap(RepliedIcon().pixmap(16, 16));
    auto* hint = new QLabel("Ads that have received the message \nwill be listed with this \"reply arrow\" icon.", group);
    btnOK = new QPushButton("OK", group);
    btnCancel = new QPushButton("Cancel", group);
    btnOK->setDefault(true);  // Escape acts as Cancel (QDialog's own key)
    connect(btnOK, &QPushButton::clicked, this, &TformSendMail::accept);
    connect(btnCancel, &QPushButton::clicked, this, &TformSendMail::reject);

    auto* kindRow = new QHBoxLayout;
    kindRow->addWidget(rbPlainText);
    kindRow->addWidget(rbHTML);
    kindRow->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(icon);
    bottom->addWidget(hint, 1);
    bottom->addWidget(btnOK);
    bottom->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(saved);
    layout->addWidget(new QLabel("Subject", group));
    layout->addWidget(edtSubject);
    layout->addWidget(cbIncludeTitleInSubject);
    layout->addWidget(new QLabel("Message body", group));
    layout->addWidget(memoBody, 1);
    layout->addLayout(kindRow);
    layout->addLayout(bottom);
    return group;
}

std::shared_ptr<TEmailMessageWithAccounts> TformSendMail::Execute(const TEmailMessageWithAccounts* aMsg) {
    Prepare(aMsg);
    if (exec() != QDialog::Accepted) return nullptr;
    return MakeMessage();
}

void TformSendMail::Prepare(const TEmailMessageWithAccounts* aMsg) {
    FillAccounts();
    const int limit = fSession.GetSettings().GetEmailAccountsUsageLimit();
    cbAccountUsageLimit->setChecked(limit > 0);
    {
        const QSignalBlocker quiet(udAccountUsageLimit);
        udAccountUsageLimit->setValue(limit > 0 ? limit : cDefaultUsageLimit);
    }
    ApplyUsageLimit();
    SavedMessageFillComboBox(*cbSavedMessages, fSession.GetSavedMessages());
    ClearMessageFields();
    if (aMsg) {
        for (int row = 0; row < lvEmailAccounts->topLevelItemCount(); ++row) {
            QTreeWidgetItem* item = lvEmailAccounts->topLevelItem(row);
            item->setCheckState(0, aMsg->GetAccountByID(EmailAccountIDOfItem(*item)) ? Qt::Checked : Qt::Unchecked);
        }
        ShowMessage(*aMsg);
    }
    UpdateButtons();
    edtSubject->setFocus();
}

void TformSendMail::FillAccounts() {
    if (TEmailAccounts* accounts = fSession.GetEmailAccounts())
        EmailAccountsFillListView(*lvEmailAccounts, *accounts, true);
    else
        lvEmailAccounts->clear();
}

void TformSendMail::ApplyUsageLimit() {
    const bool limited = cbAccountUsageLimit->isChecked();
    udAccountUsageLimit->setEnabled(limited);
    fSession.GetSettings().SetEmailAccountsUsageLimit(limited ? udAccountUsageLimit->value() : 0);
    fSession.SaveSettings();
}

void TformSendMail::ClearMessageFields() {
    cbSavedMessages->setCurrentIndex(-1);
    edtSubject->clear();
    memoBody->clear();
    rbPlainText->setChecked(true);
}

void TformSendMail::ShowMessage(const TEmailMessage& aMessage) {
    edtSubject->setText(Q(aMessage.GetSubject()));
    cbIncludeTitleInSubject->setChecked(aMessage.GetIncludeAdTitleInSubject());
    memoBody->setPlainText(Q(aMessage.GetBody()));
    (aMessage.GetIsHTML() ? rbHTML : rbPlainText)->setChecked(true);
}

void TformSendMail::FillMessage(TEmailMessage& aMessage) const {
    aMessage.SetSubject(Trim(S(edtSubject->text())));
    aMessage.SetIncludeAdTitleInSubject(cbIncludeTitleInSubject->isChecked());
    aMessage.SetBody(Trim(S(memoBody->toPlainText())));
    aMessage.SetIsHTML(rbHTML->isChecked());
}

std::shared_ptr<TEmailMessageWithAccounts> TformSendMail::MakeMessage() const {
    auto message = std::make_shared<TEmailMessageWithAccounts>();
    FillMessage(*message);
    TEmailAccounts* accounts = fSession.GetEmailAccounts();
    for (int row = 0; accounts && row < lvEmailAccounts->topLevelItemCount(); ++row) {
        QTreeWidgetItem* item = lvEmailAccounts->topLevelItem(row);
        if (item->checkState(0) != Qt::Checked) continue;
        if (IEmailAccount account = accounts->GetAccountByID(EmailAccountIDOfItem(*item))) message->AddAccount(account);
    }
    return message;
}

bool TformSendMail::CheckFields() {
    bool ticked = false;
    for (int row = 0; row < lvEmailAccounts->topLevelItemCount(); ++row)
        ticked = ticked || lvEmailAccounts->topLevelItem(row)->checkState(0) == Qt::Checked;
    const char* failure = !ticked                                          ? cNoAccountText
                          : Trim(S(edtSubject->text())).empty()            ? cNoSubjectText
                          : Trim(S(memoBody->toPlainText())).empty()       ? cNoBodyText
                                                                           : nullptr;
    if (failure) fDialogs.Warning(failure);
    return failure == nullptr;
}

void TformSendMail::accept() {
    if (CheckFields()) QDialog::accept();
}

std::optional<TEmailMessage> TformSendMail::SelectedSavedMessage() const {
    TSavedMessages* saved = fSession.GetSavedMessages();
    const int index = cbSavedMessages->currentIndex();
    if (!saved || index < 0) return std::nullopt;
    // The list's items are the saved messages in their order.
    std::vector<TEmailMessage> items = saved->GetItems();
    if (static_cast<size_t>(index) >= items.size()) return std::nullopt;
    return items[static_cast<size_t>(index)];
}

void TformSendMail::UpdateButtons() {
    const bool selected = cbSavedMessages->currentIndex() >= 0;
    btnMessageDelete->setEnabled(selected);
    btnMessageUpdate->setEnabled(selected);
    btnAccountDelete->setEnabled(!lvEmailAccounts->selectedItems().isEmpty());
    btnAccountAdd->setEnabled(fSession.GetEmailAccounts() != nullptr);
}

void TformSendMail::SavedMessageChosen() {
    if (const auto message = SelectedSavedMessage()) ShowMessage(*message);
    UpdateButtons();
}

void TformSendMail::MessageNew() {
    TSavedMessages* saved = fSession.GetSavedMessages();
    if (!saved || !CheckFields()) return;
    TEmailMessage message;
    FillMessage(message);
    saved->Add(message);
    SavedMessageAddToComboBox(*cbSavedMessages, message);
    cbSavedMessages->setCurrentIndex(cbSavedMessages->count() - 1);
}

void TformSendMail::MessageUpdate() {
    TSavedMessages* saved = fSession.GetSavedMessages();
    const int index = cbSavedMessages->currentIndex();
    if (!saved || index < 0) return;
    TEmailMessage message;
    FillMessage(message);
    if (!saved->Update(static_cast<size_t>(index), message)) return;
    cbSavedMessages->setItemText(index, Q(message.GetSubject()));
}

void TformSendMail::MessageDelete() {
    TSavedMessages* saved = fSession.GetSavedMessages();
    const int index = cbSavedMessages->currentIndex();
    if (!saved || index < 0 || !saved->Delete(static_cast<size_t>(index))) return;
    cbSavedMessages->removeItem(index);
    ClearMessageFields();  // the include-title box keeps its state
    UpdateButtons();
}

void TformSendMail::AccountAdd() {
    auto account = std::make_shared<TEmailAccount>();
    if (!AccountEditor(*account)) return;  // the new account goes with its thread
    TEmailAccounts* accounts = fSession.GetEmailAccounts();
    if (!accounts) return;  // the session ended while the editor was open
    accounts->Add(account);
    EmailAccountAddToListView(*lvEmailAccounts, *account, true);
}

void TformSendMail::AccountDelete() {
    const auto selected = lvEmailAccounts->selectedItems();
    TEmailAccounts* accounts = fSession.GetEmailAccounts();
    if (selected.isEmpty() || !accounts) return;
    IEmailAccount account = accounts->GetAccountByID(EmailAccountIDOfItem(*selected.front()));
    if (!account) return;
    try {
        DeleteEmailAccount(fSession, account);
    } catch (const EAccountInUse& e) {
        fDialogs.Warning(e.what());
        return;
    }
    delete selected.front();
    UpdateButtons();
}

}  // namespace trawlix
