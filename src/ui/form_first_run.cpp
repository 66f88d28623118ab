#include "ui/form_first_run.h"

#include <QEvent>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

namespace trawlix {

namespace {

QLabel* Picture(const QString& aName, QWidget* aParent) {
    auto* picture = new QLabel(aParent);
    picture->setPixmap(QIcon(":/pictures/" + aName + ".svg").pixmap(160, 120));
    picture->setAlignment(Qt::AlignCenter);
    picture->setCursor(Qt::PointingHandCursor);
    return picture;
}

}  // namespace

TformFirstRun::TformFirstRun(TOrientation aCurrent, bool aFirstRun, QWidget* aParent)
    : QDialog(aParent), fOrientation(aCurrent) {
    setObjectName("formFirstRun");
    setWindowTitle(aFirstRun ? cFirstRunTitle : cChangeTitle);
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel("Please choose your screen orientation", this), 0, 0, 1, 2);
    fPortraitPicture = Picture("orientation_portrait", this);
    fLandscapePicture = Picture("orientation_landscape", this);
    layout->addWidget(fPortraitPicture, 1, 0);
    layout->addWidget(fLandscapePicture, 1, 1);
    rbPortrait = new QRadioButton("Portrait orientation", this);
    rbLandscape = new QRadioButton("Landscape orientation", this);
    rbPortrait->setObjectName("rbPortrait");
    rbLandscape->setObjectName("rbLandscape");
    layout->addWidget(rbPortrait, 2, 0);
    layout->addWidget(rbLandscape, 2, 1);
    // The menu that changes it later is "Tools".
    auto* later = new QLabel("(you can change that later from the \"Tools\" menu)", this);
    later->setVisible(aFirstRun);
    layout->addWidget(later, 3, 0, 1, 2);
    auto* ok = new QPushButton("Ok", this);
    ok->setDefault(true);
    layout->addWidget(ok, 4, 1, Qt::AlignRight);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    // A click on a radio button selects its orientation too, as the user expects.
    connect(rbPortrait, &QRadioButton::clicked, this, [this] { Select(orPortrait); });
    connect(rbLandscape, &QRadioButton::clicked, this, [this] { Select(orLandscape); });
    for (QWidget* picture : {fPortraitPicture, fLandscapePicture}) {
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
    }
    Select(aCurrent);
}

void TformFirstRun::Select(TOrientation aOrientation) {
    fOrientation = aOrientation;
    rbPortrait->setChecked(aOrientation == orPortrait);
    rbLandscape->setChecked(aOrientation == orLandscape);
}

bool TformFirstRun::eventFilter(QObject* aWatched, QEvent* aEvent) {
    const TOrientation pictured = aWatched == fPortraitPicture ? orPortrait : orLandscape;
    if (aEvent->type() == QEvent::Enter || aEvent->type() == QEvent::MouseMove) Select(pictured);
    if (aEvent->type() == QEvent::MouseButtonRelease) {
        Select(pictured);
        accept();
        return true;
    }
    return QDialog::eventFilter(aWatched, aEvent);
}

TOrientation TformFirstRun::Execute(TOrientation aCurrent, bool aFirstRun, QWidget* aParent) {
    TformFirstRun dialog(aCurrent, aFirstRun, aParent);
    dialog.exec();
    return dialog.Orientation();
}

}  // namespace trawlix
