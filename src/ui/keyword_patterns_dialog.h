#pragma once

#include <QDialog>

#include "engine/keyword_syntax.h"

class QLineEdit;

namespace trawlix {

// "Predefined keyword patterns": builds a keyword line from six simple fields.
class TformKeywordPatterns : public QDialog {
    Q_OBJECT
public:
    explicit TformKeywordPatterns(QWidget* aParent = nullptr);

    void SetPattern(const TKeywordPattern& aPattern);
    // The six boxes as typed.
    TKeywordPattern GetPattern() const;
    // Fills the boxes, shows the dialog modally; true when closed with "OK".
    bool Execute(const TKeywordPattern& aPattern);
    std::string BuildKeywordsFromPattern() const { return trawlix::BuildKeywordsFromPattern(GetPattern()); }

    QLineEdit* edtAllThese;
    QLineEdit* edtPhrase;
    QLineEdit* edtOR1;
    QLineEdit* edtOR2;
    QLineEdit* edtOR3;
    QLineEdit* edtNoneOfThese;
};

}  // namespace trawlix
