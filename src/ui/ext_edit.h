#pragma once

#include <QLineEdit>

namespace trawlix {

// A line edit that shows a grey suggestion while it is empty. The suggestion is real
// text in the box (as the user sees it), so IsEmpty tells an empty box from a typed one.
class TCExtEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TCExtEdit(QWidget* aParent = nullptr);

    QString SuggestionText() const { return fSuggestionText; }
    void SetSuggestionText(const QString& aText);
    // A blank value shows the suggestion.
    void SetText(const QString& aText);
    bool IsEmpty() const;

protected:
    void focusInEvent(QFocusEvent* aEvent) override;
    void focusOutEvent(QFocusEvent* aEvent) override;

private:
    void ApplyLeaveRule();
    void ApplyColour();

    QString fSuggestionText;
};

}  // namespace trawlix
