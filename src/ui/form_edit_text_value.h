#pragma once

#include <QDialog>
#include <QString>

class QPlainTextEdit;
class QPushButton;

namespace trawlix {

// "Edit value": a longer text edited in a box of its own, line breaks included.
class TformEditTextValue : public QDialog {
    Q_OBJECT
public:
    explicit TformEditTextValue(QWidget* aParent = nullptr);
    // Opens modally with aText, the focus in the box; true for "OK".
    bool Execute(const QString& aText);
    // Fills the box and shows the window without waiting (tests answer it themselves).
    void Prepare(const QString& aText);
    QString GetValue() const;

    QPlainTextEdit* memoValue;
    QPushButton* btnOK;
    QPushButton* btnCancel;
};

}  // namespace trawlix
