#pragma once

#include <QDialog>

class QRadioButton;

namespace trawlix {

enum TOrientation { orPortrait = 0, orLandscape = 1 };

// "Running for the first time?": the user picks where the preview goes by moving the mouse
// over one of two pictures; a click on a picture or "Ok" closes the window.
class TformFirstRun : public QDialog {
    Q_OBJECT
public:
    explicit TformFirstRun(TOrientation aCurrent, QWidget* aParent = nullptr);
    TOrientation Orientation() const { return fOrientation; }
    // Shows the window modally and answers the orientation last selected.
    static TOrientation Execute(TOrientation aCurrent, QWidget* aParent);

    QRadioButton* rbPortrait;
    QRadioButton* rbLandscape;

protected:
    bool eventFilter(QObject* aWatched, QEvent* aEvent) override;

private:
    void Select(TOrientation aOrientation);

    QWidget* fPortraitPicture;
    QWidget* fLandscapePicture;
    TOrientation fOrientation;
};

}  // namespace trawlix
