#include "ui/info_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>

namespace trawlix {

namespace {
constexpr int cBarMaximum = 100;
}

TfrmInfo::TfrmInfo(QWidget* aParent)
    : QDialog(aParent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
    setObjectName("frmInfo");
    setWindowTitle("Trawlix");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel("Please wait...", this));
    fProgressBar = new QProgressBar(this);
    fProgressBar->setRange(0, 0);  // running (indeterminate)
    fProgressBar->setTextVisible(false);
    layout->addWidget(fProgressBar);
    setFixedSize(280, 80);
}

void TfrmInfo::Execute() {
    if (isVisible()) return;
    fProgressBar->setRange(0, 0);
    if (QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    show();
    raise();
}

void TfrmInfo::Finish() { hide(); }

void TfrmInfo::ReportProgress(double aProgress) {
    fProgressBar->setRange(0, cBarMaximum);
    fProgressBar->setValue(static_cast<int>(std::lround(aProgress * cBarMaximum)));
}

}  // namespace trawlix
