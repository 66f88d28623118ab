#include "ui/form_email_reply_history.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QLabel>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>

#include "mail/email_reply_history.h"
#include "ui/date_range.h"
#include "ui/criteria_panel.h"
#include "ui/qt_text.h"

namespace trawlix {

namespace {

constexpr int cItemRole = Qt::UserRole;

std::uint64_t SerialOf(const QTreeWidgetItem& aRow) { return aRow.data(0, cItemRole).toULongLong(); }

QString SentAtText(double aTimeStamp) {
    const QDateTime at = DaysToDateTime(aTimeStamp);
    const QLocale locale;
    return locale.toString(at.date(), QLocale::ShortFormat) + " " + locale.toString(at.time(), QLocale::ShortFormat);
}

}  // namespace

TformEmailReplyHistory::TformEmailReplyHistory(TEmailReplyHistory& aHistory, QWidget* aParent)
    : QDialog(aParent), fHistory(aHistory) {
    setObjectName("formEmailReplyHistory");
    setWindowTitle("Email Reply History");
    OpenAddress = [](const std::string& aAddress) { QDesktopServices::openUrl(QUrl(Q(aAddress))); };

    auto* filter = new QGroupBox("Filter", this);
    cbFromDate = new QCheckBox("From", filter);
    dtpFromDate = new QDateTimeEdit(filter);
    dtpFromDate->setObjectName("dtpFromDate");
    cbToDate = new QCheckBox("To", filter);
    dtpToDate = new QDateTimeEdit(filter);
    dtpToDate->setObjectName("dtpToDate");
    for (QDateTimeEdit* picker : {dtpFromDate, dtpToDate}) {
        picker->setCalendarPopup(true);
        picker->setDisplayFormat(QLocale().dateFormat(QLocale::ShortFormat));
    }
    btnFilter = new QPushButton("Apply filter", filter);
    lblFilterNote = new QLabel(filter);
    lblFilterNote->setObjectName("lblFilterNote");
    auto* filterLayout = new QHBoxLayout(filter);
    for (QWidget* control : std::initializer_list<QWidget*>{cbFromDate, dtpFromDate, cbToDate, dtpToDate, btnFilter})
        filterLayout->addWidget(control);
    filterLayout->addWidget(lblFilterNote, 1);
    connect(btnFilter, &QPushButton::clicked, this, &TformEmailReplyHistory::FillListView);

    auto* messages = new QGroupBox("Messages", this);
    lvHistory = new QTreeWidget(messages);
    lvHistory->setObjectName("lvHistory");
    lvHistory->setRootIsDecorated(false);
    lvHistory->setHeaderLabels({"Sent at", "From", "To", "Subject", "Ad URL"});
    lvHistory->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvHistory->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvHistory->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvHistory->setContextMenuPolicy(Qt::ActionsContextMenu);
    actOpenInWebBrowser = new QAction("Open in Web Browser", lvHistory);
    actSelectAll = new QAction("Select All", lvHistory);
    actDeleteSelection = new QAction("Delete selection", lvHistory);
    lvHistory->addActions({actOpenInWebBrowser, actSelectAll, actDeleteSelection});
    connect(actOpenInWebBrowser, &QAction::triggered, this, &TformEmailReplyHistory::OpenInWebBrowser);
    connect(actSelectAll, &QAction::triggered, lvHistory, &QTreeWidget::selectAll);
    connect(actDeleteSelection, &QAction::triggered, this, &TformEmailReplyHistory::DeleteSelection);
    connect(lvHistory, &QTreeWidget::itemSelectionChanged, this, &TformEmailReplyHistory::ShowSelectedBody);
    connect(lvHistory, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (actOpenInWebBrowser->isEnabled()) OpenInWebBrowser();
    });
    auto* messagesLayout = new QVBoxLayout(messages);
    messagesLayout->addWidget(lvHistory);

    auto* body = new QGroupBox("Message body", this);
    memoBody = new QPlainTextEdit(body);
    memoBody->setObjectName("memoBody");
    memoBody->setReadOnly(true);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->addWidget(memoBody);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter);
    layout->addWidget(messages, 2);
    layout->addWidget(body, 1);
    resize(760, 520);
}

void TformEmailReplyHistory::Execute() {
    Prepare();
    exec();
}

void TformEmailReplyHistory::Prepare() {
    const QDateTime now = QDateTime::currentDateTime();
    for (QDateTimeEdit* picker : {dtpFromDate, dtpToDate}) picker->setDateTime(now);
    cbFromDate->setChecked(false);
    cbToDate->setChecked(false);
    FillListView();
}

void TformEmailReplyHistory::FillListView() {
    memoBody->clear();
    lvHistory->clear();
    lblFilterNote->setText(SwapReversedDates(*cbFromDate, *dtpFromDate, *cbToDate, *dtpToDate) ? cDatesSwapped : "");
    // From the start of the From day to the end of the To day.
    const double from = std::floor(DateTimeToDays(dtpFromDate->dateTime()));
    const double to = std::floor(DateTimeToDays(dtpToDate->dateTime())) + 1;
    // A copy taken under the history's lock: a send that completes meanwhile waits for it.
    for (const TEmailReplyHistoryItem& item : fHistory.GetHistory()) {
        const double at = item.fTimeStamp;
        if ((cbFromDate->isChecked() && at < from) || (cbToDate->isChecked() && at >= to)) continue;
        auto* row = new QTreeWidgetItem(lvHistory);
        row->setText(0, SentAtText(at));
        row->setText(1, Q(item.fFrom));
        row->setText(2, Q(item.fDest));
        row->setText(3, Q(item.fMsgSubject));
        row->setText(4, Q(item.fAdURL));
        row->setData(0, cItemRole, QVariant::fromValue(static_cast<qulonglong>(item.fSerial)));
        row->setData(1, cItemRole, Q(item.fMsgBody));
    }
    UpdateActions();
}

void TformEmailReplyHistory::ShowSelectedBody() {
    const auto selected = lvHistory->selectedItems();
    memoBody->setPlainText(selected.isEmpty() ? QString() : selected.front()->data(1, cItemRole).toString());
    UpdateActions();
}

void TformEmailReplyHistory::UpdateActions() {
    const auto selected = lvHistory->selectedItems();
    actOpenInWebBrowser->setEnabled(!selected.isEmpty() && !selected.front()->text(4).isEmpty());
    actSelectAll->setEnabled(lvHistory->topLevelItemCount() > 0);
    actDeleteSelection->setEnabled(!selected.isEmpty());
}

void TformEmailReplyHistory::OpenInWebBrowser() {
    const auto selected = lvHistory->selectedItems();
    if (selected.isEmpty() || selected.front()->text(4).isEmpty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    OpenAddress(selected.front()->text(4).toStdString());
    QApplication::restoreOverrideCursor();
}

void TformEmailReplyHistory::DeleteSelection() {
    for (QTreeWidgetItem* row : lvHistory->selectedItems()) {
        fHistory.Remove(SerialOf(*row));
        delete row;
    }
    ShowSelectedBody();
}

}  // namespace trawlix
