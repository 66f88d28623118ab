#pragma once

#include <QDialog>

class QProgressBar;

namespace trawlix {

// The busy window: "Please wait..." with a running bar, shown without blocking.
class TfrmInfo : public QDialog {
    Q_OBJECT
public:
    explicit TfrmInfo(QWidget* aParent = nullptr);
    // Shows the window centred on the screen; nothing happens when it is already shown.
    void Execute();
    void Finish();
    // Turns the running bar into a normal one at aProgress (0 to 1) of its length.
    void ReportProgress(double aProgress);
    QProgressBar* ProgressBar() const { return fProgressBar; }

private:
    QProgressBar* fProgressBar;
};

}  // namespace trawlix
