#include "ui/destinations_panel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "engine/text_functions.h"
#include "mail/notification_url.h"
#include "model/alert.h"
#include "ui/qt_text.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr const char* cAddPrompt =
    "Notification URL (tgram://BOTTOKEN/CHATID, pover://USERKEY@APPTOKEN, gotify://HOST/TOKEN, ntfy://TOPIC, "
    "discord://ID/TOKEN, json://HOST/PATH, mailto://ACCOUNTID):";

}  // namespace

TDestinationsPanel::TDestinationsPanel(IUserDialogs& aDialogs, QWidget* aParent)
    : QGroupBox("Send this alert's notifications to", aParent), fDialogs(aDialogs) {
    setObjectName("gbDestinations");
    lvDestinations = new QTreeWidget(this);
    lvDestinations->setObjectName("lvDestinations");
    lvDestinations->setRootIsDecorated(false);
    lvDestinations->setHeaderHidden(true);
    lvDestinations->setColumnCount(2);
    lvDestinations->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    lvDestinations->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    lvDestinations->setMaximumHeight(90);
    lblNoDestinations = new QLabel(cNoDestinationsText, this);
    lblNoDestinations->setObjectName("lblNoDestinations");
    btnAddDestination = new QPushButton("Add...", this);
    btnAddDestination->setObjectName("btnAddDestination");
    btnRemoveDestination = new QPushButton("Remove", this);
    btnRemoveDestination->setObjectName("btnRemoveDestination");
    connect(btnAddDestination, &QPushButton::clicked, this, &TDestinationsPanel::AddClick);
    connect(btnRemoveDestination, &QPushButton::clicked, this, &TDestinationsPanel::RemoveClick);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(lblNoDestinations, 1);
    buttons->addWidget(btnAddDestination);
    buttons->addWidget(btnRemoveDestination);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lvDestinations);
    layout->addLayout(buttons);
    SetAlert(nullptr);
}

void TDestinationsPanel::SetAlert(TAlert* aAlert) {
    fAlert = aAlert;
    setEnabled(fAlert != nullptr);
    Refill();
}

void TDestinationsPanel::Refill() {
    lvDestinations->clear();
    const std::vector<std::string> urls = fAlert ? fAlert->GetDestinations() : std::vector<std::string>();
    for (const std::string& url : urls) {
        auto* item = new QTreeWidgetItem(lvDestinations, {Q(MaskedNotificationURL(url))});
        auto* test = new QPushButton("Test");
        test->setObjectName("btnTestDestination");
        connect(test, &QPushButton::clicked, this, [this, url] {
            if (TestDestination) TestDestination(url);
        });
        lvDestinations->setItemWidget(item, 1, test);
    }
    lvDestinations->setVisible(!urls.empty());
    lblNoDestinations->setText(urls.empty() ? cNoDestinationsText : "");
    btnRemoveDestination->setEnabled(!urls.empty());
}

void TDestinationsPanel::AddClick() {
    if (!fAlert || !AskText) return;
    std::string proposed;
    while (true) {
        const auto answer = AskText("Add a notification destination", cAddPrompt, proposed);
        if (!answer || Trim(*answer).empty()) return;
        try {
            ParseNotificationURL(*answer);
        } catch (const ENotificationURLError& e) {
            // Asked again with what was typed, so that one wrong part is mended, not retyped.
            fDialogs.Warning(e.what());
            proposed = *answer;
            continue;
        }
        std::vector<std::string> urls = fAlert->GetDestinations();
        urls.push_back(Trim(*answer));
        fAlert->SetDestinations(urls);
        Refill();
        return;
    }
}

void TDestinationsPanel::RemoveClick() {
    if (!fAlert) return;
    const int row = lvDestinations->indexOfTopLevelItem(lvDestinations->currentItem());
    std::vector<std::string> urls = fAlert->GetDestinations();
    if (row < 0 || row >= static_cast<int>(urls.size())) return;
    urls.erase(urls.begin() + row);
    fAlert->SetDestinations(urls);
    Refill();
}

}  // namespace trawlix
