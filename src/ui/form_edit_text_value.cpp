#include "ui/form_edit_text_value.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"

namespace trawlix {

TformEditTextValue::TformEditTextValue(QWidget* aParent) : QDialog(aParent) {
    setObjectName("formEditTextValue");
    setWindowTitle("Edit value");
    setWindowFlag(Qt::Tool);
    resize(372, 320);
    memoValue = new QPlainTextEdit(this);
    memoValue->setObjectName("memoValue");
    memoValue->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab leaves the box for the buttons; Enter stays a line break in it.
    memoValue->setTabChangesFocus(true);
    const TDialogButtons buttons = MakeAcceptRejectButtons(this, "&OK", "&Cancel");
    btnOK = buttons.confirm;
    btnCancel = buttons.cancel;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memoValue, 1);
    layout->addWidget(buttons.bar);
}

void TformEditTextValue::Prepare(const QString& aText) {
    memoValue->setPlainText(aText);
    memoValue->moveCursor(QTextCursor::End);
    show();
    memoValue->setFocus();
}

bool TformEditTextValue::Execute(const QString& aText) {
    memoValue->setPlainText(aText);
    memoValue->moveCursor(QTextCursor::End);
    memoValue->setFocus();
    return exec() == QDialog::Accepted;
}

QString TformEditTextValue::GetValue() const { return memoValue->toPlainText(); }

}  // namespace trawlix
