#include "ui/ext_edit.h"

namespace trawlix {

TCExtEdit::TCExtEdit(QWidget* aParent) : QLineEdit(aParent) {
    connect(this, &QLineEdit::textChanged, this, &TCExtEdit::ApplyColour);
}

void TCExtEdit::SetSuggestionText(const QString& aText) {
    fSuggestionText = aText;
    ApplyLeaveRule();
    ApplyColour();
}

void TCExtEdit::SetText(const QString& aText) {
    setText(aText.trimmed().isEmpty() ? fSuggestionText : aText);
}

bool TCExtEdit::IsEmpty() const {
    const QString trimmed = text().trimmed();
    return trimmed.isEmpty() || trimmed == fSuggestionText.trimmed();
}

void TCExtEdit::focusInEvent(QFocusEvent* aEvent) {
    if (!fSuggestionText.isEmpty() && text().contains(fSuggestionText)) clear();
    QLineEdit::focusInEvent(aEvent);
}

void TCExtEdit::focusOutEvent(QFocusEvent* aEvent) {
    ApplyLeaveRule();
    QLineEdit::focusOutEvent(aEvent);
}

void TCExtEdit::ApplyLeaveRule() {
    if (text().trimmed().isEmpty()) setText(fSuggestionText);
}

void TCExtEdit::ApplyColour() {
    const bool showsSuggestion = !fSuggestionText.isEmpty() && text().contains(fSuggestionText);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Text, showsSuggestion ? QColor(128, 128, 128) : QColor(Qt::black));
    setPalette(palette);
}

}  // namespace trawlix
