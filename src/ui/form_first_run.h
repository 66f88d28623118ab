#pragma once

#include <QDialog>

class QRadioButton;

namespace trawlix {

enum TOrientation { orPortrait = 0, orLandscape = 1 };

// The orientation chooser ("Running for the first time?" at the first start): the user picks where the preview goes by moving the mouse
// over one of two pictures; a click on a picture or "Ok" closes the window.
class TformFirstRun : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* cFirstRunTitle = "Running for the first time?";
    static constexpr const char* cChangeTitle = "Change Orientation";

    // aFirstRun: asked at the first start; otherwise the user asked to change it.
    TformFirstRun(TOrientation aCurrent, bool aFirstRun, QWidget* aParent = nullptr);
    TOrientation Orientation() const { return fOrientation; }
    // Shows the window modally and answers the orientation last selected.
    static TOrientation Execute(TOrientation aCurrent, bool aFirstRun, QWidget* aParent);

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
