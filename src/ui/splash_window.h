#pragma once

#include <QDialog>

namespace trawlix {

// The start-up window: thanks, version and the supported sites. Closes after the given
// time, on Escape or on a click anywhere.
class TformSplash : public QDialog {
    Q_OBJECT
public:
    explicit TformSplash(QWidget* aParent = nullptr);
    // Shows the window modally for aMilliseconds (0: until the user closes it).
    void Execute(int aMilliseconds);

protected:
    void mousePressEvent(QMouseEvent* aEvent) override;
};

}  // namespace trawlix
