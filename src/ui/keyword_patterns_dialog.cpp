#include "ui/keyword_patterns_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "ui/dialog_buttons.h"

namespace trawlix {

TformKeywordPatterns::TformKeywordPatterns(QWidget* aParent) : QDialog(aParent) {
    setObjectName("formKeywordPatterns");
    setWindowTitle("Predefined keyword patterns");
    auto* layout = new QVBoxLayout(this);

    auto* searchFor = new QGroupBox("Search for posts with...", this);
    auto* searchForLayout = new QFormLayout(searchFor);
    edtAllThese = new QLineEdit(searchFor);
    edtPhrase = new QLineEdit(searchFor);
    edtOR1 = new QLineEdit(searchFor);
    edtOR2 = new QLineEdit(searchFor);
    edtOR3 = new QLineEdit(searchFor);
    auto* orRow = new QHBoxLayout();
    orRow->addWidget(edtOR1);
    orRow->addWidget(new QLabel("or", searchFor));
    orRow->addWidget(edtOR2);
    orRow->addWidget(new QLabel("or", searchFor));
    orRow->addWidget(edtOR3);
    searchForLayout->addRow("all of the following words", edtAllThese);
    searchForLayout->addRow("the exact phrase", edtPhrase);
    searchForLayout->addRow("one or more of the words", orRow);
    layout->addWidget(searchFor);

    auto* skip = new QGroupBox("Skip posts with...", this);
    auto* skipLayout = new QFormLayout(skip);
    edtNoneOfThese = new QLineEdit(skip);
    skipLayout->addRow("any of the following words", edtNoneOfThese);
    layout->addWidget(skip);

    layout->addWidget(MakeAcceptRejectButtons(this, "OK", "Cancel").bar);
}

void TformKeywordPatterns::SetPattern(const TKeywordPattern& aPattern) {
    edtAllThese->setText(QString::fromStdString(aPattern.allThese));
    edtPhrase->setText(QString::fromStdString(aPattern.exact));
    edtOR1->setText(QString::fromStdString(aPattern.or1));
    edtOR2->setText(QString::fromStdString(aPattern.or2));
    edtOR3->setText(QString::fromStdString(aPattern.or3));
    edtNoneOfThese->setText(QString::fromStdString(aPattern.noneOfThese));
}

TKeywordPattern TformKeywordPatterns::GetPattern() const {
    return {edtAllThese->text().toStdString(), edtPhrase->text().toStdString(), edtOR1->text().toStdString(),
            edtOR2->text().toStdString(),      edtOR3->text().toStdString(),    edtNoneOfThese->text().toStdString()};
}

bool TformKeywordPatterns::Execute(const TKeywordPattern& aPattern) {
    SetPattern(aPattern);
    return exec() == QDialog::Accepted;
}

}  // namespace trawlix
