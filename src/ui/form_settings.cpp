#include "ui/form_settings.h"

#include <QApplication>
#include <QCheckBox>
#include <algorithm>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/session.h"
#include "app/settings.h"
#include "ui/dialog_buttons.h"
#include "ui/form_notification_settings.h"
#include "ui/user_dialogs.h"

namespace trawlix {

namespace {

constexpr int cTreeWidth = 158;
const QSize cClientSize(531, 383);

}  // namespace

TformSettings::TformSettings(TSession& aSession, IUserDialogs& aDialogs, TNotificationTests& aTests,
                             QWidget* aParent)
    : QDialog(aParent), fSession(aSession), fDialogs(aDialogs) {
    setObjectName("formSettings");
    setWindowTitle("Preferences");
    setWindowFlag(Qt::Tool);
    TSettings& settings = aSession.GetSettings();

    tvSettings = new QTreeWidget(this);
    tvSettings->setObjectName("tvSettings");
    tvSettings->setHeaderHidden(true);
    tvSettings->setRootIsDecorated(false);
    tvSettings->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvSettings->setMinimumWidth(cTreeWidth);
    const QStyle::StandardPixmap pictures[] = {QStyle::SP_ComputerIcon, QStyle::SP_DesktopIcon,
                                               QStyle::SP_MessageBoxInformation};
    const char* captions[] = {"General", "Colors", "Alerts"};
    for (int page = 0; page < 3; ++page) {
        auto* item = new QTreeWidgetItem(tvSettings, {captions[page]});
        item->setIcon(0, style()->standardIcon(pictures[page]));
    }

    pnlMain = new QStackedWidget(this);
    pnlMain->setObjectName("pnlMain");
    General = new TformGeneralSettings(settings, aDialogs, pnlMain);
    Colors = new TformColorSettings(settings, pnlMain);
    Colors->OnColorsRestored = [this] {
        if (OnSettingsChanged) OnSettingsChanged();
    };
    Alerts = new TformNotificationSettings(aSession, aDialogs, aTests, pnlMain);
    for (QWidget* page : std::initializer_list<QWidget*>{General, Colors, Alerts}) pnlMain->addWidget(page);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tvSettings);
    splitter->addWidget(pnlMain);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({cTreeWidth, cClientSize.width() - cTreeWidth});

    const TDialogButtons buttons = MakeDialogButtons(this, "&Save", "&Close");
    btnSave = buttons.confirm;
    btnClose = buttons.cancel;
    connect(btnSave, &QPushButton::clicked, this, &TformSettings::SaveClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addWidget(buttons.bar);

    pnlWait = new QLabel("Please wait...", this);
    pnlWait->setObjectName("pnlWait");
    pnlWait->setAlignment(Qt::AlignCenter);
    pnlWait->setAutoFillBackground(true);
    pnlWait->setFrameShape(QFrame::Panel);
    pnlWait->hide();

    connect(tvSettings, &QTreeWidget::currentItemChanged, this, &TformSettings::ShowSelectedPage);
    setTabOrder(tvSettings, General->cbAutoStart);
}

void TformSettings::InitPages(int aPage) {
    // Every opening starts from what is stored: changes closed with "Close" are gone.
    General->Init();
    Alerts->Init();
    Colors->Init();
    tvSettings->setCurrentItem(tvSettings->topLevelItem(std::clamp(aPage, 0, tvSettings->topLevelItemCount() - 1)));
    ShowSelectedPage();
    // "Close" took the default role when it had the focus at the last closing; Enter saves.
    btnSave->setDefault(true);
}

void TformSettings::ShowSelectedPage() {
    const QTreeWidgetItem* item = tvSettings->currentItem();
    if (!item) return;
    pnlMain->setCurrentIndex(tvSettings->indexOfTopLevelItem(const_cast<QTreeWidgetItem*>(item)));
    // Grows to take the page in full, never shrinks, and the user does not resize it.
    const QSize size = this->size().expandedTo(sizeHint()).expandedTo(cClientSize);
    setFixedSize(size);
}

int TformSettings::CurrentPage() const { return pnlMain->currentIndex(); }

void TformSettings::Prepare(int aPage) {
    InitPages(aPage);
    show();
    tvSettings->setFocus();
}

void TformSettings::Execute(int aPage) {
    // Opened again from a window above it (the alerts window): it only shows the page.
    if (isVisible()) {
        tvSettings->setCurrentItem(tvSettings->topLevelItem(aPage));
        return;
    }
    InitPages(aPage);
    tvSettings->setFocus();
    exec();
}

void TformSettings::SavePages() {
    // A refused value keeps every page as it was, not only its own.
    Alerts->Validate();
    General->Save();
    Alerts->Save();
    Colors->Save();
    fSession.GetSettings().SaveSettings();
    if (OnSettingsChanged) OnSettingsChanged();
}

void TformSettings::SaveClick() {
    pnlWait->setGeometry(rect().adjusted(width() / 4, height() / 3, -width() / 4, -height() / 3));
    pnlWait->raise();
    pnlWait->show();
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    bool saved = false;
    try {
        SavePages();
        saved = true;
    } catch (const std::exception& e) {
        fDialogs.Warning(e.what());
    }
    pnlWait->hide();
    if (saved) accept();
}

}  // namespace trawlix
