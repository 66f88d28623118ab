#pragma once

class QDialog;
class QDialogButtonBox;
class QPushButton;
class QWidget;

namespace trawlix {

// The bar of a dialog's confirm and cancel buttons: aConfirm is the default button (Enter),
// aCancel the one Escape stands for. Captions carry their mnemonics ("&Save").
struct TDialogButtons {
    QDialogButtonBox* bar;
    QPushButton* confirm;
    QPushButton* cancel;
};
TDialogButtons MakeDialogButtons(QWidget* aDialog, const char* aConfirm, const char* aCancel);
// The same bar for a dialog whose confirm button only closes it accepted, and cancel rejected.
TDialogButtons MakeAcceptRejectButtons(QDialog* aDialog, const char* aConfirm, const char* aCancel);

}  // namespace trawlix
