#include "ui/user_dialogs.h"

#include <QMessageBox>
#include <QString>

namespace trawlix {

namespace {
const QString cTitle = QStringLiteral("Trawlix");
}

namespace {
// The text of a box can be selected and copied (an address, a path, an error).
void ShowMessage(QWidget* aParent, QMessageBox::Icon aIcon, const std::string& aMessage) {
    QMessageBox box(aIcon, cTitle, QString::fromStdString(aMessage), QMessageBox::Ok, aParent);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    box.exec();
}
}  // namespace

void TMessageBoxDialogs::Information(const std::string& aMessage) {
    ShowMessage(fParent, QMessageBox::Information, aMessage);
}

void TMessageBoxDialogs::Warning(const std::string& aMessage) { ShowMessage(fParent, QMessageBox::Warning, aMessage); }

bool TMessageBoxDialogs::Confirm(const std::string& aMessage) {
    return QMessageBox::question(fParent, cTitle, QString::fromStdString(aMessage),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void TMessageBoxNotifier::Warning(const std::string& aMessage) { fDialogs.Warning(aMessage); }

void TMessageBoxNotifier::ErrorReport(const std::string& aMessage, const std::string& aCallStack) {
    if (ShowErrorWindow) {
        ShowErrorWindow(aMessage, aCallStack);
        return;
    }
    // Without the error window the details go into the box, so that the user can copy them.
    fDialogs.Warning(aMessage + "\n\n" + aCallStack);
}

}  // namespace trawlix
