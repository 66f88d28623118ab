#include "ui/dialog_buttons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

namespace trawlix {

TDialogButtons MakeDialogButtons(QWidget* aDialog, const char* aConfirm, const char* aCancel) {
    auto* bar = new QDialogButtonBox(aDialog);
    auto* confirm = new QPushButton(aConfirm, aDialog);
    confirm->setObjectName(QString("btn") + QString(aConfirm).remove('&'));
    confirm->setDefault(true);
    auto* cancel = new QPushButton(aCancel, aDialog);
    cancel->setObjectName(QString("btn") + QString(aCancel).remove('&'));
    bar->addButton(confirm, QDialogButtonBox::AcceptRole);
    bar->addButton(cancel, QDialogButtonBox::RejectRole);
    return {bar, confirm, cancel};
}

TDialogButtons MakeAcceptRejectButtons(QDialog* aDialog, const char* aConfirm, const char* aCancel) {
    const TDialogButtons buttons = MakeDialogButtons(aDialog, aConfirm, aCancel);
    QObject::connect(buttons.confirm, &QPushButton::clicked, aDialog, &QDialog::accept);
    QObject::connect(buttons.cancel, &QPushButton::clicked, aDialog, &QDialog::reject);
    return buttons;
}

}  // namespace trawlix
