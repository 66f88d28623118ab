#include "ui/form_exception.h"

#include <QApplication>
#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>
#include <thread>

#include "app/error_report.h"
#include "ui/user_dialogs.h"

namespace trawlix {

std::string AskReportNote(QWidget* aParent) {
    bool ok = false;
    const QString note =
        QInputDialog::getText(aParent, "Custom note", "Enter a note and/or email address for reply", QLineEdit::Normal,
                              QString(), &ok);
    return ok ? note.toStdString() : std::string();
}

TformException::TformException(TSendReport aSendReport, IUserDialogs& aDialogs, QWidget* aParent)
    : QDialog(aParent), fSendReport(std::move(aSendReport)), fDialogs(aDialogs) {
    setWindowTitle("Error");
    setAttribute(Qt::WA_DeleteOnClose);
    AskNote = [this] { return AskReportNote(this); };
    memoMessage = new QPlainTextEdit(this);
    memoMessage->setReadOnly(true);
    btnOK = new QPushButton("OK", this);
    btnSendReport = new QPushButton("&Send error report", this);
    cbKeepReport = new QCheckBox("&Keep this report to send it later", this);
    cbKeepReport->hide();
    btnOK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cbKeepReport);
    buttons->addStretch();
    buttons->addWidget(btnSendReport);
    buttons->addWidget(btnOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(memoMessage);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnSendReport, &QPushButton::clicked, this, &TformException::SendReport);
}

void TformException::Execute(const std::string& aMessage, const std::string& aDebugInfo) {
    fDebugInfo = aDebugInfo;
    const QString message = QString::fromStdString(aMessage);
    memoMessage->setPlainText(message);
    SizeToMessage(message);
    show();
    raise();
}

void TformException::ExecuteForCrashReport(const std::string& aMessage, const std::string& aDebugInfo,
                                           std::function<void(bool)> aOnClosed) {
    fOnClosed = std::move(aOnClosed);
    cbKeepReport->show();
    Execute(aMessage, aDebugInfo);
}

// Tall enough for every line and wide enough for the longest, within the screen's reach.
void TformException::SizeToMessage(const QString& aMessage) {
    const QFontMetrics metrics(memoMessage->font());
    int widest = 0;
    const QStringList lines = aMessage.split('\n');
    for (const QString& line : lines) widest = std::max(widest, metrics.horizontalAdvance(line));
    const int buttonsWidth = btnOK->sizeHint().width() + btnSendReport->sizeHint().width() + 40;
    const int width = std::clamp(widest + 40, buttonsWidth, 900);
    const int height = std::clamp(static_cast<int>(lines.size()) * metrics.lineSpacing() + 24, 60, 500);
    memoMessage->setMinimumSize(width, height);
    adjustSize();
}

void TformException::SendReport() {
    if (fSending) return;
    const std::string note = AskNote ? AskNote() : std::string();
    fSending = true;
    btnSendReport->setEnabled(false);
    btnOK->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // The window waits for the answer; the send itself must not hold the whole program.
    QPointer<TformException> self(this);
    std::thread([self, send = fSendReport, note, debugInfo = fDebugInfo] {
        std::string error;
        try {
            send(note, debugInfo);
        } catch (const std::exception& e) {
            error = e.what();
            if (error.empty()) error = "unknown error";
        }
        QMetaObject::invokeMethod(
            qApp, [self, error] { if (self) self->OnReportSent(error); }, Qt::QueuedConnection);
    }).detach();
}

void TformException::OnReportSent(const std::string& aError) {
    QApplication::restoreOverrideCursor();
    fSending = false;
    btnOK->setEnabled(true);
    btnSendReport->setEnabled(true);
    if (aError.empty()) {
        fDialogs.Information(kReportSentText);
        // A crash report that reached the vendor need not be kept.
        cbKeepReport->setChecked(false);
    } else {
        fDialogs.Warning(kReportNotSentText + aError);
    }
    accept();
}

void TformException::done(int aResult) {
    // Closing waits for a send under way: its answer still belongs to this window.
    if (fSending) return;
    if (fOnClosed) std::exchange(fOnClosed, {})(cbKeepReport->isChecked());
    QDialog::done(aResult);
}

}  // namespace trawlix
