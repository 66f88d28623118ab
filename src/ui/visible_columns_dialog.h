#pragma once

#include <QDialog>

#include <map>
#include <string>
#include <vector>

class QCheckBox;
class QPushButton;

namespace trawlix {

class TSettings;

// "Visible columns": which optional columns the results list shows. The choice is kept
// in the settings as name=value lines keyed by the boxes' names; Caption always shows.
class TformVisibleColumns : public QDialog {
    Q_OBJECT
public:
    explicit TformVisibleColumns(QWidget* aParent = nullptr);

    // Checks the boxes from the stored list: all of them when it is empty.
    void LoadFrom(TSettings& aSettings);
    // Stores the boxes, with "cbCaption" always on, and saves the settings.
    void StoreTo(TSettings& aSettings) const;
    // Opens the dialog over the stored choice and stores it again however it is closed.
    static void Execute(TSettings& aSettings, QWidget* aParent);

    // The optional columns: caption in the list and key in the settings.
    struct TColumnKey {
        const char* caption;
        const char* key;
    };
    static const std::vector<TColumnKey>& OptionalColumns();

    QCheckBox* cbImage;
    QCheckBox* cbDate;
    QCheckBox* cbCaption;
    QCheckBox* cbPrice;
    QCheckBox* cbLocation;
    QCheckBox* cbCategory;
    QCheckBox* cbFoundOn;
    QPushButton* btnClose;

private:
    std::vector<QCheckBox*> Boxes() const;
};

}  // namespace trawlix
