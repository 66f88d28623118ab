#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QAction;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTreeWidget;

namespace trawlix {

class TEmailReplyHistory;

// "Email Reply History": the mails the accounts have sent, filtered by date, with the
// body of the selected one. Rows deleted here leave the table when the session saves.
class TformEmailReplyHistory : public QDialog {
    Q_OBJECT
public:
    TformEmailReplyHistory(TEmailReplyHistory& aHistory, QWidget* aParent = nullptr);

    // Both bounds unchecked at the current date and time, the list filled, the window run.
    void Execute();
    void Prepare();
    void FillListView();

    // Opens an ad's address in the default browser. Tests answer it themselves.
    std::function<void(const std::string& aAddress)> OpenAddress;

    QCheckBox* cbFromDate;
    QDateTimeEdit* dtpFromDate;
    QCheckBox* cbToDate;
    QDateTimeEdit* dtpToDate;
    QPushButton* btnFilter;
    // Says when the filter swapped a From date after the To date.
    QLabel* lblFilterNote;
    QTreeWidget* lvHistory;
    QPlainTextEdit* memoBody;
    QAction* actOpenInWebBrowser;
    QAction* actSelectAll;
    QAction* actDeleteSelection;

private:
    void UpdateActions();
    void ShowSelectedBody();
    void OpenInWebBrowser();
    void DeleteSelection();

    TEmailReplyHistory& fHistory;
};

}  // namespace trawlix
