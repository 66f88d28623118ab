#include "ui/ask_line.h"

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLineEdit>

#include <algorithm>

namespace trawlix {

namespace {

// The frame's buttons and icon beside the title, as the common desktops draw them.
constexpr int cTitleBarExtras = 160;
constexpr int cLeastWidth = 340;
constexpr int cDialogMargins = 24;

}  // namespace

int AskLineWidth(const QString& aCaption) {
    const QFontMetrics metrics(QApplication::font("QMdiSubWindowTitleBar"));
    return std::max(cLeastWidth, metrics.horizontalAdvance(aCaption) + cTitleBarExtras);
}

std::optional<std::string> AskLine(QWidget* aParent, const std::string& aCaption, const std::string& aPrompt,
                                   const std::string& aText) {
    QInputDialog dialog(aParent);
    dialog.setObjectName("AskLine");
    dialog.setWindowTitle(QString::fromStdString(aCaption));
    dialog.setLabelText(QString::fromStdString(aPrompt));
    dialog.setTextValue(QString::fromStdString(aText));
    // The dialog's layout sets its least size from its contents: the line is made as wide.
    if (auto* line = dialog.findChild<QLineEdit*>()) line->setMinimumWidth(AskLineWidth(dialog.windowTitle()) - cDialogMargins);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toStdString();
}

QString CaptionOf(const QString& aName, int aMaxPixels) {
    const QString shown = QFontMetrics(QApplication::font()).elidedText(aName, Qt::ElideRight, aMaxPixels);
    return QString(shown).replace("&", "&&");
}

}  // namespace trawlix
